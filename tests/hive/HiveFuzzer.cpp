// libFuzzer target: a hive file from outside, opened by the hive store and walked as the program
// and --list-adapters walk it (every key to a small depth, every value queried), then one value
// written and committed. Anything but a crash is fine: errors are status codes.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/posix/HiveStore.h"

namespace {

std::string ScratchFolder() {
  static std::string folder = [] {
    std::string pattern = "/tmp/hive-fuzz.XXXXXX";
    return mkdtemp(pattern.data()) != nullptr ? pattern : std::string("/tmp");
  }();
  return folder;
}

void Walk(platform::HiveStore& store, const std::u16string& path, int depth) {
  platform::RegKey key = 0;
  if (store.Open(path, platform::kKeyRead, &key) != 0) return;
  std::vector<std::u16string> names;
  if (store.Values(key, &names) == 0) {
    for (const std::u16string& name : names) {
      std::uint8_t data[64];
      std::uint32_t type = 0;
      std::uint32_t size = sizeof data;
      store.Query(key, name, &type, data, &size);
      store.Query(key, name, &type, nullptr, &size);
    }
  }
  std::vector<std::u16string> subkeys;
  const long status = store.Subkeys(key, &subkeys);
  store.Close(key);
  if (status != 0 || depth == 0) return;
  for (std::size_t i = 0; i < subkeys.size() && i < 16; ++i)
    Walk(store, path + u"\\" + subkeys[i], depth - 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = ScratchFolder() + "/SYSTEM";
  unlink(path.c_str());
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);

  platform::Failure failure;
  auto store = platform::HiveStore::Load(path, &failure);
  if (!store) return 0;
  Walk(*store, u"System", 4);
  Walk(*store, u"System\\CurrentControlSet\\Control\\Video", 3);
  platform::RegKey key = 0;
  if (store->Open(u"System\\Select", platform::kKeyWrite, &key) == 0) {
    const std::uint8_t value[4] = {1, 0, 0, 0};
    store->Set(key, u"Current", platform::kRegDword, value, sizeof value);
    store->Delete(key, u"Default");
    store->Close(key);
    store->Flush();
  }
  return 0;
}
