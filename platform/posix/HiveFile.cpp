#include "platform/posix/HiveFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <utility>

#include "base/ByteOrder.h"
#include "platform/Registry.h"
#include "platform/Status.h"
#include "platform/posix/EmptyHive.h"
#include "platform/posix/FileIo.h"
#include "platform/posix/HiveBackups.h"
#include "platform/posix/HiveFormat.h"
#include "platform/posix/HiveRecovery.h"
#include "platform/posix/Owners.h"

namespace platform {
namespace {

constexpr int kLoadAttempts = 3;
// Room reserved beyond the hive's bytes for bins that saves append, so that the image is not
// moved (copied whole) when it grows by a little: an eighth of the hive, at most this. A small
// hive is cheap to copy, and is not made to take a megabyte it does not need.
constexpr std::size_t kSpareRoom = 1U << 20;

// Files are opened without becoming the controlling terminal and without waiting on a FIFO.
constexpr int kReadFlags = O_NOCTTY | O_NONBLOCK;

// The hive file's bytes, with room for bins that saves append: 0 or the errno of the failure.
int ReadHive(const std::string& path, std::vector<std::uint8_t>* bytes) {
  return ReadFileBytes(path, bytes, kNoSizeLimit, kSpareRoom, kReadFlags);
}

std::int64_t Nanoseconds(const timespec& time) {
  return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

bool NoWriteBits(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) != 0 || (status.st_mode & 0222) == 0;
}

// "append-only" or "immutable" when the file or folder carries that attribute (chattr +a, +i):
// then no rename may replace the hive, not even root's; empty otherwise.
std::string Unchangeable(const std::string& path) {
  Descriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  int flags = 0;
  if (fd.Get() < 0 || ioctl(fd.Get(), FS_IOC_GETFLAGS, &flags) != 0) return {};
  if ((flags & FS_IMMUTABLE_FL) != 0) return "immutable";
  if ((flags & FS_APPEND_FL) != 0) return "append-only";
  return {};
}

// The extended attributes that ntfs-3g offers without listing them: the file's NTFS attributes,
// security descriptor and creation time.
constexpr const char* kNtfsAttributes[] = {"system.ntfs_attrib", "system.ntfs_acl", "system.ntfs_crtime"};

// Copies the extended attributes of the file at from to the open file to, as far as the file
// system and the user's rights allow.
void CopyAttributes(const std::string& from, int to) {
  std::vector<std::string> names(std::begin(kNtfsAttributes), std::end(kNtfsAttributes));
  const ssize_t listSize = llistxattr(from.c_str(), nullptr, 0);
  if (listSize > 0) {
    std::string list(static_cast<std::size_t>(listSize), '\0');
    const ssize_t got = llistxattr(from.c_str(), list.data(), list.size());
    for (std::size_t at = 0; got > 0 && at < static_cast<std::size_t>(got); at = list.find('\0', at) + 1)
      names.emplace_back(list.c_str() + at);
  }
  for (const std::string& name : names) {
    const ssize_t size = lgetxattr(from.c_str(), name.c_str(), nullptr, 0);
    if (size < 0) continue;
    std::vector<char> value(static_cast<std::size_t>(size));
    const ssize_t got = lgetxattr(from.c_str(), name.c_str(), value.data(), value.size());
    if (got >= 0) fsetxattr(to, name.c_str(), value.data(), static_cast<std::size_t>(got), 0);
  }
}

Failure Problem(HiveProblem problem, Failure failure = {}) {
  failure.problem = problem;
  return failure;
}

}  // namespace

long StatusFromProblem(HiveProblem problem) {
  switch (problem) {
    case HiveProblem::kNone:
      return 0;
    case HiveProblem::kMissing:
      return kFileNotFound;
    case HiveProblem::kUnreadable:
      return kAccessDenied;
    case HiveProblem::kNotHive:
    case HiveProblem::kCorrupt:
      return kRegistryCorrupt;
  }
  return kRegistryCorrupt;
}

HiveFile::HiveFile(std::string path) : m_path(std::move(path)) {
  // Replacing goes through rename(2), which would replace a symbolic link by a file: work on
  // the file the link points to.
  char resolved[PATH_MAX];
  if (realpath(m_path.c_str(), resolved) != nullptr) m_path = resolved;
}

HiveFile::~HiveFile() = default;
HiveFile::HiveFile(HiveFile&& other) noexcept = default;
HiveFile& HiveFile::operator=(HiveFile&& other) noexcept = default;

bool HiveFile::ReadIdentity(const std::string& path, Identity* identity) {
  Descriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  struct stat status {};
  if (fd.Get() < 0 || fstat(fd.Get(), &status) != 0) return false;
  *identity = Identity{};
  identity->device = status.st_dev;
  identity->inode = status.st_ino;
  identity->size = status.st_size;
  identity->modified = Nanoseconds(status.st_mtim);
  identity->changed = Nanoseconds(status.st_ctim);
  // Inode numbers are reused and timestamps can be coarse; the base block's sequence numbers
  // grow with every commit, so together they tell one version of the hive from the next.
  if (pread(fd.Get(), identity->header, sizeof identity->header, 4) < 0) return false;
  return true;
}

Failure HiveFile::Diagnose(const std::string& path) {
  Descriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (fd.Get() < 0) {
    const int error = errno;
    return Problem(error == ENOENT || error == ENOTDIR ? HiveProblem::kMissing : HiveProblem::kUnreadable,
                   Failure::FromErrno({}, error));
  }
  struct stat status {};
  if (fstat(fd.Get(), &status) != 0) return Problem(HiveProblem::kUnreadable, Failure::FromErrno({}, errno));
  if (S_ISDIR(status.st_mode)) return Problem(HiveProblem::kUnreadable, Failure::FromErrno({}, EISDIR));
  if (!S_ISREG(status.st_mode))
    return Problem(HiveProblem::kUnreadable, Failure::Because({}, "not a regular file"));
  std::uint8_t magic[hive::kBaseBlockSignature.size()] = {};
  const ssize_t got = pread(fd.Get(), magic, sizeof magic, 0);
  if (got < 0) return Problem(HiveProblem::kUnreadable, Failure::FromErrno({}, errno));
  if (got != sizeof magic || !hive::HasSignature(magic, hive::kBaseBlockSignature))
    return Problem(HiveProblem::kNotHive);
  return {};
}

Failure HiveFile::Load() {
  for (int attempt = 0; attempt < kLoadAttempts; ++attempt) {
    Identity before;
    if (!ReadIdentity(m_path, &before)) {
      const int error = errno;
      if (Failure failure = Diagnose(m_path); failure.Failed()) return failure;
      return Problem(HiveProblem::kUnreadable, Failure::FromErrno({}, error));
    }
    if (Failure failure = Diagnose(m_path); failure.Failed()) return failure;
    std::vector<std::uint8_t> primary;
    if (const int error = ReadHive(m_path, &primary); error != 0)
      return Problem(HiveProblem::kUnreadable, Failure::FromErrno({}, error));
    const HiveLogNames names = FindHiveLogs(Folder(), BaseName());
    HiveLogs logs;
    logs.ambiguous = names.ambiguous;
    for (auto [name, log] : {std::pair{&names.log, &logs.log}, std::pair{&names.log1, &logs.log1},
                             std::pair{&names.log2, &logs.log2}}) {
      std::vector<std::uint8_t> bytes;
      if (name->empty()) continue;
      const int error = ReadFileBytes(Folder() + "/" + *name, &bytes, kNoSizeLimit, 0, kReadFlags);
      *log =
          error == 0 ? HiveLogFile{*name, std::move(bytes), {}} : HiveLogFile{*name, {}, ErrnoWords(error)};
    }
    HiveRecovery recovery = RecoverHive(std::move(primary), logs);
    logs = {};
    // Copying the logs helps only when none came with the hive; logs that are here but cannot
    // bring it up to date leave Windows itself, which may hold what they lack.
    const bool logsHere = !names.log.empty() || !names.log1.empty() || !names.log2.empty();
    const std::string advice =
        logsHere ? "start Windows and shut it down fully, or use a backup of the hive"
                 : "copy the hive's log files (" + BaseName() +
                       ".LOG1, .LOG2 or .LOG) beside it too, or start Windows and shut it down fully";
    const std::string refusal = recovery.outcome != HiveRecovery::Outcome::kRefused ? recovery.notWhole
                                : recovery.dirty ? recovery.reason + ". Nothing can be saved: " + advice
                                                 : recovery.reason;
    if (recovery.outcome == HiveRecovery::Outcome::kRefused && !recovery.dirty)
      return Problem(HiveProblem::kCorrupt, Failure::Because({}, refusal));
    // The image is made of exactly the bytes checked here, moved, never copied: a file that
    // another program rewrites in place can never change what we have read. Recovery works on
    // the bytes it is given, so a dirty hive that it refused is read again to be shown as it is.
    std::vector<std::uint8_t> bytes;
    if (recovery.outcome != HiveRecovery::Outcome::kRefused)
      bytes = std::move(recovery.image);
    else if (const int error = ReadHive(m_path, &bytes); error != 0)
      return Problem(HiveProblem::kUnreadable, Failure::FromErrno({}, error));
    HiveImage image;
    std::string why;
    if (!HiveImage::Open(std::move(bytes), &image, &why)) {
      Failure failure = Diagnose(m_path);
      return failure.Failed()
                 ? failure
                 : Problem(HiveProblem::kCorrupt, Failure::Because({}, refusal.empty() ? why : refusal));
    }
    Identity after;
    const bool stable = ReadIdentity(m_path, &after) && after == before;
    if (stable || attempt + 1 == kLoadAttempts) {
      m_image = std::move(image);
      // A file that kept changing while it was read keeps the identity from before the read,
      // so the next look at it loads it again.
      m_identity = before;
      ++m_generation;
      m_refusal = refusal;
      m_logsUsed = std::move(recovery.logsUsed);
      m_highestSequence = recovery.highestSequence;
      return {};
    }
  }
  return Problem(HiveProblem::kCorrupt);
}

bool HiveFile::ChangedOnDisk() const {
  Identity now;
  return !ReadIdentity(m_path, &now) || !(now == m_identity);
}

std::string HiveFile::WhyReadOnly() const {
  if (!m_refusal.empty()) return m_refusal;
  const std::string folder = Folder();
  struct statvfs volume {};
  if (statvfs(folder.c_str(), &volume) == 0 && (volume.f_flag & ST_RDONLY) != 0)
    return "the file system it is on is mounted read-only";
  for (const auto& [path, what] : {std::pair<std::string, const char*>{m_path, "the hive file"},
                                   std::pair<std::string, const char*>{folder, "the folder it is in"}}) {
    const std::string kind = Unchangeable(path);
    if (kind.empty()) continue;
    const std::string letter = kind == "immutable" ? "i" : "a";
    return std::string(what) + " is marked " + kind + " (chattr +" + letter +
           "), so it cannot be replaced; 'chattr -" + letter + "' (as root) allows saving";
  }
  if (NoWriteBits(m_path) || faccessat(AT_FDCWD, m_path.c_str(), W_OK, AT_EACCESS) != 0)
    return "no permission to write the hive file";
  if (NoWriteBits(folder) || faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
    return "no permission to write the folder it is in";
  return {};
}

std::string HiveFile::Folder() const {
  const auto slash = m_path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return m_path.substr(0, slash);
}

std::string HiveFile::BaseName() const {
  const auto slash = m_path.rfind('/');
  return slash == std::string::npos ? m_path : m_path.substr(slash + 1);
}

void HiveFile::RemoveStaleTemporaries() const {
  const FolderListing folder(opendir(Folder().c_str()));
  if (!folder) return;
  const std::string prefix = "." + BaseName() + ".tmp.";
  while (const dirent* entry = readdir(folder.get())) {
    if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0)
      unlinkat(dirfd(folder.get()), entry->d_name, 0);
  }
}

namespace {

// An exclusive flock on a folder, held while the descriptor is open.
int LockFolder(const std::string& folder) {
  Descriptor fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.Get() < 0) return -1;
  while (flock(fd.Get(), LOCK_EX) != 0) {
    if (errno != EINTR) return -1;
  }
  return fd.Release();
}

}  // namespace

