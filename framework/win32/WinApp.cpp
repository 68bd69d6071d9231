// The application's Win32 pieces: icon resources, common controls and the standard streams.
#include "framework/WinApp.h"

#include <string>

#include "framework/win32/WinInclude.h"

IconHandle CWinApp::LoadIcon(unsigned id) const {
  return ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id));
}

bool AfxInitCommonControlsEx(std::uint32_t structSize, std::uint32_t classes) {
  INITCOMMONCONTROLSEX init{};
  init.dwSize = structSize;
  init.dwICC = classes;
  return ::InitCommonControlsEx(&init) != FALSE;
}

bool AfxWriteStandardStream(const std::u16string& text, bool standardError) {
  HANDLE handle = ::GetStdHandle(standardError ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
  if (text.empty()) return true;
  DWORD mode = 0;
  if (::GetConsoleMode(handle, &mode)) {
    DWORD written = 0;
    return ::WriteConsoleW(handle, text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr) != FALSE;
  }
  std::wstring lines;
  for (char16_t c : text) {
    if (c == u'\n') lines += L'\r';
    lines += static_cast<wchar_t>(c);
  }
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, lines.c_str(), static_cast<int>(lines.size()), nullptr,
                                         0, nullptr, nullptr);
  if (size <= 0) return false;
  std::string utf8(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, lines.c_str(), static_cast<int>(lines.size()), utf8.data(), size, nullptr,
                        nullptr);
  DWORD written = 0;
  return ::WriteFile(handle, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr) != FALSE &&
         written == utf8.size();
}
