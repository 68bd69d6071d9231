#pragma once
// Whole files through POSIX calls, and a failed call's errno as the platform's status and in the
// system's words: the one place where the POSIX platform reads, writes and reports files.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <vector>

namespace base {

inline constexpr std::size_t kNoSizeLimit = std::numeric_limits<std::size_t>::max();

// Reads an open file from where it stands to its end into *bytes: 0, or the errno of the failure,
// EFBIG when it holds more than limit bytes. A regular file is read straight into one buffer of
// its size (refused before reading when that is past the limit), with room for spare bytes more
// (at most an eighth of the file) that stays untouched until the caller grows into it; a file
// that grows while it is read is read to its new end. A device or a pipe (/dev/zero never ends)
// is cut off one byte past the limit. On failure *bytes holds nothing useful.
int ReadToEnd(int fd, std::vector<std::uint8_t>* bytes, std::size_t limit = kNoSizeLimit,
              std::size_t spare = 0);

// Opens path for reading (with these open flags besides O_RDONLY and O_CLOEXEC) and reads it
// whole as ReadToEnd does: 0 or the errno of the failure.
int ReadFileBytes(const std::string& path, std::vector<std::uint8_t>* bytes, std::size_t limit = kNoSizeLimit,
                  std::size_t spare = 0, int flags = 0);
// The same for the file name in the open folder at (or AT_FDCWD).
int ReadFileBytes(int at, const std::string& name, std::vector<std::uint8_t>* bytes,
                  std::size_t limit = kNoSizeLimit, std::size_t spare = 0, int flags = 0);

// Writes every byte to an open file: 0, or the errno of the failure (EIO when the system wrote
// nothing and said no more).
int WriteAll(int fd, std::span<const std::uint8_t> bytes);

// Creates or replaces the file at path with these bytes: 0 or the errno of the failure.
// *created (when given) tells a file that could not be made (false) from one made whose write or
// close failed (true).
int WriteFileBytes(const std::string& path, std::span<const std::uint8_t> bytes, bool* created = nullptr);

// A failed call's errno as the platform's status: no such file, access refused, a full disk, or
// otherwise the status given.
long StatusFromErrno(int error, long otherwise);

// The system's words for an errno value.
std::string ErrnoWords(int error);

}  // namespace base
