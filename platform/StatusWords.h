#pragma once
// A status code of the platform (a Win32 status, as the registry and the files return them) in
// the words the user reads: on Windows the system's message with the number beside it, on POSIX
// the system's words for the same failure.
#include <string>

namespace platform {

std::u16string StatusWords(long status);

}  // namespace platform
