#include "app/GameLauncher.h"

#include <algorithm>
#include <optional>
#include <set>
#include <string_view>

#include "app/RegistryAdapters.h"
#include "app/TuningApply.h"
#include "base/ByteOrder.h"
#include "base/Text.h"
#include "framework/Wnd.h"
#include "platform/Launcher.h"
#include "platform/Registry.h"
#include "platform/StatusWords.h"
#include "settings/AdapterKey.h"
#include "settings/HardwareInformation.h"
#include "settings/RefreshDisplayMode.h"
#include "settings/SettingsKey.h"
#include "settings/TuningSetting.h"

namespace {

constexpr std::string_view kRecordHeading = "Configurator restore record ";
constexpr std::string_view kRecordVersion = "1";

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

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

using base::DecimalText;
using base::JoinedText;

// The longest number text a setting stores: 63 characters and the terminator.
constexpr std::size_t kMostNumberTextBytes = 64 * sizeof(char16_t);

// Whether data is something the setting stores, or what the dialogs read as its value (none: absent):
// a REG_SZ number text, or a raw value of at most 4 bytes, REG_BINARY or REG_DWORD.
bool Stores(const TuningSetting& setting, const std::optional<RegData>& data) {
  if (!data) return true;
  if (setting.Encoding() == TuningEncoding::kNumberText)
    return data->type == platform::kRegSz && data->bytes.size() <= kMostNumberTextBytes;
  return (data->type == platform::kRegBinary || data->type == platform::kRegDword) && data->bytes.size() <= 4;
}

// The chip type of the adapter at a current device key path. Wine keeps CurrentControlSet as a key
// of its own, holding what was written through it and not the driver's hardware information: that
// is read where Windows links CurrentControlSet at boot, in the control set that System\Select's
// Current names (ControlSet001 when none is named).
std::u16string AdapterChipType(const std::u16string& adapterKey) {
  std::u16string chipType = ReadHardwareInformation(adapterKey).chipTypeText;
  const std::vector<std::u16string_view> parts = KeyPathParts(adapterKey);
  if (!chipType.empty() || parts.size() < 2 || !base::NamesEqual(parts[1], u"CurrentControlSet"))
    return chipType;
  std::u16string controlSet = CurrentControlSetName();
  if (controlSet == u"CurrentControlSet") controlSet = u"ControlSet001";
  std::u16string path = u"System\\" + controlSet;
  for (std::size_t i = 2; i < parts.size(); ++i) path += u"\\" + std::u16string(parts[i]);
  return ReadHardwareInformation(path).chipTypeText;
}

// The values of one setting, which are put back together or not at all.
struct SettingValues {
  std::u16string setting;
  std::vector<const TouchedValue*> values;
};

std::vector<SettingValues> BySetting(const RestoreRecord& record) {
  std::vector<SettingValues> settings;
  for (const TouchedValue& value : record.values) {
    auto found = std::find_if(settings.begin(), settings.end(),
                              [&](const SettingValues& setting) { return setting.setting == value.setting; });
    if (found == settings.end()) found = settings.insert(settings.end(), {value.setting, {}});
    found->values.push_back(&value);
  }
  return settings;
}

struct Restored {
  std::vector<std::u16string> restored;  // settings put back
  std::vector<std::u16string> kept;      // settings changed since they were written, left as they are
  std::u16string failures;               // lines
  bool Failed() const { return !failures.empty(); }
};

// Puts back every setting that still holds what was written; one that already holds what was
// there before needs nothing. Each value is read back, each key written is flushed, and the
// display mode is refreshed once when anything was put back.
Restored Restore(const RestoreRecord& record, bool refresh) {
  Restored result;
  platform::Registry& registry = platform::GetRegistry();
  std::set<std::u16string> keyPaths;
  for (const SettingValues& setting : BySetting(record)) {
    bool asWritten = true;
    bool asBefore = true;
    for (const TouchedValue* value : setting.values) {
      const std::optional<RegData> now = StoredData(value->keyPath, value->name);
      asWritten = asWritten && now == value->written;
      asBefore = asBefore && now == value->before;
    }
    if (asBefore) continue;
    if (!asWritten) {
      result.kept.push_back(setting.setting);
      continue;
    }
    CSettingsKey key;
    const std::u16string& keyPath = setting.values.front()->keyPath;
    if (const long status = key.Open(keyPath, platform::kKeyWrite); status != platform::kSuccess) {
      result.failures += setting.setting + u": " + keyPath + u" cannot be opened for writing: " +
                         platform::StatusWords(status) + u"\n";
      continue;
    }
    for (const TouchedValue* value : setting.values) {
      if (value->before)
        registry.Set(key.GetHandle(), value->name, value->before->type, value->before->bytes.data(),
                     static_cast<std::uint32_t>(value->before->bytes.size()));
      else
        registry.Delete(key.GetHandle(), value->name);
    }
    key.Close();
    keyPaths.insert(keyPath);
    bool stuck = true;
    for (const TouchedValue* value : setting.values) {
      const std::optional<RegData> now = StoredData(value->keyPath, value->name);
      if (now == value->before) continue;
      stuck = false;
      result.failures += setting.setting + u": " + value->name + u" reads back as " + DescribedData(now) +
                         u" after restoring " + DescribedData(value->before) + u"\n";
    }
    if (stuck) result.restored.push_back(setting.setting);
  }
  for (const std::u16string& keyPath : keyPaths)
    if (const long status = platform::FlushRegistryKey(keyPath); status != platform::kSuccess)
      result.failures +=
          keyPath + u": cannot be written through to the disk: " + platform::StatusWords(status) + u"\n";
  if (!keyPaths.empty() && refresh && RefreshDisplayMode(CHiddenWindow().GetSafeHwnd()) != 0)
    result.failures +=
        u"the display mode could not be refreshed: the driver reads the restored values at its next mode "
        u"change\n";
  return result;
}

std::u16string WithoutLastBreak(std::u16string text) {
  if (!text.empty() && text.back() == u'\n') text.pop_back();
  return text;
}

// Tells what a restore did; true when it failed.
bool Tell(const Restored& restored, const std::u16string& what, bool boxForKept,
          std::vector<LauncherMessage>* messages) {
  if (!restored.restored.empty())
    messages->push_back({u"restored " + what + u": " + JoinedText(restored.restored)});
  if (!restored.kept.empty())
    messages->push_back({u"kept " + JoinedText(restored.kept) + u" as set now: changed since " + what +
                             u" set " + (restored.kept.size() == 1 ? u"it" : u"them"),
                         boxForKept});
  if (restored.Failed()) messages->push_back({WithoutLastBreak(restored.failures), true});
  return restored.Failed();
}

}  // namespace

