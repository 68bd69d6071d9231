#pragma once
// The status codes and key access rights of the platform, as Win32 numbers them, so that both
// programs decide alike and report a failure by the same number.
#include <cstdint>

#include "base/Status.h"

namespace platform {

// The statuses (base/Status.h) are the platform's too.
using base::kAccessDenied;
using base::kBadPathName;
using base::kDiskFull;
using base::kFileNotFound;
using base::kFileTooLarge;
using base::kInvalidData;
using base::kInvalidHandle;
using base::kInvalidParameter;
using base::kKeyDeleted;
using base::kMoreData;
using base::kReadFault;
using base::kRegistryCorrupt;
using base::kSuccess;
using base::kWriteFault;

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
