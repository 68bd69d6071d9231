#pragma once
// The status codes of the program and its libraries, as Win32 numbers them, so that both
// programs decide alike and report a failure by the same number: the registry, the files, the
// hive engine and the POSIX stores return these.

namespace base {

inline constexpr long kSuccess = 0;
inline constexpr long kFileNotFound = 2;  // a missing file, key or value
inline constexpr long kAccessDenied = 5;
inline constexpr long kInvalidHandle = 6;
inline constexpr long kInvalidData = 13;
inline constexpr long kWriteFault = 29;
inline constexpr long kReadFault = 30;
inline constexpr long kInvalidParameter = 87;
inline constexpr long kDiskFull = 112;
inline constexpr long kBadPathName = 161;
inline constexpr long kFileTooLarge = 223;
inline constexpr long kMoreData = 234;
inline constexpr long kRegistryCorrupt = 1015;
inline constexpr long kKeyDeleted = 1018;

}  // namespace base
