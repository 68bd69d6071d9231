// Recovery of dirty hives from their transaction logs: Windows' own recovered hives as the
// reference (read from the shared test data folder, never copied into the tree), damaged copies
// of them, and small logs of our own making for what those hives do not exercise.
#include <gtest/gtest.h>
#include <hivex.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>

#include "base/ByteOrder.h"
#include "base/Status.h"
#include "base/posix/Owners.h"
#include "hive/EmptyHive.h"
#include "hive/HiveFormat.h"
#include "hive/HiveRecovery.h"
#include "hive/posix/HiveFile.h"
#include "hive/posix/HiveLogs.h"
#include "tests/hive/HiveTestSupport.h"

namespace {

using hive::HiveLogFile;
using hive::HiveLogs;
using hive::HiveRecovery;
using hive::RecoverHive;
using hivetest::HashEntry;
using hivetest::NewFormatLog;
using hivetest::ReadBytes;
using hivetest::SetChecksum;
using Bytes = std::vector<std::uint8_t>;
using Outcome = HiveRecovery::Outcome;
namespace format = hive::format;
using hive::kHiveBaseBlockSize;

// Offsets in a new-format log with one entry: the entry follows the log's copy of the base block.
constexpr std::size_t kFirstEntry = hive::format::kLogBaseSize;
constexpr std::size_t kFirstPageRef = hive::format::kEntryHeaderSize;  // in the entry
// In a small old-format log, the pages follow the base block's copy and one page that holds "DIRT"
// and the bitmap.
constexpr std::size_t kOldLogPages = hive::format::kLogBaseSize + hive::format::kLogPageSize;

#ifndef HIVE_REFERENCE_DIR
#define HIVE_REFERENCE_DIR ""
#endif

std::string ReferenceDir() {
  const char* set = std::getenv("HIVE_REFERENCE_DIR");
  return set != nullptr && set[0] != 0 ? set : HIVE_REFERENCE_DIR;
}

std::optional<HiveLogFile> LogOf(const std::string& path) {
  if (!std::filesystem::exists(path)) return std::nullopt;
  return HiveLogFile{std::filesystem::path(path).filename(), ReadBytes(path), {}};
}

std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// Every key (path, last-write time) and value (name, type, bytes) of a hive file, one per line,
// as libhivex reads them.
std::string Dump(const std::string& path) {
  hivetest::HivexHandle hiveOwner(hivex_open(path.c_str(), 0));
  hive_h* hive = hiveOwner.get();
  if (hive == nullptr) return "cannot open " + path;
  std::string out;
  std::function<void(hive_node_h, const std::string&)> walk = [&](hive_node_h node, const std::string& at) {
    out += at + " @" + std::to_string(hivex_node_timestamp(hive, node)) + "\n";
    hive_value_h* values = hivex_node_values(hive, node);
    for (hive_value_h* v = values; v != nullptr && *v != 0; ++v) {
      char* name = hivex_value_key(hive, *v);
      hive_type type{};
      std::size_t size = 0;
      char* data = hivex_value_value(hive, *v, &type, &size);
      char hex[3];
      out += at + " \"" + (name ? name : "?") + "\" " + std::to_string(static_cast<int>(type)) + " ";
      for (std::size_t i = 0; data != nullptr && i < size; ++i) {
        std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned char>(data[i]));
        out += hex;
      }
      out += "\n";
      std::free(name);
      std::free(data);
    }
    std::free(values);
    hive_node_h* children = hivex_node_children(hive, node);
    for (hive_node_h* c = children; c != nullptr && *c != 0; ++c) {
      char* name = hivex_node_name(hive, *c);
      walk(*c, at + "\\" + (name ? name : "?"));
      std::free(name);
    }
    std::free(children);
  };
  walk(hivex_root(hive), "");
  return out;
}

std::string DumpImage(const Bytes& image) {
  hivetest::TempFolder folder;
  hivetest::WriteFile(folder / "image", std::string(image.begin(), image.end()));
  return Dump(folder / "image");
}

TEST(Marvin32, MatchesThePublishedVectors) {
  constexpr std::uint64_t kSeed = 0x004FB61A001BDBCCULL;
  const std::uint8_t one[] = {0xAF};
  const std::uint8_t three[] = {0x37, 0xF4, 0x95};
  const std::uint8_t zeros[32] = {};
  EXPECT_EQ(hive::Marvin32(nullptr, 0, kSeed), 0x30ED35C100CD3C7DULL);
  EXPECT_EQ(hive::Marvin32(one, 1, kSeed), 0x48E73FC77D75DDC1ULL);
  EXPECT_EQ(hive::Marvin32(three, 3, kSeed), 0xF0B07C789B8CF7E8ULL);
  EXPECT_EQ(hive::Marvin32(zeros, 32, hive::kHiveLogSeed), 0xDA91A06AC5359223ULL);
}

