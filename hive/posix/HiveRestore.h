#pragma once
// Putting a backup of a hive back over the hive and its logs, so that a kill or a power loss at
// any moment leaves files that load (in Windows and here) as the hive before the restore or as
// the restored one, never as a hive with logs that are not its own.
//
// Windows replays the logs only over a dirty hive; a clean one is loaded as it is. So the logs
// are only ever changed while a clean hive that loads as the restored one is in place:
//   1. the hive as it is and its logs are backed up (to undo the restore); nothing changed yet;
//   2. the backup's hive, recovered from its own logs in memory and written clean with sequence
//      numbers above every one that either set of logs holds, replaces the hive (new file,
//      fsync, rename, fsync of the folder): from here on it loads as the restored one, and
//      no stale log entry can ever continue a chain over it;
//   3. each log becomes the backup's copy, or empty when the backup has none (a log of the
//      LOG1/LOG2 pair that is missing is made empty, as Windows keeps both);
//   4. the backup's hive, byte for byte, replaces the clean one: with the backup's logs now
//      beside it, it loads as the restored one too.
// A clean backup goes the same way; its step 2 differs from step 4 only in the base block.
#include <functional>
#include <string>

#include "base/Failure.h"
#include "hive/posix/HiveBackups.h"

namespace hive {

struct RestoreOutcome {
  enum class Trouble {
    kNone,
    kBackupUnusable,  // the backup is missing, unreadable or no hive that loads (failure.problem)
    kNotWritable,     // the hive's folder or file may not be written
    kNoUndo,          // the hive as it is could not be backed up; nothing was changed
    kWrite,           // a write failed (the files still load as one of the two states)
    kStopped,         // stopped by the step hook
  };
  Trouble trouble = Trouble::kNone;
  std::string undo;  // the backup of the hive as it was, which undoes the restore
  std::string note;  // why that backup did not go beside the hive, when it did not
};

// Called before each file operation of steps 2 to 4 with what it is about to do; false stops
// the restore there, as a kill would. Only tests stop it.
using RestoreStep = std::function<bool(const std::string& step)>;

// Puts the backup in the folder backup back over the hive at path hive (see above); the undo
// backup goes to places. Holds the hive folder's lock (the one saves take) throughout.
base::Failure RestoreHiveBackup(const std::string& hive, const std::string& backup,
                                const BackupPlaces& places, RestoreOutcome* outcome,
                                const RestoreStep& step = nullptr);

}  // namespace hive
