// The services a POSIX program starts with until its entry point or a test sets its own: an
// empty in-memory registry, no display devices, and a display mode that only records.
#include "platform/Defaults.h"

#include "platform/posix/MemoryRegistry.h"
#include "platform/posix/SimulatedDevices.h"
#include "platform/posix/SimulatedDisplayMode.h"

namespace platform::detail {

// Function-local statics: usable from other static initialisers, whatever their order.
Registry& DefaultRegistry() {
  static MemoryRegistry registry;
  return registry;
}

DisplayDevices& DefaultDisplayDevices() {
  static SimulatedDevices devices;
  return devices;
}

DisplayMode& DefaultDisplayMode() {
  static SimulatedDisplayMode displayMode;
  return displayMode;
}

}  // namespace platform::detail
