// Every input kept in the tree for a fuzz target, its seeds (seeds/<target>/) and the inputs
// that once crashed it or made it allocate without bound (regressions/<target>/), run through the
// target's entry function: none may crash, abort or ask for more memory at once than any kept
// input could need (the sanitizer build also catches what they read or write out of bounds, and
// leaks).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <new>
#include <string>
#include <vector>

// clang-format off
#define FUZZ_ENTRIES(X) \
  X(hive) X(recovery) X(resources) X(hand_off) X(query_string) \
  X(reg_file) X(board_file) X(decimal) X(escape) X(switches) X(restore_record) \
  X(check_hive) X(hive_edit)
// clang-format on

#define DECLARE_ENTRY(name) extern "C" int FuzzEntry_##name(const std::uint8_t* data, std::size_t size);
FUZZ_ENTRIES(DECLARE_ENTRY)
extern "C" int HiveFuzzBothWays(const std::uint8_t* data, std::size_t size);

// The kept inputs are a few KiB each: no allocation for them comes near this, as libFuzzer's
// -malloc_limit_mb ends a run that asks for more. Memory is taken from malloc, and given back to
// it, so that the sanitizer sees matching pairs.
void* operator new(std::size_t size) {
  constexpr std::size_t kLimit = std::size_t{64} << 20;
  if (size > kLimit) {
    std::fprintf(stderr, "an allocation of %zu bytes, beyond what any kept input needs\n", size);
    std::abort();
  }
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
// The nothrow forms too (std::stable_sort's buffer comes from them), so that every allocation
// is a malloc and every release a free.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& nothrow) noexcept {
  return operator new(size, nothrow);
}
// GCC takes free() in a replaced operator delete for a mismatch with new.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }

namespace {

using Entry = int (*)(const std::uint8_t*, std::size_t);

const std::map<std::string, Entry>& Targets() {
#define TARGET_ROW(name) {#name, FuzzEntry_##name},
  static const std::map<std::string, Entry> targets = [] {
    std::map<std::string, Entry> entries{FUZZ_ENTRIES(TARGET_ROW)};
    // A hive input goes through files or stays in memory by its bytes; kept ones take both ways.
    entries["hive"] = HiveFuzzBothWays;
    return entries;
  }();
#undef TARGET_ROW
  return targets;
}

TEST(FuzzInputs, EveryKeptInputRunsThroughItsTarget) {
  namespace fs = std::filesystem;
  std::size_t inputs = 0;
  for (const char* kind : {"seeds", "regressions"}) {
    const fs::path root = fs::path(FUZZ_INPUTS_DIR) / kind;
    if (!fs::is_directory(root)) continue;
    for (const auto& folder : fs::directory_iterator(root)) {
      const std::string target = folder.path().filename();
      const auto found = Targets().find(target);
      ASSERT_NE(found, Targets().end()) << folder.path() << " is not named after a fuzz target";
      std::vector<fs::path> files(fs::directory_iterator(folder.path()), fs::directory_iterator{});
      std::sort(files.begin(), files.end());
      for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        // Said before the run, so that a crash names the input.
        std::fprintf(stderr, "%s: %s\n", target.c_str(), file.c_str());
        EXPECT_EQ(found->second(bytes.data(), bytes.size()), 0) << file;
        ++inputs;
      }
    }
  }
  EXPECT_GT(inputs, 0U);
}

}  // namespace
