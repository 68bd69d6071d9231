#pragma once
// Where the hive's backups go: beside a hive the user names (CFGBAK in its folder, on the disk
// that survives a reboot of a live system), with the backup folder as the fallback; the backup
// folder alone for the demo hive or with --backup-dir. The backup folder is also where older
// backups are listed from.
#include <optional>
#include <string>

#include "hive/posix/Hive.h"
#include "platform/posix/HiveStore.h"

struct BackupChoice {
  hive::BackupPlaces places;
  std::string root;  // the backup folder: --backup-dir or the data folder's backups; may be empty
};

// hive: --hive PATH, if given; backupDir: --backup-dir DIR, if given.
BackupChoice ChooseBackups(const std::optional<std::string>& hive,
                           const std::optional<std::string>& backupDir, int keepBackups);

// Sets where the hive's backups go. A run that may save checks the place now, before anything
// is written: a run that could not keep a backup changes nothing. Returns 0 or an exit status,
// having said why.
int PrepareBackups(bool maySave, BackupChoice choice, platform::HiveStore& store);

// The command line that names the hive and its backup folder again, for the lines that list or
// put back a backup.
std::string BackupCommandLine(const std::optional<std::string>& hive,
                              const std::optional<std::string>& backupDir);
