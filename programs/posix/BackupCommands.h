#pragma once
// --list-backups and --restore-backup N: every backup of the hive, beside it and in the backup
// folder, numbered oldest first, with what puts one back from Windows XP's Recovery Console; and
// putting one back from here (hive/posix/HiveRestore.h).
#include <string>

#include "hive/posix/Hive.h"

// Prints the backups of the hive at path hive (those beside it, and those in root when given):
// again is the command line that names the hive, for the line that puts one back. 0, or an
// exit status after saying why.
int ListBackups(const std::string& hive, const std::string& root, const std::string& again);

// Puts backup number (as ListBackups numbers them) back over the hive; the hive as it was is
// backed up to places first. 0, or an exit status after saying why.
int RestoreBackup(const std::string& hive, const std::string& root, int number,
                  const hive::BackupPlaces& places, const std::string& again);
