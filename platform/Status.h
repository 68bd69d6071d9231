#pragma once
// The status codes and key access rights of the platform, as Win32 numbers them, so that both
// programs decide alike and report a failure by the same number: the registry, the files and the
// POSIX stores return these.
#include <cstdint>

namespace platform {

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

// Key access rights.
inline constexpr std::uint32_t kKeyQueryValue = 0x1;
inline constexpr std::uint32_t kKeySetValue = 0x2;
inline constexpr std::uint32_t kKeyCreateSubKey = 0x4;
inline constexpr std::uint32_t kKeyEnumerateSubKeys = 0x8;
inline constexpr std::uint32_t kKeyNotify = 0x10;
inline constexpr std::uint32_t kKeyCreateLink = 0x20;
inline constexpr std::uint32_t kDelete = 0x10000;
inline constexpr std::uint32_t kReadControl = 0x20000;
inline constexpr std::uint32_t kWriteDac = 0x40000;
inline constexpr std::uint32_t kWriteOwner = 0x80000;
inline constexpr std::uint32_t kGenericAll = 0x10000000;
inline constexpr std::uint32_t kGenericWrite = 0x40000000;
inline constexpr std::uint32_t kGenericRead = 0x80000000;
inline constexpr std::uint32_t kKeyRead = kReadControl | kKeyQueryValue | kKeyEnumerateSubKeys | kKeyNotify;
inline constexpr std::uint32_t kKeyWrite = kReadControl | kKeySetValue | kKeyCreateSubKey;
inline constexpr std::uint32_t kKeyAllAccess = 0xF003F;  // every standard right and every key right

static_assert(kKeyRead == 0x20019 && kKeyWrite == 0x20006);

}  // namespace platform
