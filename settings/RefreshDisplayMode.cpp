#include "settings/RefreshDisplayMode.h"

#include "platform/DisplayMode.h"

int RefreshDisplayMode(WindowHandle window) {
  platform::DisplayModeObjectOwner object;
  if (platform::GetDisplayMode().Create(object.Receive()) != 0 || !object.Valid()) return 1;
  // The results are not examined: the mode set is attempted even without exclusive control, and
  // the object is released either way.
  object->SetCooperativeLevel(window, platform::kCooperativeFullscreen | platform::kCooperativeExclusive);
  object->SetDisplayMode(640, 480, 16, 0, 0);
  return 0;
}