void HiveFile::RemoveLeftovers() {
  if (faccessat(AT_FDCWD, Folder().c_str(), W_OK | X_OK, AT_EACCESS) != 0) return;
  Descriptor lock(LockFolder(Folder()));
  if (lock.Get() < 0) return;
  RemoveStaleTemporaries();
  // Earlier versions locked an empty "NAME.lock" beside the hive and left it there.
  const std::string oldLock = Folder() + "/" + BaseName() + ".lock";
  struct stat status {};
  if (lstat(oldLock.c_str(), &status) == 0 && S_ISREG(status.st_mode) && status.st_size == 0)
    unlink(oldLock.c_str());
}

long HiveFile::Fail(long status, std::string why) {
  m_commitError = std::move(why);
  return status;
}

long HiveFile::Commit(const std::function<bool()>& reapply,
                      const std::function<std::vector<std::uintptr_t>()>& editedKeys) {
  m_commitError.clear();
  if (!m_image.Loaded()) return Fail(kInvalidHandle, "no hive is loaded");
  if (!m_refusal.empty()) return Fail(kAccessDenied, m_refusal);
  const std::string folder = Folder();
  Descriptor lock(LockFolder(folder));
  if (lock.Get() < 0) return Fail(StatusFromErrno(errno, kWriteFault), ErrnoWords(errno));

  if (ChangedOnDisk()) {
    if (const Failure failure = Load(); failure.Failed())
      return Fail(StatusFromProblem(failure.problem),
                  "another program replaced the hive with one that cannot be read");
    if (!m_refusal.empty()) return Fail(kAccessDenied, m_refusal);
    if (!reapply())
      return Fail(kRegistryCorrupt, "the changes could not be applied to the hive another program saved");
  }
  RemoveStaleTemporaries();
  const std::vector<std::string> logs = FindHiveLogs(folder, BaseName()).all;
  if (m_backup.empty() && !m_backupRoot.empty()) {
    std::vector<std::string> logPaths;
    for (const std::string& name : logs) logPaths.push_back(folder + "/" + name);
    if (const Failure failure = BackUpHive(m_backupRoot, m_keepBackups, m_path, logPaths, &m_backup);
        failure.Failed())
      return Fail(StatusFromErrno(failure.error, kWriteFault),
                  "no backup could be made in " + m_backupRoot + ": " + failure.Text());
  }

  struct stat original {};
  if (stat(m_path.c_str(), &original) != 0)
    return Fail(StatusFromErrno(errno, kWriteFault), ErrnoWords(errno));
  std::string temporary = folder + "/." + BaseName() + ".tmp.XXXXXX";
  Descriptor fd(mkstemp(temporary.data()));
  if (fd.Get() < 0) return Fail(StatusFromErrno(errno, kWriteFault), ErrnoWords(errno));
  auto fail = [&](int error) {
    unlink(temporary.c_str());
    return Fail(StatusFromErrno(error, kWriteFault), ErrnoWords(error));
  };
  if (fchmod(fd.Get(), original.st_mode & 07777) != 0) return fail(errno);
  if (geteuid() == 0 && fchown(fd.Get(), original.st_uid, original.st_gid) != 0) {
    // Root keeps the owner when it can; a file system without owners is no reason to fail.
  }
  // Clean, above every sequence number the hive and its logs hold, stamped with the time of the
  // save (the base block and every edited key, as Windows stamps them). The image is changed to
  // what is written: should the write fail, the caller loads the hive again anyway.
  const std::uint32_t held = m_image.Sequence();
  const std::uint32_t sequence = SequenceAtLeast(held, m_highestSequence + 1) ? held : m_highestSequence + 1;
  const std::uint64_t now = FiletimeNow();
  for (const std::uintptr_t node : editedKeys ? editedKeys() : std::vector<std::uintptr_t>{})
    m_image.StampKey(node, now);
  m_image.MarkClean(sequence, now);
  const std::vector<std::uint8_t>& bytes = m_image.Bytes();
  if (const int error = WriteAll(fd.Get(), bytes); error != 0) return fail(error);
  CopyAttributes(m_path, fd.Get());
  if (fsync(fd.Get()) != 0) return fail(errno);
  if (const int error = fd.CloseNow(); error != 0) return fail(error);
  if (rename(temporary.c_str(), m_path.c_str()) != 0) return fail(errno);
  Descriptor directory(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (directory.Get() >= 0) fsync(directory.Get());
  ++m_commits;

  // Only now that the clean hive is durable may the logs go: emptied, as Windows leaves them.
  // Should this fail, the clean hive is still safe, as Windows ignores the logs of a clean hive.
  for (const std::string& name : logs) {
    Descriptor log(open((folder + "/" + name).c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY));
    if (log.Get() >= 0 && ftruncate(log.Get(), 0) == 0) fsync(log.Get());
  }
  m_highestSequence = sequence;
  ReadIdentity(m_path, &m_identity);
  return 0;
}

}  // namespace platform
