// The hive store on real hive files: paths and control sets, exact values, access, commits,
// other processes, kills at any moment, and damaged files. Results are checked with libhivex's
// own tool (hivexget) or a fresh load, never only through the store that wrote them.
#include <gtest/gtest.h>
#include <hivex.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <random>
#include <set>
#include <thread>
#include <tuple>

#include "base/ByteOrder.h"
#include "base/Text.h"
#include "platform/posix/EmptyHive.h"
#include "platform/posix/HiveStore.h"
#include "platform/posix/Owners.h"
#include "tests/hive/HiveTestSupport.h"

namespace {

using hivetest::Hivexget;
using hivetest::kBoardCurrentPath;
using hivetest::kBoardKey;
using hivetest::kBoardPath;
using platform::Failure;
using platform::HiveProblem;
using platform::HiveStore;

const std::u16string kSettingsPath = std::u16string(kBoardCurrentPath) + u"\\D3D";
const std::string kSettingsKey = std::string(kBoardKey) + "\\D3D";

std::vector<std::uint8_t> Utf16(std::u16string_view text) {
  std::vector<std::uint8_t> bytes;
  for (char16_t c : text)
    bytes.insert(bytes.end(), {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8)});
  bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

std::unique_ptr<HiveStore> LoadOrFail(const std::string& path,
                                      HiveStore::CommitPolicy policy = HiveStore::CommitPolicy::kDeferred) {
  Failure failure;
  auto store = HiveStore::Load(path, &failure, policy);
  EXPECT_EQ(failure.problem, HiveProblem::kNone) << path;
  return store;
}

// Sets one value with its own open and close, as the program does.
long SetValue(platform::Registry& registry, const std::u16string& path, std::u16string_view name,
              std::uint32_t type, const std::vector<std::uint8_t>& data) {
  platform::RegKey key = 0;
  if (const long status = registry.Open(path, platform::kKeyWrite, &key); status != 0) return status;
  const long status = registry.Set(key, name, type, data.data(), static_cast<std::uint32_t>(data.size()));
  registry.Close(key);
  return status;
}

std::optional<std::vector<std::uint8_t>> QueryValue(platform::Registry& registry, const std::u16string& path,
                                                    std::u16string_view name, std::uint32_t* type = nullptr) {
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

class HiveStoreTest : public ::testing::Test {
 protected:
  hivetest::TempFolder folder;
  std::string hive = hivetest::DemoHive(folder);
};

TEST_F(HiveStoreTest, OpensPathsAsWin32Does) {
  auto store = LoadOrFail(hive);
  struct Row {
    std::u16string path;
    std::uint32_t access;
    long status;
  } rows[] = {
      {u"", platform::kKeyRead, 0},
      {u"", platform::kKeyWrite, platform::kAccessDenied},
      {u"\\System", platform::kKeyRead, platform::kBadPathName},
      {u"System", platform::kKeyRead, 0},
      {u"SYSTEM\\select", platform::kKeyRead, 0},
      {u"system\\controlset001\\CONTROL\\video", platform::kKeyRead, 0},
      {kBoardCurrentPath, platform::kKeyWrite, 0},
      {u"System\\ControlSet002", platform::kKeyRead, platform::kFileNotFound},
      {u"Software", platform::kKeyRead, platform::kFileNotFound},
      {u"Software\\Microsoft", platform::kKeyRead, platform::kFileNotFound},
      {std::u16string(kBoardPath) + u"\\Missing", platform::kKeyWrite, platform::kFileNotFound},
  };
  for (const Row& row : rows) {
    platform::RegKey key = 0x77;
    const long status = store->Open(row.path, row.access, &key);
    EXPECT_EQ(status, row.status) << base::Utf8FromUtf16(row.path);
    if (status == 0) {
      EXPECT_EQ(store->Close(key), 0);
    } else {
      EXPECT_EQ(key, 0x77u) << "a failed open leaves the key";
    }
  }
  EXPECT_EQ(store->OpenHandles(), 0u);
}

TEST_F(HiveStoreTest, ReadsTheDriverValuesWithTheirExactTypeAndBytes) {
  auto store = LoadOrFail(hive);
  platform::RegKey key = 0;
  ASSERT_EQ(store->Open(kBoardPath, platform::kKeyRead, &key), 0);

  std::uint32_t type = 0;
  std::uint32_t size = 0;
  EXPECT_EQ(store->Query(key, u"hardwareinformation.adapterstring", &type, nullptr, &size), 0);
  EXPECT_EQ(type, platform::kRegBinary);
  EXPECT_EQ(size, Utf16(u"QEL 700 M720 Dual").size());

  std::vector<std::uint8_t> buffer(size, 0xCC);
  std::uint32_t shortSize = size - 2;
  EXPECT_EQ(store->Query(key, u"HardwareInformation.AdapterString", nullptr, buffer.data(), &shortSize),
            platform::kMoreData);
  EXPECT_EQ(shortSize, size);
  EXPECT_EQ(buffer, std::vector<std::uint8_t>(size, 0xCC)) << "a short buffer is left untouched";
  EXPECT_EQ(store->Query(key, u"HardwareInformation.AdapterString", nullptr, buffer.data(), &size), 0);
  EXPECT_EQ(buffer, Utf16(u"QEL 700 M720 Dual"));

  std::uint8_t memory[4] = {};
  size = sizeof memory;
  EXPECT_EQ(store->Query(key, u"HardwareInformation.MemorySize", &type, memory, &size), 0);
  EXPECT_EQ(type, platform::kRegBinary);
  EXPECT_EQ(std::vector<std::uint8_t>(memory, memory + 4), (std::vector<std::uint8_t>{0, 0, 0, 4}));
  EXPECT_EQ(store->Query(key, u"Missing", nullptr, memory, &size), platform::kFileNotFound);
  EXPECT_EQ(store->Close(key), 0);
  EXPECT_EQ(store->Close(key), platform::kInvalidHandle);
}

TEST_F(HiveStoreTest, WritesExactValuesKeepsNamesAndOtherValuesAndDeletesOne) {
  {
    auto store = LoadOrFail(hive);
    // An existing name in another case keeps its stored case.
    EXPECT_EQ(SetValue(*store, kBoardCurrentPath, u"CMDFIFOSIZE", platform::kRegBinary, {0, 0, 10, 0}), 0);
    // Text stored without its terminator stays so.
    EXPECT_EQ(SetValue(*store, kSettingsPath, u"QLDRV_LOD_BIAS", platform::kRegSz, {'2', 0}), 0);
    EXPECT_EQ(SetValue(*store, kSettingsPath, u"QLDRV_New", platform::kRegDword, {1, 2, 3, 4}), 0);
    platform::RegKey key = 0;
    ASSERT_EQ(store->Open(kSettingsPath, platform::kKeyWrite, &key), 0);
    EXPECT_EQ(store->Delete(key, u"qldrv_swapinterval"), 0);
    EXPECT_EQ(store->Delete(key, u"QLDRV_SWAPINTERVAL"), platform::kFileNotFound);
    EXPECT_EQ(store->Close(key), 0);
  }  // the store commits when it goes

  const std::string board = Hivexget(hive, kBoardKey);
  EXPECT_NE(board.find("\"CmdFifoSize\"=hex(3):00,00,0a,00"), std::string::npos) << board;
  EXPECT_EQ(board.find("CMDFIFOSIZE"), std::string::npos) << board;
  EXPECT_NE(board.find("\"MaxTileBuffers\"=hex(3):04,00,00,00"), std::string::npos) << board;
  const std::string settings = Hivexget(hive, kSettingsKey);
  EXPECT_NE(settings.find("\"QLDRV_New\"=dword:04030201"), std::string::npos) << settings;
  EXPECT_EQ(settings.find("QLDRV_SWAPINTERVAL"), std::string::npos) << settings;
  EXPECT_NE(settings.find("\"QLDRV_SLI_AA_CONFIGURATION\"=\"3\""), std::string::npos) << settings;

  auto again = LoadOrFail(hive);
  std::uint32_t type = 0;
  EXPECT_EQ(QueryValue(*again, kSettingsPath, u"QLDRV_LOD_BIAS", &type), (std::vector<std::uint8_t>{'2', 0}));
  EXPECT_EQ(type, platform::kRegSz);
}

// Writes a distinct marker into each of three control sets; Select decides which one
// CurrentControlSet is.
TEST(HiveControlSets, CurrentControlSetFollowsSelectAsAtBoot) {
  struct Row {
    const char* name;
    std::vector<std::tuple<const char*, std::uint32_t, std::uint32_t>> select;  // name, type, number
    bool selectKey;
    std::uint8_t expected;
  } rows[] = {
      {"current 2", {{"Current", platform::kRegDword, 2}, {"Default", platform::kRegDword, 3}}, true, 2},
      {"default when current is missing", {{"Default", platform::kRegDword, 3}}, true, 3},
      {"default when current is out of range",
       {{"Current", platform::kRegDword, 0}, {"Default", platform::kRegDword, 3}},
       true,
       3},
      {"default when current has a type of no meaning",
       {{"Current", 0x200004, 2}, {"Default", platform::kRegDword, 3}},
       true,
       3},
      {"ControlSet001 without Select", {}, false, 1},
  };
  for (const Row& row : rows) {
    hivetest::TempFolder folder;
    const std::string path = folder / "SYSTEM";
    Failure failure;
    ASSERT_TRUE(platform::WriteEmptyHive(path, &failure)) << failure.Text();
    platform::HiveHandle hiveOwner(hivex_open(path.c_str(), HIVEX_OPEN_WRITE));
    hive_h* hive = hiveOwner.get();
    ASSERT_NE(hive, nullptr);
    for (std::uint8_t set = 1; set <= 3; ++set) {
      const std::string name = "ControlSet00" + std::to_string(set);
      const hive_node_h control =
          hivex_node_add_child(hive, hivex_node_add_child(hive, hivex_root(hive), name.c_str()), "Control");
      char marker[] = {static_cast<char>(set), 0, 0, 0};
      hive_set_value value{const_cast<char*>("Which"), hive_t_REG_BINARY, 4, marker};
      ASSERT_EQ(hivex_node_set_value(hive, control, &value, 0), 0);
    }
    if (row.selectKey) {
      const hive_node_h select = hivex_node_add_child(hive, hivex_root(hive), "Select");
      for (const auto& [name, type, number] : row.select) {
        char bytes[] = {static_cast<char>(number), 0, 0, 0};
        hive_set_value value{const_cast<char*>(name), {}, 4, bytes};
        std::memcpy(&value.t, &type, sizeof type);
        ASSERT_EQ(hivex_node_set_value(hive, select, &value, 0), 0);
      }
    }
    ASSERT_EQ(hivex_commit(hive, nullptr, 0), 0);
    hiveOwner.reset();

    auto store = LoadOrFail(path);
    const auto marker = QueryValue(*store, u"System\\CurrentControlSet\\Control", u"Which");
    ASSERT_TRUE(marker) << row.name;
    EXPECT_EQ(marker->front(), row.expected) << row.name;
  }
}

TEST_F(HiveStoreTest, WriteAccessIsRefusedWhenTheHiveCannotBeReplaced) {
  struct Row {
    const char* name;
    std::string path;
    mode_t mode;
  } rows[] = {
      {"read-only hive file", hive, 0444},
      {"read-only folder", folder.Path(), 0555},
  };
  for (const Row& row : rows) {
    auto store = LoadOrFail(hive);
    struct stat before {};
    stat(row.path.c_str(), &before);
    ASSERT_EQ(chmod(row.path.c_str(), row.mode), 0);
    platform::RegKey key = 0;
    EXPECT_EQ(store->Open(kBoardCurrentPath, platform::kKeyWrite, &key), platform::kAccessDenied) << row.name;
    EXPECT_EQ(store->Open(kBoardCurrentPath, platform::kKeyRead, &key), 0) << row.name;
    store->Close(key);
    chmod(row.path.c_str(), before.st_mode & 07777);
  }
}

TEST_F(HiveStoreTest, ADialogsWritesBecomeOneRewriteBeforeTheNextRead) {
  auto store = LoadOrFail(hive);
  platform::RegKey probe = 0;
  ASSERT_EQ(store->Open(kBoardCurrentPath, platform::kKeyWrite, &probe), 0);
  store->Close(probe);
  for (int i = 0; i < 10; ++i) {
    const std::u16string name = u"QLDRV_VALUE" + std::u16string(1, static_cast<char16_t>(u'0' + i));
    ASSERT_EQ(SetValue(*store, kSettingsPath, name, platform::kRegSz, Utf16(u"7")), 0);
  }
  EXPECT_EQ(store->Commits(), 0u);
  EXPECT_EQ(Hivexget(hive, kSettingsKey).find("QLDRV_VALUE"), std::string::npos) << "nothing written yet";

  // The driver's reload (or the next dialog) reads: the writes reach the disk first.
  EXPECT_TRUE(QueryValue(*store, kSettingsPath, u"QLDRV_VALUE9"));
  EXPECT_EQ(store->Commits(), 1u);
  EXPECT_FALSE(store->HasPendingEdits());
  EXPECT_NE(Hivexget(hive, kSettingsKey).find("\"QLDRV_VALUE9\"=\"7\""), std::string::npos);

  auto eager = LoadOrFail(hive, HiveStore::CommitPolicy::kOnClose);
  for (int i = 0; i < 3; ++i)
    ASSERT_EQ(SetValue(*eager, kSettingsPath, u"QLDRV_LOD_BIAS", platform::kRegSz, Utf16(u"1")), 0);
  EXPECT_EQ(eager->Commits(), 3u);
}

TEST_F(HiveStoreTest, SeesAnotherProgramsSaveAndMergesWithIt) {
  auto first = LoadOrFail(hive);
  auto second = LoadOrFail(hive);
  ASSERT_EQ(SetValue(*first, kSettingsPath, u"QLDRV_LOD_BIAS", platform::kRegSz, Utf16(u"5")), 0);
  ASSERT_EQ(SetValue(*second, kSettingsPath, u"QLDRV_OVERLAYMODE", platform::kRegSz, Utf16(u"3")), 0);
  ASSERT_EQ(second->Flush(), 0);

  // The first store, with its own edit pending, reads the second's save and keeps its edit.
  EXPECT_EQ(QueryValue(*first, kSettingsPath, u"QLDRV_OVERLAYMODE"), Utf16(u"3"));
  EXPECT_EQ(QueryValue(*first, kSettingsPath, u"QLDRV_LOD_BIAS"), Utf16(u"5"));
  const std::string settings = Hivexget(hive, kSettingsKey);
  EXPECT_NE(settings.find("\"QLDRV_LOD_BIAS\"=\"5\""), std::string::npos) << settings;
  EXPECT_NE(settings.find("\"QLDRV_OVERLAYMODE\"=\"3\""), std::string::npos) << settings;
}

TEST_F(HiveStoreTest, TwoWritingProcessesLoseNothing) {
  constexpr int kValuesEach = 30;
  std::vector<pid_t> children;
  for (char writer : {'A', 'B'}) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      Failure failure;
      auto store = HiveStore::Load(hive, &failure);
      bool ok = store != nullptr;
      for (int i = 0; ok && i < kValuesEach; ++i) {
        const std::u16string name = u"QLDRV_" + std::u16string(1, static_cast<char16_t>(writer)) +
                                    base::Utf16FromUtf8(std::to_string(i));
        ok = SetValue(*store, kSettingsPath, name, platform::kRegSz, Utf16(u"1")) == 0 && store->Flush() == 0;
      }
      _exit(ok ? 0 : 1);
    }
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const std::string settings = Hivexget(hive, kSettingsKey);
  for (char writer : {'A', 'B'}) {
    for (int i = 0; i < kValuesEach; ++i) {
      const std::string line = "\"QLDRV_" + std::string(1, writer) + std::to_string(i) + "\"=\"1\"";
      EXPECT_NE(settings.find(line), std::string::npos) << line;
    }
  }
  EXPECT_NE(settings.find("\"QLDRV_SLI_AA_CONFIGURATION\"=\"3\""), std::string::npos);
}

// A child saves ten values again and again, each save holding one generation number in all
// ten; it is killed at a random moment after its first save. The hive must then open and hold
// one whole generation, never a mix, never an older one than before. HIVE_KILL_ITERATIONS sets
// the count.
TEST_F(HiveStoreTest, AKillAtAnyMomentLeavesTheOldOrTheNewHive) {
  const char* setting = std::getenv("HIVE_KILL_ITERATIONS");
  const int iterations = setting != nullptr ? std::atoi(setting) : 100;
  std::mt19937 random(12345);
  long previous = 0;
  int torn = 0;
  for (int iteration = 0; iteration < iterations; ++iteration) {
    // The child says through the pipe when its first save is on disk: the kill comes after it
    // however slowly the machine runs, and lands at a random moment of the saves that follow.
    int saved[2];
    ASSERT_EQ(pipe(saved), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(saved[0]);
      Failure failure;
      auto store = HiveStore::Load(hive, &failure);
      if (!store) _exit(1);
      for (long generation = previous + 1;; ++generation) {
        const std::u16string text = base::Utf16FromUtf8(std::to_string(generation));
        for (int i = 0; i < 10; ++i) {
          const std::u16string name = u"QLDRV_KILL" + std::u16string(1, static_cast<char16_t>(u'0' + i));
          SetValue(*store, kSettingsPath, name, platform::kRegSz, Utf16(text));
        }
        if (store->Flush() != 0) _exit(2);
        if (saved[1] >= 0) {
          if (write(saved[1], "s", 1) != 1) _exit(3);
          close(saved[1]);
          saved[1] = -1;
        }
      }
    }
    close(saved[1]);
    char signal = 0;
    const ssize_t got = read(saved[0], &signal, 1);
    close(saved[0]);
    if (got != 1) {
      int status = 0;
      waitpid(child, &status, 0);
      FAIL() << "iteration " << iteration << ": the child ended before its first save, status " << status;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);

    platform::HiveHandle checkOwner(hivex_open(hive.c_str(), 0));
    hive_h* check = checkOwner.get();
    ASSERT_NE(check, nullptr) << "iteration " << iteration;
    checkOwner.reset();
    auto store = LoadOrFail(hive);
    std::set<std::vector<std::uint8_t>> generations;
    for (int i = 0; i < 10; ++i) {
      const std::u16string name = u"QLDRV_KILL" + std::u16string(1, static_cast<char16_t>(u'0' + i));
      generations.insert(QueryValue(*store, kSettingsPath, name).value_or(std::vector<std::uint8_t>{}));
    }
    if (generations.size() != 1) ++torn;
    ASSERT_EQ(generations.size(), 1u) << "iteration " << iteration;
    const std::vector<std::uint8_t> bytes = *generations.begin();
    std::string digits;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
      if (bytes[i] != 0) digits.push_back(static_cast<char>(bytes[i]));
    }
    const long generation = digits.empty() ? 0 : std::stol(digits);
    EXPECT_GE(generation, previous);
    previous = generation;
  }
  EXPECT_EQ(torn, 0);
  EXPECT_GT(previous, 0) << "the children saved between the kills";
  // The next open clears what killed saves (and earlier versions' lock file) left behind:
  // nothing but the hive is left.
  hivetest::WriteFile(folder / "SYSTEM.lock", "");
  auto store = LoadOrFail(hive);
  EXPECT_EQ(hivetest::Run("ls -A " + hivetest::Quote(folder.Path())), "SYSTEM\n");
  ASSERT_EQ(SetValue(*store, kSettingsPath, u"QLDRV_LOD_BIAS", platform::kRegSz, Utf16(u"1")), 0);
  ASSERT_EQ(store->Flush(), 0);
  store.reset();
  EXPECT_EQ(hivetest::Run("ls -A " + hivetest::Quote(folder.Path())), "SYSTEM\n");
}

