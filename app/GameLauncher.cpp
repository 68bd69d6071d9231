#include "app/GameLauncher.h"

#include <algorithm>
#include <optional>
#include <set>
#include <string_view>

#include "app/RegistryAdapters.h"
#include "app/TuningApply.h"
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

using base::DecimalText;
using base::JoinedText;

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

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

Outcome Untrusted(std::u16string why) { return {sysexits::kDataError, std::move(why)}; }

// Writes each key through to the disk; what could not be, one text per key.
std::vector<std::u16string> Unflushed(const std::set<std::u16string>& keyPaths) {
  std::vector<std::u16string> failures;
  for (const std::u16string& keyPath : keyPaths)
    if (const long status = platform::FlushRegistryKey(keyPath); status != platform::kSuccess)
      failures.push_back(keyPath + u": cannot be written through to the disk: " +
                         platform::StatusWords(status));
  return failures;
}

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
  for (const std::u16string& failure : Unflushed(keyPaths)) result.failures += failure + u"\n";
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

// Puts back what a record holds and tells of it, then deletes the record. A restore that did not
// put everything back keeps the record, released for nextStart to try again. True when it failed.
bool RestoreAndDelete(const RestoreRecord& record, bool refresh, const std::u16string& what, bool boxForKept,
                      std::u16string_view nextStart, std::vector<LauncherMessage>* messages) {
  platform::RecordStore& store = platform::GetRecordStore();
  if (Tell(Restore(record, refresh), what, boxForKept, messages)) {
    store.Release();
    messages->push_back(
        {store.Location() + u": the restore record is kept; " + std::u16string(nextStart) + u" tries again",
         true});
    return true;
  }
  std::u16string why;
  if (store.Remove(&why) != platform::kSuccess) {
    messages->push_back({store.Location() + u": the restore record cannot be deleted: " + why, true});
    return true;
  }
  return false;
}

}  // namespace

Outcome UntrustedIn(const RestoreRecord& record, int* line) {
  *line = 2;
  if (AdapterKeyShapeOf(record.adapterKey) == AdapterKeyShape::kNone)
    return Untrusted(u"the restore record names a key that is not a display adapter's key");
  const std::u16string chipType = AdapterChipType(record.adapterKey);
  if (!IsSupportedChipType(chipType))
    return Untrusted(
        u"the restore record names an adapter that is not one of the board's (" +
        (chipType.empty() ? std::u16string(u"no chip type") : u"chip type \"" + chipType + u"\"") +
        u" where " + std::u16string(kSupportedChipType) + u" was expected)");
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
    if (!tuningValue)
      return Untrusted(u"the restore record names a value that is not one of the board's tuning values");
    if (!Stores(*setting, value.before) || !Stores(*setting, value.written))
      return Untrusted(u"the restore record holds data that " + std::u16string(setting->Name()) +
                       u" never stores (its type or size)");
    const bool twice = std::any_of(seen.begin(), seen.end(), [&](const auto& other) {
      return other.first == value.keyPath && other.second == value.name;
    });
    if (twice) return Untrusted(u"the restore record names a value twice");
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
  if (const Outcome parsed = ParseRestoreRecord(bytes, &record); parsed.Failed()) {
    store.Release();
    messages->push_back({store.Location() + u": the restore record of an earlier /run is damaged (" +
                             parsed.why + u"); it is kept: check the tuning, then delete it",
                         true});
    return LeftRecord::kFailed;
  }
  int line = 0;
  if (const Outcome untrusted = UntrustedIn(record, &line); untrusted.Failed()) {
    store.Release();
    messages->push_back({store.Location() +
                             u": nothing of the restore record of an earlier /run was put back: " +
                             untrusted.why + u": line " + DecimalText(line) +
                             u"; it is kept: check the tuning, then delete it",
                         true});
    return LeftRecord::kFailed;
  }
  if (RestoreAndDelete(record, true, u"the tuning that an earlier /run left changed", true, u"the next start",
                       messages))
    return LeftRecord::kFailed;
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
    if (const Outcome untrusted = UntrustedIn(record, &line); untrusted.Failed())
      return Outcome{untrusted.status,
                     u"no restore record can be made, so /run changes nothing: " + untrusted.why};
    std::vector<std::uint8_t> bytes;
    if (const Outcome formatted = FormatRestoreRecord(record, &bytes); formatted.Failed()) return formatted;
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
    return recorded && RestoreAndDelete(record, !commands.noRefresh, what, boxForKept,
                                        u"the next start of Configurator", &result.messages);
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
    for (std::u16string& failure : Unflushed(keyPaths)) result.messages.push_back({std::move(failure)});
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
