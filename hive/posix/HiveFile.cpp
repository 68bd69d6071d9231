#include "hive/posix/HiveFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <linux/fs.h>
#include <pwd.h>
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
#include "base/Status.h"
#include "base/posix/FileIo.h"
#include "base/posix/FileOps.h"
#include "base/posix/Folders.h"
#include "base/posix/Owners.h"
#include "hive/EmptyHive.h"
#include "hive/HiveFormat.h"
#include "hive/HiveRecovery.h"
#include "hive/posix/HiveBackups.h"
#include "hive/posix/HiveLogs.h"

namespace hive {
namespace {

constexpr int kLoadAttempts = 3;
// Room reserved beyond the hive's bytes for bins that saves append, so that the image is not
// moved (copied whole) when it grows by a little: an eighth of the hive, at most this. A small
// hive is cheap to copy, and is not made to take a megabyte it does not need.
constexpr std::size_t kSpareRoom = 1U << 20;

// Files are opened without becoming the controlling terminal and without waiting on a FIFO.
constexpr int kReadFlags = O_NOCTTY | O_NONBLOCK;

// The hive file (name in the open folder at), never through a link.
constexpr int kHiveFlags = kReadFlags | O_NOFOLLOW;

// The hive file's bytes, with room for bins that saves append: 0 or the errno of the failure.
int ReadHive(int at, const std::string& name, std::vector<std::uint8_t>* bytes) {
  return base::ReadFileBytes(at, name, bytes, base::kNoSizeLimit, kSpareRoom, kHiveFlags);
}

std::int64_t Nanoseconds(const timespec& time) {
  return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

bool NoWriteBits(int at, const std::string& name) {
  struct stat status {};
  return fstatat(at, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 || (status.st_mode & 0222) == 0;
}

// "append-only" or "immutable" when the file or folder (name in at) carries that attribute
// (chattr +a, +i): then no rename may replace the hive, not even root's; empty otherwise.
std::string Unchangeable(int at, const std::string& name) {
  base::Descriptor fd(openat(at, name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW));
  int flags = 0;
  if (fd.Get() < 0 || ioctl(fd.Get(), FS_IOC_GETFLAGS, &flags) != 0) return {};
  if ((flags & FS_IMMUTABLE_FL) != 0) return "immutable";
  if ((flags & FS_APPEND_FL) != 0) return "append-only";
  return {};
}

// The extended attributes that ntfs-3g offers without listing them: the file's NTFS attributes,
// security descriptor and creation time.
constexpr const char* kNtfsAttributes[] = {"system.ntfs_attrib", "system.ntfs_acl", "system.ntfs_crtime"};

}  // namespace

void CopyAttributes(int from, int to) {
  std::vector<std::string> names(std::begin(kNtfsAttributes), std::end(kNtfsAttributes));
  const ssize_t listSize = flistxattr(from, nullptr, 0);
  if (listSize > 0) {
    std::string list(static_cast<std::size_t>(listSize), '\0');
    const ssize_t got = flistxattr(from, list.data(), list.size());
    for (std::size_t at = 0; got > 0 && at < static_cast<std::size_t>(got); at = list.find('\0', at) + 1)
      names.emplace_back(list.c_str() + at);
  }
  for (const std::string& name : names) {
    const ssize_t size = fgetxattr(from, name.c_str(), nullptr, 0);
    if (size < 0) continue;
    std::vector<char> value(static_cast<std::size_t>(size));
    const ssize_t got = fgetxattr(from, name.c_str(), value.data(), value.size());
    if (got >= 0) base::ops::SetAttribute(to, name.c_str(), value.data(), static_cast<std::size_t>(got), 0);
  }
}

namespace {

base::Failure Problem(base::HiveProblem problem, base::Failure failure = {}) {
  failure.problem = problem;
  return failure;
}

// Why a file cannot be loaded as a hive (name in the open folder at, opened with these flags
// besides reading), looking only at the file; no problem when it looks like a hive.
base::Failure DiagnoseAt(int at, const std::string& name, int flags) {
  base::Descriptor fd(openat(at, name.c_str(), O_RDONLY | O_CLOEXEC | flags));
  if (fd.Get() < 0) {
    const int error = errno;
    return Problem(
        error == ENOENT || error == ENOTDIR ? base::HiveProblem::kMissing : base::HiveProblem::kUnreadable,
        base::Failure::FromErrno({}, error));
  }
  struct stat status {};
  if (fstat(fd.Get(), &status) != 0)
    return Problem(base::HiveProblem::kUnreadable, base::Failure::FromErrno({}, errno));
  if (S_ISDIR(status.st_mode))
    return Problem(base::HiveProblem::kUnreadable, base::Failure::FromErrno({}, EISDIR));
  if (!S_ISREG(status.st_mode))
    return Problem(base::HiveProblem::kUnreadable, base::Failure::Because({}, "not a regular file"));
  std::uint8_t magic[format::kBaseBlockSignature.size()] = {};
  const ssize_t got = pread(fd.Get(), magic, sizeof magic, 0);
  if (got < 0) return Problem(base::HiveProblem::kUnreadable, base::Failure::FromErrno({}, errno));
  if (got != sizeof magic || !format::HasSignature(magic, format::kBaseBlockSignature))
    return Problem(base::HiveProblem::kNotHive);
  return {};
}

bool InGroup(gid_t group) {
  if (getegid() == group) return true;
  const int count = getgroups(0, nullptr);
  std::vector<gid_t> groups(static_cast<std::size_t>(std::max(count, 0)));
  const int got = count > 0 ? getgroups(count, groups.data()) : 0;
  return std::find(groups.begin(), groups.begin() + std::max(got, 0), group) !=
         groups.begin() + std::max(got, 0);
}

// The mode for a file that replaces original and belongs to uid:gid, such that no one gains
// access they did not have: each class keeps only what everyone who now falls in it had before.
// The new owner is the user saving (owner moved: they had the group's bits or the others').
// Set-id and sticky bits go with any change of owner or group.
mode_t NarrowedMode(const struct stat& original, uid_t uid, gid_t gid, bool userWasInGroup) {
  const mode_t mode = original.st_mode & 07777;
  const bool ownerMoved = uid != original.st_uid, groupMoved = gid != original.st_gid;
  if (!ownerMoved && !groupMoved) return mode;
  const mode_t owner = (mode >> 6) & 7, group = (mode >> 3) & 7, other = mode & 7;
  mode_t newOwner = owner, newGroup = group, newOther = other;
  if (ownerMoved) {
    newOwner &= userWasInGroup ? group : other;
    newGroup &= owner;  // the old owner may be in the group
    newOther &= owner;  // or among the others
  }
  if (groupMoved) {
    newGroup &= other;  // the new group's members were others
    newOther &= group;  // the old group's are others now
  }
  return (newOwner << 6) | (newGroup << 3) | newOther;
}

std::string UserName(uid_t uid) {
  const passwd* user = getpwuid(uid);
  return user != nullptr ? user->pw_name : std::to_string(uid);
}

std::string GroupName(gid_t gid) {
  const struct group* found = getgrgid(gid);
  return found != nullptr ? found->gr_name : std::to_string(gid);
}

std::string Octal(mode_t mode) {
  char text[8] = {};
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

}  // namespace

int KeepOwnerAndMode(int fd, const struct stat& original, std::string* note) {
  // Owner and group first: a change of owner clears the set-id bits.
  // Not root: the group at least, when the user is in it. (A file system without owners may
  // refuse both, and reports every file with the same ones: nothing changes then.)
  if (base::ops::ChangeOwner(fd, original.st_uid, original.st_gid) != 0 &&
      base::ops::ChangeOwner(fd, static_cast<uid_t>(-1), original.st_gid) != 0) {
    // What the file got is read back below.
  }
  struct stat made {};
  if (fstat(fd, &made) != 0) return errno;
  const mode_t mode = NarrowedMode(original, made.st_uid, made.st_gid, InGroup(original.st_gid));
  if (base::ops::ChangeMode(fd, mode) != 0) return errno;
  if (made.st_uid != original.st_uid || made.st_gid != original.st_gid) {
    *note = "the hive now belongs to " + UserName(made.st_uid) + ":" + GroupName(made.st_gid) + ", not " +
            UserName(original.st_uid) + ":" + GroupName(original.st_gid) +
            " (only root may give a file to another user, or to a group one is not in)";
    if (mode != (original.st_mode & 07777))
      *note += "; its permissions were narrowed from " + Octal(original.st_mode) + " to " + Octal(mode) +
               " so that no one gained access";
  }
  return 0;
}

long StatusFromProblem(base::HiveProblem problem) {
  switch (problem) {
    case base::HiveProblem::kNone:
      return 0;
    case base::HiveProblem::kMissing:
      return base::kFileNotFound;
    case base::HiveProblem::kUnreadable:
      return base::kAccessDenied;
    case base::HiveProblem::kNotHive:
    case base::HiveProblem::kCorrupt:
      return base::kRegistryCorrupt;
  }
  return base::kRegistryCorrupt;
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

bool HiveFile::ReadIdentity(Identity* identity) const {
  if (!m_folder.Valid()) {
    errno = EBADF;
    return false;
  }
  base::Descriptor fd(openat(m_folder.Get(), BaseName().c_str(), O_RDONLY | O_CLOEXEC | kHiveFlags));
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

base::Failure HiveFile::Diagnose(const std::string& path) { return DiagnoseAt(AT_FDCWD, path, kReadFlags); }

base::Failure HiveFile::Load() {
  if (!m_folder.Valid()) {
    // Once, for the life of the object. A folder the user may only pass through is still held
    // (reading the hive needs no more); it cannot be locked, so nothing can be saved into it.
    int fd = open(Folder().c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 && errno == EACCES) fd = open(Folder().c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
      const int error = errno;
      if (base::Failure failure = Diagnose(m_path); failure.Failed()) return failure;
      return Problem(base::HiveProblem::kUnreadable, base::Failure::FromErrno({}, error));
    }
    m_folder = base::Descriptor(fd);
  }
  const int folder = m_folder.Get();
  const std::string name = BaseName();
  for (int attempt = 0; attempt < kLoadAttempts; ++attempt) {
    Identity before;
    if (!ReadIdentity(&before)) {
      const int error = errno;
      // The words for a file that is missing, a folder or a FIFO; a link (which the name no
      // longer was when the path was resolved) is refused in the system's words.
      if (base::Failure failure = DiagnoseAt(folder, name, kReadFlags); failure.Failed()) return failure;
      return Problem(base::HiveProblem::kUnreadable, base::Failure::FromErrno({}, error));
    }
    if (base::Failure failure = DiagnoseAt(folder, name, kHiveFlags); failure.Failed()) return failure;
    std::vector<std::uint8_t> primary;
    if (const int error = ReadHive(folder, name, &primary); error != 0)
      return Problem(base::HiveProblem::kUnreadable, base::Failure::FromErrno({}, error));
    const HiveLogNames names = FindHiveLogs(folder, name);
    HiveLogs logs;
    logs.ambiguous = names.ambiguous;
    for (auto [logName, log] : {std::pair{&names.log, &logs.log}, std::pair{&names.log1, &logs.log1},
                                std::pair{&names.log2, &logs.log2}}) {
      std::vector<std::uint8_t> bytes;
      if (logName->empty()) continue;
      // Only a file is read whole: a log that is a device (a link to /dev/zero) would never end.
      if (const base::Failure notFile = DiagnoseAt(folder, *logName, kReadFlags);
          notFile.problem == base::HiveProblem::kMissing ||
          notFile.problem == base::HiveProblem::kUnreadable) {
        *log = HiveLogFile{*logName, {}, notFile.why};
        continue;
      }
      const int error = base::ReadFileBytes(folder, *logName, &bytes, base::kNoSizeLimit, 0, kReadFlags);
      *log = error == 0 ? HiveLogFile{*logName, std::move(bytes), {}}
                        : HiveLogFile{*logName, {}, base::ErrnoWords(error)};
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
      return Problem(base::HiveProblem::kCorrupt, base::Failure::Because({}, refusal));
    // The image is made of exactly the bytes checked here, moved, never copied: a file that
    // another program rewrites in place can never change what we have read. Recovery works on
    // the bytes it is given, so a dirty hive that it refused is read again to be shown as it is.
    std::vector<std::uint8_t> bytes;
    if (recovery.outcome != HiveRecovery::Outcome::kRefused)
      bytes = std::move(recovery.image);
    else if (const int error = ReadHive(folder, name, &bytes); error != 0)
      return Problem(base::HiveProblem::kUnreadable, base::Failure::FromErrno({}, error));
    HiveImage image;
    std::string why;
    if (!HiveImage::Open(std::move(bytes), &image, &why)) {
      base::Failure failure = DiagnoseAt(folder, name, kHiveFlags);
      return failure.Failed() ? failure
                              : Problem(base::HiveProblem::kCorrupt,
                                        base::Failure::Because({}, refusal.empty() ? why : refusal));
    }
    Identity after;
    const bool stable = ReadIdentity(&after) && after == before;
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
  return Problem(base::HiveProblem::kCorrupt);
}

bool HiveFile::ChangedOnDisk() const {
  Identity now;
  return !ReadIdentity(&now) || !(now == m_identity);
}

std::string HiveFile::WhyReadOnly() const {
  if (!m_refusal.empty()) return m_refusal;
  if (!m_folder.Valid()) return "no hive is loaded";
  const int folder = m_folder.Get();
  struct statvfs volume {};
  if (fstatvfs(folder, &volume) == 0 && (volume.f_flag & ST_RDONLY) != 0)
    return "the file system it is on is mounted read-only";
  for (const auto& [name, what] : {std::pair<std::string, const char*>{BaseName(), "the hive file"},
                                   std::pair<std::string, const char*>{".", "the folder it is in"}}) {
    const std::string kind = Unchangeable(folder, name);
    if (kind.empty()) continue;
    const std::string letter = kind == "immutable" ? "i" : "a";
    return std::string(what) + " is marked " + kind + " (chattr +" + letter +
           "), so it cannot be replaced; 'chattr -" + letter + "' (as root) allows saving";
  }
  if (NoWriteBits(folder, BaseName()) || faccessat(folder, BaseName().c_str(), W_OK, AT_EACCESS) != 0)
    return "no permission to write the hive file";
  if (NoWriteBits(folder, ".") || faccessat(folder, ".", W_OK | X_OK, AT_EACCESS) != 0)
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
  const std::string prefix = "." + BaseName() + ".tmp.";
  for (const std::string& name : base::FolderNames(m_folder.Get())) {
    if (name.rfind(prefix, 0) == 0) base::ops::Unlink(m_folder.Get(), name.c_str(), 0);
  }
}

void HiveFile::RemoveLeftovers() {
  if (!m_folder.Valid() || faccessat(m_folder.Get(), ".", W_OK | X_OK, AT_EACCESS) != 0) return;
  base::Descriptor lock;
  if (base::LockFolder(m_folder.Get(), Folder(), &lock).Failed()) return;
  RemoveStaleTemporaries();
  // Earlier versions locked an empty "NAME.lock" beside the hive and left it there.
  const std::string oldLock = BaseName() + ".lock";
  struct stat status {};
  if (fstatat(m_folder.Get(), oldLock.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
      S_ISREG(status.st_mode) && status.st_size == 0)
    base::ops::Unlink(m_folder.Get(), oldLock.c_str(), 0);
}

long HiveFile::Fail(long status, std::string why) {
  m_commitError = std::move(why);
  return status;
}

long HiveFile::Commit(const std::function<bool()>& reapply,
                      const std::function<std::vector<std::uintptr_t>()>& editedKeys) {
  m_commitError.clear();
  m_commitNote.clear();
  if (!m_image.Loaded() || !m_folder.Valid()) return Fail(base::kInvalidHandle, "no hive is loaded");
  if (!m_refusal.empty()) return Fail(base::kAccessDenied, m_refusal);
  const std::string folder = Folder();
  const std::string name = BaseName();
  const int at = m_folder.Get();
  base::Descriptor lock;
  if (const base::Failure failure = base::LockFolder(at, folder, &lock); failure.Failed())
    return Fail(base::StatusFromErrno(failure.error, base::kWriteFault),
                failure.error == EWOULDBLOCK ? failure.Text() : base::ErrnoWords(failure.error));
  // The path must still lead to the folder held since the load: a folder moved or swapped for a
  // link meanwhile means the user's path now names another hive, which is not ours to replace.
  struct stat heldFolder {
  }, namedFolder{};
  if (fstat(at, &heldFolder) != 0 || stat(folder.c_str(), &namedFolder) != 0 ||
      heldFolder.st_dev != namedFolder.st_dev || heldFolder.st_ino != namedFolder.st_ino)
    return Fail(base::kWriteFault,
                "the folder " + folder +
                    " is no longer the one the hive was loaded from (it was moved or replaced), "
                    "so nothing was written; start again on the hive where it is now");

  if (ChangedOnDisk()) {
    if (const base::Failure failure = Load(); failure.Failed())
      return Fail(StatusFromProblem(failure.problem),
                  "another program replaced the hive with one that cannot be read");
    if (!m_refusal.empty()) return Fail(base::kAccessDenied, m_refusal);
    if (!reapply())
      return Fail(base::kRegistryCorrupt,
                  "the changes could not be applied to the hive another program saved");
  }
  RemoveStaleTemporaries();
  const std::vector<std::string> logs = FindHiveLogs(at, name).all;
  std::string note;
  if (m_backup.empty() && m_backupPlaces.Any()) {
    if (const base::Failure failure = BackUpHiveTo(m_backupPlaces, at, m_path, logs, &m_backup, &note);
        failure.Failed())
      return Fail(base::StatusFromErrno(failure.error, base::kWriteFault),
                  "no backup could be made in " +
                      (m_backupPlaces.beside ? Folder() + "/" + kBesideBackupFolder : m_backupPlaces.root) +
                      ": " + failure.Text());
  }

  const base::Descriptor hive(openat(at, name.c_str(), O_RDONLY | O_CLOEXEC | kHiveFlags));
  struct stat original {};
  if (!hive.Valid() || fstat(hive.Get(), &original) != 0)
    return Fail(base::StatusFromErrno(errno, base::kWriteFault), base::ErrnoWords(errno));
  std::string temporary;
  base::Descriptor fd;
  for (int attempt = 0; !fd.Valid(); ++attempt) {
    temporary = base::RandomName("." + name + ".tmp.");
    fd = base::Descriptor(
        base::ops::Open(at, temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.Valid() && (errno != EEXIST || attempt == 100))
      return Fail(base::StatusFromErrno(errno, base::kWriteFault), base::ErrnoWords(errno));
  }
  auto fail = [&](int error) {
    base::ops::Unlink(at, temporary.c_str(), 0);
    return Fail(base::StatusFromErrno(error, base::kWriteFault), base::ErrnoWords(error));
  };
  std::string ownerNote;
  if (const int error = KeepOwnerAndMode(fd.Get(), original, &ownerNote); error != 0) return fail(error);
  if (!ownerNote.empty()) note += (note.empty() ? "" : "; ") + ownerNote;
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
  if (const int error = base::WriteAll(fd.Get(), bytes); error != 0) return fail(error);
  CopyAttributes(hive.Get(), fd.Get());
  if (base::ops::Sync(fd.Get()) != 0) return fail(errno);
  if (const int error = fd.CloseNow(); error != 0) return fail(error);
  if (base::ops::Rename(at, temporary.c_str(), at, name.c_str()) != 0) return fail(errno);
  // The rename is durable only once the folder is: until then a power cut can bring the old
  // hive back, and it needs its logs.
  if (base::ops::Sync(at) != 0) {
    const int error = errno;
    return Fail(base::StatusFromErrno(error, base::kWriteFault),
                "the new hive is in place, but its folder could not be synced (" + base::ErrnoWords(error) +
                    "), so it may not survive a power cut; the logs were kept");
  }
  ++m_commits;

  // Only now that the clean hive is durable may the logs go: emptied, as Windows leaves them.
  // Should this fail, the clean hive is still safe, as Windows ignores the logs of a clean hive.
  for (const std::string& log : logs) {
    base::Descriptor file(
        base::ops::Open(at, log.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK));
    struct stat status {};
    if (file.Get() >= 0 && fstat(file.Get(), &status) == 0 && S_ISREG(status.st_mode) &&
        base::ops::Truncate(file.Get(), 0) == 0)
      base::ops::Sync(file.Get());
  }
  m_highestSequence = sequence;
  m_commitNote = std::move(note);
  ReadIdentity(&m_identity);
  return 0;
}

base::Failure WriteNewHive(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  base::Descriptor fd(base::ops::Open(AT_FDCWD, path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  if (!fd.Valid()) return base::Failure::FromErrno("cannot create " + path, errno);
  auto fail = [&](int error) {
    fd.CloseNow();
    base::ops::Unlink(AT_FDCWD, path.c_str(), 0);
    return base::Failure::FromErrno("cannot create " + path, error);
  };
  if (const int error = base::WriteAll(fd.Get(), bytes); error != 0) return fail(error);
  if (base::ops::Sync(fd.Get()) != 0) return fail(errno);
  if (const int error = fd.CloseNow(); error != 0) return fail(error);
  return {};
}

}  // namespace hive