class ReferenceHives : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(dir + "/NewDirtyHive1/NewDirtyHive"))
      GTEST_SKIP() << "that our recovery of dirty hives gives Windows' own results (no reference hives in "
                   << dir << "; set HIVE_REFERENCE_DIR)";
  }
  std::string dir = ReferenceDir();
  std::string newDir = dir + "/NewDirtyHive1/";
  std::string oldDir = dir + "/OldDirtyHive/";
  Bytes newPrimary = ReadBytes(newDir + "NewDirtyHive");
  HiveLogs newLogs{std::nullopt, LogOf(newDir + "NewDirtyHive.LOG1"), LogOf(newDir + "NewDirtyHive.LOG2")};
  Bytes oldPrimary = ReadBytes(oldDir + "OldDirtyHive");
  HiveLogs oldLogs{std::nullopt, LogOf(oldDir + "OldDirtyHive.LOG1"), LogOf(oldDir + "OldDirtyHive.LOG2")};
};

TEST_F(ReferenceHives, NewFormatLogsGiveWindowsOwnBytes) {
  const HiveRecovery result = RecoverHive(newPrimary, newLogs);
  ASSERT_EQ(result.outcome, Outcome::kRecovered) << result.reason;
  EXPECT_EQ(result.appliedEntries, (std::vector<std::uint32_t>{2, 3, 4, 5}));
  EXPECT_EQ(result.logsUsed, (std::vector<std::string>{"NewDirtyHive.LOG1", "NewDirtyHive.LOG2"}));
  EXPECT_TRUE(result.image == ReadBytes(newDir + "RecoveredHive_Windows10"));
  EXPECT_EQ(result.highestSequence, 6u);
}

TEST_F(ReferenceHives, OldFormatLogGivesWindowsOwnKeysValuesAndTimes) {
  const HiveRecovery result = RecoverHive(oldPrimary, oldLogs);
  ASSERT_EQ(result.outcome, Outcome::kRecovered) << result.reason;
  EXPECT_EQ(result.logsUsed, (std::vector<std::string>{"OldDirtyHive.LOG1"}));
  EXPECT_EQ(base::ReadLittleEndian32(&result.image[hive::format::kSequence1]), 5u);
  EXPECT_EQ(base::ReadLittleEndian32(&result.image[hive::format::kSequence2]), 5u);
  EXPECT_EQ(base::ReadLittleEndian32(&result.image[hive::format::kBinsSize]), 0x77000u);
  const std::string recovered = DumpImage(result.image);
  EXPECT_EQ(recovered, Dump(oldDir + "RecoveredHive_Windows7"));
  EXPECT_NE(recovered, Dump(oldDir + "OldDirtyHive")) << "the log changed nothing";

  // A damaged base block is rebuilt from the log's copy; the first bin's older time guards it.
  Bytes badBase = oldPrimary;
  base::WriteLittleEndian32(1, &badBase[hive::format::kMinor]);
  const HiveRecovery rebuilt = RecoverHive(badBase, oldLogs);
  ASSERT_EQ(rebuilt.outcome, Outcome::kRecovered) << rebuilt.reason;
  EXPECT_TRUE(rebuilt.image == result.image);
}

// Damaged copies: the entries applied (or the refusal) follow from where the damage is.
TEST_F(ReferenceHives, DamagedCopiesStopOrRefuseWhereTheyMust) {
  struct Row {
    const char* name;
    std::function<void(Bytes& primary, HiveLogs& logs)> damage;
    std::vector<std::uint32_t> applied;  // empty: refused
  } rows[] = {
      {"primary 4/3: the log older than it is skipped",
       [](Bytes& p, HiveLogs&) {
         base::WriteLittleEndian32(4, &p[hive::format::kSequence1]);
         base::WriteLittleEndian32(3, &p[hive::format::kSequence2]);
         SetChecksum(p);
       },
       {3, 4, 5}},
      {"a byte of entry 5's pages", [](Bytes&, HiveLogs& l) { l.log2->bytes[32816] ^= 1; }, {2, 3, 4}},
      {"LOG2 cut inside entry 5", [](Bytes&, HiveLogs& l) { l.log2->bytes.resize(33000); }, {2, 3, 4}},
      {"LOG1 empty: LOG2 alone", [](Bytes&, HiveLogs& l) { l.log1->bytes.clear(); }, {3, 4, 5}},
      {"both log headers damaged",
       [](Bytes&, HiveLogs& l) {
         l.log1->bytes[100] ^= 1;
         l.log2->bytes[100] ^= 1;
       },
       {}},
      {"both logs claim the same sequence",
       [](Bytes&, HiveLogs& l) {
         Bytes base(l.log1->bytes.begin(), l.log1->bytes.begin() + hive::format::kLogBaseSize);
         base::WriteLittleEndian32(3, &base[hive::format::kSequence1]);
         base::WriteLittleEndian32(3, &base[hive::format::kSequence2]);
         SetChecksum(base);
         std::copy(base.begin(), base.end(), l.log1->bytes.begin());
       },
       {}},
      {"no logs", [](Bytes&, HiveLogs& l) { l = {}; }, {}},
      {"primary 7/6: every log is older",
       [](Bytes& p, HiveLogs&) {
         base::WriteLittleEndian32(7, &p[hive::format::kSequence1]);
         base::WriteLittleEndian32(6, &p[hive::format::kSequence2]);
         SetChecksum(p);
       },
       {}},
  };
  for (const Row& row : rows) {
    Bytes primary = newPrimary;
    HiveLogs logs = newLogs;
    row.damage(primary, logs);
    const HiveRecovery result = RecoverHive(primary, logs);
    if (row.applied.empty()) {
      EXPECT_EQ(result.outcome, Outcome::kRefused) << row.name;
      EXPECT_FALSE(result.reason.empty()) << row.name;
      continue;
    }
    ASSERT_EQ(result.outcome, Outcome::kRecovered) << row.name << ": " << result.reason;
    EXPECT_EQ(result.appliedEntries, row.applied) << row.name;
    EXPECT_EQ(base::ReadLittleEndian32(&result.image[hive::format::kSequence2]), row.applied.back() + 1)
        << row.name;
    // Entry 4 rewrites every page that entry 2 wrote: stopping at 5 gives Windows' bytes again.
    EXPECT_EQ(result.image == ReadBytes(newDir + "RecoveredHive_Windows10"), row.applied.back() == 5)
        << row.name;
  }
}

