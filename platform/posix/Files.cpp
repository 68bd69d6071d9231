#include "platform/Files.h"

#include <unistd.h>

#include <cerrno>

#include "base/Text.h"
#include "platform/Registry.h"
#include "platform/Status.h"
#include "platform/StatusWords.h"
#include "platform/posix/FileIo.h"

namespace platform {
namespace {

long Status(int error, long otherwise, std::u16string* why) {
  if (error == EFBIG) {
    if (why != nullptr) *why = StatusWords(kFileTooLarge);
    return kFileTooLarge;
  }
  if (why != nullptr) *why = base::Utf16FromUtf8(ErrnoWords(error));
  return StatusFromErrno(error, otherwise);
}

}  // namespace

long ReadWholeFile(const std::u16string& path, std::size_t limit, std::vector<std::uint8_t>* bytes,
                   std::u16string* why) {
  const int error = ReadFileBytes(base::Utf8FromUtf16(path), bytes, limit);
  return error == 0 ? kSuccess : Status(error, kReadFault, why);
}

long ReadStandardInput(std::size_t limit, std::vector<std::uint8_t>* bytes, std::u16string* why) {
  const int error = ReadToEnd(STDIN_FILENO, bytes, limit);
  return error == 0 ? kSuccess : Status(error, kReadFault, why);
}

long WriteWholeFile(const std::u16string& path, std::span<const std::uint8_t> bytes, std::u16string* why,
                    bool* created) {
  const int error = WriteFileBytes(base::Utf8FromUtf16(path), bytes, created);
  return error == 0 ? kSuccess : Status(error, kWriteFault, why);
}

}  // namespace platform
