#pragma once
// The display mode: an exclusive full-screen display object (DirectDraw 7 on Win32, the
// simulated board's stand-in on POSIX).
#include <cstdint>

namespace platform {

inline constexpr std::uint32_t kCooperativeFullscreen = 0x01;  // DDSCL_FULLSCREEN
inline constexpr std::uint32_t kCooperativeExclusive = 0x10;   // DDSCL_EXCLUSIVE

class DisplayModeObject {
 public:
  virtual long SetCooperativeLevel(void* window, std::uint32_t flags) = 0;
  virtual long SetDisplayMode(std::uint32_t width, std::uint32_t height, std::uint32_t bitsPerPixel,
                              std::uint32_t refreshRate, std::uint32_t flags) = 0;
  // Releases the object; it must not be used afterwards.
  virtual unsigned long Release() = 0;

 protected:
  virtual ~DisplayModeObject() = default;
};

class DisplayMode {
 public:
  virtual ~DisplayMode() = default;
  // Creates the object for the primary display (DirectDrawCreateEx with IID_IDirectDraw7);
  // 0 on success with *object set, otherwise the failure code and *object untouched.
  virtual long Create(DisplayModeObject** object) = 0;
};

DisplayMode& GetDisplayMode();
// Replaces the display mode the program uses, as SetRegistry does (null restores the default).
DisplayMode* SetDisplayMode(DisplayMode* displayMode);

}  // namespace platform
