// The services a POSIX program starts with until its entry point or a test sets its own: a
// registry with no keys, no display devices, a display mode that only records, and no launcher.
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
  long Subkeys(RegKey, std::vector<std::u16string>* names) override {
    names->clear();
    return kInvalidHandle;
  }
};

// No launcher: no record is ever left, and nothing is started.
class NoRecordStore final : public RecordStore {
 public:
  std::u16string Location() override { return {}; }
  long Find(Found* found, std::vector<std::uint8_t>*, std::u16string*) override {
    *found = Found::kNone;
    return kSuccess;
  }
  long Create(std::span<const std::uint8_t>, bool* held, std::u16string* why) override {
    *held = false;
    if (why != nullptr) *why = u"this program starts no other program";
    return kInvalidParameter;
  }
  long Remove(std::u16string*) override { return kSuccess; }
  void Release() override {}
};

class NoProcessStarter final : public ProcessStarter {
 public:
  long Start(const std::u16string&, std::u16string* why) override {
    if (why != nullptr) *why = u"this program starts no other program";
    return kInvalidParameter;
  }
  long Wait(std::uint32_t*, std::u16string*, std::u16string*) override { return kInvalidHandle; }
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

RecordStore& DefaultRecordStore() {
  static NoRecordStore store;
  return store;
}

ProcessStarter& DefaultProcessStarter() {
  static NoProcessStarter starter;
  return starter;
}

}  // namespace platform::detail