// A recovery that may be short of what the logs hold is shown but never written: a log of the
// pair that is absent or unreadable, or valid entries beyond the one where the replay stopped. A
// torn or damaged last entry, or an empty log, is Windows' normal case and stays writable.
TEST_F(ReferenceHives, ARecoveryThatMayBeShortIsReadOnly) {
  struct Row {
    const char* name;
    std::function<void(HiveLogs& logs)> damage;
    std::vector<std::uint32_t> applied;
    std::vector<std::string> told;  // in the reason; empty: writable
  } rows[] = {
      {"LOG2 absent",
       [](HiveLogs& l) { l.log2.reset(); },
       {2},
       {"NewDirtyHive.LOG2 is not beside the hive", "copy NewDirtyHive.LOG2"}},
      {"LOG1 absent",
       [](HiveLogs& l) { l.log1.reset(); },
       {3, 4, 5},
       {"NewDirtyHive.LOG1 is not beside the hive"}},
      {"LOG2 unreadable",
       [](HiveLogs& l) {
         l.log2 = HiveLogFile{"NewDirtyHive.LOG2", {}, "Permission denied"};
       },
       {2},
       {"NewDirtyHive.LOG2 cannot be read (Permission denied)"}},
      {"LOG2 empty", [](HiveLogs& l) { l.log2->bytes.clear(); }, {2}, {}},
      {"a byte of entry 3, entries 4 and 5 after it",
       [](HiveLogs& l) { l.log2->bytes[kFirstEntry + 4000] ^= 1; },
       {2},
       {"NewDirtyHive.LOG2 is damaged", "damaged entry at offset 512", "number 4 at offset 8192",
        "cannot be written safely"}},
      {"a byte of entry 4, entry 5 after it",
       [](HiveLogs& l) { l.log2->bytes[8192 + 4000] ^= 1; },
       {2, 3},
       {"damaged entry at offset 8192", "number 5 at offset 32768"}},
      {"a byte of entry 5, the last", [](HiveLogs& l) { l.log2->bytes[32816] ^= 1; }, {2, 3, 4}, {}},
      {"LOG2 cut inside entry 5", [](HiveLogs& l) { l.log2->bytes.resize(33000); }, {2, 3, 4}, {}},
      // Entries of an earlier cycle after the live ones carry lower numbers.
      {"a stale entry after the last",
       [](HiveLogs& l) {
         Bytes& log2 = l.log2->bytes;
         std::copy(l.log1->bytes.begin() + kFirstEntry, l.log1->bytes.end(), log2.begin() + 40960);
       },
       {2, 3, 4, 5},
       {}},
  };
  for (const Row& row : rows) {
    HiveLogs logs = newLogs;
    row.damage(logs);
    const HiveRecovery result = RecoverHive(newPrimary, logs);
    ASSERT_EQ(result.outcome, Outcome::kRecovered) << row.name << ": " << result.reason;
    EXPECT_EQ(result.appliedEntries, row.applied) << row.name;
    EXPECT_EQ(base::ReadLittleEndian32(&result.image[hive::format::kSequence2]), row.applied.back() + 1)
        << row.name;
    EXPECT_EQ(result.notWhole.empty(), row.told.empty()) << row.name << ": " << result.notWhole;
    for (const std::string& told : row.told)
      EXPECT_NE(result.notWhole.find(told), std::string::npos) << row.name << ": " << result.notWhole;
  }
}

