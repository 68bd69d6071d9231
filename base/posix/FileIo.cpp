#include "base/posix/FileIo.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/Status.h"
#include "base/posix/FileOps.h"
#include "base/posix/Owners.h"

namespace base {
namespace {

// Backs a large buffer that nothing has touched yet with huge pages where the system allows it:
// filling a hive's worth of small pages costs ten times the read itself (a fault per 4 KiB).
void AskForHugePages(void* start, std::size_t size) {
  constexpr std::uintptr_t kHuge = 2U << 20;
  const std::uintptr_t from = (reinterpret_cast<std::uintptr_t>(start) + kHuge - 1) & ~(kHuge - 1);
  const std::uintptr_t to = (reinterpret_cast<std::uintptr_t>(start) + size) & ~(kHuge - 1);
  if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
}

}  // namespace

int ReadToEnd(int fd, std::vector<std::uint8_t>* bytes, std::size_t limit, std::size_t spare) {
  struct stat status {};
  if (fstat(fd, &status) != 0) return errno;
  std::vector<std::uint8_t> read;
  if (S_ISREG(status.st_mode)) {
    if (static_cast<std::uintmax_t>(status.st_size) > limit) return EFBIG;
    const auto size = static_cast<std::size_t>(status.st_size);
    read.reserve(size + std::min(spare, size / 8));
    AskForHugePages(read.data(), read.capacity());
    read.resize(size);
  }
  std::size_t done = 0;
  std::uint8_t more[65536];  // past the size fstat gave: a device, a pipe or a file that grew
  while (true) {
    const bool past = done == read.size();
    const std::size_t wanted = !past                        ? read.size() - done
                               : limit - done < sizeof more ? limit - done + 1
                                                            : sizeof more;
    const ssize_t got = ::read(fd, past ? more : read.data() + done, wanted);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return errno;
    if (got == 0) break;
    if (past) read.insert(read.end(), more, more + got);
    done += static_cast<std::size_t>(got);
    if (done > limit) return EFBIG;
  }
  read.resize(done);
  *bytes = std::move(read);
  return 0;
}

int ReadFileBytes(const std::string& path, std::vector<std::uint8_t>* bytes, std::size_t limit,
                  std::size_t spare, int flags) {
  return ReadFileBytes(AT_FDCWD, path, bytes, limit, spare, flags);
}

int ReadFileBytes(int at, const std::string& name, std::vector<std::uint8_t>* bytes, std::size_t limit,
                  std::size_t spare, int flags) {
  const Descriptor fd(openat(at, name.c_str(), O_RDONLY | O_CLOEXEC | flags));
  if (!fd.Valid()) return errno;
  return ReadToEnd(fd.Get(), bytes, limit, spare);
}

int WriteAll(int fd, std::span<const std::uint8_t> bytes) {
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t put = ops::Write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return put < 0 ? errno : EIO;
    done += static_cast<std::size_t>(put);
  }
  return 0;
}

int WriteFileBytes(const std::string& path, std::span<const std::uint8_t> bytes, bool* created) {
  if (created != nullptr) *created = false;
  Descriptor fd(ops::Open(AT_FDCWD, path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (!fd.Valid()) return errno;
  if (created != nullptr) *created = true;
  const int error = WriteAll(fd.Get(), bytes);
  const int closeError = fd.CloseNow();
  return error != 0 ? error : closeError;
}

long StatusFromErrno(int error, long otherwise) {
  if (error == ENOENT || error == ENOTDIR) return kFileNotFound;
  if (error == EACCES || error == EPERM || error == EROFS) return kAccessDenied;
  if (error == ENOSPC || error == EDQUOT) return kDiskFull;
  return otherwise;
}

std::string ErrnoWords(int error) { return std::strerror(error); }

}  // namespace base
