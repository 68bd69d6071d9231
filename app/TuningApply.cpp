#include "app/TuningApply.h"

#include <set>

#include "base/ByteOrder.h"
#include "base/Text.h"
#include "platform/Registry.h"
#include "platform/StatusWords.h"
#include "settings/SettingsKey.h"
#include "settings/ValueAccess.h"

namespace {

using base::DecimalText;

// What the dialogs write for a number of a setting.
RegData WrittenData(const TuningSetting& setting, std::int64_t number) {
  if (setting.Encoding() == TuningEncoding::kNumberText)
    return {platform::kRegSz, NumberTextBytes(static_cast<std::int32_t>(number))};
  const auto bytes = base::LittleEndian32(static_cast<std::uint32_t>(number));
  return {platform::kRegBinary, {bytes.begin(), bytes.end()}};
}

// Whether a want changes what is stored. A value it deletes changes it when it is there, whatever
// it holds; otherwise as the dialogs' OK decides it (TuningSetting::Replaces).
bool Changes(const TuningSetting& setting, const std::u16string& adapterKey, const Want& want) {
  const std::u16string keyPath = setting.KeyPath(adapterKey);
  for (std::size_t v = 0; v < setting.ValueNames().size(); ++v)
    if (want.deleted[v] && StoredData(keyPath, setting.ValueNames()[v])) return true;
  if (IsReset(setting, want)) return false;
  return setting.Replaces(setting.Read(adapterKey), want.position);
}

// What a want leaves in each value: its data, or none.
std::vector<std::optional<RegData>> TargetData(const TuningSetting& setting, const Want& want) {
  const StoredNumbers numbers = Target(setting, want);
  std::vector<std::optional<RegData>> data;
  for (std::size_t v = 0; v < setting.ValueNames().size(); ++v)
    data.push_back(numbers[v] ? std::optional(WrittenData(setting, *numbers[v])) : std::nullopt);
  return data;
}

}  // namespace

bool Apply(const RunAdapter& adapter, const Wanted& wanted, const TuningCommands& commands,
           RunReport* report) {
  std::vector<std::pair<std::size_t, const Want*>> changes;
  std::set<std::u16string> keyPaths;
  for (const auto& [i, want] : wanted) {
    const TuningSetting& setting = adapter.settings[i];
    if (!Changes(setting, adapter.keyPath, want)) continue;
    changes.emplace_back(i, &want);
    keyPaths.insert(setting.KeyPath(adapter.keyPath));
  }
  if (changes.empty()) return false;

  // Every key is probed before anything is written: all or nothing.
  for (const std::u16string& keyPath : keyPaths) {
    CSettingsKey key;
    const long status = key.Open(keyPath, platform::kKeyWrite);
    if (status == platform::kAccessDenied) {
      // The message box's own wording, misspelling included, so that it reads the same here.
      report->Error(sysexits::kNoPermission,
                    u"Insufficent Access Writes: Execute using Administrator Account (" + keyPath +
                        u" cannot be opened for writing)");
      return false;
    }
    if (status != platform::kSuccess) {
      report->Error(sysexits::kIoError,
                    keyPath + u": cannot be opened for writing: " + platform::StatusWords(status));
      return false;
    }
  }

  if (commands.beforeWrite) {
    std::vector<TouchedValue> touched;
    for (const auto& [i, want] : changes) {
      const TuningSetting& setting = adapter.settings[i];
      const std::vector<std::optional<RegData>> written = TargetData(setting, *want);
      const std::u16string keyPath = setting.KeyPath(adapter.keyPath);
      for (std::size_t v = 0; v < setting.ValueNames().size(); ++v) {
        TouchedValue& value = touched.emplace_back();
        value.setting = setting.Name();
        value.keyPath = keyPath;
        value.name = setting.ValueNames()[v];
        value.before = StoredData(keyPath, value.name);
        value.written = written[v];
      }
    }
    if (const Outcome told = commands.beforeWrite(adapter.keyPath, touched); told.Failed()) {
      report->Error(told.status, told.why);
      return false;
    }
  }

  for (const auto& [i, want] : changes)
    adapter.settings[i].WriteNumbers(adapter.keyPath, Target(adapter.settings[i], *want));
  if (commands.save) {
    if (const Outcome saved = commands.save(); saved.Failed()) {
      report->Error(saved.status, saved.why);
      return false;
    }
  }

  // A write that reported success but did not stick is a failure.
  for (const auto& [i, want] : changes) {
    const TuningSetting& setting = adapter.settings[i];
    const std::vector<std::optional<RegData>> expected = TargetData(setting, *want);
    for (std::size_t v = 0; v < setting.ValueNames().size(); ++v) {
      const std::optional<RegData> actual =
          StoredData(setting.KeyPath(adapter.keyPath), setting.ValueNames()[v]);
      if (actual != expected[v])
        report->Error(sysexits::kIoError, std::u16string(setting.Name()) + u": " +
                                              std::u16string(setting.ValueNames()[v]) + u" reads back as " +
                                              DescribedData(actual) + u" after writing " +
                                              DescribedData(expected[v]));
    }
  }
  return true;
}

std::u16string DescribedData(const std::optional<RegData>& data) {
  if (!data) return u"no value";
  if (data->type == platform::kRegSz)
    return u"\"" + base::TextFromUtf16Bytes(data->bytes.data(), data->bytes.size()) + u"\"";
  std::u16string bytes;
  for (std::uint8_t byte : data->bytes) bytes += u" " + DecimalText(byte);
  return u"type " + DecimalText(data->type) + u", bytes" + bytes;
}

std::optional<RegData> StoredData(const std::u16string& keyPath, std::u16string_view name) {
  CSettingsKey key;
  if (key.Open(keyPath, platform::kKeyRead) != platform::kSuccess) return std::nullopt;
  platform::Registry& registry = platform::GetRegistry();
  RegData data;
  std::uint32_t size = 0;
  if (registry.Query(key.GetHandle(), name, &data.type, nullptr, &size) != platform::kSuccess)
    return std::nullopt;
  data.bytes.resize(size);
  if (registry.Query(key.GetHandle(), name, &data.type, data.bytes.data(), &size) != platform::kSuccess)
    return std::nullopt;
  data.bytes.resize(size);
  return data;
}
