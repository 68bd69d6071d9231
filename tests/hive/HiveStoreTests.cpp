// The hive store on real hive files: paths and control sets, exact values, access, commits,
// other processes, kills at any moment, and damaged values (HiveFileTests.cpp: damaged files). Results are
// checked with libhivex's own tool (hivexget) or a fresh load, never only through the store that wrote them.
#include <gtest/gtest.h>
#include <hivex.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
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
#include "base/posix/Owners.h"
#include "hive/EmptyHive.h"
#include "hive/HiveFormat.h"
#include "platform/posix/HiveStore.h"
#include "tests/hive/StoreTestSupport.h"

namespace {

using base::Failure;
using base::HiveProblem;
using hivetest::Hivexget;
using hivetest::kBoardCurrentPath;
using hivetest::kBoardKey;
using hivetest::kBoardPath;
using hivetest::kSettingsKey;
using hivetest::kSettingsPath;
using hivetest::LoadOrFail;
using hivetest::QueryValue;
using hivetest::SetValue;
using hivetest::Utf16;
using platform::HiveStore;

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
    ASSERT_TRUE(hivetest::WriteEmptyHive(path, &failure)) << failure.Text();
    hivetest::HivexHandle hiveOwner(hivex_open(path.c_str(), HIVEX_OPEN_WRITE));
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
    folder.Planted(path);  // libhivex's lists

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

    hivetest::HivexHandle checkOwner(hivex_open(hive.c_str(), 0));
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

namespace format = hive::format;

// Where the value cell whose name is found at nameAt starts.
std::size_t ValueCellOf(std::size_t nameAt) { return nameAt - hive::format::kValueName; }

// The hive's bytes with Select's value "Failed" damaged (its vk cell's data size and offset).
std::string WithDamagedValue(const std::string& bytes, const char (&dataField)[8]) {
  std::string damaged = bytes;
  const std::size_t cell = ValueCellOf(damaged.find("Failed"));
  if (damaged.compare(cell + hive::format::kCellSignature, 2, hive::format::kValueSignature) != 0) return {};
  damaged.replace(cell + hive::format::kDataSize, 8, dataField, 8);  // the data size and offset
  return damaged;
}

// Where the last free cell of the demo hive's first bin is, from the first bin.
std::uint32_t LastFreeCell(const std::string& bytes) {
  const auto* b = reinterpret_cast<const std::uint8_t*>(bytes.data());
  std::uint32_t free = 0;
  const std::size_t bin = hive::kHiveBaseBlockSize;
  for (std::size_t at = bin + hive::format::kBinHeaderSize; at < bin + hive::format::kBinUnit;) {
    const auto size = static_cast<std::int32_t>(base::ReadLittleEndian32(b + at));
    if (size == 0) break;
    if (size > 0) free = static_cast<std::uint32_t>(at - bin);
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
  const auto current =
      static_cast<std::uint32_t>(ValueCellOf(good.find("Current")) - hive::kHiveBaseBlockSize);
  const std::uint32_t free = LastFreeCell(good);
  ASSERT_NE(free, 0u);
  const std::uint32_t root =
      base::ReadLittleEndian32(reinterpret_cast<const std::uint8_t*>(good.data()) + hive::format::kRootCell);
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
    folder.Planted(hive);
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
  folder.Planted(hive);

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

}  // namespace
