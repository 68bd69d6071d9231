// The restore record as any program of the user's could write it, through the start's restore on
// an in-memory registry holding one of the board's adapters and keys beside it that a record may
// never reach: whatever the record says, nothing outside the adapter's two tuning keys changes,
// and inside them only the board's tuning values, as the settings store them. A record that is
// not restored is kept.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/GameLauncher.h"
#include "base/Service.h"
#include "platform/Launcher.h"
#include "settings/TuningSetting.h"
#include "tests/support/MemoryRegistry.h"

namespace {

const std::u16string kAdapterKey =
    u"System\\CurrentControlSet\\Control\\Video\\{6C9A3E51-0D4B-4E0C-9F1A-2B7D5C3E8A10}\\0000";
const std::u16string kDriverKey = kAdapterKey + u"\\D3D";

class OneRecord final : public platform::RecordStore {
 public:
  explicit OneRecord(std::vector<std::uint8_t> bytes) : m_bytes(std::move(bytes)) {}
  std::u16string Location() override { return u"restore-record.txt"; }
  long Find(Found* found, std::vector<std::uint8_t>* bytes, std::u16string*) override {
    *found = m_there ? Found::kOpened : Found::kNone;
    if (m_there) *bytes = m_bytes;
    return platform::kSuccess;
  }
  long Create(std::span<const std::uint8_t>, bool*, std::u16string*) override { std::abort(); }
  long Remove(std::u16string*) override {
    m_there = false;
    return platform::kSuccess;
  }
  void Release() override {}
  bool There() const { return m_there; }

 private:
  std::vector<std::uint8_t> m_bytes;
  bool m_there = true;
};

using Snapshot = std::vector<std::pair<std::u16string, platform::RegistryValue>>;

Snapshot Everything(const platform::MemoryRegistry& registry) {
  Snapshot values;
  for (const std::u16string& path : registry.KeyPaths())
    for (const platform::RegistryValue& value : registry.Values(path)) values.emplace_back(path, value);
  return values;
}

bool SameValue(const platform::RegistryValue& a, const platform::RegistryValue& b) {
  return a.name == b.name && a.type == b.type && a.data == b.data;
}

// Whether a value in one of the adapter's tuning keys is a tuning value as its setting stores it.
bool TuningValue(const std::u16string& path, const platform::RegistryValue& value) {
  for (const TuningSetting& setting : TuningSetting::ForAdapter(true, 1)) {
    if (setting.KeyPath(kAdapterKey) != path) continue;
    for (std::u16string_view name : setting.ValueNames()) {
      if (name != value.name) continue;
      if (setting.Encoding() == TuningEncoding::kNumberText)
        return value.type == platform::kRegSz && value.data.size() <= 128;
      return (value.type == platform::kRegBinary || value.type == platform::kRegDword) &&
             value.data.size() <= 4;
    }
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  platform::MemoryRegistry registry;
  registry.CreateKey(kDriverKey);
  registry.SetString(kAdapterKey, u"HardwareInformation.ChipType", u"QEL 700");
  registry.SetString(kDriverKey, u"QLDRV_LOD_BIAS", u"2");
  registry.SetString(u"System\\CurrentControlSet\\Services\\Svc", u"ImagePath", u"svc.exe");
  registry.CreateKey(u"Software\\Microsoft\\Windows\\CurrentVersion\\Run");
  const Snapshot before = Everything(registry);
  OneRecord store(std::vector<std::uint8_t>(data, data + size));
  const base::Installed<platform::SetRegistry> installedRegistry(registry);
  const base::Installed<platform::SetRecordStore> installedStore(store);

  std::vector<LauncherMessage> messages;
  const LeftRecord left = RestoreLeftRecord(&messages);
  const Snapshot after = Everything(registry);
  for (const auto& [path, value] : after) {
    bool unchanged = false;
    for (const auto& [oldPath, oldValue] : before)
      unchanged = unchanged || (oldPath == path && SameValue(oldValue, value));
    if (!unchanged && !TuningValue(path, value)) std::abort();
  }
  for (const auto& [path, value] : before) {
    bool kept = false;
    for (const auto& [newPath, newValue] : after)
      kept = kept || (newPath == path && newValue.name == value.name);
    if (!kept && path != kDriverKey) std::abort();  // only a tuning value may go
  }
  if (left != LeftRecord::kRestored && !store.There()) std::abort();
  if (registry.OpenHandleCount() != 0) std::abort();
  return 0;
}
