#pragma once
// The shapes of a display adapter's registry key below HKEY_LOCAL_MACHINE, as Windows names them:
//   System\<control set>\Control\Video\{GUID}\NNNN      XP and later
//   System\<control set>\Services\<service>\DeviceN     Windows 2000, the driver service's key
// The control set is CurrentControlSet or ControlSetNNN. Names compare without regard to case, as
// the registry's do. Every place that takes an adapter's key from outside (the hand-off string,
// a profile, the restore record, a hive's keys) asks here, so that they agree.
#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

enum class AdapterKeyShape {
  kNone,
  kVideo,          // Control\Video\{GUID}\NNNN
  kDriverService,  // Services\<service>\DeviceN
};

// A path's components, split at every backslash (empty ones included).
std::vector<std::u16string_view> KeyPathParts(std::u16string_view path);

// The shape of the key that exactly these components name, from "System" on.
AdapterKeyShape AdapterKeyShapeOf(std::span<const std::u16string_view> parts);
// The same for a whole path from "System" on, e.g. a hand-off string's device key.
AdapterKeyShape AdapterKeyShapeOf(std::u16string_view path);

// Key names of the shapes: "ControlSet001" or "CurrentControlSet"; "{GUID}"; "0000"; "Device0".
bool IsControlSetName(std::u16string_view name);
bool IsGuidName(std::u16string_view name);
bool IsVideoAdapterName(std::u16string_view name);
bool IsServiceDeviceName(std::u16string_view name);
// The last name of either shape: "0000" or "Device0".
bool IsAdapterKeyName(std::u16string_view name);
