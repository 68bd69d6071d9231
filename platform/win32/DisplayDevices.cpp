// Display devices and driver escapes through GDI.
#include <windows.h>

#include "platform/Defaults.h"

namespace platform {
namespace {

// The record the system fills; its size field must say 840 or enumeration fails.
static_assert(sizeof(DISPLAY_DEVICEW) == 840);

template <std::size_t N>
std::u16string Field(const WCHAR (&text)[N]) {
  std::size_t length = 0;
  while (length < N && text[length] != 0) ++length;
  return std::u16string(text, text + length);
}

HDC Handle(DeviceContext context) { return reinterpret_cast<HDC>(context); }

class GdiDisplayDevices final : public DisplayDevices {
 public:
  bool Enumerate(std::uint32_t index, DisplayDevice* device) override {
    DISPLAY_DEVICEW record{};
    record.cb = sizeof record;
    if (!EnumDisplayDevicesW(nullptr, index, &record, 0)) return false;
    device->name = Field(record.DeviceName);
    device->key = Field(record.DeviceKey);
    return true;
  }

  DeviceContext CreateContext(const std::u16string& deviceName) override {
    const std::wstring name(deviceName.begin(), deviceName.end());
    return reinterpret_cast<DeviceContext>(CreateDCW(name.c_str(), nullptr, nullptr, nullptr));
  }

  int Escape(DeviceContext context, int escape, int inputSize, const void* input, int outputSize,
             void* output) override {
    return ExtEscape(Handle(context), escape, inputSize, static_cast<LPCSTR>(input), outputSize,
                     static_cast<LPSTR>(output));
  }

  bool DeleteContext(DeviceContext context) override { return DeleteDC(Handle(context)) != FALSE; }
};

GdiDisplayDevices g_systemDevices;

}  // namespace

DisplayDevices& detail::DefaultDisplayDevices() { return g_systemDevices; }

}  // namespace platform
