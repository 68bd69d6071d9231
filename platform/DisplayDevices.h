#pragma once
// The system's display devices and their drivers' escapes (GDI on Win32, the simulated board on
// POSIX).
#include <cstdint>
#include <string>

namespace platform {

using DeviceContext = std::uintptr_t;  // 0 is none

inline constexpr int kQueryEscSupport = 8;

struct DisplayDevice {
  std::u16string name;  // e.g. \\.\DISPLAY1
  std::u16string key;   // the device key as the system reports it
};

class DisplayDevices {
 public:
  virtual ~DisplayDevices() = default;
  // The device at this enumeration index (no parent device, flags 0); false when there is none.
  virtual bool Enumerate(std::uint32_t index, DisplayDevice* device) = 0;
  // A device context for the device, the name passed as the driver name; 0 on failure.
  virtual DeviceContext CreateContext(const std::u16string& deviceName) = 0;
  // ExtEscape: returns the driver's result (0 for failure or not supported).
  virtual int Escape(DeviceContext context, int escape, int inputSize, const void* input, int outputSize,
                     void* output) = 0;
  virtual bool DeleteContext(DeviceContext context) = 0;
};

// Owns one device context and deletes it, in the devices that made it, when the owner goes.
class ContextOwner {
 public:
  ContextOwner(DisplayDevices& devices, DeviceContext context) : m_devices(devices), m_context(context) {}
  ~ContextOwner() {
    if (m_context != 0) m_devices.DeleteContext(m_context);
  }
  ContextOwner(const ContextOwner&) = delete;
  ContextOwner& operator=(const ContextOwner&) = delete;

  DeviceContext Get() const { return m_context; }
  bool Valid() const { return m_context != 0; }

 private:
  DisplayDevices& m_devices;
  DeviceContext m_context;
};

DisplayDevices& GetDisplayDevices();
// Replaces the display devices the program uses, as SetRegistry does (null restores the default).
DisplayDevices* SetDisplayDevices(DisplayDevices* devices);

}  // namespace platform