// Read-only on disk: shown as recovered, every write refused with the reason, and nothing beside
// the hive touched (no save, no emptied log, no backup).
TEST_F(ReferenceHives, AHiveWithoutItsLog2IsShownButNeverWritten) {
  hivetest::TempFolder folder, data;
  hivetest::WriteFile(folder / "NewDirtyHive", Text(newPrimary));
  hivetest::WriteFile(folder / "NewDirtyHive.LOG1", Text(newLogs.log1->bytes));
  {
    hive::HiveFile file(folder / "NewDirtyHive");
    const base::Failure failure = file.Load();
    ASSERT_FALSE(failure.Failed()) << failure.Text();
    file.RemoveLeftovers();
    file.SetBackupRoot(data / "backups");
    EXPECT_EQ(file.LogsUsed(), (std::vector<std::string>{"NewDirtyHive.LOG1"}));
    EXPECT_NE(file.WhyReadOnly().find("NewDirtyHive.LOG2 is not beside the hive"), std::string::npos)
        << file.WhyReadOnly();
    const std::uint8_t one[4] = {1, 0, 0, 0};
    ASSERT_EQ(file.Image().SetValue(file.Image().Root(), u"AddedOffline", hivetest::kRegDword, one, 4), 0);
    EXPECT_EQ(file.Commit([] { return false; }), base::kAccessDenied);
    EXPECT_EQ(file.CommitError(), file.WhyReadOnly());
  }
  EXPECT_TRUE(ReadBytes(folder / "NewDirtyHive") == newPrimary);
  EXPECT_TRUE(ReadBytes(folder / "NewDirtyHive.LOG1") == newLogs.log1->bytes);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 2);
  EXPECT_FALSE(std::filesystem::exists(data / "backups"));
}

TEST_F(ReferenceHives, OldFormatDamageRefuses) {
  struct Row {
    const char* name;
    std::function<void(Bytes& primary, HiveLogs& logs)> damage;
  } rows[] = {
      {"LOG1 header checksum", [](Bytes&, HiveLogs& l) { l.log1->bytes[100] ^= 1; }},
      {"LOG1 DIRT signature", [](Bytes&, HiveLogs& l) { l.log1->bytes[hive::format::kLogBaseSize] = 'X'; }},
      {"LOG1 torn",
       [](Bytes&, HiveLogs& l) { l.log1->bytes.resize(l.log1->bytes.size() - hive::format::kLogPageSize); }},
      {"LOG1 empty", [](Bytes&, HiveLogs& l) { l.log1->bytes.clear(); }},
      {"a short primary without logs",
       [](Bytes& p, HiveLogs& l) {
         p.resize(12288);
         l = {};
       }},
      {"LOG1 older than the primary",
       [](Bytes& p, HiveLogs&) {
         base::WriteLittleEndian64(base::ReadLittleEndian64(&p[hive::format::kTimestamp]) + 1,
                                   &p[hive::format::kTimestamp]);
         SetChecksum(p);
       }},
  };
  for (const Row& row : rows) {
    Bytes primary = oldPrimary;
    HiveLogs logs = oldLogs;
    row.damage(primary, logs);
    const HiveRecovery result = RecoverHive(primary, logs);
    EXPECT_EQ(result.outcome, Outcome::kRefused) << row.name;
    EXPECT_TRUE(result.dirty) << row.name;
  }
}

TEST_F(ReferenceHives, ACleanPrimaryIsNeverReplayedOver) {
  Bytes clean = ReadBytes(newDir + "RecoveredHive_Windows10");
  base::WriteLittleEndian32(3, &clean[hive::format::kSequence1]);
  base::WriteLittleEndian32(3, &clean[hive::format::kSequence2]);
  SetChecksum(clean);
  const HiveRecovery result = RecoverHive(clean, newLogs);
  EXPECT_EQ(result.outcome, Outcome::kClean);
  EXPECT_FALSE(result.dirty);
  EXPECT_EQ(result.highestSequence, 5u) << "the logs' entries count for the next save";
}

TEST(HiveLogNames, AreFoundWhateverTheirCase) {
  hivetest::TempFolder folder;
  for (const char* name : {"NEWDIRTYHIVE", "newdirtyhive.log1", "NewDirtyHive.Log2", "other.LOG1"})
    hivetest::WriteFile(folder / name, "");
  const hive::HiveLogNames names = hive::FindHiveLogs(folder.Path(), "NEWDIRTYHIVE");
  EXPECT_EQ(names.log1, "newdirtyhive.log1");
  EXPECT_EQ(names.log2, "NewDirtyHive.Log2");
  EXPECT_EQ(names.log, "");
  EXPECT_FALSE(names.ambiguous);
  hivetest::WriteFile(folder / "NEWDIRTYHIVE.LOG1", "");
  const hive::HiveLogNames twice = hive::FindHiveLogs(folder.Path(), "NEWDIRTYHIVE");
  EXPECT_TRUE(twice.ambiguous);
  EXPECT_EQ(twice.all.size(), 3u) << "a save empties every one of them";
}