TEST(HiveFiles, DamagedFilesAreReportedNeverCrash) {
  hivetest::TempFolder folder;
  const std::string good = hivetest::ReadFile(hivetest::DemoHive(folder, "GOOD"));
  auto flip = [&](std::size_t at) {
    std::string bytes = good;
    bytes[at] = static_cast<char>(bytes[at] ^ 0x5A);
    return bytes;
  };
  struct Row {
    const char* name;
    std::string bytes;
    HiveProblem problem;
  } rows[] = {
      {"empty file", "", HiveProblem::kNotHive},
      {"text", "Windows Registry Editor Version 5.00\r\n", HiveProblem::kNotHive},
      {"header only", good.substr(0, 4096), HiveProblem::kCorrupt},
      {"truncated in the header", good.substr(0, 300), HiveProblem::kCorrupt},
      {"truncated in a bin", good.substr(0, 6000), HiveProblem::kCorrupt},
      {"header checksum", flip(0x1FC), HiveProblem::kCorrupt},
      {"bin signature", flip(4096), HiveProblem::kCorrupt},
  };
  for (const Row& row : rows) {
    const std::string path = folder / "SYSTEM";
    hivetest::WriteFile(path, row.bytes);
    Failure failure;
    EXPECT_EQ(HiveStore::Load(path, &failure), nullptr) << row.name;
    EXPECT_EQ(failure.problem, row.problem) << row.name;
  }
  Failure failure;
  EXPECT_EQ(HiveStore::Load(folder / "none", &failure), nullptr);
  EXPECT_EQ(failure.problem, HiveProblem::kMissing);
  // A file that cannot be read says why in the system's words; a FIFO is refused at once
  // instead of waiting for a writer.
  EXPECT_EQ(HiveStore::Load(folder.Path(), &failure), nullptr);
  EXPECT_EQ(failure.problem, HiveProblem::kUnreadable);
  EXPECT_EQ(failure.why, "Is a directory");
  EXPECT_EQ(failure.Text(), folder.Path() + ": cannot read the hive file: Is a directory");
  const std::string fifo = folder / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(HiveStore::Load(fifo, &failure), nullptr);
  EXPECT_EQ(failure.problem, HiveProblem::kUnreadable);
  EXPECT_EQ(failure.why, "not a regular file");
}

