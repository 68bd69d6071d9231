#pragma once
// GdiDisplayDevices: the system's display devices and their drivers' escapes, through GDI.
#include "platform/DisplayDevices.h"

namespace platform {

class GdiDisplayDevices final : public DisplayDevices {
 public:
  bool Enumerate(std::uint32_t index, DisplayDevice* device) override;
  DeviceContext CreateContext(const std::u16string& deviceName) override;
  int Escape(DeviceContext context, int escape, int inputSize, const void* input, int outputSize,
             void* output) override;
  bool DeleteContext(DeviceContext context) override;
};

}  // namespace platform
