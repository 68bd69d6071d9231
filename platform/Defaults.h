#pragma once
// The services the program has before anything else is installed: each platform defines these
// once, in platform/win32/Defaults.cpp and platform/posix/Defaults.cpp. Only the accessors in
// platform/Services.cpp call them; everyone else uses GetRegistry() and the like.
#include "platform/DisplayDevices.h"
#include "platform/DisplayMode.h"
#include "platform/Launcher.h"
#include "platform/Registry.h"

namespace platform::detail {

Registry& DefaultRegistry();
DisplayDevices& DefaultDisplayDevices();
DisplayMode& DefaultDisplayMode();
RecordStore& DefaultRecordStore();
ProcessStarter& DefaultProcessStarter();

}  // namespace platform::detail