bool FormatRestoreRecord(const RestoreRecord& record, std::vector<std::uint8_t>* bytes) {
  std::string text = std::string(kRecordHeading) + std::string(kRecordVersion) + "\n";
  if (!Writable(record.adapterKey)) return false;
  text += "adapter\t" + Utf8(record.adapterKey) + "\n";
  for (const TouchedValue& value : record.values) {
    if (!Writable(value.setting) || !Writable(value.keyPath) || !Writable(value.name)) return false;
    text += "value\t" + Utf8(value.setting) + "\t" + Utf8(value.keyPath) + "\t" + Utf8(value.name) + "\t" +
            DataField(value.before) + "\t" + DataField(value.written) + "\n";
  }
  text += "end\n";
  bytes->assign(text.begin(), text.end());
  return true;
}

std::u16string ParseRestoreRecord(std::span<const std::uint8_t> bytes, RestoreRecord* record) {
  *record = {};
  const std::string text(bytes.begin(), bytes.end());
  std::vector<std::string_view> lines = Split(text, '\n');
  if (lines.empty() || lines.front().substr(0, kRecordHeading.size()) != kRecordHeading)
    return u"it is no restore record";
  if (lines.front().substr(kRecordHeading.size()) != kRecordVersion)
    return u"it is a record of another version (" +
           base::Utf16FromUtf8(lines.front().substr(kRecordHeading.size())) + u")";
  // A whole record ends with its end line.
  if (lines.size() < 3 || lines.back() != "" || lines[lines.size() - 2] != "end") return u"it is cut short";
  // The adapter comes first, as the record is written: its values' lines are numbered from 3.
  const std::vector<std::string_view> adapter = Split(lines[1], '\t');
  if (adapter.size() != 2 || adapter[0] != "adapter") return u"it names no adapter";
  record->adapterKey = base::Utf16FromUtf8(adapter[1]);
  for (std::size_t i = 2; i + 2 < lines.size(); ++i) {
    const std::vector<std::string_view> fields = Split(lines[i], '\t');
    const std::u16string at = u"line " + DecimalText(i + 1) + u": ";
    if (fields[0] != "value" || fields.size() != 6 || fields[1].empty() || fields[2].empty())
      return at + u"not a value of the record";
    TouchedValue& value = record->values.emplace_back();
    value.setting = base::Utf16FromUtf8(fields[1]);
    value.keyPath = base::Utf16FromUtf8(fields[2]);
    value.name = base::Utf16FromUtf8(fields[3]);
    if (!ParseData(fields[4], &value.before) || !ParseData(fields[5], &value.written))
      return at + u"a value that is not type:hex or -";
  }
  return {};
}