// The round trip on Windows' hive, its logs named in another case: loaded recovered, edited,
// saved clean above every sequence number its logs hold, the logs emptied, and everything else
// as Windows recovered it.
TEST_F(ReferenceHives, ARecoveredHiveIsSavedCleanAndItsLogsEmptied) {
  hivetest::TempFolder folder;
  hivetest::WriteFile(folder / "NEWDIRTYHIVE", Text(newPrimary));
  hivetest::WriteFile(folder / "newdirtyhive.log1", Text(newLogs.log1->bytes));
  hivetest::WriteFile(folder / "NewDirtyHive.Log2", Text(newLogs.log2->bytes));
  hive::HiveFile file(folder / "NEWDIRTYHIVE");
  ASSERT_FALSE(file.Load().Failed());
  EXPECT_EQ(file.LogsUsed(), (std::vector<std::string>{"newdirtyhive.log1", "NewDirtyHive.Log2"}));
  const std::uint8_t one[4] = {1, 0, 0, 0};
  ASSERT_EQ(file.Image().SetValue(file.Image().Root(), u"AddedOffline", hivetest::kRegDword, one, 4), 0);
  ASSERT_EQ(file.Commit([] { return false; }), 0) << file.CommitError();

  const Bytes saved = ReadBytes(folder / "NEWDIRTYHIVE");
  EXPECT_EQ(base::ReadLittleEndian32(&saved[hive::format::kSequence1]),
            base::ReadLittleEndian32(&saved[hive::format::kSequence2]));
  EXPECT_GT(base::ReadLittleEndian32(&saved[hive::format::kSequence1]), 6u);
  EXPECT_EQ(std::filesystem::file_size(folder / "newdirtyhive.log1"), 0u);
  EXPECT_EQ(std::filesystem::file_size(folder / "NewDirtyHive.Log2"), 0u);
  std::string dump = Dump(folder / "NEWDIRTYHIVE");
  const std::size_t added = dump.find(" \"AddedOffline\" 4 01000000\n");
  ASSERT_NE(added, std::string::npos) << dump;
  dump.erase(added, dump.find('\n', added) + 1 - added);
  auto withoutRootTime = [](std::string text) { return text.substr(text.find('\n')); };
  EXPECT_EQ(withoutRootTime(dump), withoutRootTime(Dump(newDir + "RecoveredHive_Windows10")));
}

// The logs beside a hive as each Windows names them, and as a copy may have changed their case:
// found and replayed whatever the case of the hive's name and theirs.
TEST_F(ReferenceHives, LogsAreFoundAsWindowsNamesThem) {
  const struct {
    const char* windows;
    const char* hive;
    std::vector<const char*> logs;  // beside it, in the order the recovery reads them
    bool oldFormat;
  } cases[] = {
      {"XP", "system", {"system.LOG"}, true},
      {"Vista and 7", "SYSTEM", {"SYSTEM.LOG1", "SYSTEM.LOG2"}, true},
      {"8.1 and later", "SYSTEM", {"SYSTEM.LOG1", "SYSTEM.LOG2"}, false},
      {"a copy's case", "System", {"system.log1", "SYSTEM.Log2"}, false},
  };
  for (const auto& c : cases) {
    hivetest::TempFolder folder;
    hivetest::WriteFile(folder / c.hive, Text(c.oldFormat ? oldPrimary : newPrimary));
    const HiveLogs& logs = c.oldFormat ? oldLogs : newLogs;
    const Bytes* bytes[] = {&logs.log1->bytes, &logs.log2->bytes};
    for (std::size_t i = 0; i < c.logs.size(); ++i) hivetest::WriteFile(folder / c.logs[i], Text(*bytes[i]));
    hive::HiveFile file(folder / c.hive);
    const base::Failure failure = file.Load();
    ASSERT_FALSE(failure.Failed()) << c.windows << ": " << failure.Text();
    std::vector<std::string> used;
    for (std::size_t i = 0; i < c.logs.size(); ++i)
      if (!bytes[i]->empty()) used.emplace_back(c.logs[i]);
    EXPECT_EQ(file.LogsUsed(), used) << c.windows;
  }
}

// A whole log header that claims a hive larger than the log can map is unusable, and never read
// past its end.
TEST(OldFormatLog, AShortLogClaimingAHugeHiveIsUnusable) {
  Bytes primary = hive::EmptyHiveImage(1000);
  base::WriteLittleEndian32(0, &primary[hive::format::kSequence2]);
  SetChecksum(primary);
  Bytes log(kOldLogPages, 0);
  std::copy(primary.begin(), primary.begin() + hive::format::kLogBaseSize, log.begin());
  base::WriteLittleEndian32(1, &log[hive::format::kSequence2]);
  base::WriteLittleEndian32(hive::format::kOldLogFile1, &log[hive::format::kFileType]);
  base::WriteLittleEndian32(0x7FFFF000, &log[hive::format::kBinsSize]);
  SetChecksum(log);
  hive::format::PutSignature(&log[hive::format::kLogBaseSize], hive::format::kDirtyPagesSignature);
  const HiveRecovery result =
      RecoverHive(primary, HiveLogs{std::nullopt, HiveLogFile{"X.LOG1", log, {}}, std::nullopt});
  EXPECT_EQ(result.outcome, Outcome::kRefused);
}