// The hive's bytes with Select's value "Failed" damaged (its vk cell's data size and offset).
std::string WithDamagedValue(const std::string& bytes, const char (&dataField)[8]) {
  std::string damaged = bytes;
  const std::size_t cell = damaged.find("Failed") - 0x18;
  if (damaged.substr(cell + 4, 2) != "vk") return {};
  damaged.replace(cell + 8, 8, dataField, 8);
  return damaged;
}

// Where the last free cell of the demo hive's first bin is, from the first bin.
std::uint32_t LastFreeCell(const std::string& bytes) {
  const auto* b = reinterpret_cast<const std::uint8_t*>(bytes.data());
  std::uint32_t free = 0;
  for (std::size_t at = 4096 + 32; at < 8192;) {
    const auto size = static_cast<std::int32_t>(base::ReadLittleEndian32(b + at));
    if (size == 0) break;
    if (size > 0) free = static_cast<std::uint32_t>(at - 4096);
    at += static_cast<std::size_t>(size < 0 ? -size : size);
  }
  return free;
}

// A value whose data cannot be where it says is damaged: reading it gives 1015, and so does
// writing or deleting it (its cell cannot be freed or patched safely, nor can a cell that a key
// uses too); the rest of the key and of the hive is read and written as usual, and the saved hive
// is sound.
TEST_F(HiveStoreTest, ADamagedValueIsRefusedAndTheRestOfTheKeyServes) {
  const std::string good = hivetest::ReadFile(hive);
  auto field = [](std::uint32_t size, std::uint32_t offset) {
    std::array<char, 8> data{};
    base::WriteLittleEndian32(size, reinterpret_cast<std::uint8_t*>(data.data()));
    base::WriteLittleEndian32(offset, reinterpret_cast<std::uint8_t*>(data.data()) + 4);
    return data;
  };
  const auto current = static_cast<std::uint32_t>(good.find("Current") - 0x18 - 4096);
  const std::uint32_t free = LastFreeCell(good);
  ASSERT_NE(free, 0u);
  const std::uint32_t root =
      base::ReadLittleEndian32(reinterpret_cast<const std::uint8_t*>(good.data()) + 0x24);
  struct Row {
    const char* name;
    std::array<char, 8> data;
    bool readable;  // the bytes can be read, only not written over
  } rows[] = {
      {"data outside the hive", field(8, 0x0FFFFFF0), false},
      {"more than 4 bytes inline", field(0x80000007, 0x04030201), false},
      {"data in a free cell", field(8, free), false},
      {"data in another value's cell", field(4, current), true},
      {"data in the root key's cell", field(4, root), true},
  };
  for (const Row& row : rows) {
    char data[8];
    std::memcpy(data, row.data.data(), sizeof data);
    hivetest::WriteFile(hive, WithDamagedValue(good, data));
    auto store = LoadOrFail(hive);
    ASSERT_NE(store, nullptr) << row.name;
    EXPECT_EQ(QueryValue(*store, u"System\\Select", u"Failed").has_value(), row.readable) << row.name;
    EXPECT_EQ(SetValue(*store, u"System\\Select", u"Failed", platform::kRegDword, {2, 0, 0, 0}),
              platform::kRegistryCorrupt)
        << row.name;
    EXPECT_EQ(
        SetValue(*store, u"System\\Select", u"Failed", platform::kRegBinary, std::vector<std::uint8_t>(9, 1)),
        platform::kRegistryCorrupt)
        << row.name;
    platform::RegKey key = 0;
    ASSERT_EQ(store->Open(u"System\\Select", platform::kKeyWrite, &key), 0);
    EXPECT_EQ(store->Delete(key, u"Failed"), platform::kRegistryCorrupt) << row.name;
    store->Close(key);
    EXPECT_EQ(SetValue(*store, u"System\\Select", u"Mine", platform::kRegDword, {5, 0, 0, 0}), 0) << row.name;
    EXPECT_EQ(SetValue(*store, kSettingsPath, u"QLDRV_LOD_BIAS", platform::kRegSz, Utf16(u"3")), 0)
        << row.name;
    EXPECT_EQ(store->Flush(), 0) << row.name;
    EXPECT_NE(Hivexget(hive, kSettingsKey).find("\"QLDRV_LOD_BIAS\"=\"3\""), std::string::npos) << row.name;
    EXPECT_NE(Hivexget(hive, "Select").find("\"Mine\"=dword:00000005"), std::string::npos) << row.name;
    EXPECT_EQ(QueryValue(*store, u"System\\Select", u"Current"), (std::vector<std::uint8_t>{1, 0, 0, 0}))
        << row.name << ": the damaged value's neighbour is untouched";
  }
}

