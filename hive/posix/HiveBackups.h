#pragma once
// Backups of the hives this program changes, and the private folders it keeps its data in.
//
// Two layouts. Beside the hive (the default for a hive the user names): a folder CFGBAK in the
// hive's own folder, on the disk that survives a reboot of a live system, with names that Windows
// XP's Recovery Console can reach (8.3):
//
//   CFGBAK/                           shared by the hives of that folder
//     000003/                         one folder per backup: a number that grows
//       SYSTEM                        the hive file as it was on disk
//       SYSTEM.LOG                    its logs that were not empty, under their own names
//
// In a backup folder elsewhere (the data folder's "backups", or --backup-dir):
//
//   SYSTEM-0123456789abcdef/          one folder per hive: its file name and a hash of its real
//     hive-path                       path (so two hives named SYSTEM never mix); hive-path
//                                     holds that real path, one line
//     000001-20261210-211530/         one folder per backup: a number that grows, the local time
//       SYSTEM                        the hive file as it was on disk
//       SYSTEM.LOG1                   its logs that were not empty, under their own names
//
// A backup is assembled in a folder ".new-*" beside the others: each file is copied and
// fsynced, the folder fsynced, then renamed to its real name and its parent fsynced. A backup is
// removed by renaming it to ".old-*" first. So a backup under its real name is always whole,
// whenever the program is killed; the ".new-*" and ".old-*" leftovers of killed runs go at the
// next backup of that hive. Only real folders of these shapes are ever removed, never through
// a link, and only files in them.
//
// Per hive, the first backup ever made (the hive before this program first changed it) and the
// newest few are kept; older ones go once the new one is durable. No backup is added when the
// hive and its non-empty logs are byte for byte those of the newest backup.
//
// A backup's files carry the time it was made as their modification time. Putting one back:
// HiveRestore.h.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "base/Failure.h"
#include "base/posix/Folders.h"

namespace hive {

// How many of the newest backups of a hive are kept besides the first one, unless the user says.
inline constexpr int kDefaultKeptBackups = 5;
inline constexpr int kMaxKeptBackups = 9999;

// The folder beside a hive that holds its backups.
inline constexpr char kBesideBackupFolder[] = "CFGBAK";

// The folder inside root that holds the backups of the hive at this real path.
std::string HiveBackupFolder(const std::string& root, const std::string& hive);

// Backs up the hive at its real path hive, which is the file of that name in the open folder
// hiveFolder, with those of its logs (names in that folder) that are not empty, into root (made
// when missing), keeping the first backup and the newest keepNewest ones. *where is the
// backup's folder: the new one, or the newest when it already held these bytes. Holds an flock
// on the hive's backup folder while it works, so two programs never interleave there.
// Root and the hive's backup folder must be the user's own (see Folders.h). No link is ever
// followed: a log that is a symbolic link fails the backup, naming it, as a backup without it
// would not put the hive back as it was.
base::Failure BackUpHive(const std::string& root, int keepNewest, int hiveFolder, const std::string& hive,
                         const std::vector<std::string>& logs, std::string* where);

// The same into the folder CFGBAK in hiveFolder (made when missing, the user's own or refused),
// where each backup folder is named by its number alone, and the backups of every hive of that
// folder share the numbers. The first and newest keepNewest backups of this hive are kept.
base::Failure BackUpHiveBeside(int keepNewest, int hiveFolder, const std::string& hive,
                               const std::vector<std::string>& logs, std::string* where);

// Where a hive's backups go: beside it, or into root; beside it with root as the fallback when
// the hive's folder cannot take one (not the user's own, read-only, full).
struct BackupPlaces {
  bool beside = false;
  std::string root;  // empty: none (beside: no fallback)
  int keep = kDefaultKeptBackups;
  bool Any() const { return beside || !root.empty(); }
};

// Backs up as BackUpHive does, into places. *where is the backup's folder; *note says, when
// the backup could not go beside the hive, why and where it went instead (empty otherwise).
base::Failure BackUpHiveTo(const BackupPlaces& places, int hiveFolder, const std::string& hive,
                           const std::vector<std::string>& logs, std::string* where, std::string* note);

// One backup of a hive, as listed.
struct HiveBackup {
  std::string folder;  // its full path
  bool beside = false;
  std::uint64_t number = 0;
  std::int64_t time = 0;  // when it was made: its hive copy's modification time, in seconds
  // Its files, the hive first then the logs in name order, with their sizes in bytes.
  std::vector<std::pair<std::string, std::uint64_t>> files;
};

// Every backup of the hive at its real path hive (whose folder is open as hiveFolder), beside it
// and in root (when given), oldest first. Folders that are not the user's own are not read.
std::vector<HiveBackup> ListHiveBackups(int hiveFolder, const std::string& hive, const std::string& root);

// Whether a name is one that DOS and Windows XP's Recovery Console take as it is: 1 to 8
// characters, optionally a dot and 1 to 3 more, of letters, digits and !#$%&'()-@^_`{}~.
bool IsShortName(const std::string& name);

}  // namespace hive
