#include "hive/posix/HiveCheckFile.h"

#include <fcntl.h>

#include <cstdint>
#include <utility>

#include "base/posix/FileIo.h"
#include "hive/HiveRecovery.h"
#include "hive/posix/HiveFile.h"
#include "hive/posix/HiveLogs.h"

namespace hive {
namespace {

// Files are opened without becoming the controlling terminal and without waiting on a FIFO.
constexpr int kReadFlags = O_NOCTTY | O_NONBLOCK;

}  // namespace

HiveFileCheck CheckHiveFile(const std::string& path) {
  HiveFileCheck check;
  if (base::Failure failure = HiveFile::Diagnose(path); failure.Failed()) {
    check.failure = std::move(failure);
    return check;
  }
  std::vector<std::uint8_t> bytes;
  if (const int error = base::ReadFileBytes(path, &bytes, base::kNoSizeLimit, 0, kReadFlags); error != 0) {
    check.failure = base::Failure::FromErrno({}, error);
    check.failure.problem = base::HiveProblem::kUnreadable;
    return check;
  }
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const HiveLogNames names = FindHiveLogs(folder, path.substr(slash == std::string::npos ? 0 : slash + 1));
  HiveLogs logs;
  logs.ambiguous = names.ambiguous;
  for (auto [name, log] : {std::pair{&names.log, &logs.log}, std::pair{&names.log1, &logs.log1},
                           std::pair{&names.log2, &logs.log2}}) {
    if (name->empty()) continue;
    // Only a file is read whole: a log that is a device (a link to /dev/zero) would never end.
    const std::string logPath = folder + "/" + *name;
    if (const base::Failure failure = HiveFile::Diagnose(logPath);
        failure.problem == base::HiveProblem::kMissing || failure.problem == base::HiveProblem::kUnreadable) {
      *log = HiveLogFile{*name, {}, failure.why};
      continue;
    }
    std::vector<std::uint8_t> logBytes;
    const int error = base::ReadFileBytes(logPath, &logBytes, base::kNoSizeLimit, 0, kReadFlags);
    *log = error == 0 ? HiveLogFile{*name, std::move(logBytes), {}}
                      : HiveLogFile{*name, {}, base::ErrnoWords(error)};
  }
  // The hive is held once: recovery takes the bytes, and a hive it refuses is read again to be
  // checked as it is.
  HiveRecovery recovery = RecoverHive(std::move(bytes), logs);
  logs = {};
  if (recovery.outcome == HiveRecovery::Outcome::kRefused) {
    if (recovery.dirty) check.notRecovered = std::move(recovery.reason);
    if (const int error = base::ReadFileBytes(path, &recovery.image, base::kNoSizeLimit, 0, kReadFlags);
        error != 0) {
      check.failure = base::Failure::FromErrno({}, error);
      check.failure.problem = base::HiveProblem::kUnreadable;
      return check;
    }
  }
  check.report = CheckHive(recovery.image);
  if (recovery.outcome == HiveRecovery::Outcome::kRecovered) {
    check.logsUsed = std::move(recovery.logsUsed);
    check.notWhole = std::move(recovery.notWhole);
  }
  return check;
}

}  // namespace hive
