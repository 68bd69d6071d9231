// The display-mode refresh on the real DirectDraw: every call is made on the real object, the
// mode set that the virtual display refuses is ignored, and the display keeps its mode.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

// The program's headers first: the framework's constants are macros in <windows.h>.
// clang-format off
#include "base/Service.h"
#include "platform/DisplayMode.h"
#include "settings/RefreshDisplayMode.h"
#include <windows.h>
// clang-format on

namespace {

// Passes every call on to the real display mode and notes each call with its result.
class RecordingDisplayMode final : public platform::DisplayMode {
 public:
  explicit RecordingDisplayMode(platform::DisplayMode& real) : m_real(real) {}

  long Create(platform::DisplayModeObject** object) override {
    platform::DisplayModeObject* real = nullptr;
    const long status = m_real.Create(&real);
    calls.push_back("Create " + Hex(status));
    if (status == 0) *object = new Object(*this, real);
    return status;
  }

  std::vector<std::string> calls;
  long modeSetStatus = 0;

 private:
  class Object final : public platform::DisplayModeObject {
   public:
    Object(RecordingDisplayMode& owner, platform::DisplayModeObject* real) : m_owner(owner), m_real(real) {}
    long SetCooperativeLevel(void* window, std::uint32_t flags) override {
      const long status = m_real->SetCooperativeLevel(window, flags);
      m_owner.calls.push_back("SetCooperativeLevel " + std::string(window != nullptr ? "window " : "null ") +
                              Hex(flags) + " -> " + Hex(status));
      return status;
    }
    long SetDisplayMode(std::uint32_t width, std::uint32_t height, std::uint32_t bitsPerPixel,
                        std::uint32_t refreshRate, std::uint32_t flags) override {
      const long status = m_real->SetDisplayMode(width, height, bitsPerPixel, refreshRate, flags);
      m_owner.modeSetStatus = status;
      m_owner.calls.push_back("SetDisplayMode " + std::to_string(width) + "x" + std::to_string(height) + "x" +
                              std::to_string(bitsPerPixel) + " " + std::to_string(refreshRate) + " " +
                              std::to_string(flags));
      return status;
    }
    unsigned long Release() override {
      const unsigned long remaining = m_real->Release();
      m_owner.calls.push_back("Release -> " + std::to_string(remaining));
      delete this;
      return remaining;
    }

   private:
    ~Object() override = default;
    RecordingDisplayMode& m_owner;
    platform::DisplayModeObject* m_real;
  };

  static std::string Hex(unsigned long value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%lx", value);
    return text;
  }

  platform::DisplayMode& m_real;
};

TEST(RefreshDisplayModeOnWine, MakesEveryCallOnTheRealObjectAndIgnoresTheRefusedModeSet) {
  // Exclusive full-screen control needs a real top-level window.
  HWND window = ::CreateWindowExW(0, L"STATIC", L"Refresh", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                  nullptr, ::GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(window, nullptr);
  const int width = ::GetSystemMetrics(SM_CXSCREEN);
  const int height = ::GetSystemMetrics(SM_CYSCREEN);

  RecordingDisplayMode recorder(platform::GetDisplayMode());
  const int result = [&] {
    const base::Installed<platform::SetDisplayMode> installed(recorder);
    return RefreshDisplayMode(window);
  }();
  ::DestroyWindow(window);

  EXPECT_EQ(result, 0);
  EXPECT_EQ(recorder.calls, (std::vector<std::string>{"Create 0x0", "SetCooperativeLevel window 0x11 -> 0x0",
                                                      "SetDisplayMode 640x480x16 0 0", "Release -> 0"}));
  // The virtual display has one mode: the mode set fails, and the display keeps its mode.
  EXPECT_NE(recorder.modeSetStatus, 0);
  EXPECT_EQ(::GetSystemMetrics(SM_CXSCREEN), width);
  EXPECT_EQ(::GetSystemMetrics(SM_CYSCREEN), height);
}

}  // namespace