std::string Attribute(const std::string& path, const char* name) {
  char value[4096];
  const ssize_t size = getxattr(path.c_str(), name, value, sizeof value);
  return size < 0 ? "(none)" : std::string(value, static_cast<std::size_t>(size));
}

// A save replaces the file, yet the hive keeps its owner, mode and extended attributes; on an
// NTFS volume (ntfs-3g, when it runs here) these carry the file's NTFS attributes, creation time
// and security descriptor.
TEST(HiveFiles, ASaveKeepsOwnerModeAndExtendedAttributes) {
  hivetest::TempFolder folder;
  struct Volume {
    std::string name;
    std::string folder;
    std::vector<const char*> attributes;
  };
  std::vector<Volume> volumes{{"local", folder / "local", {"user.origin"}}};
  const bool ntfs =
      geteuid() == 0 &&
      hivetest::Run("command -v mkntfs >/dev/null && command -v ntfs-3g >/dev/null && echo yes") == "yes\n";
  if (ntfs) {
    const std::string image = folder / "ntfs.img";
    int status = -1;
    hivetest::Run("truncate -s 16M " + image + " && mkntfs -F -Q -q " + image + " >/dev/null 2>&1 && mkdir " +
                      folder / "ntfs" + " && ntfs-3g " + image + " " + folder / "ntfs" + " 2>&1",
                  &status);
    if (status == 0)
      volumes.push_back({"ntfs",
                         folder / "ntfs",
                         {"user.origin", "system.ntfs_attrib", "system.ntfs_crtime", "system.ntfs_acl"}});
  }
  if (volumes.size() == 1) std::printf("NTFS volume not tested: needs root, mkntfs, ntfs-3g and FUSE\n");
  struct Unmount {
    std::string path;
    ~Unmount() {
      if (!path.empty()) hivetest::Run("umount " + hivetest::Quote(path));
    }
  } unmount{volumes.size() == 2 ? volumes[1].folder : std::string()};
  for (const Volume& volume : volumes) {
    std::filesystem::create_directories(volume.folder);
    const std::string hive = volume.folder + "/SYSTEM";
    Failure failure;
    ASSERT_TRUE(platform::WriteDemoHive(hive, &failure)) << failure.Text();
    ASSERT_EQ(setxattr(hive.c_str(), "user.origin", "installer", 9, 0), 0) << volume.name;
    if (volume.name == "ntfs") {
      const std::uint8_t hiddenSystemArchive[4] = {0x26, 0, 0, 0};
      ASSERT_EQ(setxattr(hive.c_str(), "system.ntfs_attrib", hiddenSystemArchive, 4, 0), 0);
    } else {
      chmod(hive.c_str(), 0640);
      if (geteuid() == 0) {
        ASSERT_EQ(chown(hive.c_str(), 1234, 5678), 0);
      }
    }
    struct stat before {};
    stat(hive.c_str(), &before);
    std::vector<std::string> kept;
    for (const char* name : volume.attributes) kept.push_back(Attribute(hive, name));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));

    auto store = LoadOrFail(hive);
    ASSERT_EQ(SetValue(*store, kSettingsPath, u"QLDRV_LOD_BIAS", platform::kRegSz, Utf16(u"2")), 0)
        << volume.name;
    ASSERT_EQ(store->Flush(), 0) << volume.name << ": " << store->LastSave().error;
    struct stat after {};
    stat(hive.c_str(), &after);
    EXPECT_NE(after.st_ino, before.st_ino) << volume.name << ": the save replaced the file";
    EXPECT_EQ(after.st_mode, before.st_mode) << volume.name;
    EXPECT_EQ(after.st_uid, before.st_uid) << volume.name;
    EXPECT_EQ(after.st_gid, before.st_gid) << volume.name;
    for (std::size_t i = 0; i < kept.size(); ++i)
      EXPECT_EQ(Attribute(hive, volume.attributes[i]), kept[i]) << volume.name << " " << volume.attributes[i];
    EXPECT_NE(Hivexget(hive, kSettingsKey).find("\"QLDRV_LOD_BIAS\"=\"2\""), std::string::npos)
        << volume.name;
  }
}

