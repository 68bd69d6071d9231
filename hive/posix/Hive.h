#pragma once
// The hive engine as the rest of the program uses it: the one header to include from outside
// hive/. It reads, recovers, checks and edits registry hive files (SYSTEM and the like) as
// Windows lays them out, and saves them durably.
//
//   open      HiveFile::Load: reads the file, replaying the transaction logs of a hive that
//             Windows left dirty (HiveRecovery.h), into a HiveImage.
//   check     CheckHive: what is wrong with a hive's structure, and where (HiveCheck.h);
//             CheckHiveFile on a file, read only, a dirty one as its logs recover it.
//   read      HiveImage::Child, Subkeys, ValueNames, FindValue, ReadValue.
//   edit      HiveImage::CreateKey, SetValue, DeleteValue, StampKey; a new hive starts from
//             EmptyHiveImage and is written once by WriteNewHive.
//   save      HiveFile::Commit: a new file beside the hive, synced and renamed over it, then
//             the logs emptied.
//   back up   before the first commit (HiveFile::SetBackupPlaces, HiveBackups.h); listing and
//   restore   putting a backup back (ListHiveBackups, RestoreHiveBackup).
//
// Statuses are Win32 numbers (base/Status.h) to decide by; base::Failure carries the words to
// tell the user.
#include "hive/EmptyHive.h"
#include "hive/HiveCheck.h"
#include "hive/HiveImage.h"
#include "hive/posix/HiveBackups.h"
#include "hive/posix/HiveCheckFile.h"
#include "hive/posix/HiveFile.h"
#include "hive/posix/HiveRestore.h"
