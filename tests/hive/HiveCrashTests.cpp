// Every point at which a save, a first save with its backup, a save of a hive recovered from its
// logs and a restore of a backup can be cut short. A run that goes through counts the
// operations that change the disk (base/posix/FileOps.h); then each one in turn fails with no
// space (ENOSPC) or an I/O error (EIO), or the process ends there, as in a crash. Afterwards the
// hive loads, its logs replayed as Windows would, exactly as it was or exactly as saved, and
// whole; a failed operation is reported as a failure, unless it is one the engine may do
// without; a backup is whole or absent; and the next open (or backup) leaves nothing of ours
// beside the hive but CFGBAK.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "base/posix/FileOps.h"
#include "base/posix/Owners.h"
#include "hive/HiveFormat.h"
#include "hive/posix/HiveBackups.h"
#include "hive/posix/HiveFile.h"
#include "hive/posix/HiveLogs.h"
#include "hive/posix/HiveRestore.h"
#include "tests/hive/HiveTestSupport.h"

#ifndef HIVE_REFERENCE_DIR
#define HIVE_REFERENCE_DIR ""
#endif

namespace {

using hivetest::Bytes;
namespace ops = base::ops;

// Files by their path in the scratch folder ("SYSTEM", "CFGBAK/000001/SYSTEM").
using Files = std::map<std::string, Bytes>;

// Starts counting (and faulting) the operations: called by an operation once it has loaded
// what it needs, just before it changes anything.
using Arm = std::function<void()>;

struct Scenario {
  std::string name;
  Files laid;  // what the folder holds before
  // Runs the operation on the hive in folder; 0 when it reports success.
  std::function<long(const std::string& folder, const Arm& arm)> run;
  // Operations (as Describe shows them) whose failure the engine may do without and still
  // report success: what it removes, and what it gives a new file as far as the user may.
  std::vector<std::string> tolerated;
  std::set<std::string> beside;  // the names that may be in the folder after the next open
  // Backups that must be there unchanged, and those that are whole (these files exactly) or absent.
  std::map<std::string, Files> kept, wholeOrAbsent;
  // What must hold once the operation reported success; empty or what is wrong.
  std::function<std::string(const std::string& folder)> finished;
};

std::string ReferenceDir() {
  const char* set = std::getenv("HIVE_REFERENCE_DIR");
  return set != nullptr && set[0] != 0 ? set : HIVE_REFERENCE_DIR;
}

std::string RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) != nullptr ? resolved : path;
}

// The files in folder, in folders of the user's own (0700) as backups are.
void Lay(const std::string& folder, const Files& files) {
  for (const auto& [name, bytes] : files) {
    for (std::size_t slash = name.find('/'); slash != std::string::npos; slash = name.find('/', slash + 1))
      mkdir((folder + "/" + name.substr(0, slash)).c_str(), 0700);
    hivetest::WriteBytes(folder + "/" + name, bytes);
  }
}

// An operation as the trace shows it, with the folder and random names taken out:
// "rename .SYSTEM.tmp.* to SYSTEM".
std::string Describe(std::string line, const std::string& folder) {
  for (std::size_t at; (at = line.find(folder + "/")) != std::string::npos;)
    line.erase(at, folder.size() + 1);
  if (line.size() > folder.size() && line.compare(line.size() - folder.size(), folder.size(), folder) == 0)
    line.replace(line.size() - folder.size(), folder.size(), ".");
  return std::regex_replace(line, std::regex(R"((\.tmp\.|\.new-)[A-Za-z0-9]{6})"), "$1*");
}

// What the hive in folder loads as: every value, or what is wrong.
std::string Loaded(const std::string& folder) {
  hive::HiveFile file(folder + "/SYSTEM");
  if (const base::Failure failure = file.Load(); failure.Failed()) return "does not load: " + failure.Text();
  if (!file.Refusal().empty()) return "loads read-only: " + file.Refusal();
  if (std::string faults = hivetest::StructuralFaults(file.Image().Bytes()); !faults.empty())
    return "damaged: " + faults;
  return hivetest::ImageValues(file.Image());
}