// A fuzzer's damaged hive (its input less the 8 bytes of lengths), on which an earlier writer
// aborted the process: writes to it are made or refused, never a crash, and what was saved loads
// again and holds them.
TEST(HiveFiles, AFuzzersDamagedHiveIsWrittenSoundlyOrRefused) {
  hivetest::TempFolder folder;
  const std::string hive = folder / "SYSTEM";
  hivetest::WriteFile(hive, hivetest::ReadFile(FUZZ_REGRESSIONS_DIR "/hive/set-values-abort").substr(8));
  auto store = LoadOrFail(hive);
  ASSERT_NE(store, nullptr);
  platform::RegKey key = 0;
  ASSERT_EQ(store->Open(u"System\\Select", platform::kKeyWrite, &key), 0);
  const std::uint8_t value[4] = {3, 0, 0, 0};
  const long set = store->Set(key, u"Current", platform::kRegDword, value, sizeof value);
  EXPECT_TRUE(set == 0 || set == platform::kRegistryCorrupt) << set;
  store->Delete(key, u"Default");
  store->Close(key);
  EXPECT_EQ(store->Flush(), 0);
  store.reset();
  auto again = LoadOrFail(hive);
  ASSERT_NE(again, nullptr);
  if (set == 0) {
    EXPECT_EQ(QueryValue(*again, u"System\\Select", u"Current"), (std::vector<std::uint8_t>{3, 0, 0, 0}));
  }
}

