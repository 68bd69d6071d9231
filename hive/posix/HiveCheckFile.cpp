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
    std::vector<std::uint8_t> logBytes;
    const int error = base::ReadFileBytes(folder + "/" + *name, &logBytes, base::kNoSizeLimit, 0, kReadFlags);
    *log = error == 0 ? HiveLogFile{*name, std::move(logBytes), {}}
                      : HiveLogFile{*name, {}, base::ErrnoWords(error)};
  }
  // Recovery takes its own copy: a hive it refuses is checked as it is.
  HiveRecovery recovery = RecoverHive(bytes, logs);
  switch (recovery.outcome) {
    case HiveRecovery::Outcome::kRecovered:
      check.report = CheckHive(recovery.image);
      check.logsUsed = std::move(recovery.logsUsed);
      check.notWhole = std::move(recovery.notWhole);
      break;
    case HiveRecovery::Outcome::kRefused:
      if (recovery.dirty) check.notRecovered = std::move(recovery.reason);
      [[fallthrough]];
    case HiveRecovery::Outcome::kClean:
      check.report = CheckHive(bytes);
      break;
  }
  return check;
}

}  // namespace hive
