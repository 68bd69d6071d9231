// Backups of the hives the engine saves: private folders made with their parents, the first and
// the newest backups kept per hive, none added for an unchanged hive, hives of the same name
// kept apart, and whole backups whenever a save is killed at a random moment (a cross-check of
// HiveCrashTests.cpp, which cuts each of a save's operations in turn).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <random>
#include <set>
#include <thread>

#include "base/Text.h"
#include "hive/posix/HiveBackups.h"
#include "hive/posix/HiveFile.h"
#include "tests/hive/HiveTestSupport.h"

namespace {

using base::Failure;
using hivetest::kSettingsKeyPath;

unsigned Mode(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
}

// One run that saves one value: loads the hive, sets QLDRV_LOD_BIAS, commits. The backup folder
// it used, or empty when the save failed (*error: why).
std::string SaveRun(const std::string& hive, const std::string& root, int keep, const std::string& value,
                    std::string* error = nullptr) {
  std::string backup;
  const long status =
      hivetest::SaveValue(hive, kSettingsKeyPath, u"QLDRV_LOD_BIAS", hivetest::kRegSz,
                          hivetest::Utf16(base::Utf16FromUtf8(value)), {false, root, keep}, &backup, error);
  return status == 0 ? backup : std::string();
}

TEST(HiveBackups, PrivateFoldersAreMadeWithTheirParents) {
  hivetest::TempFolder scratch;
  mkdir((scratch / "kept").c_str(), 0755);
  ASSERT_FALSE(base::MakePrivateFolders(scratch / "kept/a/b//c/").Failed());
  EXPECT_EQ(Mode(scratch / "kept"), 0755u) << "a folder that exists keeps its mode";
  for (const char* made : {"kept/a", "kept/a/b", "kept/a/b/c"})
    EXPECT_EQ(Mode(scratch / made), 0700u) << made;

  hivetest::WriteFile(scratch / "file", "");
  const Failure failure = base::MakePrivateFolders(scratch / "file/x");
  EXPECT_EQ(failure.Text(), "cannot create folder " + scratch / "file" + ": Not a directory");

  // Folders above may be anyone's and reached through links; the folder itself may not.
  mkdir((scratch / "shared").c_str(), 0777);
  chmod((scratch / "shared").c_str(), 01777);
  ASSERT_EQ(symlink((scratch / "shared").c_str(), (scratch / "via").c_str()), 0);
  EXPECT_FALSE(base::MakePrivateFolders(scratch / "via/mine").Failed());
  EXPECT_EQ(Mode(scratch / "shared/mine"), 0700u);
  EXPECT_EQ(base::MakePrivateFolders(scratch / "via").Text(),
            "cannot use folder " + scratch / "via" + ": it is a symbolic link");
  EXPECT_EQ(
      base::MakePrivateFolders(scratch / "shared").Text(),
      "cannot use folder " + scratch / "shared" + ": users other than its owner may write to it (mode 1777)");
}

// A folder the user did not make: another user's (when the tests run as root), one others may
// write to, or a link. Each is refused in words naming it, for the backup root and for the
// hive's folder in it, and nothing goes into it or into where a link points.
TEST(HiveBackups, FoldersThatAreNotTheUsersOwnAreRefused) {
  const bool root = geteuid() == 0;
  if (!root) std::printf("skipped: folders of another user (chown needs root)\n");
  struct Row {
    const char* name;
    bool hiveFolder;  // else the root
    std::function<void(const std::string& folder, const std::string& victim)> plant;
    const char* why;
    bool needsRoot = false;
  } rows[] = {
      {"root is a link", false,
       [](const std::string& folder, const std::string& victim) {
         EXPECT_EQ(symlink(victim.c_str(), folder.c_str()), 0);
       },
       "it is a symbolic link"},
      {"root others may write", false,
       [](const std::string& folder, const std::string&) {
         mkdir(folder.c_str(), 0700);
         chmod(folder.c_str(), 01777);
       },
       "users other than its owner may write to it (mode 1777)"},
      {"root of another user", false,
       [](const std::string& folder, const std::string&) {
         mkdir(folder.c_str(), 0700);
         EXPECT_EQ(chown(folder.c_str(), 12345, 12345), 0);
       },
       "it belongs to another user", true},
      {"hive's folder is a link", true,
       [](const std::string& folder, const std::string& victim) {
         EXPECT_EQ(symlink(victim.c_str(), folder.c_str()), 0);
       },
       "it is a symbolic link"},
      {"hive's folder the group may write", true,
       [](const std::string& folder, const std::string&) {
         mkdir(folder.c_str(), 0700);
         chmod(folder.c_str(), 0770);
       },
       "users other than its owner may write to it (mode 0770)"},
      // Another user makes the folder first, with a link shaped as a backup to the victim:
      // pruning would remove every file there.
      {"hive's folder of another user", true,
       [](const std::string& folder, const std::string& victim) {
         mkdir(folder.c_str(), 0755);
         EXPECT_EQ(symlink(victim.c_str(), (folder + "/000002-20260101-000000").c_str()), 0);
         EXPECT_EQ(chown(folder.c_str(), 12345, 12345), 0);
       },
       "it belongs to another user", true},
  };
  for (const Row& row : rows) {
    if (row.needsRoot && !root) continue;
    hivetest::TempFolder scratch, data, victim;
    hivetest::WriteFile(victim / "precious", "keep me");
    const std::string hive = hivetest::WriteTestHive(scratch);
    const std::string backups = data / "backups";
    const std::string planted = row.hiveFolder ? hive::HiveBackupFolder(backups, hive) : backups;
    if (row.hiveFolder) mkdir(backups.c_str(), 0700);
    row.plant(planted, victim.Path());
    const std::string before = hivetest::ReadFile(hive);
    // Enough saves for pruning, had the first one been let through.
    for (int run = 0; run < 3; ++run)
      EXPECT_EQ(SaveRun(hive, backups, 1, std::to_string(run)), "") << row.name;
    EXPECT_EQ(hivetest::ReadFile(hive), before) << row.name << ": a save without its backup";
    EXPECT_EQ(hivetest::FolderNames(victim.Path()), std::vector<std::string>{"precious"}) << row.name;
    EXPECT_EQ(hivetest::ReadFile(victim / "precious"), "keep me") << row.name;
    std::string error;
    EXPECT_EQ(SaveRun(hive, backups, 1, "1", &error), "") << row.name;
    EXPECT_NE(error.find("cannot use folder " + planted + ": " + row.why), std::string::npos)
        << row.name << ": " << error;
    EXPECT_NE(error.find("keep backups in a folder of your own"), std::string::npos)
        << row.name << ": " << error;
  }
}

// A link of a backup's name in the hive's own folder (or in place of a leftover) is neither
// counted nor followed when old backups go: what it points to stays.
TEST(HiveBackups, PruningNeverFollowsALink) {
  hivetest::TempFolder scratch, data, victim;
  hivetest::WriteFile(victim / "precious", "keep me");
  const std::string hive = hivetest::WriteTestHive(scratch);
  ASSERT_FALSE(SaveRun(hive, data.Path(), 1, "1").empty());
  const std::string folder = hive::HiveBackupFolder(data.Path(), hive);
  for (const char* name : {"000002-20260101-000000", ".old-000003-20260101-000000", ".new-abcdef"})
    ASSERT_EQ(symlink(victim.Path().c_str(), (folder + "/" + name).c_str()), 0);
  for (int run = 2; run < 6; ++run) ASSERT_FALSE(SaveRun(hive, data.Path(), 1, std::to_string(run)).empty());
  EXPECT_EQ(hivetest::FolderNames(victim.Path()), std::vector<std::string>{"precious"});
  const std::vector<std::string> left = hivetest::FolderNames(folder);
  EXPECT_EQ(left.size(), 4u) << "the first, the newest, hive-path and the link of a backup's name";
  EXPECT_NE(std::find(left.begin(), left.end(), "000002-20260101-000000"), left.end());
}

// A log beside the hive that is a link to another file: the backup does not copy what it points
// to, and is refused naming it, so the save changes nothing.
TEST(HiveBackups, ALogThatIsALinkIsRefused) {
  hivetest::TempFolder scratch, data, secrets;
  hivetest::WriteFile(secrets / "secret", "not for backups");
  const std::string hive = hivetest::WriteTestHive(scratch);
  ASSERT_EQ(symlink((secrets / "secret").c_str(), (scratch / "SYSTEM.LOG1").c_str()), 0);
  const std::string before = hivetest::ReadFile(hive);
  std::string error;
  EXPECT_EQ(SaveRun(hive, data.Path(), 5, "1", &error), "");
  EXPECT_NE(error.find("cannot copy " + scratch / "SYSTEM.LOG1" +
                       ": it is a symbolic link, which backups do not follow"),
            std::string::npos)
      << error;
  EXPECT_EQ(hivetest::ReadFile(hive), before);
  EXPECT_EQ(hivetest::Run("grep -rl 'not for backups' " + hivetest::Quote(data.Path())), "");
}

// Eight runs that each save another value, keeping 3: the first backup (the hive before any
// save) and the newest three are left, each the hive as it was before its run, byte for byte.
TEST(HiveBackups, TheFirstAndTheNewestAreKept) {
  hivetest::TempFolder scratch, data;
  const std::string hive = hivetest::WriteTestHive(scratch);
  const std::string root = data / "deep/backups";
  std::vector<std::string> states, used;
  for (int run = 0; run < 8; ++run) {
    states.push_back(hivetest::ReadFile(hive));
    used.push_back(SaveRun(hive, root, 3, std::to_string(run + 10)));
    ASSERT_FALSE(used.back().empty()) << "run " << run;
  }
  const std::string folder = hive::HiveBackupFolder(root, hive);
  EXPECT_EQ(hivetest::FolderNames(root), std::vector<std::string>{folder.substr(root.size() + 1)});
  EXPECT_EQ(hivetest::ReadFile(folder + "/hive-path"), hive + "\n");
  std::vector<std::string> expected = {"hive-path"};
  for (const int run : {0, 5, 6, 7}) {
    EXPECT_EQ(hivetest::ReadFile(used[run] + "/SYSTEM"), states[run]) << "run " << run;
    EXPECT_EQ(hivetest::FolderNames(used[run]), std::vector<std::string>{"SYSTEM"});
    expected.push_back(used[run].substr(folder.size() + 1));
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(hivetest::FolderNames(folder), expected);
  EXPECT_EQ(expected.front().substr(0, 7), "000001-");
  for (const char* made : {"deep", "deep/backups"}) EXPECT_EQ(Mode(data / made), 0700u) << made;
}

// A hive put back as it was before the last save is the newest backup already: no new one. A
// hive of the same name elsewhere gets backups of its own.
TEST(HiveBackups, NoCopyOfAnUnchangedHiveAndNoMixOfHivesOfOneName) {
  hivetest::TempFolder one, other, data;
  const std::string hive = hivetest::WriteTestHive(one);
  const std::string before = hivetest::ReadFile(hive);
  const std::string first = SaveRun(hive, data.Path(), 5, "7");
  ASSERT_FALSE(first.empty());
  hivetest::WriteFile(hive, before);
  EXPECT_EQ(SaveRun(hive, data.Path(), 5, "8"), first);
  EXPECT_EQ(hivetest::FolderNames(hive::HiveBackupFolder(data.Path(), hive)).size(), 2u)
      << "hive-path and one backup";

  const std::string second = hivetest::WriteTestHive(other);
  hivetest::WriteFile(second, hivetest::ReadFile(hive));
  const std::string backup = SaveRun(second, data.Path(), 5, "9");
  ASSERT_FALSE(backup.empty());
  EXPECT_NE(hive::HiveBackupFolder(data.Path(), second), hive::HiveBackupFolder(data.Path(), hive));
  EXPECT_EQ(backup.substr(0, hive::HiveBackupFolder(data.Path(), second).size()),
            hive::HiveBackupFolder(data.Path(), second));
  EXPECT_EQ(hivetest::ReadFile(backup + "/SYSTEM"), hivetest::ReadFile(hive));
  EXPECT_EQ(hivetest::FolderNames(data.Path()).size(), 2u);
}

// Runs that save a large hive are killed once each has said it is about to save (the backup
// comes first), at a random moment after. Every backup under its real name must hold one of the
// states the hive had, whole; a later backup clears what the killed ones left.
// HIVE_KILL_ITERATIONS sets the count.
TEST(HiveBackups, AKilledSaveLeavesOnlyWholeBackups) {
  const char* setting = std::getenv("HIVE_KILL_ITERATIONS");
  const int iterations = setting != nullptr ? std::atoi(setting) : 100;
  hivetest::TempFolder scratch, data;
  const std::string hive = hivetest::WriteTestHive(scratch);
  {
    // A MiB of data or more, so that a kill can land inside a copy: many values of a quarter
    // MiB each, in a key of their own (the board's).
    hive::HiveFile file(hive);
    ASSERT_FALSE(file.Load().Failed());
    const hive::HiveImage::Node key = hivetest::KeyAt(file.Image(), hivetest::kBoardKeyPath);
    const std::vector<std::uint8_t> bulk(256 << 10, 0x5A);
    for (int i = 0; i < 4; ++i) {
      ASSERT_EQ(
          file.Image().SetValue(key, u"Bulk" + base::Utf16FromUtf8(std::to_string(i)), hivetest::kRegBinary,
                                bulk.data(), static_cast<std::uint32_t>(bulk.size())),
          0);
    }
    ASSERT_EQ(file.Commit([] { return false; }), 0) << file.CommitError();
  }
  std::set<std::size_t> states;  // hashes of the hive's contents
  const std::hash<std::string> hash;
  std::mt19937 random(2024);
  const std::string folder = hive::HiveBackupFolder(data.Path(), hive);
  auto checkWhole = [&] {
    int backups = 0;
    for (const std::string& name : hivetest::FolderNames(folder)) {
      if (name[0] < '0' || name[0] > '9') continue;
      ++backups;
      EXPECT_EQ(hivetest::FolderNames(folder + "/" + name), std::vector<std::string>{"SYSTEM"}) << name;
      EXPECT_EQ(states.count(hash(hivetest::ReadFile(folder + "/" + name + "/SYSTEM"))), 1u)
          << name << " is torn";
    }
    return backups;
  };
  for (int iteration = 0; iteration < iterations; ++iteration) {
    states.insert(hash(hivetest::ReadFile(hive)));
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(ready[0]);
      hive::HiveFile file(hive);
      if (file.Load().Failed()) _exit(1);
      file.RemoveLeftovers();
      file.SetBackupRoot(data.Path(), 2);
      const hive::HiveImage::Node key = hivetest::KeyAt(file.Image(), kSettingsKeyPath);
      const std::string text = std::to_string(iteration);
      if (key == 0 || file.Image().SetValue(key, u"QLDRV_LOD_BIAS", hivetest::kRegBinary,
                                            reinterpret_cast<const std::uint8_t*>(text.data()),
                                            static_cast<std::uint32_t>(text.size())) != 0)
        _exit(1);
      if (write(ready[1], "s", 1) != 1) _exit(1);
      file.Commit([] { return false; });
      _exit(0);
    }
    close(ready[1]);
    char signal = 0;
    const bool reached = read(ready[0], &signal, 1) == 1;
    close(ready[0]);
    // Often within the copy, which comes first; else anywhere in the save.
    std::this_thread::sleep_for(std::chrono::microseconds(random() % (iteration % 2 == 0 ? 2000 : 60000)));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(reached) << "iteration " << iteration;
    // The first and the newest two, and one more when the kill came between a new backup and
    // the removal of the oldest.
    ASSERT_LE(checkWhole(), 4) << "iteration " << iteration;
  }
  EXPECT_GE(checkWhole(), 2) << "the saves reached their backups";
  // The next save clears what killed ones left and still keeps only whole backups.
  states.insert(hash(hivetest::ReadFile(hive)));
  ASSERT_FALSE(SaveRun(hive, data.Path(), 2, "1").empty());
  EXPECT_LE(checkWhole(), 3);
  for (const std::string& name : hivetest::FolderNames(folder))
    EXPECT_NE(name[0], '.') << name << " was left";
}

}  // namespace
