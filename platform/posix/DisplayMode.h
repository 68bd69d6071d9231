#pragma once
// SimulatedDisplayMode: the display-mode service without a display. It records every call with
// its arguments, can be made to fail the creation or the cooperative level, and calls an
// optional hook on each mode set made after a cooperative level that succeeded: that is where
// the simulated board reloads its tuning values.
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "platform/DisplayMode.h"

namespace platform {

struct DisplayModeCall {
  enum class Kind { Create, SetCooperativeLevel, SetDisplayMode, Release };
  Kind kind = Kind::Create;
  long result = 0;
  void* window = nullptr;   // SetCooperativeLevel
  std::uint32_t flags = 0;  // SetCooperativeLevel, SetDisplayMode
  std::uint32_t width = 0, height = 0, bitsPerPixel = 0, refreshRate = 0;  // SetDisplayMode
};

// DirectDraw's answer to a mode set without exclusive control (DDERR_NOEXCLUSIVEMODE).
inline constexpr long kNoExclusiveMode = static_cast<long>(0x887600E1u);

class SimulatedDisplayMode final : public DisplayMode {
 public:
  using ModeSetHook =
      std::function<void(std::uint32_t width, std::uint32_t height, std::uint32_t bitsPerPixel)>;

  SimulatedDisplayMode() = default;
  ~SimulatedDisplayMode() override;

  long Create(DisplayModeObject** object) override;

  void FailCreate(long result);            // 0 makes it succeed again
  void FailCooperativeLevel(long result);  // 0 makes it succeed again
  void SetModeSetHook(ModeSetHook hook);

  std::vector<DisplayModeCall> Calls() const;
  std::vector<DisplayModeCall::Kind> CallKinds() const;
  int LiveObjects() const;
  int ModeSets() const;  // mode sets that reached the display (after a cooperative level)
  void ClearCalls();

 private:
  class Object;
  friend class Object;
  void Record(const DisplayModeCall& call);

  mutable std::mutex m_mutex;
  std::vector<DisplayModeCall> m_calls;
  long m_createResult = 0;
  long m_cooperativeResult = 0;
  ModeSetHook m_hook;
  int m_liveObjects = 0;
  int m_modeSets = 0;
};

}  // namespace platform