// An old-format log of our own: one bitmap byte, checked bit by bit (bit 0 is the first page).
TEST(OldFormatLog, EachBitMovesItsOwnPage) {
  for (const std::uint8_t bitmap : {std::uint8_t{0x01}, std::uint8_t{0x80}}) {
    Bytes primary = hive::EmptyHiveImage(1000);
    base::WriteLittleEndian32(0, &primary[hive::format::kSequence2]);  // dirty: 1/0
    SetChecksum(primary);
    Bytes log(kOldLogPages + hive::format::kLogPageSize, 0);
    std::copy(primary.begin(), primary.begin() + hive::format::kLogBaseSize, log.begin());
    base::WriteLittleEndian32(1, &log[hive::format::kSequence2]);
    base::WriteLittleEndian32(hive::format::kOldLogFile1, &log[hive::format::kFileType]);
    SetChecksum(log);
    hive::format::PutSignature(&log[hive::format::kLogBaseSize], hive::format::kDirtyPagesSignature);
    log[hive::format::kDirtyBitmap] = bitmap;
    const int page = bitmap == 0x01 ? 0 : 7;
    // The page as it is in the primary, with a marker in a free cell's bytes.
    const std::size_t pageStart = kHiveBaseBlockSize + hive::format::kLogPageSize * page;
    std::copy(primary.begin() + pageStart, primary.begin() + pageStart + hive::format::kLogPageSize,
              log.begin() + kOldLogPages);
    log[kOldLogPages + 500] = 0xA5;
    const HiveRecovery result =
        RecoverHive(primary, HiveLogs{std::nullopt, HiveLogFile{"X.LOG1", log, {}}, std::nullopt});
    ASSERT_EQ(result.outcome, Outcome::kRecovered) << result.reason;
    for (int i = 0; i < 8; ++i) {
      const std::size_t marker = kHiveBaseBlockSize + hive::format::kLogPageSize * i + 500;
      EXPECT_EQ(result.image[marker], i == page ? 0xA5 : primary[marker]) << i;
    }
  }
}

// A hive that grew: the empty hive with a second bin (one free cell) after its first.
Bytes GrownHive(const Bytes& primary) {
  Bytes grown = primary;
  Bytes bin(hive::format::kBinUnit, 0);
  hive::format::PutSignature(bin.data(), hive::format::kBinSignature);
  base::WriteLittleEndian32(hive::format::kBinUnit, &bin[hive::format::kBinOffset]);
  base::WriteLittleEndian32(hive::format::kBinUnit, &bin[hive::format::kBinSize]);
  base::WriteLittleEndian32(hive::format::kBinUnit - hive::format::kBinHeaderSize,
                            &bin[hive::format::kBinHeaderSize]);  // free
  grown.insert(grown.end(), bin.begin(), bin.end());
  base::WriteLittleEndian32(2 * hive::format::kBinUnit, &grown[hive::format::kBinsSize]);
  SetChecksum(grown);
  return grown;
}

// A log never makes the image larger than the hive file and the pages it writes: a size past
// them, or a page past them, refuses the recovery at once, in words that name the log and where
// in it the claim is. A hive that grew by a bin that the log holds is recovered.
TEST(HostileLogs, ClaimsPastWhatTheFilesHoldAreRefusedAtOnce) {
  Bytes primary = hive::EmptyHiveImage(1000);
  base::WriteLittleEndian32(0, &primary[hive::format::kSequence2]);  // dirty: 1/0
  SetChecksum(primary);
  const Bytes grown = GrownHive(primary);
  Bytes oldLog(kOldLogPages, 0);  // an old-format log that claims 32 KiB of bins and holds no page
  std::copy(primary.begin(), primary.begin() + hive::format::kLogBaseSize, oldLog.begin());
  base::WriteLittleEndian32(1, &oldLog[hive::format::kSequence2]);
  base::WriteLittleEndian32(hive::format::kOldLogFile1, &oldLog[hive::format::kFileType]);
  base::WriteLittleEndian32(32768, &oldLog[hive::format::kBinsSize]);
  SetChecksum(oldLog);
  hive::format::PutSignature(&oldLog[hive::format::kLogBaseSize], hive::format::kDirtyPagesSignature);
  struct Row {
    const char* name;
    std::function<void(Bytes& log)> change;  // on a new-format log holding the grown hive
    const char* refusal;                     // empty: recovered, as grown
  } rows[] = {
      {"the grown hive", [](Bytes&) {}, ""},
      {"bins past what a hive can hold",
       [](Bytes& l) {
         base::WriteLittleEndian32(0xFFFFF000, &l[kFirstEntry + hive::format::kEntryBinsSize]);
       },
       "X.LOG1 cannot be replayed: the entry at offset 512 claims 4294963200 bytes of hive bins, more than a "
       "hive can hold"},
      {"bins past its pages",
       [](Bytes& l) { base::WriteLittleEndian32(65536, &l[kFirstEntry + hive::format::kEntryBinsSize]); },
       "the entry at offset 512 claims 65536 bytes of hive bins, more than the 8192 that the hive file and "
       "the "
       "log's pages hold"},
      {"a page far past the hive's end",
       [](Bytes& l) {
         base::WriteLittleEndian32(65536 + 8192, &l[kFirstEntry + hive::format::kEntryBinsSize]);
         base::WriteLittleEndian32(65536, &l[kFirstEntry + kFirstPageRef]);
       },
       "the entry at offset 512 writes a page at hive bins offset 65536, past the 4096 bytes"},
      {"an old-format log claiming bins it has no pages for", [&](Bytes& l) { l = oldLog; },
       "X.LOG1 cannot be replayed: its header (offset 40) claims 32768 bytes of hive bins, more than the "
       "4096"},
      {"an old-format log with a page far past the hive's end",
       [&](Bytes& l) {
         l = oldLog;
         l[hive::format::kDirtyBitmap + 4] = 0x01;  // the 512 bytes at bins offset 16384
         l.resize(kOldLogPages + hive::format::kLogPageSize);
       },
       "X.LOG1 cannot be replayed: its dirty page map (offset 516) writes a page at hive bins offset 16384, "
       "past "
       "the 4096 bytes"},
  };
  for (const Row& row : rows) {
    Bytes log = NewFormatLog(grown, 1);
    row.change(log);
    if (log.size() > kOldLogPages &&
        hive::format::HasSignature(&log[kFirstEntry], hive::format::kLogEntrySignature))
      HashEntry(log, kFirstEntry);
    const HiveRecovery result =
        RecoverHive(primary, HiveLogs{std::nullopt, HiveLogFile{"X.LOG1", log, {}}, std::nullopt});
    if (row.refusal[0] == 0) {
      ASSERT_EQ(result.outcome, Outcome::kRecovered) << row.name << ": " << result.reason;
      EXPECT_TRUE(std::equal(result.image.begin() + kHiveBaseBlockSize, result.image.end(),
                             grown.begin() + kHiveBaseBlockSize, grown.end()))
          << row.name;
      continue;
    }
    EXPECT_EQ(result.outcome, Outcome::kRefused) << row.name;
    EXPECT_NE(result.reason.find(row.refusal), std::string::npos) << row.name << ": " << result.reason;
  }
}