// A pending edit that cannot be applied to the hive another program saved meanwhile is reported
// lost at once, in words, and dropped: the store then shows what the file holds, and the hive is
// never written without it.
TEST_F(HiveStoreTest, AnEditLostToAnotherProgramsSaveIsNeverReportedSaved) {
  auto store = LoadOrFail(hive);
  ASSERT_EQ(SetValue(*store, u"System\\Select", u"Failed", platform::kRegDword, {2, 0, 0, 0}), 0);

  const char brokenData[8] = {8, 0, 0, 0, '\xF0', '\xFF', '\xFF', '\x0F'};  // data outside the hive
  const std::string bytes = WithDamagedValue(hivetest::ReadFile(hive), brokenData);
  ASSERT_NE(bytes, "");
  hivetest::WriteFile(hive + ".other", bytes);
  ASSERT_EQ(std::rename((hive + ".other").c_str(), hive.c_str()), 0);

  EXPECT_EQ(store->Flush(), platform::kRegistryCorrupt);
  const HiveStore::SaveReport report = store->LastSave();
  EXPECT_EQ(report.lost, 1u);
  EXPECT_EQ(report.saved, 0u);
  EXPECT_NE(report.error, "");
  EXPECT_EQ(store->LostChanges().why, report.error);
  EXPECT_FALSE(store->HasPendingEdits());
  EXPECT_EQ(QueryValue(*store, u"System\\Select", u"Current"), (std::vector<std::uint8_t>{1, 0, 0, 0}));
  EXPECT_EQ(store->Flush(), 0);
  EXPECT_TRUE(hivetest::ReadFile(hive) == bytes) << "the hive is as the other program saved it";
}

