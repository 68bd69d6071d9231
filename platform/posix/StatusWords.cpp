#include "platform/StatusWords.h"

#include <cerrno>
#include <cstring>

#include "base/Text.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "platform/Status.h"

namespace platform {

// The POSIX stores return Win32 numbers so that both programs decide alike; the user reads the
// system's words for the failure each one stands for, or the registry's own where POSIX has none.
std::u16string StatusWords(long status) {
  const auto system = [](int error) { return base::Utf16FromUtf8(std::strerror(error)); };
  switch (status) {
    case kFileNotFound:
      return u"no such key";
    case kAccessDenied:
      return system(EACCES);
    case kInvalidHandle:
      return system(EBADF);
    case kInvalidData:
    case kInvalidParameter:
      return system(EINVAL);
    case kWriteFault:
    case kReadFault:
      return system(EIO);
    case kDiskFull:
      return system(ENOSPC);
    case kBadPathName:
      return u"not a key path";
    case kFileTooLarge:
      return system(EFBIG);
    case kRegistryCorrupt:
      return u"the registry is damaged";
    case kKeyDeleted:
      return u"the key was deleted";
    default: {
      const std::string digits = std::to_string(status);
      return u"unexpected failure " + std::u16string(digits.begin(), digits.end());
    }
  }
}

}  // namespace platform
