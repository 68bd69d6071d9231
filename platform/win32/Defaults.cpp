// The services a Windows program starts with: the system's own registry, display devices,
// DirectDraw display mode, restore-record store and process starter. Tests under Wine install their own over
// them.
#include "platform/Defaults.h"

#include "platform/win32/DisplayDevices.h"
#include "platform/win32/DisplayMode.h"
#include "platform/win32/Launcher.h"
#include "platform/win32/Registry.h"

namespace platform::detail {
namespace {

// They hold no state and are constant-initialised: ready before any static initialiser runs.
Win32Registry g_systemRegistry;
GdiDisplayDevices g_systemDevices;
DirectDrawDisplayMode g_systemDisplayMode;

}  // namespace

Registry& DefaultRegistry() { return g_systemRegistry; }
DisplayDevices& DefaultDisplayDevices() { return g_systemDevices; }
DisplayMode& DefaultDisplayMode() { return g_systemDisplayMode; }
RecordStore& DefaultRecordStore() { return SystemRecordStore(); }
ProcessStarter& DefaultProcessStarter() { return SystemProcessStarter(); }

}  // namespace platform::detail
