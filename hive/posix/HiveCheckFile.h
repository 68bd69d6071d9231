#pragma once
// Checking a hive file on disk with CheckHive (hive/HiveCheck.h), as a file system check looks at
// a disk: the hive and its logs are only read, never written, locked or renamed. A hive that
// Windows left dirty is checked as its logs recover it, in memory (HiveRecovery.h), which is
// what Windows would load.
#include <string>
#include <vector>

#include "base/Failure.h"
#include "hive/HiveCheck.h"

namespace hive {

struct HiveFileCheck {
  // Why the file could not be checked: missing or unreadable (the system's words), or no hive
  // file at all. The report is then empty.
  base::Failure failure;
  HiveCheckReport report;
  // The report is of the hive as these logs recovered it; empty: of the file as it is.
  std::vector<std::string> logsUsed;
  // A dirty hive that its logs could not recover: why. The report is of the file as it is.
  std::string notRecovered;
  // Recovered, but the logs suggest that they held more than the replay reached (why, naming
  // the log).
  std::string notWhole;
};

HiveFileCheck CheckHiveFile(const std::string& path);

}  // namespace hive
