#include "platform/Files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/Text.h"
#include "platform/Registry.h"
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

}  // namespace

long ReadWholeFile(const std::u16string& path, std::vector<std::uint8_t>* bytes, std::u16string* why) {
  const Descriptor file(open(base::Utf8FromUtf16(path).c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.Valid()) return Status(errno, kReadFault, why);
  bytes->clear();
  std::uint8_t buffer[65536];
  long status = kSuccess;
  for (;;) {
    const ssize_t count = read(file.Get(), buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) status = Status(errno, kReadFault, why);
    if (count <= 0) break;
    bytes->insert(bytes->end(), buffer, buffer + count);
  }
  return status;
}

long WriteWholeFile(const std::u16string& path, std::span<const std::uint8_t> bytes, std::u16string* why) {
  Descriptor file(open(base::Utf8FromUtf16(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (!file.Valid()) return Status(errno, kWriteFault, why);
  long status = kSuccess;
  for (std::size_t done = 0; done < bytes.size() && status == kSuccess;) {
    const ssize_t count = write(file.Get(), bytes.data() + done, bytes.size() - done);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0)
      status = Status(errno, kWriteFault, why);
    else
      done += static_cast<std::size_t>(count);
  }
  if (const int error = file.CloseNow(); error != 0 && status == kSuccess)
    status = Status(error, kWriteFault, why);
  return status;
}

}  // namespace platform
