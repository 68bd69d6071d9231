#pragma once
// Takes the display through one exclusive full-screen mode set (640 x 480, 16 bits per pixel)
// with the given window, then releases the display object, so that the driver reloads its
// tuning values. Returns 1 when the display object could not be created (nothing else is then
// done), otherwise 0.
#include "framework/Types.h"

int RefreshDisplayMode(WindowHandle window);
