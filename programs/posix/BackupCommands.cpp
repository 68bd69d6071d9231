#include "programs/posix/BackupCommands.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "app/ExitStatus.h"
#include "base/posix/Owners.h"
#include "hive/posix/Hive.h"

namespace {

using hive::HiveBackup;

// The longest path that Windows takes (MAX_PATH, with its terminating NUL).
constexpr std::size_t kLongestWindowsPath = 259;

std::vector<std::string> Parts(const std::string& path) {
  std::vector<std::string> parts;
  for (std::size_t at = 0; at < path.size();) {
    const std::size_t slash = path.find('/', at);
    const std::size_t end = slash == std::string::npos ? path.size() : slash;
    if (end > at) parts.push_back(path.substr(at, end - at));
    at = end + 1;
  }
  return parts;
}

bool SameFolded(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// The lines that put a backup beside the hive back from Windows XP's Recovery Console, logs
// first (a log copied while the hive is still the current one, clean after our save, is
// ignored by Windows; a dirty backup's hive copied first would meet a log not its own); or why
// there are none.
std::string RecoveryConsoleLines(const std::string& hive, const HiveBackup& backup,
                                 std::vector<std::string>* lines) {
  // The hive must be SYSTEMROOT/system32/config/NAME, with SYSTEMROOT at the root of its disk.
  const std::vector<std::string> hiveParts = Parts(hive);
  const std::size_t n = hiveParts.size();
  if (n < 4 || !SameFolded(hiveParts[n - 2], "config") || !SameFolded(hiveParts[n - 3], "system32"))
    return "the hive is not in a Windows folder's system32\\config";
  const std::string windowsFolder =
      "C:\\" + hiveParts[n - 4] + "\\" + hiveParts[n - 3] + "\\" + hiveParts[n - 2];
  const std::string backupName = backup.folder.substr(backup.folder.rfind('/') + 1);
  for (const std::string& part : {hiveParts[n - 4], backupName})
    if (!hive::IsShortName(part)) return "its folder " + part + " is no 8.3 name";
  for (std::size_t i = 1; i <= backup.files.size(); ++i) {
    const std::string& file = backup.files[i % backup.files.size()].first;
    if (!hive::IsShortName(file)) return "its file " + file + " is no 8.3 name";
    const std::string from =
        windowsFolder + "\\" + hive::kBesideBackupFolder + "\\" + backupName + "\\" + file;
    const std::string to = windowsFolder + "\\" + file;
    if (from.size() > kLongestWindowsPath) return "its path is too long";
    lines->push_back("copy " + from + " " + to);
  }
  return {};
}

std::string LocalTime(std::int64_t seconds) {
  const auto time = static_cast<std::time_t>(seconds);
  std::tm local{};
  char text[32] = {};
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", localtime_r(&time, &local));
  return text;
}

// The hive's real path and its folder, open; false after saying why (*status set).
bool OpenHive(const std::string& hive, std::string* path, base::Descriptor* folder, int* status) {
  char resolved[PATH_MAX];
  if (realpath(hive.c_str(), resolved) == nullptr) {
    std::fprintf(stderr, "configurator: %s: %s\n", hive.c_str(),
                 errno == ENOENT ? "no such hive file" : std::strerror(errno));
    *status = sysexits::kNoInput;
    return false;
  }
  *path = resolved;
  const std::string folderPath = path->substr(0, std::max<std::size_t>(path->rfind('/'), 1));
  *folder = base::Descriptor(open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!folder->Valid()) {
    std::fprintf(stderr, "configurator: cannot open the folder %s: %s\n", folderPath.c_str(),
                 std::strerror(errno));
    *status = sysexits::kNoInput;
    return false;
  }
  return true;
}

std::string Places(const std::string& path, const std::string& root) {
  const std::string beside = path.substr(0, path.rfind('/') + 1) + hive::kBesideBackupFolder;
  return root.empty() ? beside : beside + " or " + hive::HiveBackupFolder(root, path);
}

}  // namespace

int ListBackups(const std::string& hive, const std::string& root, const std::string& again) {
  std::string path;
  base::Descriptor folder;
  int status = 0;
  if (!OpenHive(hive, &path, &folder, &status)) return status;
  const std::vector<HiveBackup> backups = hive::ListHiveBackups(folder.Get(), path, root);
  if (backups.empty()) {
    std::printf("No backups of %s (in %s)\n", path.c_str(), Places(path, root).c_str());
    return 0;
  }
  std::printf("Backups of %s, oldest first:\n", path.c_str());
  for (std::size_t i = 0; i < backups.size(); ++i) {
    const HiveBackup& backup = backups[i];
    std::string files;
    for (const auto& [name, size] : backup.files)
      files += (files.empty() ? "" : ", ") + name + " " + std::to_string(size) + " bytes";
    std::printf("%zu  %s  %s\n   %s\n", i + 1, LocalTime(backup.time).c_str(), backup.folder.c_str(),
                files.c_str());
    if (!backup.beside) continue;
    std::vector<std::string> lines;
    if (const std::string why = RecoveryConsoleLines(path, backup, &lines); !why.empty()) {
      std::printf("   Windows XP's Recovery Console cannot put it back: %s\n", why.c_str());
    } else {
      std::printf("   From Windows XP's Recovery Console (on drive C:):\n");
      for (const std::string& line : lines) std::printf("     %s\n", line.c_str());
    }
  }
  std::printf("Put one back (with Windows not running): %s --restore-backup N\n", again.c_str());
  return 0;
}

int RestoreBackup(const std::string& hive, const std::string& root, int number,
                  const hive::BackupPlaces& places, const std::string& again) {
  std::string path;
  base::Descriptor folder;
  int status = 0;
  if (!OpenHive(hive, &path, &folder, &status)) return status;
  const std::vector<HiveBackup> backups = hive::ListHiveBackups(folder.Get(), path, root);
  if (static_cast<std::size_t>(number) > backups.size()) {
    std::fprintf(stderr, "configurator: no backup %d of %s: %s (--list-backups lists them)\n", number,
                 path.c_str(),
                 backups.empty() ? ("there are none in " + Places(path, root)).c_str()
                                 : (backups.size() == 1 ? std::string("there is 1")
                                                        : "there are " + std::to_string(backups.size()))
                                       .c_str());
    return sysexits::kNoInput;
  }
  const HiveBackup& chosen = backups[static_cast<std::size_t>(number) - 1];
  hive::RestoreOutcome outcome;
  const base::Failure failure = hive::RestoreHiveBackup(path, chosen.folder, places, &outcome);
  using Trouble = hive::RestoreOutcome::Trouble;
  switch (outcome.trouble) {
    case Trouble::kNone:
      break;
    case Trouble::kBackupUnusable:
    case Trouble::kNotWritable:
      std::fprintf(stderr, "configurator: %s\nNothing was changed.\n", failure.Text().c_str());
      if (outcome.trouble == Trouble::kBackupUnusable)
        return failure.problem == base::HiveProblem::kCorrupt ? sysexits::kDataError : sysexits::kNoInput;
      return failure.problem == base::HiveProblem::kMissing ? sysexits::kNoInput : sysexits::kNoPermission;
    case Trouble::kNoUndo:
      std::fprintf(stderr,
                   "configurator: the hive as it is could not be backed up first: %s\n"
                   "Nothing was changed. Name a folder for backups with --backup-dir DIR.\n",
                   failure.Text().c_str());
      return sysexits::kCantCreate;
    case Trouble::kWrite:
    case Trouble::kStopped:
      std::fprintf(stderr,
                   "configurator: %s\nThe restore did not finish; the hive loads as it was or as the backup. "
                   "Run it again to finish it.\n",
                   failure.Text().c_str());
      return sysexits::kIoError;
  }
  if (!outcome.note.empty()) std::fprintf(stderr, "configurator: note: %s\n", outcome.note.c_str());
  // The number the undo backup now has, for the line that puts it back.
  std::size_t undo = 0;
  const std::vector<HiveBackup> after = hive::ListHiveBackups(folder.Get(), path, root);
  for (std::size_t i = 0; i < after.size(); ++i)
    if (after[i].folder == outcome.undo) undo = i + 1;
  std::printf("Put backup %d (%s) back over %s.\n", number, chosen.folder.c_str(), path.c_str());
  std::printf("The hive as it was is backed up in %s", outcome.undo.c_str());
  if (undo != 0) std::printf("; undo with: %s --restore-backup %zu", again.c_str(), undo);
  std::printf("\n");
  return 0;
}
