#pragma once
// Helpers of the hive store's tests: the demo hive, and the store's values read and written as
// the program does; on top of the engine's helpers.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/posix/DemoHive.h"
#include "platform/posix/HiveStore.h"
#include "tests/hive/HiveTestSupport.h"

namespace hivetest {

// The demo hive written into a folder; its path.
inline std::string DemoHive(const TempFolder& folder, const std::string& name = "SYSTEM") {
  base::Failure failure;
  const std::string path = folder / name;
  platform::WriteDemoHive(path, &failure);
  return path;
}

inline constexpr char16_t kBoardPath[] =
    u"System\\ControlSet001\\Control\\Video\\{8C4E1B2A-3D5F-4A6B-9E7C-1F2A3B4C5D6E}\\0000";
inline constexpr char16_t kBoardCurrentPath[] =
    u"System\\CurrentControlSet\\Control\\Video\\{8C4E1B2A-3D5F-4A6B-9E7C-1F2A3B4C5D6E}\\0000";

inline const std::u16string kSettingsPath = std::u16string(kBoardCurrentPath) + u"\\D3D";

inline std::unique_ptr<platform::HiveStore> LoadOrFail(
    const std::string& path,
    platform::HiveStore::CommitPolicy policy = platform::HiveStore::CommitPolicy::kDeferred) {
  base::Failure failure;
  auto store = platform::HiveStore::Load(path, &failure, policy);
  EXPECT_EQ(failure.problem, base::HiveProblem::kNone) << path;
  return store;
}

// Sets one value with its own open and close, as the program does.
inline long SetValue(platform::Registry& registry, const std::u16string& path, std::u16string_view name,
                     std::uint32_t type, const std::vector<std::uint8_t>& data) {
  platform::RegKey key = 0;
  if (const long status = registry.Open(path, platform::kKeyWrite, &key); status != 0) return status;
  const long status = registry.Set(key, name, type, data.data(), static_cast<std::uint32_t>(data.size()));
  registry.Close(key);
  return status;
}

inline std::optional<std::vector<std::uint8_t>> QueryValue(platform::Registry& registry,
                                                           const std::u16string& path,
                                                           std::u16string_view name,
                                                           std::uint32_t* type = nullptr) {
  platform::RegKey key = 0;
  if (registry.Open(path, platform::kKeyRead, &key) != 0) return std::nullopt;
  std::vector<std::uint8_t> data(4096);
  auto size = static_cast<std::uint32_t>(data.size());
  const long status = registry.Query(key, name, type, data.data(), &size);
  registry.Close(key);
  if (status != 0) return std::nullopt;
  data.resize(size);
  return data;
}

}  // namespace hivetest
