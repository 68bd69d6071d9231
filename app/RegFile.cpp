#include "app/RegFile.h"

#include <string_view>

#include "base/ByteOrder.h"
#include "base/Text.h"
#include "platform/Registry.h"

namespace {

constexpr std::u16string_view kVersion5Header = u"Windows Registry Editor Version 5.00";
constexpr std::u16string_view kVersion4Header = u"REGEDIT4";

bool Decode(std::span<const std::uint8_t> bytes, std::u16string* text, std::u16string* error) {
  if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
    if (bytes.size() % 2 != 0) {
      *error = u"broken UTF-16 text (an odd number of bytes)";
      return false;
    }
    *text = base::Utf16FromBytes(bytes.data() + 2, bytes.size() - 2);
    return true;
  }
  if (bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) {
    *error = u"big-endian UTF-16 is not a registry file encoding";
    return false;
  }
  std::string_view utf8(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (utf8.starts_with("\xEF\xBB\xBF")) utf8.remove_prefix(3);
  if (utf8.find('\0') != std::string_view::npos) {
    *error = u"not a registry file (it holds null bytes)";
    return false;
  }
  *text = base::Utf16FromUtf8(utf8);
  return true;
}

std::u16string_view Trim(std::u16string_view text) {
  while (!text.empty() && (text.front() == u' ' || text.front() == u'\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == u' ' || text.back() == u'\t')) text.remove_suffix(1);
  return text;
}

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// A quoted text at the start of rest, with the escapes \\ and \" (and \n); rest moves past it.
bool QuotedText(std::u16string_view& rest, std::u16string* text) {
  if (rest.empty() || rest.front() != u'"') return false;
  for (std::size_t i = 1; i < rest.size(); ++i) {
    const char16_t c = rest[i];
    if (c == u'"') {
      rest.remove_prefix(i + 1);
      return true;
    }
    if (c == u'\\') {
      if (++i == rest.size()) return false;
      if (rest[i] == u'\\' || rest[i] == u'"')
        text->push_back(rest[i]);
      else if (rest[i] == u'n')
        text->push_back(u'\n');
      else
        return false;
    } else {
      text->push_back(c);
    }
  }
  return false;
}

// Comma-separated hex bytes ("00,ff,..."); an empty list is no bytes.
bool HexBytes(std::u16string_view text, std::vector<std::uint8_t>* bytes) {
  text = Trim(text);
  if (text.empty()) return true;
  while (true) {
    const std::size_t comma = text.find(u',');
    const std::u16string_view item = Trim(text.substr(0, comma));
    if (item.empty() || item.size() > 2) return false;
    int value = 0;
    for (char16_t c : item) {
      const int digit = HexDigit(c);
      if (digit < 0) return false;
      value = value * 16 + digit;
    }
    bytes->push_back(static_cast<std::uint8_t>(value));
    if (comma == std::u16string_view::npos) return true;
    text.remove_prefix(comma + 1);
  }
}

// The data after "=": false when it cannot be read.
bool ValueData(std::u16string_view text, std::optional<RegData>* data) {
  text = Trim(text);
  if (text == u"-") return true;
  RegData value;
  if (!text.empty() && text.front() == u'"') {
    std::u16string content;
    if (!QuotedText(text, &content) || !Trim(text).empty()) return false;
    value.type = platform::kRegSz;
    value.bytes = base::Utf16Bytes(content);
    *data = std::move(value);
    return true;
  }
  if (text.starts_with(u"dword:")) {
    text.remove_prefix(6);
    if (text.empty() || text.size() > 8) return false;
    std::uint32_t number = 0;
    for (char16_t c : text) {
      const int digit = HexDigit(c);
      if (digit < 0) return false;
      number = number * 16 + static_cast<std::uint32_t>(digit);
    }
    value.type = platform::kRegDword;
    const auto bytes = base::LittleEndian32(number);
    value.bytes.assign(bytes.begin(), bytes.end());
    *data = std::move(value);
    return true;
  }
  if (text.starts_with(u"hex:")) {
    value.type = platform::kRegBinary;
    text.remove_prefix(4);
  } else if (text.starts_with(u"hex(")) {
    const std::size_t close = text.find(u"):");
    if (close == std::u16string_view::npos || close == 4 || close > 12) return false;
    std::uint32_t type = 0;
    for (char16_t c : text.substr(4, close - 4)) {
      const int digit = HexDigit(c);
      if (digit < 0) return false;
      type = type * 16 + static_cast<std::uint32_t>(digit);
    }
    value.type = type;
    text.remove_prefix(close + 2);
  } else {
    return false;
  }
  if (!HexBytes(text, &value.bytes)) return false;
  *data = std::move(value);
  return true;
}

// The lines of a text, one at a time, without their line ends ("\n" or "\r\n"); a text that ends
// with a line end has no empty line after it.
class Lines {
 public:
  explicit Lines(std::u16string_view text) : m_rest(text) {}
  bool More() const { return !m_rest.empty(); }
  std::u16string_view Next() {
    const std::size_t end = m_rest.find(u'\n');
    std::u16string_view line = m_rest.substr(0, end);
    if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
    m_rest.remove_prefix(end == std::u16string_view::npos ? m_rest.size() : end + 1);
    ++m_number;
    return line;
  }
  // The number of the line Next gave last, from 1.
  int Number() const { return m_number; }

 private:
  std::u16string_view m_rest;
  int m_number = 0;
};

std::u16string LineError(std::u16string_view what, std::u16string_view line) {
  return std::u16string(what) + u": " + std::u16string(Trim(line));
}

}  // namespace

bool ParseRegFile(std::span<const std::uint8_t> bytes, std::vector<RegFileKey>* keys, int* errorLine,
                  std::u16string* error) {
  keys->clear();
  *errorLine = 0;
  std::u16string text;
  if (!Decode(bytes, &text, error)) return false;

  Lines lines(text);
  std::u16string_view header;
  while (lines.More() && header.empty()) header = Trim(lines.Next());
  if (header.empty() || (header != kVersion5Header && header != kVersion4Header)) {
    *errorLine = header.empty() ? 0 : lines.Number();
    *error =
        u"not a registry file (it does not begin with \"Windows Registry Editor Version 5.00\" or "
        u"\"REGEDIT4\")";
    return false;
  }

  while (lines.More()) {
    std::u16string_view line = Trim(lines.Next());
    const int lineNumber = lines.Number();
    if (line.empty() || line.front() == u';') continue;
    *errorLine = lineNumber;
    if (line.front() == u'[') {
      if (line.back() != u']' || line.size() < 3) {
        *error = LineError(u"a key without its closing bracket", line);
        return false;
      }
      RegFileKey key;
      key.line = lineNumber;
      std::u16string_view path = line.substr(1, line.size() - 2);
      if (path.front() == u'-') {
        key.remove = true;
        path.remove_prefix(1);
      }
      key.path = std::u16string(path);
      keys->push_back(std::move(key));
      continue;
    }

    RegFileValue value;
    value.line = lineNumber;
    std::u16string_view rest = line;
    if (rest.front() == u'@') {
      rest.remove_prefix(1);
    } else if (!QuotedText(rest, &value.name)) {
      *error = LineError(u"cannot read this line", line);
      return false;
    }
    rest = Trim(rest);
    if (rest.empty() || rest.front() != u'=') {
      *error = LineError(u"a value name without \"=\"", line);
      return false;
    }
    rest.remove_prefix(1);
    // Hex data go on over lines that end in a backslash. Only the end of the data is trimmed as
    // it grows (ValueData trims its start), so each line is copied once.
    std::u16string data(rest);
    while (true) {
      while (!data.empty() && (data.back() == u' ' || data.back() == u'\t')) data.pop_back();
      if (data.empty() || data.back() != u'\\' || !lines.More()) break;
      data.pop_back();
      data += Trim(lines.Next());
    }
    if (!ValueData(data, &value.data)) {
      *errorLine = lineNumber;
      *error = LineError(u"cannot read the value's data", line);
      return false;
    }
    if (keys->empty()) {
      *error = LineError(u"a value before any key", line);
      return false;
    }
    keys->back().values.push_back(std::move(value));
  }
  *errorLine = 0;
  return true;
}

namespace {

// A text in quotes, with the escapes the reader takes: a line end would end the line.
std::u16string Quoted(std::u16string_view text) {
  std::u16string quoted = u"\"";
  for (char16_t c : text) {
    if (c == u'\\' || c == u'"') quoted += u'\\';
    quoted += c == u'\n' ? std::u16string_view(u"\\n") : std::u16string_view(&c, 1);
  }
  return quoted + u"\"";
}

std::u16string HexList(const std::vector<std::uint8_t>& bytes) {
  static constexpr char16_t kDigits[] = u"0123456789abcdef";
  std::u16string list;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0) list += u',';
    list += kDigits[bytes[i] >> 4];
    list += kDigits[bytes[i] & 0xF];
  }
  return list;
}

// A text that reads back as these very bytes: terminated once, at the end, and nowhere before.
bool IsPlainText(const std::vector<std::uint8_t>& bytes) {
  if (bytes.size() < 2 || bytes.size() % 2 != 0) return false;
  for (std::size_t i = 0; i + 2 < bytes.size(); i += 2)
    if (bytes[i] == 0 && bytes[i + 1] == 0) return false;
  return bytes[bytes.size() - 2] == 0 && bytes.back() == 0;
}

std::u16string DataText(const RegData& data) {
  if (data.type == platform::kRegSz && IsPlainText(data.bytes))
    return Quoted(base::TextFromUtf16Bytes(data.bytes.data(), data.bytes.size()));
  if (data.type == platform::kRegDword && data.bytes.size() == 4) {
    static constexpr char16_t kDigits[] = u"0123456789abcdef";
    std::u16string text = u"dword:";
    for (int i = 3; i >= 0; --i) {
      text += kDigits[data.bytes[static_cast<std::size_t>(i)] >> 4];
      text += kDigits[data.bytes[static_cast<std::size_t>(i)] & 0xF];
    }
    return text;
  }
  if (data.type == platform::kRegBinary) return u"hex:" + HexList(data.bytes);
  static constexpr char16_t kDigits[] = u"0123456789abcdef";
  std::u16string type;
  for (std::uint32_t rest = data.type; type.empty() || rest != 0; rest >>= 4)
    type.insert(type.begin(), kDigits[rest & 0xF]);
  return u"hex(" + type + u"):" + HexList(data.bytes);
}

}  // namespace

std::u16string FormatRegText(const std::vector<RegFileKey>& keys) {
  std::u16string text = std::u16string(kVersion5Header) + u"\n\n";
  for (const RegFileKey& key : keys) {
    text += u"[" + std::u16string(key.remove ? u"-" : u"") + key.path + u"]\n";
    for (const RegFileValue& value : key.values) {
      text += value.name.empty() ? std::u16string(u"@") : Quoted(value.name);
      text += u"=" + (value.data ? DataText(*value.data) : std::u16string(u"-")) + u"\n";
    }
    text += u"\n";
  }
  return text;
}

std::vector<std::uint8_t> FormatRegFile(const std::vector<RegFileKey>& keys) {
  std::u16string text;
  for (char16_t c : FormatRegText(keys)) {
    if (c == u'\n') text += u'\r';
    text += c;
  }
  std::vector<std::uint8_t> bytes = {0xFF, 0xFE};
  const std::vector<std::uint8_t> units = base::Utf16Bytes(text, false);
  bytes.insert(bytes.end(), units.begin(), units.end());
  return bytes;
}
