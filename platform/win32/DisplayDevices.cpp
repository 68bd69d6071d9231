// Display devices and driver escapes through GDI.
#include "platform/win32/DisplayDevices.h"

#include <windows.h>

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

}  // namespace

bool GdiDisplayDevices::Enumerate(std::uint32_t index, DisplayDevice* device) {
  DISPLAY_DEVICEW record{};
  record.cb = sizeof record;
  if (!EnumDisplayDevicesW(nullptr, index, &record, 0)) return false;
  device->name = Field(record.DeviceName);
  device->key = Field(record.DeviceKey);
  return true;
}

DeviceContext GdiDisplayDevices::CreateContext(const std::u16string& deviceName) {
  const std::wstring name(deviceName.begin(), deviceName.end());
  return reinterpret_cast<DeviceContext>(CreateDCW(name.c_str(), nullptr, nullptr, nullptr));
}

int GdiDisplayDevices::Escape(DeviceContext context, int escape, int inputSize, const void* input,
                              int outputSize, void* output) {
  return ExtEscape(Handle(context), escape, inputSize, static_cast<LPCSTR>(input), outputSize,
                   static_cast<LPSTR>(output));
}

bool GdiDisplayDevices::DeleteContext(DeviceContext context) { return DeleteDC(Handle(context)) != FALSE; }

}  // namespace platform
