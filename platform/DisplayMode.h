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

// Owns one display-mode object and releases it when the owner goes.
class DisplayModeObjectOwner {
 public:
  DisplayModeObjectOwner() = default;
  ~DisplayModeObjectOwner() {
    if (m_object != nullptr) m_object->Release();
  }
  DisplayModeObjectOwner(const DisplayModeObjectOwner&) = delete;
  DisplayModeObjectOwner& operator=(const DisplayModeObjectOwner&) = delete;

  DisplayModeObject* operator->() const { return m_object; }
  bool Valid() const { return m_object != nullptr; }
  // Where Create puts the object; the owner must hold none yet.
  DisplayModeObject** Receive() { return &m_object; }

 private:
  DisplayModeObject* m_object = nullptr;
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
