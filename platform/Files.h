#pragma once
// Whole files by name, for the profiles the command line reads and writes. Status codes as the
// registry's: 0 success, 2 no such file, 5 access denied, 223 too large, otherwise another
// non-zero code.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/Status.h"

namespace platform {

// Reads the whole file into *bytes, at most limit bytes: a file whose size is known to be larger
// is refused with kFileTooLarge before anything is read; a device or a pipe is read up to the
// limit and refused when it holds more. On failure *why (when given) says why, in the system's
// words, and *bytes holds nothing useful.
long ReadWholeFile(const std::u16string& path, std::size_t limit, std::vector<std::uint8_t>* bytes,
                   std::u16string* why = nullptr);
// The same for the program's standard input, read to its end.
long ReadStandardInput(std::size_t limit, std::vector<std::uint8_t>* bytes, std::u16string* why = nullptr);
// Creates or replaces the file with these bytes, whole: they go to a new file beside it, which is
// flushed and then renamed over it, so a failure leaves the file as it was. A link (or junction)
// at path is replaced itself, never followed. A device there (/dev/null, NUL, a pipe) is written
// in place. *why as above. *created (when given) tells a file that could not be made or put in
// place (false) from one made whose write, flush or close failed (true).
long WriteWholeFile(const std::u16string& path, std::span<const std::uint8_t> bytes,
                    std::u16string* why = nullptr, bool* created = nullptr);

}  // namespace platform
