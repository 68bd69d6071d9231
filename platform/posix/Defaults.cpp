// The services a POSIX program starts with until its entry point or a test sets its own: a
// registry with no keys, no display devices, and a display mode that only records.
#include "platform/Defaults.h"

#include "platform/posix/DisplayDevices.h"
#include "platform/posix/DisplayMode.h"

namespace platform::detail {
namespace {

// A machine with nothing in its registry: every key is missing, so no key is ever open.
class EmptyRegistry final : public Registry {
 public:
  long Open(std::u16string_view path, std::uint32_t, RegKey*) override {
    return !path.empty() && path.front() == u'\\' ? kBadPathName : kFileNotFound;
  }
  long Query(RegKey, std::u16string_view, std::uint32_t*, std::uint8_t*, std::uint32_t*) override {
    return kInvalidHandle;
  }
  long Set(RegKey, std::u16string_view, std::uint32_t, const std::uint8_t*, std::uint32_t) override {
    return kInvalidHandle;
  }
  long Delete(RegKey, std::u16string_view) override { return kInvalidHandle; }
  long Close(RegKey) override { return kInvalidHandle; }
};

}  // namespace

// Function-local statics: usable from other static initialisers, whatever their order.
Registry& DefaultRegistry() {
  static EmptyRegistry registry;
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
