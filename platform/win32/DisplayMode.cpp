// The display mode through DirectDraw 7. ddraw.dll is loaded at run time, so a system without
// DirectDraw takes the failure path instead of refusing to start the program.
#include "platform/win32/DisplayMode.h"

// clang-format off
#include <windows.h>
#include <ddraw.h>
// clang-format on

#include <utility>

#include "platform/win32/Owners.h"

namespace platform {
namespace {

// IID_IDirectDraw7, defined here so that nothing links against dxguid.
constexpr GUID kIidDirectDraw7 = {
    0x15E65EC0, 0x3B9C, 0x11D2, {0xB9, 0x2F, 0x00, 0x60, 0x97, 0x97, 0xEA, 0x5B}};

using DirectDrawCreateExFunction = HRESULT(WINAPI*)(GUID*, void**, REFIID, IUnknown*);

// Owns one IDirectDraw7 reference and the library reference that keeps its code loaded.
class DirectDrawObject final : public DisplayModeObject {
 public:
  DirectDrawObject(IDirectDraw7* directDraw, ModuleHandle library)
      : m_library(std::move(library)), m_directDraw(directDraw) {}
  DirectDrawObject(const DirectDrawObject&) = delete;
  DirectDrawObject& operator=(const DirectDrawObject&) = delete;

  long SetCooperativeLevel(void* window, std::uint32_t flags) override {
    return m_directDraw->SetCooperativeLevel(static_cast<HWND>(window), flags);
  }

  long SetDisplayMode(std::uint32_t width, std::uint32_t height, std::uint32_t bitsPerPixel,
                      std::uint32_t refreshRate, std::uint32_t flags) override {
    return m_directDraw->SetDisplayMode(width, height, bitsPerPixel, refreshRate, flags);
  }

  unsigned long Release() override {
    const unsigned long remaining = m_directDraw.ReleaseNow();
    delete this;  // and with it the library
    return remaining;
  }

 private:
  ~DirectDrawObject() override = default;
  // The library is declared first so that it goes last, after the object whose code it holds.
  ModuleHandle m_library;
  ComReference<IDirectDraw7> m_directDraw;
};

}  // namespace

long DirectDrawDisplayMode::Create(DisplayModeObject** object) {
  ModuleHandle library(LoadLibraryW(L"ddraw.dll"));
  if (!library.Valid()) return HRESULT_FROM_WIN32(GetLastError());
  const auto create = reinterpret_cast<DirectDrawCreateExFunction>(
      reinterpret_cast<void*>(GetProcAddress(library.Get(), "DirectDrawCreateEx")));
  // The status is taken before the owner frees the library.
  if (create == nullptr) return HRESULT_FROM_WIN32(GetLastError());
  void* directDraw = nullptr;
  const HRESULT status = create(nullptr, &directDraw, kIidDirectDraw7, nullptr);
  if (status != DD_OK || directDraw == nullptr) return status != DD_OK ? status : E_FAIL;
  *object = new DirectDrawObject(static_cast<IDirectDraw7*>(directDraw), std::move(library));
  return DD_OK;
}

}  // namespace platform
