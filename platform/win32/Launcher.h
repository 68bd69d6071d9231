#pragma once
// The launcher's services on Windows, which platform/win32/Defaults.cpp makes the defaults: the
// restore record in the user's application data folder, and programs started in a job object.
#include "platform/Launcher.h"

namespace platform {

RecordStore& SystemRecordStore();
ProcessStarter& SystemProcessStarter();

}  // namespace platform
