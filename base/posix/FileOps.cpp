#include "base/posix/FileOps.h"

#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>

namespace base::ops {
namespace {

// A file written since it was last synced: its identity, and a descriptor of its own that
// outlives the caller's (and any rename).
struct Unsynced {
  dev_t device;
  ino_t inode;
  int fd;
};

struct Hook {
  bool armed = false;
  bool trace = false;
  FaultPlan plan;
  std::uint64_t count = 0;
  std::vector<std::string> traced;
  std::vector<Unsynced> unsynced;
};
Hook hook;

void Forget(std::vector<Unsynced>::iterator from, std::vector<Unsynced>::iterator to) {
  for (auto it = from; it != to; ++it) close(it->fd);
  hook.unsynced.erase(from, to);
}

// Notes that fd's file was written (wrote) or synced.
void Track(int fd, bool wrote) {
  struct stat status {};
  if (fstat(fd, &status) != 0) return;
  const auto same = [&](const Unsynced& file) {
    return file.device == status.st_dev && file.inode == status.st_ino;
  };
  if (!wrote) {
    Forget(std::remove_if(hook.unsynced.begin(), hook.unsynced.end(), same), hook.unsynced.end());
  } else if (std::none_of(hook.unsynced.begin(), hook.unsynced.end(), same)) {
    if (const int copy = fcntl(fd, F_DUPFD_CLOEXEC, 0); copy >= 0)
      hook.unsynced.push_back({status.st_dev, status.st_ino, copy});
  }
}

// A power cut loses what was written and not yet synced: here every byte of such a file reads
// as rubbish afterwards, the worst it can be.
void LoseUnsynced() {
  const std::vector<std::uint8_t> rubbish(1 << 16, 0xDB);
  for (const Unsynced& file : hook.unsynced) {
    struct stat status {};
    if (fstat(file.fd, &status) != 0) continue;
    for (off_t at = 0; at < status.st_size;) {
      const auto size = static_cast<std::size_t>(std::min<off_t>(status.st_size - at, rubbish.size()));
      const ssize_t put = pwrite(file.fd, rubbish.data(), size, at);
      if (put <= 0) break;
      at += put;
    }
  }
}

std::string FdPath(int fd) {
  char link[64], path[PATH_MAX];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t size = readlink(link, path, sizeof path);
  return size > 0 ? std::string(path, static_cast<std::size_t>(size)) : "fd " + std::to_string(fd);
}

std::string AtPath(int at, const char* name) {
  if (name[0] == '/') return name;
  return (at == AT_FDCWD ? std::string(".") : FdPath(at)) + "/" + name;
}

// Counts one operation (described by where(), only when traced); true when the fault hits it.
template <typename Where>
bool Hits(const char* what, Where where) {
  ++hook.count;
  const bool hit = hook.plan.at == hook.count;
  if (hook.trace) hook.traced.push_back(std::string(hit ? "FAULT " : "") + what + " " + where());
  return hit;
}

// What the operation the fault hit gives its caller, unless the process ends here.
int Faulted() {
  if (hook.plan.fault == Fault::kEnd) {
    LoseUnsynced();
    _exit(kEndedByFault);
  }
  errno = hook.plan.error;
  return -1;
}

// The first half of a write or copy that the fault hits: whatever it gives, the fault follows.
void PartWay(ssize_t) {}

// How many bytes are left to read in from, at most size.
std::size_t Remaining(int from, std::size_t size) {
  struct stat status {};
  const off_t at = lseek(from, 0, SEEK_CUR);
  if (fstat(from, &status) != 0 || at < 0 || status.st_size <= at) return 0;
  return std::min(size, static_cast<std::size_t>(status.st_size - at));
}

}  // namespace

int Open(int at, const char* name, int flags, mode_t mode) {
  const bool changes = (flags & (O_CREAT | O_TRUNC | O_WRONLY | O_RDWR)) != 0;
  if (hook.armed && changes && Hits("open", [&] { return AtPath(at, name); })) return Faulted();
  return openat(at, name, flags, mode);
}

ssize_t Write(int fd, const void* data, std::size_t size) {
  if (hook.armed && Hits("write", [&] { return FdPath(fd); })) {
    if (size > 1) PartWay(write(fd, data, size / 2));
    Track(fd, true);
    return Faulted();
  }
  const ssize_t put = write(fd, data, size);
  if (hook.armed && put > 0) Track(fd, true);
  return put;
}

ssize_t CopyRange(int from, int to, std::size_t size) {
  if (hook.armed && Hits("copy", [&] { return FdPath(from) + " to " + FdPath(to); })) {
    if (const std::size_t left = Remaining(from, size); left > 1)
      PartWay(copy_file_range(from, nullptr, to, nullptr, left / 2, 0));
    Track(to, true);
    return Faulted();
  }
  const ssize_t copied = copy_file_range(from, nullptr, to, nullptr, size, 0);
  if (hook.armed && copied > 0) Track(to, true);
  return copied;
}

ssize_t SendFile(int to, int from, std::size_t size) {
  if (hook.armed && Hits("copy", [&] { return FdPath(from) + " to " + FdPath(to); })) {
    if (const std::size_t left = Remaining(from, size); left > 1)
      PartWay(sendfile(to, from, nullptr, left / 2));
    Track(to, true);
    return Faulted();
  }
  const ssize_t copied = sendfile(to, from, nullptr, size);
  if (hook.armed && copied > 0) Track(to, true);
  return copied;
}

int Sync(int fd) {
  if (hook.armed && Hits("fsync", [&] { return FdPath(fd); })) return Faulted();
  const int result = fsync(fd);
  if (hook.armed && result == 0) Track(fd, false);
  return result;
}

int Rename(int fromAt, const char* from, int toAt, const char* to) {
  if (hook.armed && Hits("rename", [&] { return AtPath(fromAt, from) + " to " + AtPath(toAt, to); }))
    return Faulted();
  return renameat(fromAt, from, toAt, to);
}

int Truncate(int fd, off_t size) {
  if (hook.armed && Hits("truncate", [&] { return FdPath(fd); })) return Faulted();
  return ftruncate(fd, size);
}

int Unlink(int at, const char* name, int flags) {
  if (hook.armed && Hits("unlink", [&] { return AtPath(at, name); })) return Faulted();
  return unlinkat(at, name, flags);
}

int MakeFolder(int at, const char* name, mode_t mode) {
  if (hook.armed && Hits("mkdir", [&] { return AtPath(at, name); })) return Faulted();
  return mkdirat(at, name, mode);
}

int ChangeOwner(int fd, uid_t owner, gid_t group) {
  if (hook.armed && Hits("chown", [&] { return FdPath(fd); })) return Faulted();
  return fchown(fd, owner, group);
}

int ChangeMode(int fd, mode_t mode) {
  if (hook.armed && Hits("chmod", [&] { return FdPath(fd); })) return Faulted();
  return fchmod(fd, mode);
}

int SetTimes(int fd, const timespec times[2]) {
  if (hook.armed && Hits("utimens", [&] { return FdPath(fd); })) return Faulted();
  return futimens(fd, times);
}

int SetAttribute(int fd, const char* name, const void* value, std::size_t size, int flags) {
  if (hook.armed && Hits("setxattr", [&] { return FdPath(fd) + " " + name; })) return Faulted();
  return fsetxattr(fd, name, value, size, flags);
}

int Close(int fd) {
  if (hook.armed && Hits("close", [&] { return FdPath(fd); })) {
    if (hook.plan.fault == Fault::kFail) close(fd);
    return Faulted();
  }
  return close(fd);
}

void StartCounting(FaultPlan plan, bool trace) {
  StopCounting();
  hook = Hook{true, trace, plan, 0, {}, {}};
}

void StopCounting() {
  hook.armed = false;
  Forget(hook.unsynced.begin(), hook.unsynced.end());
}

std::uint64_t Counted() { return hook.count; }

const std::vector<std::string>& Traced() { return hook.traced; }

}  // namespace base::ops
