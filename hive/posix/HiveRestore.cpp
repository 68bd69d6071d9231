#include "hive/posix/HiveRestore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

#include "base/ByteOrder.h"
#include "base/posix/FileIo.h"
#include "base/posix/FileOps.h"
#include "base/posix/Folders.h"
#include "base/posix/Owners.h"
#include "hive/HiveImage.h"
#include "hive/HiveRecovery.h"
#include "hive/posix/HiveFile.h"
#include "hive/posix/HiveLogs.h"

namespace hive {
namespace {

using Trouble = RestoreOutcome::Trouble;
using Bytes = std::vector<std::uint8_t>;

constexpr int kFileFlags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
constexpr const char* kLogSuffixes[] = {".LOG", ".LOG1", ".LOG2"};

std::string Folded(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

base::Failure Tagged(RestoreOutcome* outcome, RestoreOutcome::Trouble trouble, base::Failure failure) {
  outcome->trouble = trouble;
  return failure;
}

// The base block's timestamp.
std::uint64_t Timestamp(const Bytes& hive) {
  return hive.size() >= 20 ? base::ReadLittleEndian64(hive.data() + 12) : 0;
}

std::uint32_t Later(std::uint32_t a, std::uint32_t b) { return SequenceAtLeast(a, b) ? a : b; }

}  // namespace

base::Failure RestoreHiveBackup(const std::string& hive, const std::string& backup,
                                const BackupPlaces& places, RestoreOutcome* outcome,
                                const RestoreStep& step) {
  *outcome = {};
  char resolved[PATH_MAX];
  if (realpath(hive.c_str(), resolved) == nullptr) {
    base::Failure failure = base::Failure::FromErrno("cannot put a backup back over " + hive, errno);
    failure.problem = base::HiveProblem::kMissing;
    return Tagged(outcome, Trouble::kNotWritable, failure);
  }
  const std::string path = resolved;
  const std::size_t slash = path.rfind('/');
  const std::string folderPath = slash == 0 ? "/" : path.substr(0, slash);
  const std::string name = path.substr(slash + 1);
  auto refused = [&](const std::string& why, int error) {
    base::Failure failure = base::Failure::Because("cannot put a backup back over " + path, why);
    failure.error = error;
    return Tagged(outcome, Trouble::kNotWritable, failure);
  };

  const base::Descriptor folder(open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!folder.Valid()) return refused(base::ErrnoWords(errno), errno);
  struct statvfs volume {};
  if (fstatvfs(folder.Get(), &volume) == 0 && (volume.f_flag & ST_RDONLY) != 0)
    return refused("the file system it is on is mounted read-only", EROFS);
  struct stat original {};
  if (fstatat(folder.Get(), name.c_str(), &original, AT_SYMLINK_NOFOLLOW) != 0)
    return refused(base::ErrnoWords(errno), errno);
  if (!S_ISREG(original.st_mode)) return refused("it is not a regular file", EINVAL);
  if ((original.st_mode & 0222) == 0 || faccessat(folder.Get(), name.c_str(), W_OK, AT_EACCESS) != 0)
    return refused("no permission to write the hive file", EACCES);
  if (faccessat(folder.Get(), ".", W_OK | X_OK, AT_EACCESS) != 0)
    return refused("no permission to write the folder it is in", EACCES);

  // The backup: a folder of the user's own, its hive file and the logs of that name.
  auto unusable = [&](base::Failure failure, base::HiveProblem problem) {
    failure.problem = problem;
    return Tagged(outcome, Trouble::kBackupUnusable, failure);
  };
  const base::Descriptor from(open(backup.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat status {};
  if (!from.Valid() || fstat(from.Get(), &status) != 0)
    return unusable(base::Failure::FromErrno("cannot read the backup " + backup, errno),
                    base::HiveProblem::kMissing);
  if (std::string why = base::WhyNotOwnFolder(status); !why.empty())
    return unusable(base::Failure::Because("cannot use the backup " + backup, why),
                    base::HiveProblem::kUnreadable);
  Bytes backupHive;
  if (const int error = base::ReadFileBytes(from.Get(), name, &backupHive, base::kNoSizeLimit, 0, kFileFlags);
      error != 0)
    return unusable(base::Failure::FromErrno("cannot read " + backup + "/" + name, error),
                    error == ENOENT ? base::HiveProblem::kMissing : base::HiveProblem::kUnreadable);
  std::optional<HiveLogFile> backupLogs[3];
  for (const std::string& file : base::FolderNames(from.Get())) {
    for (int kind = 0; kind < 3; ++kind) {
      if (Folded(file) != Folded(name + kLogSuffixes[kind])) continue;
      HiveLogFile log{file, {}, {}};
      if (const int error =
              base::ReadFileBytes(from.Get(), file, &log.bytes, base::kNoSizeLimit, 0, kFileFlags);
          error != 0)
        return unusable(base::Failure::FromErrno("cannot read " + backup + "/" + file, error),
                        base::HiveProblem::kUnreadable);
      if (backupLogs[kind])
        return unusable(
            base::Failure::Because("cannot use the backup " + backup, "two of its files are named " + file),
            base::HiveProblem::kCorrupt);
      backupLogs[kind] = std::move(log);
    }
  }
  // Backups leave empty logs out; one of the LOG1/LOG2 pair is put back empty beside the other.
  const bool pair = backupLogs[1] || backupLogs[2];
  for (int kind : {1, 2})
    if (pair && !backupLogs[kind]) backupLogs[kind] = HiveLogFile{name + kLogSuffixes[kind], {}, {}};
  HiveLogs logs;
  logs.log = backupLogs[0];
  logs.log1 = backupLogs[1];
  logs.log2 = backupLogs[2];
  HiveRecovery restored = RecoverHive(backupHive, logs);
  HiveImage clean;
  std::string why;
  if (restored.outcome == HiveRecovery::Outcome::kRefused ||
      !HiveImage::Open(std::move(restored.image), &clean, &why))
    return unusable(
        base::Failure::Because("the backup " + backup + " is not a hive that loads",
                               restored.outcome == HiveRecovery::Outcome::kRefused ? restored.reason : why),
        base::HiveProblem::kCorrupt);

  // From here on the hive's folder is locked, as a save locks it.
  base::Descriptor lock;
  if (base::Failure failure = base::LockFolder(folder.Get(), folderPath, &lock); failure.Failed())
    return Tagged(outcome, Trouble::kWrite, failure);
  const HiveLogNames current = FindHiveLogs(folder.Get(), name);
  if (current.ambiguous)
    return refused("two files beside it have the same name but for case, and either could be its log",
                   EEXIST);
  HiveLogs currentLogs;
  std::uint32_t highest = Later(restored.highestSequence, clean.Sequence());
  {
    Bytes bytes;
    base::ReadFileBytes(folder.Get(), name, &bytes, base::kNoSizeLimit, 0, kFileFlags);
    for (auto [logName, log] :
         {std::pair{&current.log, &currentLogs.log}, std::pair{&current.log1, &currentLogs.log1},
          std::pair{&current.log2, &currentLogs.log2}}) {
      if (logName->empty()) continue;
      *log = HiveLogFile{*logName, {}, {}};
      base::ReadFileBytes(folder.Get(), *logName, &(*log)->bytes, base::kNoSizeLimit, 0, kFileFlags);
    }
    const HiveRecovery before = RecoverHive(std::move(bytes), currentLogs);
    highest = Later(highest, before.highestSequence);
  }

  // Step 1: the hive as it is, so that the restore can be undone. Every backup is kept.
  BackupPlaces undoPlaces = places;
  undoPlaces.keep = kMaxKeptBackups;
  if (base::Failure failure =
          BackUpHiveTo(undoPlaces, folder.Get(), path, current.all, &outcome->undo, &outcome->note);
      failure.Failed())
    return Tagged(outcome, Trouble::kNoUndo, failure);

  auto go = [&](const std::string& what) { return !step || step(what); };
  const base::Failure stopped = base::Failure::Because("the restore was stopped", "as asked");
  auto writeFailed = [&](const std::string& what, int error) {
    return Tagged(outcome, Trouble::kWrite, base::Failure::FromErrno(what, error));
  };
  const base::Descriptor oldHive(openat(folder.Get(), name.c_str(), O_RDONLY | O_CLOEXEC | kFileFlags));
  // A new file beside the hive with these bytes, renamed over it.
  auto replaceHive = [&](const Bytes& bytes, const std::string& what) -> base::Failure {
    if (!go("write " + what + " to a new file")) return Tagged(outcome, Trouble::kStopped, stopped);
    std::string temporary;
    base::Descriptor fd;
    for (int attempt = 0; !fd.Valid(); ++attempt) {
      temporary = base::RandomName("." + name + ".tmp.");
      fd = base::Descriptor(base::ops::Open(folder.Get(), temporary.c_str(),
                                            O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
      if (!fd.Valid() && (errno != EEXIST || attempt == 100))
        return writeFailed("cannot write in " + folderPath, errno);
    }
    std::string ignored;
    int error = KeepOwnerAndMode(fd.Get(), original, &ignored);
    if (error == 0) error = base::WriteAll(fd.Get(), bytes);
    if (error == 0 && oldHive.Valid()) CopyAttributes(oldHive.Get(), fd.Get());
    if (error == 0 && base::ops::Sync(fd.Get()) != 0) error = errno;
    if (error == 0) error = fd.CloseNow();
    if (error != 0) {
      base::ops::Unlink(folder.Get(), temporary.c_str(), 0);
      return writeFailed("cannot write " + folderPath + "/" + temporary, error);
    }
    if (!go("rename it over " + name)) return Tagged(outcome, Trouble::kStopped, stopped);
    if (base::ops::Rename(folder.Get(), temporary.c_str(), folder.Get(), name.c_str()) != 0) {
      error = errno;
      base::ops::Unlink(folder.Get(), temporary.c_str(), 0);
      return writeFailed("cannot replace " + path, error);
    }
    if (base::ops::Sync(folder.Get()) != 0) return writeFailed("cannot write " + folderPath, errno);
    return {};
  };

  // Step 2: the restored hive, clean, above every sequence number either set of logs holds.
  const std::uint32_t sequence = highest + 1;
  clean.MarkClean(sequence == 0 ? 1 : sequence, Timestamp(backupHive));
  if (base::Failure failure = replaceHive(clean.Bytes(), "the backup's hive, recovered and clean");
      failure.Failed())
    return failure;

  // Step 3: the logs, while the clean hive makes Windows ignore them.
  const std::string* currentNames[3] = {&current.log, &current.log1, &current.log2};
  bool made = false;
  for (int kind = 0; kind < 3; ++kind) {
    const std::string& here = *currentNames[kind];
    const std::optional<HiveLogFile>& wanted = backupLogs[kind];
    if (here.empty() && !wanted) continue;
    const std::string target = here.empty() ? wanted->name : here;
    base::Descriptor log;
    if (here.empty()) {
      if (!go("make " + target)) return Tagged(outcome, Trouble::kStopped, stopped);
      log = base::Descriptor(base::ops::Open(folder.Get(), target.c_str(),
                                             O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | kFileFlags,
                                             original.st_mode & 0666));
      std::string ignored;
      if (log.Valid()) KeepOwnerAndMode(log.Get(), original, &ignored);
      made = true;
    } else {
      if (fstatat(folder.Get(), target.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
          S_ISREG(status.st_mode) && status.st_size == 0 && (!wanted || wanted->bytes.empty()))
        continue;
      if (!go("empty " + target)) return Tagged(outcome, Trouble::kStopped, stopped);
      log =
          base::Descriptor(base::ops::Open(folder.Get(), target.c_str(), O_WRONLY | O_CLOEXEC | kFileFlags));
      if (log.Valid() && (fstat(log.Get(), &status) != 0 || !S_ISREG(status.st_mode)))
        return writeFailed("cannot write " + folderPath + "/" + target, EINVAL);
      if (log.Valid() && base::ops::Truncate(log.Get(), 0) != 0)
        return writeFailed("cannot empty " + target, errno);
    }
    if (!log.Valid()) return writeFailed("cannot write " + folderPath + "/" + target, errno);
    if (wanted && !wanted->bytes.empty()) {
      if (!go("write " + target)) return Tagged(outcome, Trouble::kStopped, stopped);
      if (const int error = base::WriteAll(log.Get(), wanted->bytes); error != 0)
        return writeFailed("cannot write " + folderPath + "/" + target, error);
    }
    if (base::ops::Sync(log.Get()) != 0)
      return writeFailed("cannot write " + folderPath + "/" + target, errno);
  }
  if (made && base::ops::Sync(folder.Get()) != 0) return writeFailed("cannot write " + folderPath, errno);

  // Step 4: the backup's hive as it was, byte for byte.
  return replaceHive(backupHive, "the backup's hive");
}

}  // namespace hive