std::u16string UntrustedIn(const RestoreRecord& record, int* line) {
  *line = 2;
  if (AdapterKeyShapeOf(record.adapterKey) == AdapterKeyShape::kNone)
    return u"the restore record names a key that is not a display adapter's key";
  const std::u16string chipType = AdapterChipType(record.adapterKey);
  if (!IsSupportedChipType(chipType))
    return u"the restore record names an adapter that is not one of the board's (" +
           (chipType.empty() ? std::u16string(u"no chip type") : u"chip type \"" + chipType + u"\"") +
           u" where " + std::u16string(kSupportedChipType) + u" was expected)";
  const std::vector<TuningSetting> settings = TuningSetting::ForAdapter(true, 1);
  std::vector<std::pair<std::u16string_view, std::u16string_view>> seen;  // key path and value name
  for (std::size_t i = 0; i < record.values.size(); ++i) {
    const TouchedValue& value = record.values[i];
    *line = static_cast<int>(i) + 3;
    // Spelt exactly as a record is written: what is restored is then what the settings name.
    const auto setting = std::find_if(settings.begin(), settings.end(),
                                      [&](const TuningSetting& s) { return s.Name() == value.setting; });
    const bool tuningValue = setting != settings.end() &&
                             value.keyPath == setting->KeyPath(record.adapterKey) &&
                             std::any_of(setting->ValueNames().begin(), setting->ValueNames().end(),
                                         [&](std::u16string_view name) { return name == value.name; });
    if (!tuningValue) return u"the restore record names a value that is not one of the board's tuning values";
    if (!Stores(*setting, value.before) || !Stores(*setting, value.written))
      return u"the restore record holds data that " + std::u16string(setting->Name()) +
             u" never stores (its type or size)";
    const bool twice = std::any_of(seen.begin(), seen.end(), [&](const auto& other) {
      return other.first == value.keyPath && other.second == value.name;
    });
    if (twice) return u"the restore record names a value twice";
    seen.emplace_back(value.keyPath, value.name);
  }
  *line = 0;
  return {};
}

