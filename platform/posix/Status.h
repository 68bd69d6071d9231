#pragma once
// The Win32 statuses that the POSIX platform returns beyond those of the registry interface
// (platform/Registry.h), so that both programs report a failure by the same number.
namespace platform {

inline constexpr long kWriteFault = 29;
inline constexpr long kReadFault = 30;
inline constexpr long kDiskFull = 112;
inline constexpr long kRegistryCorrupt = 1015;
inline constexpr long kKeyDeleted = 1018;

}  // namespace platform
