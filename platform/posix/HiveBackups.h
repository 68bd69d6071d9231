#pragma once
// Backups of the hives this program changes, and the private folders it keeps its data in.
//
// Layout, under the backup folder (by default the data folder's "backups"):
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
// Putting one back, with Windows not running: empty the logs beside the hive (truncate -c -s 0
// SYSTEM.LOG SYSTEM.LOG1 SYSTEM.LOG2), then copy every file of the backup folder beside the
// hive, over the files of the same names.
#include <string>
#include <vector>

#include "platform/posix/Failure.h"
#include "platform/posix/Folders.h"

namespace platform {

// How many of the newest backups of a hive are kept besides the first one, unless the user says.
inline constexpr int kDefaultKeptBackups = 5;
inline constexpr int kMaxKeptBackups = 9999;

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
Failure BackUpHive(const std::string& root, int keepNewest, int hiveFolder, const std::string& hive,
                   const std::vector<std::string>& logs, std::string* where);

}  // namespace platform