// A loaded state in a failure message: its start.
std::string Shown(const std::string& loaded) {
  return loaded.size() <= 300 ? loaded : loaded.substr(0, 300) + "...";
}

// What is wrong with the backups in folder/CFGBAK; empty when nothing is.
std::string BackupTrouble(const Scenario& scenario, const std::string& folder) {
  std::string trouble;
  const std::string backups = folder + "/" + hive::kBesideBackupFolder;
  for (const auto& [name, files] : scenario.kept)
    if (hivetest::FolderNames(backups + "/" + name).empty()) trouble += name + " is gone; ";
  for (const std::string& name : hivetest::FolderNames(backups)) {
    if (name[0] == '.') continue;  // a backup begun, which the next one removes (checked below)
    const auto* expected = scenario.kept.count(name) != 0            ? &scenario.kept.at(name)
                           : scenario.wholeOrAbsent.count(name) != 0 ? &scenario.wholeOrAbsent.at(name)
                                                                     : nullptr;
    if (expected == nullptr) {
      trouble += "unexpected backup " + name + "; ";
      continue;
    }
    std::vector<std::string> wanted;
    for (const auto& [file, bytes] : *expected) {
      wanted.push_back(file);
      if (hivetest::ReadBytes(backups + "/" + name + "/" + file) != bytes)
        trouble += name + "/" + file + " differs; ";
    }
    if (hivetest::FolderNames(backups + "/" + name) != wanted) trouble += name + " holds other files; ";
  }
  return trouble;
}

