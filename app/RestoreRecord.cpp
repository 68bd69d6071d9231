#include "app/RestoreRecord.h"

#include <optional>
#include <string_view>

#include "base/Text.h"

namespace {

constexpr std::string_view kRecordHeading = "Configurator restore record ";
constexpr std::string_view kRecordVersion = "1";

std::string Utf8(std::u16string_view text) { return base::Utf8FromUtf16(text); }

bool Writable(std::u16string_view field) {
  return field.find_first_of(u"\t\r\n") == std::u16string_view::npos;
}

// "-" for an absent value, else its type in decimal, a colon and its bytes in hex.
std::string DataField(const std::optional<RegData>& data) {
  if (!data) return "-";
  std::string field = std::to_string(data->type) + ":";
  static constexpr char kHex[] = "0123456789abcdef";
  for (std::uint8_t byte : data->bytes) {
    field += kHex[byte >> 4];
    field += kHex[byte & 15];
  }
  return field;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool ParseData(std::string_view field, std::optional<RegData>* data) {
  if (field == "-") {
    data->reset();
    return true;
  }
  const std::size_t colon = field.find(':');
  if (colon == 0 || colon == std::string_view::npos || colon > 10 || (field.size() - colon - 1) % 2 != 0)
    return false;
  RegData parsed;
  std::uint64_t type = 0;
  for (char c : field.substr(0, colon)) {
    if (c < '0' || c > '9') return false;
    type = type * 10 + static_cast<std::uint64_t>(c - '0');
  }
  if (type > 0xFFFFFFFFu) return false;
  parsed.type = static_cast<std::uint32_t>(type);
  for (std::size_t i = colon + 1; i < field.size(); i += 2) {
    const int high = HexDigit(field[i]);
    const int low = HexDigit(field[i + 1]);
    if (high < 0 || low < 0) return false;
    parsed.bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
  }
  *data = std::move(parsed);
  return true;
}

std::vector<std::string_view> Split(std::string_view line, char separator) {
  std::vector<std::string_view> fields;
  for (std::size_t start = 0;;) {
    const std::size_t end = line.find(separator, start);
    fields.push_back(
        line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) return fields;
    start = end + 1;
  }
}

Outcome Damaged(std::u16string why) { return {sysexits::kDataError, std::move(why)}; }

}  // namespace

Outcome FormatRestoreRecord(const RestoreRecord& record, std::vector<std::uint8_t>* bytes) {
  std::string text = std::string(kRecordHeading) + std::string(kRecordVersion) + "\n";
  const Outcome unwritable =
      Damaged(u"a key or value name holds a tab or a line break: no restore record can hold it");
  if (!Writable(record.adapterKey)) return unwritable;
  text += "adapter\t" + Utf8(record.adapterKey) + "\n";
  for (const TouchedValue& value : record.values) {
    if (!Writable(value.setting) || !Writable(value.keyPath) || !Writable(value.name)) return unwritable;
    text += "value\t" + Utf8(value.setting) + "\t" + Utf8(value.keyPath) + "\t" + Utf8(value.name) + "\t" +
            DataField(value.before) + "\t" + DataField(value.written) + "\n";
  }
  text += "end\n";
  bytes->assign(text.begin(), text.end());
  return {};
}

Outcome ParseRestoreRecord(std::span<const std::uint8_t> bytes, RestoreRecord* record) {
  *record = {};
  const std::string text(bytes.begin(), bytes.end());
  std::vector<std::string_view> lines = Split(text, '\n');
  if (lines.empty() || lines.front().substr(0, kRecordHeading.size()) != kRecordHeading)
    return Damaged(u"it is no restore record");
  if (lines.front().substr(kRecordHeading.size()) != kRecordVersion)
    return Damaged(u"it is a record of another version (" +
                   base::Utf16FromUtf8(lines.front().substr(kRecordHeading.size())) + u")");
  // A whole record ends with its end line.
  if (lines.size() < 3 || lines.back() != "" || lines[lines.size() - 2] != "end")
    return Damaged(u"it is cut short");
  // The adapter comes first, as the record is written: its values' lines are numbered from 3.
  const std::vector<std::string_view> adapter = Split(lines[1], '\t');
  if (adapter.size() != 2 || adapter[0] != "adapter") return Damaged(u"it names no adapter");
  record->adapterKey = base::Utf16FromUtf8(adapter[1]);
  for (std::size_t i = 2; i + 2 < lines.size(); ++i) {
    const std::vector<std::string_view> fields = Split(lines[i], '\t');
    const std::u16string at = u"line " + base::DecimalText(i + 1) + u": ";
    if (fields[0] != "value" || fields.size() != 6 || fields[1].empty() || fields[2].empty())
      return Damaged(at + u"not a value of the record");
    TouchedValue& value = record->values.emplace_back();
    value.setting = base::Utf16FromUtf8(fields[1]);
    value.keyPath = base::Utf16FromUtf8(fields[2]);
    value.name = base::Utf16FromUtf8(fields[3]);
    if (!ParseData(fields[4], &value.before) || !ParseData(fields[5], &value.written))
      return Damaged(at + u"a value that is not type:hex or -");
  }
  return {};
}
