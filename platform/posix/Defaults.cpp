// The services a POSIX program starts with until its entry point or a test sets its own: an
// empty in-memory registry, no display devices, and a display mode that only records.
#include "platform/DisplayDevices.h"
#include "platform/DisplayMode.h"
#include "platform/Registry.h"
#include "platform/posix/MemoryRegistry.h"
#include "platform/posix/SimulatedDevices.h"
#include "platform/posix/SimulatedDisplayMode.h"

namespace platform {
namespace {

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

Registry* g_registry = nullptr;
DisplayDevices* g_displayDevices = nullptr;
DisplayMode* g_displayMode = nullptr;

}  // namespace

Registry& GetRegistry() { return g_registry != nullptr ? *g_registry : DefaultRegistry(); }

Registry* SetRegistry(Registry* registry) {
  Registry* previous = &GetRegistry();
  g_registry = registry;
  return previous;
}

DisplayDevices& GetDisplayDevices() {
  return g_displayDevices != nullptr ? *g_displayDevices : DefaultDisplayDevices();
}

DisplayDevices* SetDisplayDevices(DisplayDevices* devices) {
  DisplayDevices* previous = &GetDisplayDevices();
  g_displayDevices = devices;
  return previous;
}

DisplayMode& GetDisplayMode() { return g_displayMode != nullptr ? *g_displayMode : DefaultDisplayMode(); }

DisplayMode* SetDisplayMode(DisplayMode* displayMode) {
  DisplayMode* previous = &GetDisplayMode();
  g_displayMode = displayMode;
  return previous;
}

}  // namespace platform