// After a cut, what the next open and the next backup of the hive leave beside it must be only
// ours: what is wrong, or empty.
std::string LeftBehind(const Scenario& scenario, const std::string& folder) {
  {
    hive::HiveFile file(folder + "/SYSTEM");
    if (file.Load().Failed()) return "the hive does not load";
    file.RemoveLeftovers();
  }
  std::string left;
  for (const std::string& name : hivetest::FolderNames(folder))
    if (scenario.beside.count(name) == 0) left += name + " ";
  const std::string backups = folder + "/" + hive::kBesideBackupFolder;
  const std::vector<std::string> inBackups = hivetest::FolderNames(backups);
  if (std::any_of(inBackups.begin(), inBackups.end(),
                  [](const std::string& name) { return name[0] == '.'; })) {
    const base::Descriptor at(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    std::string where;
    const base::Failure failure = hive::BackUpHiveBeside(5, at.Get(), folder + "/SYSTEM",
                                                         hive::FindHiveLogs(at.Get(), "SYSTEM").all, &where);
    if (failure.Failed()) return "the next backup fails: " + failure.Text();
    for (const std::string& name : hivetest::FolderNames(backups))
      if (name[0] == '.') left += "CFGBAK/" + name + " (after the next backup) ";
  }
  return left;
}

enum class Cut { kNoSpace, kIoError, kEnd };
constexpr Cut kCuts[] = {Cut::kNoSpace, Cut::kIoError, Cut::kEnd};
const char* CutName(Cut cut) {
  return cut == Cut::kNoSpace ? "ENOSPC" : cut == Cut::kIoError ? "EIO" : "end of the process";
}

// The child's exit statuses besides ops::kEndedByFault.
constexpr int kReportedSuccess = 0;
constexpr int kReportedFailure = 1;
constexpr int kNeverReached = 2;

// Runs the scenario in a child whose operation at is cut; the child's exit status.
int RunCut(const Scenario& scenario, const std::string& folder, std::uint64_t at, Cut cut) {
  const pid_t child = fork();
  if (child == 0) {
    const ops::FaultPlan plan{at, cut == Cut::kEnd ? ops::Fault::kEnd : ops::Fault::kFail,
                              cut == Cut::kNoSpace ? ENOSPC : EIO};
    const long status = scenario.run(folder, [&] { ops::StartCounting(plan); });
    const bool reached = ops::Counted() >= at;
    ops::StopCounting();
    _exit(!reached ? kNeverReached : status == 0 ? kReportedSuccess : kReportedFailure);
  }
  int status = -1;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void EveryCrashPoint(const Scenario& scenario) {
  SCOPED_TRACE(scenario.name);
  // The run that goes through: the operations, and the state before and after.
  std::vector<std::string> operations;
  std::string before, after;
  {
    hivetest::TempFolder scratch;
    const std::string folder = RealPath(scratch.Path());
    Lay(folder, scenario.laid);
    before = Loaded(folder);
    const long status = scenario.run(folder, [] { ops::StartCounting({}, true); });
    for (const std::string& line : ops::Traced()) operations.push_back(Describe(line, folder));
    ops::StopCounting();
    ASSERT_EQ(status, 0) << "the run without a fault fails";
    after = Loaded(folder);
    ASSERT_EQ(scenario.finished(folder), "");
    ASSERT_NE(before.find('\t'), std::string::npos) << "the hive does not load before: " << before;
    ASSERT_NE(before, after) << "the operation changes nothing";
  }
  std::printf("%s: %zu operations, each cut %zu ways\n", scenario.name.c_str(), operations.size(),
              std::size(kCuts));

  for (std::uint64_t at = 1; at <= operations.size(); ++at) {
    const std::string& operation = operations[at - 1];
    const bool tolerated = std::any_of(
        scenario.tolerated.begin(), scenario.tolerated.end(),
        [&](const std::string& pattern) { return std::regex_match(operation, std::regex(pattern)); });
    for (const Cut cut : kCuts) {
      SCOPED_TRACE(CutName(cut) + std::string(" at operation ") + std::to_string(at) + ": " + operation);
      hivetest::TempFolder scratch;
      const std::string folder = RealPath(scratch.Path());
      Lay(folder, scenario.laid);
      const int exit = RunCut(scenario, folder, at, cut);
      ASSERT_NE(exit, kNeverReached) << "the operations are not the same from run to run";
      if (cut == Cut::kEnd) {
        EXPECT_EQ(exit, ops::kEndedByFault);
      } else if (!tolerated) {
        EXPECT_EQ(exit, kReportedFailure) << "reported success over a failed operation";
      } else {
        EXPECT_TRUE(exit == kReportedSuccess || exit == kReportedFailure) << exit;
      }
      const std::string loaded = Loaded(folder);
      if (exit == kReportedSuccess) {
        EXPECT_TRUE(loaded == after) << "reported success, yet loads as: " << Shown(loaded);
        if (!tolerated) {
          EXPECT_EQ(scenario.finished(folder), "");
        }
      } else {
        EXPECT_TRUE(loaded == before || loaded == after) << "loads as: " << Shown(loaded);
      }
      EXPECT_EQ(BackupTrouble(scenario, folder), "");
      EXPECT_EQ(LeftBehind(scenario, folder), "");
    }
  }
}

// --- The scenarios ------------------------------------------------------------------------------

constexpr std::uint64_t kMade = 0x01DB000000000000ULL;  // a fixed time: the same hive in every run

Bytes Clean(Bytes bytes, std::uint32_t sequence) {
  hive::HiveImage image;
  std::string why;
  EXPECT_TRUE(hive::HiveImage::Open(std::move(bytes), &image, &why)) << why;
  image.MarkClean(sequence, kMade);
  return image.Bytes();
}

Bytes Dword(std::uint32_t value) { return {static_cast<std::uint8_t>(value), 0, 0, 0}; }

const Bytes kHive = Clean(hivetest::TestHive(kMade), 5);
// What Windows last changed: the hive the logs bring it to.
const Bytes kChanged = hivetest::Edited(kHive, u"Select", u"LastKnownGood", hivetest::kRegDword, Dword(2));

// The program's save of a loaded hive: one value changed, and a large one added, so that the
// hive grows by a bin.
long Save(const std::string& folder, const Arm& arm, const hive::BackupPlaces& places = {}) {
  hive::HiveFile file(folder + "/SYSTEM");
  if (file.Load().Failed()) return -1;
  file.SetBackupPlaces(places);
  hive::HiveImage& image = file.Image();
  const hive::HiveImage::Node key = hivetest::KeyAt(image, hivetest::kSettingsKeyPath);
  const hive::HiveImage::Node root = image.Root();
  const Bytes bias = hivetest::Utf16(u"2");
  const Bytes large(6000, 0x5A);
  if (key == 0 ||
      image.SetValue(key, u"QLDRV_LOD_BIAS", hivetest::kRegSz, bias.data(),
                     static_cast<std::uint32_t>(bias.size())) != 0 ||
      image.SetValue(root, u"Large", hivetest::kRegBinary, large.data(),
                     static_cast<std::uint32_t>(large.size())) != 0)
    return -1;
  arm();
  return file.Commit([] { return false; }, [key, root] { return std::vector<std::uintptr_t>{key, root}; });
}

std::string LogsEmpty(const std::string& folder) {
  std::string full;
  for (const char* log : {"SYSTEM.LOG", "SYSTEM.LOG1", "SYSTEM.LOG2"})
    if (!hivetest::ReadFile(folder + "/" + log).empty()) full += std::string(log) + " is not empty; ";
  return full;
}

// What the engine may do without: removing what is left over, the owner of a new file (which
// only root may give), its extended attributes.
const std::vector<std::string> kHousekeeping = {"unlink .*", "chown .*", "setxattr .*"};

std::vector<std::string> Plus(std::vector<std::string> list, const std::vector<std::string>& more) {
  list.insert(list.end(), more.begin(), more.end());
  return list;
}

// A clean hive beside stale logs of earlier runs, which the save empties.
Files CleanWithLogs() {
  const Bytes older = hivetest::Edited(kHive, u"Select", u"Failed", hivetest::kRegDword, Dword(1));
  return {{"SYSTEM", kHive},
          {"SYSTEM.LOG1", hivetest::NewFormatLog(older, 3)},
          {"SYSTEM.LOG2", hivetest::NewFormatLog(kChanged, 4)}};
}

// Emptying the logs once the saved hive is durable: the clean hive makes Windows ignore them.
const std::vector<std::string> kLogsEmptied = {"(open|truncate|fsync) SYSTEM\\.LOG[12]?"};

Scenario SaveScenario() {
  return {"save",
          CleanWithLogs(),
          [](const std::string& folder, const Arm& arm) { return Save(folder, arm); },
          Plus(kHousekeeping, kLogsEmptied),
          {"SYSTEM", "SYSTEM.LOG1", "SYSTEM.LOG2"},
          {},
          {},
          LogsEmpty};
}

Scenario FirstSaveScenario() {
  const Files laid = CleanWithLogs();
  return {"first save, with its backup beside the hive",
          laid,
          [](const std::string& folder, const Arm& arm) {
            return Save(folder, arm, {true, "", 5});
          },
          // CFGBAK is made 0700 whatever the umask; the mode is set again only for a tight umask.
          Plus(kHousekeeping, Plus(kLogsEmptied, {"chmod CFGBAK"})),
          {"SYSTEM", "SYSTEM.LOG1", "SYSTEM.LOG2", "CFGBAK"},
          {},
          {{"000001", laid}},
          [](const std::string& folder) {
            return LogsEmpty(folder) +
                   (hivetest::FolderNames(folder + "/CFGBAK/000001").empty() ? "no backup" : "");
          }};
}

Scenario RecoverySaveScenario(const std::string& name, Files laid) {
  return {name,
          std::move(laid),
          [](const std::string& folder, const Arm& arm) { return Save(folder, arm); },
          Plus(kHousekeeping, kLogsEmptied),
          {"SYSTEM", "SYSTEM.LOG1", "SYSTEM.LOG2"},
          {},
          {},
          LogsEmpty};
}

Files DirtyWithLogs() {
  const hivetest::DirtyFiles dirty = hivetest::MakeDirty(kHive, kChanged, 5);
  return {{"SYSTEM", dirty.primary}, {"SYSTEM.LOG1", dirty.log1}, {"SYSTEM.LOG2", {}}};
}

// A backup of the hive as another run left it, dirty too.
Files Backup() {
  const Bytes before = hivetest::Edited(kHive, hivetest::kSettingsKeyPath, u"QLDRV_LOD_BIAS",
                                        hivetest::kRegSz, hivetest::Utf16(u"5"));
  const Bytes after = hivetest::Edited(before, u"Select", u"Failed", hivetest::kRegDword, Dword(1));
  const hivetest::DirtyFiles dirty = hivetest::MakeDirty(before, after, 7);
  return {{"SYSTEM", dirty.primary}, {"SYSTEM.LOG1", dirty.log1}};
}

Files In(const std::string& folder, const Files& files) {
  Files moved;
  for (const auto& [name, bytes] : files) moved[folder + "/" + name] = bytes;
  return moved;
}

// The files a backup of these holds: empty logs are left out.
Files BackedUp(const Files& files) {
  Files kept;
  for (const auto& [name, bytes] : files)
    if (!bytes.empty()) kept[name] = bytes;
  return kept;
}

Scenario RestoreScenario(const std::string& name, const Files& current, std::vector<std::string> tolerated) {
  Files laid = current;
  laid.merge(In("CFGBAK/000001", Backup()));
  return {name,
          laid,
          [](const std::string& folder, const Arm& arm) -> long {
            hive::RestoreOutcome outcome;
            arm();
            return hive::RestoreHiveBackup(folder + "/SYSTEM", folder + "/CFGBAK/000001", {true, "", 5},
                                           &outcome)
                           .Failed()
                       ? 1
                       : 0;
          },
          Plus(kHousekeeping, tolerated),
          {"SYSTEM", "SYSTEM.LOG1", "SYSTEM.LOG2", "CFGBAK"},
          {{"000001", Backup()}},
          {{"000002", BackedUp(current)}},
          [](const std::string& folder) {
            std::string wrong;
            for (const auto& [file, bytes] : Backup())
              if (hivetest::ReadBytes(folder + "/" + file) != bytes) wrong += file + " is not the backup's; ";
            if (!hivetest::ReadFile(folder + "/SYSTEM.LOG2").empty()) wrong += "SYSTEM.LOG2 is not empty";
            return wrong;
          }};
}

TEST(HiveCrashPoints, Save) { EveryCrashPoint(SaveScenario()); }

TEST(HiveCrashPoints, FirstSaveWithItsBackup) { EveryCrashPoint(FirstSaveScenario()); }

TEST(HiveCrashPoints, SaveOfARecoveredHive) {
  EveryCrashPoint(RecoverySaveScenario("save of a hive recovered from its log", DirtyWithLogs()));
}

// Windows' own dirty hive, whose entries run from LOG1 into LOG2.
TEST(HiveCrashPoints, SaveOfAHiveWindowsLeftDirty) {
  const std::string dir = ReferenceDir() + "/NewDirtyHive1/";
  if (access((dir + "NewDirtyHive").c_str(), R_OK) != 0)
    GTEST_SKIP()
        << "that a save of a hive Windows left dirty is safe at every crash point (no reference hives in "
        << ReferenceDir() << "; set HIVE_REFERENCE_DIR)";
  const Files laid = {{"SYSTEM", hivetest::ReadBytes(dir + "NewDirtyHive")},
                      {"SYSTEM.LOG1", hivetest::ReadBytes(dir + "NewDirtyHive.LOG1")},
                      {"SYSTEM.LOG2", hivetest::ReadBytes(dir + "NewDirtyHive.LOG2")}};
  Scenario scenario = RecoverySaveScenario("save of a hive Windows left dirty", laid);
  // Its settings key is not there: the save changes a value of the root key.
  scenario.run = [](const std::string& folder, const Arm& arm) -> long {
    hive::HiveFile file(folder + "/SYSTEM");
    if (file.Load().Failed()) return -1;
    const Bytes one = Dword(1);
    if (file.Image().SetValue(file.Image().Root(), u"AddedOffline", hivetest::kRegDword, one.data(), 4) != 0)
      return -1;
    arm();
    return file.Commit([] { return false; });
  };
  EveryCrashPoint(scenario);
}

TEST(HiveCrashPoints, RestoreOverADirtyHive) {
  EveryCrashPoint(RestoreScenario("restore over a dirty hive", DirtyWithLogs(), {}));
}

// The restore makes the logs, and gives them the hive's owner and mode as far as it may.
TEST(HiveCrashPoints, RestoreOverACleanHiveWithoutLogs) {
  EveryCrashPoint(RestoreScenario("restore over a clean hive without logs", {{"SYSTEM", kHive}},
                                  {"chmod SYSTEM\\.LOG[12]"}));
}

}  // namespace
