// Helper of scripts/bench-save.sh.
//   hive_bench grow HIVE MEBIBYTES   adds keys and values until the hive file is at least that large
//   hive_bench save HIVE             saves ten values as a settings dialog does (each with its own
//                                    open and close, then the read that follows a save) and
//                                    prints the nanoseconds from the first open to the end
#include <hivex.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "base/posix/Owners.h"
#include "platform/posix/HiveStore.h"

namespace {

struct HivexCloser {
  void operator()(hive_h* hive) const { hivex_close(hive); }
};

// Grows a hive the way a SYSTEM hive is shaped: many keys (groups of a hundred subkeys, as
// under Enum or Services), each with a few small values of the usual kinds, until the file is at
// least that large.
int Grow(const char* path, long mebibytes) {
  const std::size_t target = static_cast<std::size_t>(mebibytes) << 20;
  for (int round = 0;; ++round) {
    struct stat status {};
    if (stat(path, &status) != 0) return std::perror(path), 1;
    if (static_cast<std::size_t>(status.st_size) >= target) return 0;
    std::unique_ptr<hive_h, HivexCloser> hiveOwner(hivex_open(path, HIVEX_OPEN_WRITE));
    hive_h* hive = hiveOwner.get();
    if (hive == nullptr) return std::perror(path), 1;
    const std::string fillerName = "Filler" + std::to_string(round);
    const hive_node_h filler = hivex_node_add_child(hive, hivex_root(hive), fillerName.c_str());
    // About 1.2 KiB of hive per key.
    const std::size_t keys = (target - static_cast<std::size_t>(status.st_size)) / 1200 + 100;
    const std::string text = "@%SystemRoot%\\system32\\drivers\\example.sys,-100";
    std::vector<char> utf16;
    for (char c : text) utf16.insert(utf16.end(), {c, 0});
    utf16.insert(utf16.end(), {0, 0});
    std::vector<char> binary(160);
    for (std::size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>(i * 13);
    char number[4] = {1, 0, 0, 0};
    hive_node_h group = 0;
    for (std::size_t key = 0; key < keys; ++key) {
      if (key % 100 == 0)
        group = hivex_node_add_child(hive, filler, ("Group" + std::to_string(key / 100)).c_str());
      const std::string name = "Key" + std::to_string(key % 100);
      const hive_node_h node = hivex_node_add_child(hive, group, name.c_str());
      hive_set_value values[] = {
          {const_cast<char*>("DisplayName"), hive_t_REG_SZ, utf16.size(), utf16.data()},
          {const_cast<char*>("Description"), hive_t_REG_SZ, utf16.size(), utf16.data()},
          {const_cast<char*>("ImagePath"), hive_t_REG_EXPAND_SZ, utf16.size(), utf16.data()},
          {const_cast<char*>("Start"), hive_t_REG_DWORD, 4, number},
          {const_cast<char*>("Type"), hive_t_REG_DWORD, 4, number},
          {const_cast<char*>("ErrorControl"), hive_t_REG_DWORD, 4, number},
          {const_cast<char*>("Settings"), hive_t_REG_BINARY, binary.size(), binary.data()},
          {const_cast<char*>("Extra"), hive_t_REG_BINARY, binary.size(), binary.data()},
      };
      if (node == 0 || hivex_node_set_values(hive, node, std::size(values), values, 0) != 0)
        return std::perror("grow"), 1;
    }
    if (hivex_commit(hive, nullptr, 0) != 0) return std::perror("commit"), 1;
  }
}

int Save(const char* path) {
  base::Failure failure;
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
