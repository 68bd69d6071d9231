// The POSIX program has no launcher: no record is ever left, nothing is started, and the hive
// store commits its writes itself.
#include "platform/Launcher.h"

namespace platform {
namespace {

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

RecordStore& detail::DefaultRecordStore() {
  static NoRecordStore store;
  return store;
}

ProcessStarter& detail::DefaultProcessStarter() {
  static NoProcessStarter starter;
  return starter;
}

long FlushRegistryKey(const std::u16string&) { return kSuccess; }

}  // namespace platform