TEST(HiveFiles, TheEmptyImageIsAHiveThatLibhivexAccepts) {
  hivetest::TempFolder folder;
  const std::string path = folder / "EMPTY";
  Failure failure;
  ASSERT_TRUE(platform::WriteEmptyHive(path, &failure)) << failure.Text();
  EXPECT_FALSE(platform::WriteEmptyHive(path, &failure)) << "an existing file is never replaced";
  EXPECT_EQ(failure.Text(), "cannot create " + path + ": File exists");
  platform::HiveHandle hiveOwner(hivex_open(path.c_str(), 0));
  hive_h* hive = hiveOwner.get();
  ASSERT_NE(hive, nullptr);
  EXPECT_EQ(hivex_node_nr_children(hive, hivex_root(hive)), 0u);
  EXPECT_EQ(hivex_node_nr_values(hive, hivex_root(hive)), 0u);
  hiveOwner.reset();

  std::vector<std::uint8_t> image = platform::EmptyHiveImage(0);
  EXPECT_EQ(image.size(), 8192u);
  image[0x30] ^= 1;  // a header byte changed without its checksum
  hivetest::WriteFile(path, std::string(image.begin(), image.end()));
  EXPECT_EQ(hivex_open(path.c_str(), 0), nullptr);
}

TEST(HiveFiles, TheDemoFolderIsMadeOnceAndNeverOverwritten) {
  hivetest::TempFolder folder;
  const std::string data = folder / "share/configurator";
  Failure failure;
  ASSERT_EQ(platform::EnsureDemoFolder(data, &failure), platform::DemoFolder::kCreated) << failure.Text();
  EXPECT_NE(Hivexget(data + "/SYSTEM", "Select").find("\"Current\"=dword:00000001"), std::string::npos);
  EXPECT_NE(hivetest::ReadFile(data + "/board").find(" board\n"), std::string::npos);

  hivetest::WriteFile(data + "/SYSTEM", "mine");
  EXPECT_EQ(platform::EnsureDemoFolder(data, &failure), platform::DemoFolder::kExisting);
  EXPECT_EQ(hivetest::ReadFile(data + "/SYSTEM"), "mine");

  const std::string empty = folder / "empty";
  mkdir(empty.c_str(), 0755);
  EXPECT_EQ(platform::EnsureDemoFolder(empty, &failure), platform::DemoFolder::kExisting);
  EXPECT_EQ(hivetest::Run("ls -A " + hivetest::Quote(empty)), "");
  EXPECT_EQ(hivetest::Run("ls -A " + hivetest::Quote(folder / "share")), "configurator\n") << "no leftovers";
}

}  // namespace
