#pragma once
// The one adapter that the native tests of the dialogs, the commands and the launcher seed: its
// key under Control\Video, the device, current and driver-settings key paths built from it, and
// the hand-off string that names it.
#include <string>

namespace testadapter {

inline const std::u16string kVideoKey = u"Control\\Video\\{6C9A3E51-0D4B-4E0C-9F1A-2B7D5C3E8A10}\\0000";
inline const std::u16string kDeviceKey = u"System\\ControlSet001\\" + kVideoKey;
inline const std::u16string kCurrentKey = u"System\\CurrentControlSet\\" + kVideoKey;
inline const std::u16string kDriverKey = kCurrentKey + u"\\D3D";
inline const std::u16string kDeviceName = u"\\\\.\\DISPLAY1";
inline const std::u16string kHandOff = kDeviceName + u"&&&\\Registry\\Machine\\" + kDeviceKey;

}  // namespace testadapter
