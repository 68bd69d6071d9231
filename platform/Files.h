#pragma once
// Whole files by name, for the profiles the command line reads and writes. Status codes as the
// registry's: 0 success, 2 no such file, 5 access denied, otherwise another non-zero code.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace platform {

// Reads the whole file into *bytes. On failure *why (when given) says why, in the system's words.
long ReadWholeFile(const std::u16string& path, std::vector<std::uint8_t>* bytes,
                   std::u16string* why = nullptr);
// Creates or replaces the file with these bytes; *why as above.
long WriteWholeFile(const std::u16string& path, std::span<const std::uint8_t> bytes,
                    std::u16string* why = nullptr);

}  // namespace platform