std::vector<std::string> Listing(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// A hive that Windows left dirty: the primary as it was (sequence numbers 3/2), and in its LOG1
// the hive after a change (Select's LastKnownGood 1 became 2) that the primary lacks.
class DirtyHive : public ::testing::Test {
 protected:
  void SetUp() override {
    const Bytes before = hivetest::TestHive();
    after = hivetest::Edited(before, u"Select", u"LastKnownGood", hivetest::kRegDword, Bytes{2, 0, 0, 0});
    hivetest::WriteBytes(scratch / "MADE", after);
    const hivetest::DirtyFiles dirty = hivetest::MakeDirty(before, after, 2);
    primary = dirty.primary;
    log1 = dirty.log1;
    hivetest::WriteFile(hive, Text(primary));
    hivetest::WriteFile(folder / "SYSTEM.LOG1", Text(log1));
    hivetest::WriteFile(folder / "SYSTEM.LOG2", "");
  }

  // Sets the board's memory size, as a save of the run does; the status of the commit.
  long SaveMemorySize(hive::HiveFile& file) {
    const hive::HiveImage::Node node = hivetest::KeyAt(file.Image(), hivetest::kBoardKeyPath);
    const std::uint8_t size[4] = {0, 0, 0, 8};
    if (node == 0 ||
        file.Image().SetValue(node, u"HardwareInformation.MemorySize", hivetest::kRegBinary, size, 4) != 0)
      return -1;
    return file.Commit([] { return false; }, [node] { return std::vector<std::uintptr_t>{node}; });
  }

  using Failure = base::Failure;
  hivetest::TempFolder scratch, folder, data;
  std::string hive = folder / "SYSTEM";
  Bytes after, primary, log1;
};

// Open, edit one value, save: the saved hive is the recovered one with that edit (read back by
// libhivex), clean, above every sequence number of the logs, stamped with the time of the save;
// the logs are empty; the backup holds the original files byte for byte; nothing else is left.
TEST_F(DirtyHive, IsEditedAsWindowsWouldLoadItAndSavedClean) {
  hive::HiveFile file(hive);
  ASSERT_FALSE(file.Load().Failed());
  EXPECT_EQ(file.LogsUsed(), (std::vector<std::string>{"SYSTEM.LOG1"}));
  EXPECT_EQ(file.WhyReadOnly(), "");
  file.SetBackupRoot(data / "backups");
  const std::uint64_t before = hive::FiletimeNow();
  ASSERT_EQ(SaveMemorySize(file), 0) << file.CommitError();

  // Every key and value as recovered, but the edited one.
  const Bytes saved = ReadBytes(hive);
  const std::string expected = Dump(scratch / "MADE");
  const std::string got = Dump(hive);
  const std::string edited = "HardwareInformation.MemorySize";
  auto withoutEdited = [&](std::string dump) {
    std::string out, line;
    std::istringstream lines(dump);
    while (std::getline(lines, line)) {
      if (line.find(" @") != std::string::npos) line = line.substr(0, line.find(" @"));  // key times
      if (line.find(edited) == std::string::npos) out += line + "\n";
    }
    return out;
  };
  EXPECT_EQ(withoutEdited(got), withoutEdited(expected));
  // The same as an independent reader sees it: every block of regfexport's listing (a key, a
  // value) but the edited value's.
  auto regfexport = [&](const std::string& path) {
    std::string out, block, line;
    std::istringstream lines(hivetest::Run("regfexport " + hivetest::Quote(path) + " 2>&1"));
    while (std::getline(lines, line)) {
      if (!line.empty()) {
        block += line + "\n";
        continue;
      }
      if (block.find(edited) == std::string::npos) out += block + "\n";
      block.clear();
    }
    return out + block;
  };
  const std::string exported = regfexport(hive);
  EXPECT_NE(exported.find("Key path: ROOT\\Select"), std::string::npos) << exported;
  EXPECT_EQ(exported, regfexport(scratch / "MADE"));
  EXPECT_NE(got.find("\"" + edited + "\" 3 00000008"), std::string::npos) << got;
  EXPECT_NE(hivetest::Hivexget(hive, "Select").find("\"LastKnownGood\"=dword:00000002"), std::string::npos);

  // Clean, above the log's sequence numbers, stamped now; the edited key too.
  EXPECT_EQ(base::ReadLittleEndian32(&saved[hive::format::kSequence1]),
            base::ReadLittleEndian32(&saved[hive::format::kSequence2]));
  EXPECT_GT(base::ReadLittleEndian32(&saved[hive::format::kSequence1]), 3u);
  EXPECT_EQ(base::ReadLittleEndian32(&saved[hive::format::kChecksum]),
            hive::HiveHeaderChecksum(saved.data()));
  EXPECT_GE(base::ReadLittleEndian64(&saved[hive::format::kTimestamp]), before);
  hivetest::HivexHandle checkOwner(hivex_open(hive.c_str(), 0));
  hive_h* check = checkOwner.get();
  ASSERT_NE(check, nullptr);
  hive_node_h node = hivex_root(check);
  for (const char* name :
       {"ControlSet001", "Control", "Video", "{8C4E1B2A-3D5F-4A6B-9E7C-1F2A3B4C5D6E}", "0000"})
    node = hivex_node_get_child(check, node, name);
  EXPECT_GE(hivex_node_timestamp(check, node), static_cast<std::int64_t>(before));
  EXPECT_LT(hivex_node_timestamp(check, hivex_node_get_child(check, hivex_root(check), "Select")),
            static_cast<std::int64_t>(before));
  checkOwner.reset();

  // The logs are empty, the backup is the original, nothing else is beside the hive.
  EXPECT_EQ(std::filesystem::file_size(folder / "SYSTEM.LOG1"), 0u);
  EXPECT_EQ(std::filesystem::file_size(folder / "SYSTEM.LOG2"), 0u);
  EXPECT_EQ(Listing(folder.Path()), (std::vector<std::string>{"SYSTEM", "SYSTEM.LOG1", "SYSTEM.LOG2"}));
  const std::string backup = file.Backup();
  ASSERT_EQ(Listing(data / "backups").size(), 1u);
  EXPECT_EQ(backup.substr(0, (data / "backups/SYSTEM-").size()), data / "backups/SYSTEM-");
  EXPECT_EQ(Listing(backup), (std::vector<std::string>{"SYSTEM", "SYSTEM.LOG1"}));
  EXPECT_TRUE(ReadBytes(backup + "/SYSTEM") == primary);
  EXPECT_TRUE(ReadBytes(backup + "/SYSTEM.LOG1") == log1);

  // A second save of the run keeps that backup.
  ASSERT_EQ(SaveMemorySize(file), 0) << file.CommitError();
  EXPECT_EQ(file.Backup(), backup);
  EXPECT_EQ(Listing(data / "backups").size(), 1u);
  EXPECT_TRUE(ReadBytes(backup + "/SYSTEM") == primary);
}

// Without a usable log the dirty hive is shown as it is and never written, with the reason.
TEST_F(DirtyHive, WithoutUsableLogsIsReadOnlyAndUntouched) {
  struct Row {
    const char* name;
    std::function<void()> setUp;
  } rows[] = {
      {"no logs",
       [&] {
         std::filesystem::remove(folder / "SYSTEM.LOG1");
         std::filesystem::remove(folder / "SYSTEM.LOG2");
       }},
      {"empty logs", [&] { hivetest::WriteFile(folder / "SYSTEM.LOG1", ""); }},
      {"a damaged log",
       [&] {
         Bytes bad = log1;
         bad[100] ^= 1;
         hivetest::WriteFile(folder / "SYSTEM.LOG1", Text(bad));
       }},
  };
  for (const Row& row : rows) {
    SetUp();
    row.setUp();
    const std::vector<std::string> files = Listing(folder.Path());
    {
      hive::HiveFile file(hive);
      ASSERT_FALSE(file.Load().Failed()) << row.name;
      file.RemoveLeftovers();
      EXPECT_NE(file.WhyReadOnly().find("dirty"), std::string::npos)
          << row.name << ": " << file.WhyReadOnly();
      EXPECT_NE(hivetest::Hivexget(hive, "Select").find("\"LastKnownGood\"=dword:00000001"),
                std::string::npos);
      file.SetBackupRoot(data / "backups");
      EXPECT_EQ(SaveMemorySize(file), base::kAccessDenied) << row.name;
    }
    EXPECT_FALSE(std::filesystem::exists(data / "backups")) << row.name;
    EXPECT_TRUE(ReadBytes(hive) == primary) << row.name;
    EXPECT_EQ(Listing(folder.Path()), files) << row.name;
  }
}

}  // namespace
