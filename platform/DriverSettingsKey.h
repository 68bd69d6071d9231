#pragma once
// Where the display driver keeps its Direct3D tuning values: a subkey of the adapter's device key.
#include <string>
#include <string_view>

namespace platform {

inline constexpr std::u16string_view kDriverSettingsSubkey = u"D3D";

// The path of the driver settings key below the device key at deviceKeyPath.
inline std::u16string DriverSettingsKeyPath(std::u16string_view deviceKeyPath) {
  std::u16string path(deviceKeyPath);
  path += u'\\';
  path += kDriverSettingsSubkey;
  return path;
}

}  // namespace platform
