#include "platform/posix/DisplayMode.h"

#include <utility>

namespace platform {
namespace {
constexpr long kInvalidArgument = static_cast<long>(0x80070057u);  // E_INVALIDARG
}  // namespace

class SimulatedDisplayMode::Object final : public DisplayModeObject {
 public:
  explicit Object(SimulatedDisplayMode& owner) : m_owner(owner) {}

  long SetCooperativeLevel(void* window, std::uint32_t flags) override {
    long result = 0;
    {
      std::lock_guard lock(m_owner.m_mutex);
      result = m_owner.m_cooperativeResult;
    }
    m_exclusive =
        result == 0 && (flags & kCooperativeExclusive) != 0 && (flags & kCooperativeFullscreen) != 0;
    DisplayModeCall call;
    call.kind = DisplayModeCall::Kind::SetCooperativeLevel;
    call.result = result;
    call.window = window;
    call.flags = flags;
    m_owner.Record(call);
    return result;
  }

  long SetDisplayMode(std::uint32_t width, std::uint32_t height, std::uint32_t bitsPerPixel,
                      std::uint32_t refreshRate, std::uint32_t flags) override {
    DisplayModeCall call;
    call.kind = DisplayModeCall::Kind::SetDisplayMode;
    call.result = m_exclusive ? 0 : kNoExclusiveMode;
    call.width = width;
    call.height = height;
    call.bitsPerPixel = bitsPerPixel;
    call.refreshRate = refreshRate;
    call.flags = flags;
    m_owner.Record(call);
    if (!m_exclusive) return kNoExclusiveMode;
    ModeSetHook hook;
    {
      std::lock_guard lock(m_owner.m_mutex);
      ++m_owner.m_modeSets;
      hook = m_owner.m_hook;
    }
    // Outside the lock: the hook may read the registry, or this object's records.
    if (hook) hook(width, height, bitsPerPixel);
    return 0;
  }

  unsigned long Release() override {
    DisplayModeCall call;
    call.kind = DisplayModeCall::Kind::Release;
    m_owner.Record(call);
    {
      std::lock_guard lock(m_owner.m_mutex);
      --m_owner.m_liveObjects;
    }
    delete this;
    return 0;
  }

 private:
  ~Object() override = default;
  SimulatedDisplayMode& m_owner;
  bool m_exclusive = false;
};

SimulatedDisplayMode::~SimulatedDisplayMode() = default;

long SimulatedDisplayMode::Create(DisplayModeObject** object) {
  long result = 0;
  {
    std::lock_guard lock(m_mutex);
    result = m_createResult;
    if (result == 0 && object != nullptr) ++m_liveObjects;
  }
  if (object == nullptr && result == 0) result = kInvalidArgument;
  DisplayModeCall call;
  call.kind = DisplayModeCall::Kind::Create;
  call.result = result;
  Record(call);
  if (result == 0) *object = new Object(*this);
  return result;
}

void SimulatedDisplayMode::FailCreate(long result) {
  std::lock_guard lock(m_mutex);
  m_createResult = result;
}

void SimulatedDisplayMode::FailCooperativeLevel(long result) {
  std::lock_guard lock(m_mutex);
  m_cooperativeResult = result;
}

void SimulatedDisplayMode::SetModeSetHook(ModeSetHook hook) {
  std::lock_guard lock(m_mutex);
  m_hook = std::move(hook);
}

std::vector<DisplayModeCall> SimulatedDisplayMode::Calls() const {
  std::lock_guard lock(m_mutex);
  return m_calls;
}

std::vector<DisplayModeCall::Kind> SimulatedDisplayMode::CallKinds() const {
  std::lock_guard lock(m_mutex);
  std::vector<DisplayModeCall::Kind> kinds;
  for (const DisplayModeCall& call : m_calls) kinds.push_back(call.kind);
  return kinds;
}

int SimulatedDisplayMode::LiveObjects() const {
  std::lock_guard lock(m_mutex);
  return m_liveObjects;
}

int SimulatedDisplayMode::ModeSets() const {
  std::lock_guard lock(m_mutex);
  return m_modeSets;
}

void SimulatedDisplayMode::ClearCalls() {
  std::lock_guard lock(m_mutex);
  m_calls.clear();
}

void SimulatedDisplayMode::Record(const DisplayModeCall& call) {
  std::lock_guard lock(m_mutex);
  m_calls.push_back(call);
}

}  // namespace platform
