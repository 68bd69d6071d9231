#include "tests/win32/Screenshot.h"

#include <cstdio>
#include <vector>

bool SaveScreenshot(HWND window, const std::wstring& name) {
  wchar_t folder[MAX_PATH] = {};
  if (::GetEnvironmentVariableW(L"CONFIGURATOR_ARTIFACTS", folder, MAX_PATH) == 0) return false;
  RECT area{};
  if (!::GetWindowRect(window, &area)) return false;
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return false;

  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;  // bottom-up rows, as a .bmp file stores them
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  header.biSizeImage = stride * static_cast<DWORD>(height);

  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap =
      ::CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
  bool copied = false;
  if (bitmap != nullptr) {
    HGDIOBJ previous = ::SelectObject(memory, bitmap);
    copied = ::BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY) != FALSE;
    ::GdiFlush();
    ::SelectObject(memory, previous);
  }
  bool saved = false;
  if (copied) {
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + header.biSizeImage;
    const std::wstring path = std::wstring(folder) + L"\\" + name + L".bmp";
    if (FILE* out = _wfopen(path.c_str(), L"wb")) {
      saved = std::fwrite(&file, sizeof file, 1, out) == 1 &&
              std::fwrite(&header, sizeof header, 1, out) == 1 &&
              std::fwrite(bits, header.biSizeImage, 1, out) == 1;
      saved = std::fclose(out) == 0 && saved;
    }
  }
  if (bitmap != nullptr) ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  return saved;
}
