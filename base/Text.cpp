#include "base/Text.h"

#include <algorithm>

#include "base/ByteOrder.h"

namespace base {

char32_t NextCodePoint(std::u16string_view text, std::size_t& at) {
  const char32_t c = text[at++];
  if (c >= 0xD800 && c <= 0xDBFF && at < text.size() && text[at] >= 0xDC00 && text[at] <= 0xDFFF)
    return 0x10000 + ((c - 0xD800) << 10) + (text[at++] - 0xDC00);
  return c >= 0xD800 && c <= 0xDFFF ? 0xFFFD : c;
}

std::u32string CodePoints(std::u16string_view text) {
  std::u32string points;
  points.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) points.push_back(NextCodePoint(text, at));
  return points;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

std::string Utf8FromUtf16(std::u16string_view text, bool* ok) {
  std::string out;
  out.reserve(text.size());
  if (ok) *ok = true;
  for (std::size_t at = 0; at < text.size();) {
    const char16_t first = text[at];
    const char32_t c = NextCodePoint(text, at);
    if (c == 0xFFFD && first != 0xFFFD && ok) *ok = false;
    AppendUtf8(out, c);
  }
  return out;
}

std::u16string Utf16FromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int extra = 0;
    char32_t c = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
      c = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1, c = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2, c = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3, c = lead & 0x07, minimum = 0x10000;
    } else {
      out.push_back(u'\uFFFD');
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    bool valid = true;
    for (int k = 0; k < extra; ++k, ++j) {
      if (j >= text.size() || (static_cast<unsigned char>(text[j]) & 0xC0) != 0x80) {
        valid = false;
        break;
      }
      c = (c << 6) | (static_cast<unsigned char>(text[j]) & 0x3F);
    }
    if (!valid || c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      out.push_back(u'\uFFFD');
      i = valid ? j : i + 1;
      continue;
    }
    if (c >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
    i = j;
  }
  return out;
}

char16_t UpcaseUnit(char16_t unit) {
  if (unit >= u'a' && unit <= u'z') return static_cast<char16_t>(unit - 0x20);
  if (unit < 0xE0) return unit;
  if (unit <= 0xFE && unit != 0xF7) return static_cast<char16_t>(unit - 0x20);
  if (unit == 0xFF) return 0x178;
  if (unit >= 0x3B1 && unit <= 0x3CB && unit != 0x3C2) return static_cast<char16_t>(unit - 0x20);
  if (unit >= 0x430 && unit <= 0x44F) return static_cast<char16_t>(unit - 0x20);
  if (unit >= 0x450 && unit <= 0x45F) return static_cast<char16_t>(unit - 0x50);
  return unit;
}

char16_t DowncaseUnit(char16_t unit) {
  if (unit >= u'A' && unit <= u'Z') return static_cast<char16_t>(unit + 0x20);
  if (unit < 0xC0) return unit;
  if (unit <= 0xDE && unit != 0xD7) return static_cast<char16_t>(unit + 0x20);
  if (unit == 0x178) return 0xFF;
  if (unit >= 0x391 && unit <= 0x3AB && unit != 0x3A2) return static_cast<char16_t>(unit + 0x20);
  if (unit >= 0x410 && unit <= 0x42F) return static_cast<char16_t>(unit + 0x20);
  if (unit >= 0x400 && unit <= 0x40F) return static_cast<char16_t>(unit + 0x50);
  return unit;
}

bool NamesEqual(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && UpcaseUnit(a[i]) != UpcaseUnit(b[i])) return false;
  }
  return true;
}

std::u16string TextFromUtf16Bytes(const unsigned char* data, std::size_t size) {
  std::u16string text = Utf16FromBytes(data, size);
  text.resize(std::min(text.size(), text.find(u'\0')));
  return text;
}

std::u16string Utf16FromBytes(const std::uint8_t* data, std::size_t size) {
  std::u16string text;
  text.reserve(size / 2);
  for (std::size_t at = 0; at + 1 < size; at += 2) text.push_back(ReadLittleEndian16(data + at));
  return text;
}

std::vector<std::uint8_t> Utf16Bytes(std::u16string_view text, bool terminated) {
  std::vector<std::uint8_t> bytes((text.size() + (terminated ? 1 : 0)) * 2, 0);
  for (std::size_t i = 0; i < text.size(); ++i) WriteLittleEndian16(text[i], &bytes[2 * i]);
  return bytes;
}

std::optional<int> NumberFromOne(std::u16string_view text, int most) {
  if (text.empty() || text.size() > 4) return std::nullopt;
  int number = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
    number = number * 10 + (c - u'0');
  }
  if (number < 1 || number > most) return std::nullopt;
  return number;
}

std::u16string DecimalText(std::int64_t number) {
  const std::string digits = std::to_string(number);
  return std::u16string(digits.begin(), digits.end());
}

std::u16string JoinedText(const std::vector<std::u16string>& texts) {
  std::u16string joined;
  for (const std::u16string& text : texts) joined += (joined.empty() ? u"" : u", ") + text;
  return joined;
}

}  // namespace base
