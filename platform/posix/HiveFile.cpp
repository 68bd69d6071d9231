#include "platform/posix/HiveFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <hivex.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/Registry.h"

namespace platform {
namespace {

constexpr long kWriteFault = 29;
constexpr long kDiskFull = 112;
constexpr long kRegistryCorrupt = 1015;
constexpr int kLoadAttempts = 3;

// Closes a descriptor when it goes out of scope (the lock is released with it).
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return fd_; }
  int Release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

std::int64_t Nanoseconds(const timespec& time) {
  return static_cast<std::int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

long StatusFromErrno(int error) {
  if (error == ENOSPC || error == EDQUOT) return kDiskFull;
  if (error == EACCES || error == EPERM || error == EROFS) return kAccessDenied;
  return kWriteFault;
}

bool NoWriteBits(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) != 0 || (status.st_mode & 0222) == 0;
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

HiveFile::HiveFile(std::string path) : path_(std::move(path)) {
  // Replacing goes through rename(2), which would replace a symbolic link by a file: work on
  // the file the link points to.
  char resolved[PATH_MAX];
  if (realpath(path_.c_str(), resolved) != nullptr) path_ = resolved;
}

HiveFile::~HiveFile() {
  if (handle_ != nullptr) hivex_close(handle_);
}

HiveFile::HiveFile(HiveFile&& other) noexcept
    : path_(std::move(other.path_)),
      handle_(std::exchange(other.handle_, nullptr)),
      identity_(other.identity_),
      generation_(other.generation_),
      commits_(other.commits_) {}

HiveFile& HiveFile::operator=(HiveFile&& other) noexcept {
  if (this != &other) {
    if (handle_ != nullptr) hivex_close(handle_);
    path_ = std::move(other.path_);
    handle_ = std::exchange(other.handle_, nullptr);
    identity_ = other.identity_;
    generation_ = other.generation_;
    commits_ = other.commits_;
  }
  return *this;
}

bool HiveFile::ReadIdentity(const std::string& path, Identity* identity) {
  Descriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
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

HiveProblem HiveFile::Diagnose(const std::string& path) {
  Descriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
  if (fd.Get() < 0)
    return errno == ENOENT || errno == ENOTDIR ? HiveProblem::kMissing : HiveProblem::kUnreadable;
  struct stat status {};
  if (fstat(fd.Get(), &status) != 0 || !S_ISREG(status.st_mode)) return HiveProblem::kUnreadable;
  char magic[4] = {};
  const ssize_t got = pread(fd.Get(), magic, sizeof magic, 0);
  if (got < 0) return HiveProblem::kUnreadable;
  if (got != sizeof magic || std::memcmp(magic, "regf", sizeof magic) != 0) return HiveProblem::kNotHive;
  return HiveProblem::kNone;
}

HiveProblem HiveFile::Load() {
  for (int attempt = 0; attempt < kLoadAttempts; ++attempt) {
    Identity before;
    if (!ReadIdentity(path_, &before)) {
      const HiveProblem problem = Diagnose(path_);
      return problem == HiveProblem::kNone ? HiveProblem::kUnreadable : problem;
    }
    const HiveProblem problem = Diagnose(path_);
    if (problem != HiveProblem::kNone) return problem;
    // Writable images live in memory of their own: a file that another program rewrites in
    // place can never change what we have read.
    hive_h* handle = hivex_open(path_.c_str(), HIVEX_OPEN_WRITE);
    if (handle == nullptr) {
      const HiveProblem again = Diagnose(path_);
      return again == HiveProblem::kNone ? HiveProblem::kCorrupt : again;
    }
    Identity after;
    const bool stable = ReadIdentity(path_, &after) && after == before;
    if (stable || attempt + 1 == kLoadAttempts) {
      if (handle_ != nullptr) hivex_close(handle_);
      handle_ = handle;
      // A file that kept changing while it was read keeps the identity from before the read,
      // so the next look at it loads it again.
      identity_ = before;
      ++generation_;
      return HiveProblem::kNone;
    }
    hivex_close(handle);
  }
  return HiveProblem::kCorrupt;
}

bool HiveFile::ChangedOnDisk() const {
  Identity now;
  return !ReadIdentity(path_, &now) || !(now == identity_);
}

bool HiveFile::Writable() const {
  const std::string folder = Folder();
  if (NoWriteBits(path_) || NoWriteBits(folder)) return false;
  return faccessat(AT_FDCWD, path_.c_str(), W_OK, AT_EACCESS) == 0 &&
         faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

std::string HiveFile::Folder() const {
  const auto slash = path_.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path_.substr(0, slash);
}

std::string HiveFile::BaseName() const {
  const auto slash = path_.rfind('/');
  return slash == std::string::npos ? path_ : path_.substr(slash + 1);
}

void HiveFile::RemoveStaleTemporaries() const {
  DIR* folder = opendir(Folder().c_str());
  if (folder == nullptr) return;
  const std::string prefix = "." + BaseName() + ".tmp.";
  while (const dirent* entry = readdir(folder)) {
    if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0)
      unlinkat(dirfd(folder), entry->d_name, 0);
  }
  closedir(folder);
}

long HiveFile::Commit(const std::function<bool()>& reapply) {
  if (handle_ == nullptr) return kInvalidHandle;
  const std::string folder = Folder();
  const std::string lockPath = folder + "/" + BaseName() + ".lock";
  // Read-only is enough for flock, so a lock file made by one user serves every other.
  Descriptor lock(open(lockPath.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644));
  if (lock.Get() < 0) return StatusFromErrno(errno);
  while (flock(lock.Get(), LOCK_EX) != 0) {
    if (errno != EINTR) return StatusFromErrno(errno);
  }

  if (ChangedOnDisk()) {
    const HiveProblem problem = Load();
    if (problem != HiveProblem::kNone) return StatusFromProblem(problem);
    if (!reapply()) return kRegistryCorrupt;
  }
  RemoveStaleTemporaries();

  struct stat original {};
  if (stat(path_.c_str(), &original) != 0) return StatusFromErrno(errno);
  std::string temporary = folder + "/." + BaseName() + ".tmp.XXXXXX";
  Descriptor fd(mkstemp(temporary.data()));
  if (fd.Get() < 0) return StatusFromErrno(errno);
  auto fail = [&](int error) {
    unlink(temporary.c_str());
    return StatusFromErrno(error);
  };
  if (fchmod(fd.Get(), original.st_mode & 07777) != 0) return fail(errno);
  if (geteuid() == 0 && fchown(fd.Get(), original.st_uid, original.st_gid) != 0) {
    // Root keeps the owner when it can; a file system without owners is no reason to fail.
  }
  // libhivex truncates and writes the file by name; our descriptor refers to the same inode,
  // so the fsync below covers what it wrote.
  if (hivex_commit(handle_, temporary.c_str(), 0) != 0) return fail(errno);
  if (fsync(fd.Get()) != 0) return fail(errno);
  if (close(fd.Release()) != 0) return fail(errno);
  if (rename(temporary.c_str(), path_.c_str()) != 0) return fail(errno);
  Descriptor directory(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (directory.Get() >= 0) fsync(directory.Get());
  ReadIdentity(path_, &identity_);
  ++commits_;
  return 0;
}

}  // namespace platform