LeftRecord RestoreLeftRecord(std::vector<LauncherMessage>* messages) {
  platform::RecordStore& store = platform::GetRecordStore();
  platform::RecordStore::Found found = platform::RecordStore::Found::kNone;
  std::vector<std::uint8_t> bytes;
  std::u16string why;
  if (const long status = store.Find(&found, &bytes, &why); status != platform::kSuccess) {
    messages->push_back({store.Location() + u": the restore record of an earlier /run cannot be read: " +
                             why + u"; its tuning may still be in place",
                         true});
    return LeftRecord::kFailed;
  }
  if (found == platform::RecordStore::Found::kNone) return LeftRecord::kNone;
  if (found == platform::RecordStore::Found::kHeld) return LeftRecord::kHeld;

  RestoreRecord record;
  if (const std::u16string wrong = ParseRestoreRecord(bytes, &record); !wrong.empty()) {
    store.Release();
    messages->push_back({store.Location() + u": the restore record of an earlier /run is damaged (" + wrong +
                             u"); it is kept: check the tuning, then delete it",
                         true});
    return LeftRecord::kFailed;
  }
  int line = 0;
  if (const std::u16string untrusted = UntrustedIn(record, &line); !untrusted.empty()) {
    store.Release();
    messages->push_back(
        {store.Location() + u": nothing of the restore record of an earlier /run was put back: " + untrusted +
             u": line " + DecimalText(line) + u"; it is kept: check the tuning, then delete it",
         true});
    return LeftRecord::kFailed;
  }
  const Restored restored = Restore(record, true);
  if (Tell(restored, u"the tuning that an earlier /run left changed", true, messages)) {
    store.Release();
    messages->push_back(
        {store.Location() + u": the restore record is kept; the next start tries again", true});
    return LeftRecord::kFailed;
  }
  if (const long status = store.Remove(&why); status != platform::kSuccess) {
    messages->push_back({store.Location() + u": the restore record cannot be deleted: " + why, true});
    return LeftRecord::kFailed;
  }
  return LeftRecord::kRestored;
}

