#include "programs/posix/BackupPolicy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "app/ExitStatus.h"
#include "platform/posix/DemoHive.h"
#include "programs/posix/Messages.h"

namespace {

using base::Failure;

constexpr char kNothingChanged[] = "Nothing was changed.";

// Why the folder of the hive at its real path cannot take the folder CFGBAK of backups, in
// words; empty when it can (as far as can be told before a backup is made: a full disk shows
// only then).
std::string WhyNotBeside(const std::string& hive) {
  const std::string folder = hive.substr(0, std::max<std::size_t>(hive.rfind('/'), 1));
  const base::Descriptor at(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!at.Valid()) return std::strerror(errno);
  struct stat status {};
  if (fstatat(at.Get(), hive::kBesideBackupFolder, &status, AT_SYMLINK_NOFOLLOW) == 0) {
    if (std::string why = base::WhyNotOwnFolder(status); !why.empty())
      return folder + "/" + hive::kBesideBackupFolder + " is not a folder of yours: " + why;
    return {};
  }
  struct statvfs volume {};
  if (fstatvfs(at.Get(), &volume) == 0 && (volume.f_flag & ST_RDONLY) != 0)
    return folder + " is on a file system mounted read-only";
  if (faccessat(at.Get(), ".", W_OK | X_OK, AT_EACCESS) != 0) return "no permission to write in " + folder;
  return {};
}

}  // namespace

BackupChoice ChooseBackups(const std::optional<std::string>& hive,
                           const std::optional<std::string>& backupDir, int keepBackups) {
  BackupChoice choice;
  if (backupDir) {
    choice.root = *backupDir;
    // The status line names the backup; a name relative to where the run started says little.
    if (choice.root[0] != '/') {
      if (char* here = getcwd(nullptr, 0)) {
        choice.root = std::string(here) + "/" + choice.root;
        std::free(here);
      }
    }
  } else if (const std::string data = platform::DefaultDataFolder(); !data.empty()) {
    choice.root = data + "/backups";
  }
  choice.places = {hive.has_value() && !backupDir, choice.root, keepBackups};
  return choice;
}

int PrepareBackups(bool maySave, BackupChoice choice, platform::HiveStore& store) {
  if (maySave && store.WhyReadOnly().empty()) {
    if (choice.places.beside) {
      if (const std::string why = WhyNotBeside(store.Path()); !why.empty()) {
        if (choice.root.empty()) {
          return Refused("no backup of the hive can be kept beside it: " + why + ".\n" + kNothingChanged +
                             " Name a folder for backups with --backup-dir DIR.",
                         sysexits::kCantCreate);
        }
        Say("note: backups go to " + choice.root + ", as the hive's folder cannot take them: " + why);
        choice.places.beside = false;
      }
    }
    if (!choice.places.beside && choice.root.empty()) {
      return Refused(
          std::string("nowhere to keep a backup of the hive: neither HOME nor XDG_DATA_HOME is set.\n") +
              kNothingChanged + " Name a folder for backups with --backup-dir DIR.",
          sysexits::kCantCreate);
    }
    if (const Failure failure = choice.places.beside ? Failure() : base::MakePrivateFolders(choice.root);
        failure.Failed()) {
      return Refused("no backup of the hive can be kept in " + choice.root + ": " + failure.Text() + ".\n" +
                         kNothingChanged + " Name another folder for backups with --backup-dir DIR.",
                     sysexits::kCantCreate);
    }
  }
  if (choice.places.Any()) store.SetBackupPlaces(choice.places);
  return 0;
}

std::string BackupCommandLine(const std::optional<std::string>& hive,
                              const std::optional<std::string>& backupDir) {
  std::string again = "configurator";
  if (hive) again += " --hive " + ShellWord(*hive);
  if (backupDir) again += " --backup-dir " + ShellWord(*backupDir);
  return again;
}
