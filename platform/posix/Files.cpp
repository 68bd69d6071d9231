#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/Text.h"
#include "platform/Registry.h"
#include "platform/StatusWords.h"
#include "platform/posix/Owners.h"
#include "platform/posix/Status.h"

namespace platform {
namespace {

long Status(int error, long otherwise, std::u16string* why) {
  if (why != nullptr) *why = base::Utf16FromUtf8(std::strerror(error));
  if (error == ENOENT || error == ENOTDIR) return kFileNotFound;
  if (error == EACCES || error == EPERM || error == EROFS) return kAccessDenied;
  return otherwise;
}

long TooLarge(std::u16string* why) {
  if (why != nullptr) *why = StatusWords(kFileTooLarge);
  return kFileTooLarge;
}

// Reads an open file to its end, at most limit bytes. A regular file's size is known before
// reading; a device or a pipe (/dev/zero never ends) is cut off one byte past the limit.
long ReadBounded(int fd, std::size_t limit, std::vector<std::uint8_t>* bytes, std::u16string* why) {
  bytes->clear();
  struct stat info = {};
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && static_cast<std::uintmax_t>(info.st_size) > limit)
    return TooLarge(why);
  std::uint8_t buffer[65536];
  for (;;) {
    const std::size_t wanted = std::min(sizeof buffer, limit + 1 - bytes->size());
    const ssize_t count = read(fd, buffer, wanted);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return Status(errno, kReadFault, why);
    if (count == 0) return kSuccess;
    bytes->insert(bytes->end(), buffer, buffer + count);
    if (bytes->size() > limit) {
      bytes->clear();
      return TooLarge(why);
    }
  }
}

}  // namespace

long ReadWholeFile(const std::u16string& path, std::size_t limit, std::vector<std::uint8_t>* bytes,
                   std::u16string* why) {
  const Descriptor file(open(base::Utf8FromUtf16(path).c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.Valid()) return Status(errno, kReadFault, why);
  return ReadBounded(file.Get(), limit, bytes, why);
}

long ReadStandardInput(std::size_t limit, std::vector<std::uint8_t>* bytes, std::u16string* why) {
  return ReadBounded(STDIN_FILENO, limit, bytes, why);
}

long WriteWholeFile(const std::u16string& path, std::span<const std::uint8_t> bytes, std::u16string* why,
                    bool* created) {
  if (created != nullptr) *created = false;
  Descriptor file(open(base::Utf8FromUtf16(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (!file.Valid()) return Status(errno, kWriteFault, why);
  if (created != nullptr) *created = true;
  long status = kSuccess;
  for (std::size_t done = 0; done < bytes.size() && status == kSuccess;) {
    const ssize_t count = write(file.Get(), bytes.data() + done, bytes.size() - done);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0)
      status = Status(count < 0 ? errno : EIO, kWriteFault, why);
    else
      done += static_cast<std::size_t>(count);
  }
  if (const int error = file.CloseNow(); error != 0 && status == kSuccess)
    status = Status(error, kWriteFault, why);
  return status;
}

}  // namespace platform
