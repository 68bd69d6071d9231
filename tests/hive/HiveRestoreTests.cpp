// Backups beside the hive and putting one back: a restore stopped before each of its file
// operations leaves files that our recovery loads as the hive before or as the restored one,
// and a finished one leaves the backup's files byte for byte; what cannot be restored changes
// nothing; the listing finds backups in both places, oldest first.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <map>

#include "hive/HiveRecovery.h"
#include "hive/posix/HiveBackups.h"
#include "hive/posix/HiveFile.h"
#include "hive/posix/HiveLogs.h"
#include "hive/posix/HiveRestore.h"
#include "tests/hive/HiveTestSupport.h"

#ifndef HIVE_REFERENCE_DIR
#define HIVE_REFERENCE_DIR ""
#endif

namespace {

using hive::RestoreOutcome;

std::string ReferenceDir() {
  const char* set = std::getenv("HIVE_REFERENCE_DIR");
  return set != nullptr && set[0] != 0 ? set : HIVE_REFERENCE_DIR;
}

// A hive and its logs by suffix ("" for the hive, ".LOG1", ...): reference files, copied under
// the name SYSTEM.
using HiveSet = std::map<std::string, std::string>;

HiveSet NewDirty() {
  const std::string dir = ReferenceDir() + "/NewDirtyHive1/";
  return {
      {"", dir + "NewDirtyHive"}, {".LOG1", dir + "NewDirtyHive.LOG1"}, {".LOG2", dir + "NewDirtyHive.LOG2"}};
}
HiveSet OldDirty() {
  const std::string dir = ReferenceDir() + "/OldDirtyHive/";
  return {
      {"", dir + "OldDirtyHive"}, {".LOG1", dir + "OldDirtyHive.LOG1"}, {".LOG2", dir + "OldDirtyHive.LOG2"}};
}
// Windows 7's own recovery of OldDirtyHive, clean.
HiveSet Clean() { return {{"", ReferenceDir() + "/OldDirtyHive/RecoveredHive_Windows7"}}; }

// The set as SYSTEM and its logs in folder (made, private); the hive's path.
std::string Place(const std::string& folder, const HiveSet& set) {
  mkdir(folder.c_str(), 0700);
  for (const auto& [suffix, from] : set) {
    hivetest::WriteFile(folder + "/SYSTEM" + suffix, hivetest::ReadFile(from));
    chmod((folder + "/SYSTEM" + suffix).c_str(), 0644);
  }
  return folder + "/SYSTEM";
}

// What our recovery loads from the hive at path: its hive bins, or why it loads nothing.
std::string Loaded(const std::string& path) {
  hive::HiveFile file(path);
  if (const base::Failure failure = file.Load(); failure.Failed()) return "fails: " + failure.Text();
  if (!file.Refusal().empty()) return "refused: " + file.Refusal();
  const std::vector<std::uint8_t>& bytes = file.Image().Bytes();
  const std::uint32_t size =
      bytes[40] | bytes[41] << 8 | bytes[42] << 16 | static_cast<std::uint32_t>(bytes[43]) << 24;
  return std::string(bytes.begin() + 4096, bytes.begin() + 4096 + size);
}

// A backup of the set, made as the program makes one, beside a copy of it in folder.
std::string BackUp(const std::string& folder, const HiveSet& set) {
  const std::string hive = Place(folder, set);
  const base::Descriptor at(open(folder.c_str(), O_RDONLY | O_DIRECTORY));
  std::string where;
  EXPECT_FALSE(
      hive::BackUpHiveBeside(5, at.Get(), hive, hive::FindHiveLogs(at.Get(), "SYSTEM").all, &where).Failed());
  return where;
}

struct RestoreCase {
  const char* name;
  HiveSet (*current)();
  HiveSet (*backup)();
};

class HiveRestore : public ::testing::TestWithParam<RestoreCase> {};

TEST_P(HiveRestore, EveryStopLoadsAsBeforeOrRestoredAndTheEndIsTheBackup) {
  if (access((ReferenceDir() + "/NewDirtyHive1").c_str(), R_OK) != 0)
    GTEST_SKIP() << "that a backup restores over Windows' own dirty hives (no reference hives in "
                 << ReferenceDir() << "; set HIVE_REFERENCE_DIR)";
  hivetest::TempFolder scratch;
  const std::string backup = BackUp(scratch / "source", GetParam().backup());
  const std::string restored = Loaded(scratch / "source/SYSTEM");
  const std::string before = Loaded(Place(scratch / "before", GetParam().current()));
  ASSERT_GT(restored.size(), 200u) << restored;
  ASSERT_GT(before.size(), 200u) << before;
  ASSERT_TRUE(before != restored) << "the two states must differ";

  for (int stop = 0;; ++stop) {
    const std::string run = scratch / ("run" + std::to_string(stop));
    const std::string hive = Place(run, GetParam().current());
    std::vector<std::string> steps;
    RestoreOutcome outcome;
    const base::Failure failure = hive::RestoreHiveBackup(hive, backup, {false, run + "-undo", 5}, &outcome,
                                                          [&](const std::string& step) {
                                                            steps.push_back(step);
                                                            return static_cast<int>(steps.size()) <= stop;
                                                          });
    const std::string loaded = Loaded(hive);
    EXPECT_TRUE(loaded == before || loaded == restored)
        << "stopped before '" << (steps.empty() ? "" : steps.back())
        << "': " << (loaded.size() < 200 ? loaded : "other bins");
    if (failure.Failed()) {
      ASSERT_EQ(outcome.trouble, RestoreOutcome::Trouble::kStopped) << failure.Text();
      ASSERT_LT(stop, 20) << "the restore never ends";
      continue;
    }
    EXPECT_GE(stop, 5) << "a restore writes the hive twice and changes logs";
    EXPECT_TRUE(loaded == restored) << "a finished restore loads as the backup";
    // Byte for byte: the backup's files, and every other log empty.
    for (const char* suffix : {"", ".LOG", ".LOG1", ".LOG2"}) {
      const std::string kept = backup + "/SYSTEM" + suffix;
      const std::string now = hive + suffix;
      if (access(kept.c_str(), F_OK) == 0) {
        EXPECT_EQ(hivetest::ReadFile(now), hivetest::ReadFile(kept)) << now;
      } else if (access(now.c_str(), F_OK) == 0) {
        EXPECT_EQ(hivetest::ReadFile(now), "") << now << " is not empty";
      }
    }
    // The hive as it was is backed up, so the restore can be undone.
    EXPECT_EQ(hivetest::ReadFile(outcome.undo + "/SYSTEM"), hivetest::ReadFile(GetParam().current().at("")));
    break;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, HiveRestore,
                         ::testing::Values(RestoreCase{"DirtyNewOverDirtyOld", OldDirty, NewDirty},
                                           RestoreCase{"DirtyOldOverDirtyNew", NewDirty, OldDirty},
                                           RestoreCase{"CleanOverDirty", NewDirty, Clean},
                                           RestoreCase{"DirtyOverCleanWithoutLogs", Clean, NewDirty}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(HiveRestoreRefusals, NothingChangesWhenTheBackupOrTheHiveCannotBeUsed) {
  if (access((ReferenceDir() + "/NewDirtyHive1").c_str(), R_OK) != 0)
    GTEST_SKIP() << "that a backup restores over Windows' own dirty hives (no reference hives in "
                 << ReferenceDir() << "; set HIVE_REFERENCE_DIR)";
  struct Row {
    const char* name;
    std::function<void(const std::string& backup, const std::string& hive)> spoil;
    RestoreOutcome::Trouble trouble;
  };
  const Row rows[] = {
      {"backup is no hive",
       [](const std::string& b, const std::string&) { hivetest::WriteFile(b + "/SYSTEM", "x"); },
       RestoreOutcome::Trouble::kBackupUnusable},
      {"backup lacks the hive",
       [](const std::string& b, const std::string&) { unlink((b + "/SYSTEM").c_str()); },
       RestoreOutcome::Trouble::kBackupUnusable},
      // Its LOG2 entries are damaged from entry 3 on, and LOG1 alone cannot bring the hive up.
      {"backup's log damaged",
       [](const std::string& b, const std::string&) {
         unlink((b + "/SYSTEM.LOG1").c_str());
         hivetest::WriteFile(b + "/SYSTEM.LOG2", std::string(1024, 'x'));
       },
       RestoreOutcome::Trouble::kBackupUnusable},
      {"backup is a link",
       [](const std::string& b, const std::string&) {
         rename(b.c_str(), (b + ".real").c_str());
         EXPECT_EQ(symlink((b + ".real").c_str(), b.c_str()), 0);
       },
       RestoreOutcome::Trouble::kBackupUnusable},
      {"hive marked read-only", [](const std::string&, const std::string& h) { chmod(h.c_str(), 0444); },
       RestoreOutcome::Trouble::kNotWritable},
  };
  for (const Row& row : rows) {
    hivetest::TempFolder scratch;
    const std::string backup = BackUp(scratch / "source", NewDirty());
    const std::string hive = Place(scratch / "run", OldDirty());
    row.spoil(backup, hive);
    RestoreOutcome outcome;
    const base::Failure failure =
        hive::RestoreHiveBackup(hive, backup, {false, scratch / "undo", 5}, &outcome);
    EXPECT_TRUE(failure.Failed()) << row.name;
    EXPECT_EQ(outcome.trouble, row.trouble) << row.name << ": " << failure.Text();
    for (const auto& [suffix, from] : OldDirty())
      EXPECT_EQ(hivetest::ReadFile(hive + suffix), hivetest::ReadFile(from)) << row.name << ": " << suffix;
    EXPECT_EQ(access((scratch / "undo").c_str(), F_OK), -1) << row.name << ": an undo backup was made";
  }
}

TEST(HiveBackupsBeside, ListedWithThoseElsewhereOldestFirstAndFallBackWhenNotOurs) {
  hivetest::TempFolder scratch;
  mkdir((scratch / "config").c_str(), 0700);
  const std::string hive = scratch / "config/SYSTEM";
  const base::Failure made = hive::WriteNewHive(hive, hivetest::TestHive());
  ASSERT_FALSE(made.Failed()) << made.Text();
  const base::Descriptor at(open((scratch / "config").c_str(), O_RDONLY | O_DIRECTORY));
  std::string where, note;
  // An older backup in the data folder, then two beside the hive, which name only the number.
  ASSERT_FALSE(hive::BackUpHive(scratch / "data", 5, at.Get(), hive, {}, &where).Failed());
  const std::string inData = where;
  struct timespec earlier[2] = {{1000, 0}, {1000, 0}};
  utimensat(AT_FDCWD, (inData + "/SYSTEM").c_str(), earlier, 0);
  ASSERT_FALSE(hive::BackUpHiveTo({true, scratch / "data", 5}, at.Get(), hive, {}, &where, &note).Failed());
  EXPECT_EQ(where, scratch / "config/CFGBAK/000001");
  EXPECT_EQ(note, "");
  hivetest::WriteFile(scratch / "config/SYSTEM.LOG", "log");
  ASSERT_FALSE(hive::BackUpHiveTo({true, scratch / "data", 5}, at.Get(), hive, {"SYSTEM.LOG"}, &where, &note)
                   .Failed());
  EXPECT_EQ(where, scratch / "config/CFGBAK/000002");

  const std::vector<hive::HiveBackup> listed = hive::ListHiveBackups(at.Get(), hive, scratch / "data");
  ASSERT_EQ(listed.size(), 3u);
  EXPECT_EQ(listed[0].folder, inData);
  EXPECT_FALSE(listed[0].beside);
  EXPECT_EQ(listed[1].folder, scratch / "config/CFGBAK/000001");
  EXPECT_EQ(listed[2].folder, scratch / "config/CFGBAK/000002");
  ASSERT_EQ(listed[2].files.size(), 2u);
  EXPECT_EQ(listed[2].files[0].first, "SYSTEM");
  EXPECT_EQ(listed[2].files[1], (std::pair<std::string, std::uint64_t>{"SYSTEM.LOG", 3}));
  // Another hive's backups in the same CFGBAK are not this hive's.
  EXPECT_EQ(hive::ListHiveBackups(at.Get(), scratch / "config/SOFTWARE", "").size(), 0u);

  // A CFGBAK that others may write to is not ours: the backup goes to the data folder, saying so.
  chmod((scratch / "config/CFGBAK").c_str(), 0777);
  hivetest::WriteFile(scratch / "config/SYSTEM.LOG", "changed");
  ASSERT_FALSE(hive::BackUpHiveTo({true, scratch / "data", 5}, at.Get(), hive, {"SYSTEM.LOG"}, &where, &note)
                   .Failed());
  EXPECT_EQ(where.rfind(scratch / "data/SYSTEM-", 0), 0u) << where;
  EXPECT_NE(note.find("users other than its owner may write to it"), std::string::npos) << note;
  EXPECT_NE(note.find(where), std::string::npos) << note;
  EXPECT_EQ(hive::ListHiveBackups(at.Get(), hive, scratch / "data").size(), 2u)
      << "a folder not our own is not read";
}

TEST(HiveBackupsBeside, ShortNames) {
  for (const char* name :
       {"SYSTEM", "SYSTEM.LOG", "CFGBAK", "000003", "WINDOWS", "system32", "A.B", "~$#_1.{}"})
    EXPECT_TRUE(hive::IsShortName(name)) << name;
  for (const char* name :
       {"", "SYSTEM.LOG1", "NewDirtyHive", ".LOG", "A.", "A.B.C", "MY FILE", "ÄBC", "A+B", "A/B"})
    EXPECT_FALSE(hive::IsShortName(name)) << name;
}

}  // namespace
