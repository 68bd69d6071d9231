// libFuzzer target: a hive file and its logs from outside (see HiveFuzzInput.h), written to a
// scratch folder, opened by the hive store (recovered from the logs when dirty) and walked as the
// program and --list-adapters walk it (every key to a small depth, every value queried), then
// one value written and committed. Anything but a crash is fine: errors are status codes.
//
// The scratch folder is made once in $TMPDIR (else /tmp) and removed when the process exits.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/posix/HiveStore.h"
#include "tests/fuzz/HiveFuzzInput.h"

namespace {

std::string& Scratch() {
  static std::string folder;
  return folder;
}

void RemoveScratch() {
  std::error_code ignored;
  if (!Scratch().empty()) std::filesystem::remove_all(Scratch(), ignored);
}

// The scratch folder, emptied.
const std::string& EmptyScratch() {
  if (Scratch().empty()) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && tmp[0] != 0 ? tmp : "/tmp") + "/hive-fuzz.XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    Scratch() = pattern;
    std::atexit(RemoveScratch);
  }
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(Scratch(), ignored))
    std::filesystem::remove_all(entry.path(), ignored);
  return Scratch();
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
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
  fuzz::HiveFiles files;
  if (!fuzz::SplitHiveInput(data, size, &files)) return 0;
  const std::string& folder = EmptyScratch();
  const std::string path = folder + "/SYSTEM";
  WriteFile(path, files.primary);
  if (!files.log1.empty() || files.emptyLogsPresent) WriteFile(path + ".LOG1", files.log1);
  if (!files.log2.empty() || files.emptyLogsPresent) WriteFile(path + ".LOG2", files.log2);

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
