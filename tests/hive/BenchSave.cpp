// Helper of scripts/bench-save.sh.
//   hive_bench grow HIVE MEBIBYTES   pads a hive with filler keys until its file is that large
//   hive_bench save HIVE             saves ten values as a settings dialog does (each with its own
//                                    open and close, then the read that follows a save) and
//                                    prints the nanoseconds from the first open to the end
#include <hivex.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/posix/HiveStore.h"
#include "platform/posix/Owners.h"

namespace {

int Grow(const char* path, long mebibytes) {
  platform::HiveHandle hiveOwner(hivex_open(path, HIVEX_OPEN_WRITE));
  hive_h* hive = hiveOwner.get();
  if (hive == nullptr) return std::perror(path), 1;
  const hive_node_h filler = hivex_node_add_child(hive, hivex_root(hive), "Filler");
  std::vector<char> data(16000, 'x');
  const std::size_t target = static_cast<std::size_t>(mebibytes) << 20;
  std::size_t total = 0;
  for (int key = 0; total < target; ++key) {
    const std::string name = "Key" + std::to_string(key);
    const hive_node_h node = hivex_node_add_child(hive, filler, name.c_str());
    std::vector<hive_set_value> values;
    std::vector<std::string> names;
    for (int i = 0; i < 8; ++i) names.push_back("Value" + std::to_string(i));
    for (int i = 0; i < 8; ++i)
      values.push_back({names[i].data(), hive_t_REG_BINARY, data.size(), data.data()});
    if (node == 0 || hivex_node_set_values(hive, node, values.size(), values.data(), 0) != 0)
      return std::perror("grow"), 1;
    total += 8 * data.size();
  }
  if (hivex_commit(hive, nullptr, 0) != 0) return std::perror("commit"), 1;
  return 0;
}

int Save(const char* path) {
  platform::Failure failure;
  auto store = platform::HiveStore::Load(path, &failure);
  if (!store) return std::fprintf(stderr, "cannot load %s\n", path), 1;
  const std::u16string settings =
      u"System\\CurrentControlSet\\Control\\Video\\{8C4E1B2A-3D5F-4A6B-9E7C-1F2A3B4C5D6E}\\0000\\D3D";
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 10; ++i) {
    platform::RegKey key = 0;
    if (store->Open(settings, platform::kKeyWrite, &key) != 0)
      return std::fprintf(stderr, "cannot open\n"), 1;
    const std::uint8_t text[] = {static_cast<std::uint8_t>('0' + i), 0, 0, 0};
    const std::u16string name = u"QLDRV_BENCH" + std::u16string(1, static_cast<char16_t>(u'0' + i));
    store->Set(key, name, platform::kRegSz, text, sizeof text);
    store->Close(key);
  }
  platform::RegKey key = 0;
  store->Open(settings, platform::kKeyRead, &key);  // the driver's reload: the save reaches the disk
  store->Close(key);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  if (store->Commits() != 1) return std::fprintf(stderr, "expected one commit\n"), 1;
  std::printf("%lld\n",
              static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count()));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "grow") == 0) return Grow(argv[2], std::atol(argv[3]));
  if (argc == 3 && std::strcmp(argv[1], "save") == 0) return Save(argv[2]);
  std::fprintf(stderr, "usage: hive_bench grow HIVE MEBIBYTES | save HIVE\n");
  return 64;
}