LauncherResult RunGame(TuningCommands commands, const std::u16string& handOff,
                       const std::u16string& commandLine) {
  LauncherResult result;
  platform::RecordStore& store = platform::GetRecordStore();
  const auto refuse = [&](int status, std::u16string message) {
    result.status = status;
    result.messages.push_back({std::move(message), true});
    return result;
  };
  if (std::all_of(commandLine.begin(), commandLine.end(), IsBlank))
    return refuse(sysexits::kUsage, u"/run: the program to start and its arguments follow it");

  // What an earlier launcher left is put back first: a record made now would replace it.
  switch (RestoreLeftRecord(&result.messages)) {
    case LeftRecord::kHeld:
      return refuse(sysexits::kTempFail, u"another /run is running (its restore record " + store.Location() +
                                             u" is in use): start this one when its program has ended");
    case LeftRecord::kFailed:
      // A record made now would replace it: the program waits until it is dealt with.
      result.messages.back().text += u"\nthe program is not started while that record is kept";
      result.status = sysexits::kIoError;
      return result;
    default:
      break;
  }

  RestoreRecord record;
  bool recorded = false;
  commands.beforeWrite = [&](const std::u16string& adapterKey, const std::vector<TouchedValue>& touched) {
    record = {adapterKey, touched};
    int line = 0;
    if (const std::u16string untrusted = UntrustedIn(record, &line); !untrusted.empty())
      return Outcome{sysexits::kDataError,
                     u"no restore record can be made, so /run changes nothing: " + untrusted};
    std::vector<std::uint8_t> bytes;
    if (!FormatRestoreRecord(record, &bytes))
      return Outcome{sysexits::kDataError,
                     u"a key or value name holds a tab or a line break: no restore record can hold it"};
    bool held = false;
    std::u16string why;
    if (store.Create(bytes, &held, &why) != platform::kSuccess)
      return Outcome{sysexits::kCantCreate,
                     store.Location() + u": the restore record cannot be written: " + why};
    if (held)
      return Outcome{sysexits::kTempFail, u"another /run started meanwhile (its restore record " +
                                              store.Location() +
                                              u" is in use): start this one when its program has ended"};
    recorded = true;
    return Outcome{};
  };

  // Puts back what this run wrote: true when it failed (and the record is kept).
  const auto restore = [&](const std::u16string& what, bool boxForKept) {
    if (!recorded) return false;
    const Restored restored = Restore(record, !commands.noRefresh);
    if (Tell(restored, what, boxForKept, &result.messages)) {
      store.Release();
      result.messages.push_back(
          {store.Location() + u": the restore record is kept; the next start of Configurator tries again",
           true});
      return true;
    }
    std::u16string why;
    if (store.Remove(&why) != platform::kSuccess) {
      result.messages.push_back({store.Location() + u": the restore record cannot be deleted: " + why, true});
      return true;
    }
    return false;
  };

  const TuningCommandsResult applied = RunTuningCommands(commands, handOff);
  result.output = applied.output;
  if (!applied.messages.empty())
    result.messages.push_back({WithoutLastBreak(applied.messages), applied.status != sysexits::kOk});
  if (applied.status != sysexits::kOk) {
    result.status = applied.status;
    restore(u"what this run had written", true);
    return result;
  }

  std::u16string why;
  // The values written reach the disk before the program runs: a power cut loses none of them
  // that the record would not put back.
  if (recorded) {
    std::set<std::u16string> keyPaths;
    for (const TouchedValue& value : record.values) keyPaths.insert(value.keyPath);
    for (const std::u16string& keyPath : keyPaths)
      if (const long status = platform::FlushRegistryKey(keyPath); status != platform::kSuccess)
        result.messages.push_back(
            {keyPath + u": cannot be written through to the disk: " + platform::StatusWords(status)});
  }
  platform::ProcessStarter& starter = platform::GetProcessStarter();
  if (const long status = starter.Start(commandLine, &why); status != platform::kSuccess) {
    result.status = status == platform::kFileNotFound ? sysexits::kNoInput : sysexits::kUnavailable;
    result.messages.push_back({u"/run " + commandLine + u": cannot start the program: " + why, true});
    restore(u"the tuning", true);
    return result;
  }
  result.started = true;
  std::uint32_t status = 0;
  std::u16string note;
  const bool waited = starter.Wait(&status, &note, &why) == platform::kSuccess;
  if (!note.empty()) result.messages.push_back({note});
  if (!waited)
    result.messages.push_back({u"/run " + commandLine + u": cannot wait for the program: " + why, true});
  result.status = waited ? static_cast<int>(status) : sysexits::kIoError;
  if (restore(u"the tuning", false) && result.status == sysexits::kOk) result.status = sysexits::kIoError;
  return result;
}

std::u16string CommandLineAfter(std::u16string_view commandLine, std::size_t argument) {
  std::size_t at = 0;
  const std::size_t size = commandLine.size();
  // The program's name: up to the closing quote when it starts with one, then to white space.
  bool quoted = false;
  for (; at < size && (quoted || !IsBlank(commandLine[at])); ++at)
    if (commandLine[at] == u'"') quoted = !quoted;
  for (std::size_t index = 0;; ++index) {
    while (at < size && IsBlank(commandLine[at])) ++at;
    if (at == size) return {};
    if (index == argument + 1) return std::u16string(commandLine.substr(at));
    // An argument: white space inside quotes is part of it; a quote after an odd number of
    // backslashes is a quote character, and "" inside quotes is one.
    quoted = false;
    std::size_t backslashes = 0;
    for (; at < size && (quoted || !IsBlank(commandLine[at])); ++at) {
      const char16_t c = commandLine[at];
      if (c == u'\\') {
        ++backslashes;
        continue;
      }
      if (c == u'"' && backslashes % 2 == 0) {
        if (quoted && at + 1 < size && commandLine[at + 1] == u'"')
          ++at;
        else
          quoted = !quoted;
      }
      backslashes = 0;
    }
  }
}
