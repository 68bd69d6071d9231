#pragma once
// DirectDrawDisplayMode: the display mode through DirectDraw 7, loaded from ddraw.dll at run time.
#include "platform/DisplayMode.h"

namespace platform {

class DirectDrawDisplayMode final : public DisplayMode {
 public:
  long Create(DisplayModeObject** object) override;
};

}  // namespace platform
