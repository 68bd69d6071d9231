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

namespace {

// The system's words for an error, with its number: "Access is denied (error 5)".
std::u16string SystemWords(DWORD error) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      error, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
  std::u16string words(buffer, buffer + (buffer != nullptr ? length : 0));
  if (buffer != nullptr) ::LocalFree(buffer);
  while (!words.empty() &&
         (words.back() == u'\r' || words.back() == u'\n' || words.back() == u' ' || words.back() == u'.'))
    words.pop_back();
  const std::wstring number = std::to_wstring(error);
  const std::u16string numbered = u"error " + std::u16string(number.begin(), number.end());
  return words.empty() ? numbered : words + u" (" + numbered + u")";
}

bool Failed(std::u16string* why) {
  if (why != nullptr) *why = SystemWords(::GetLastError());
  return false;
}

}  // namespace

bool AfxWriteStandardStream(const std::u16string& text, bool standardError, std::u16string* why) {
  if (why != nullptr) why->clear();
  HANDLE handle = ::GetStdHandle(standardError ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
  if (text.empty()) return true;
  DWORD mode = 0;
  if (::GetConsoleMode(handle, &mode)) {
    DWORD written = 0;
    if (!::WriteConsoleW(handle, text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr))
      return Failed(why);
    return written == text.size() || Failed(why);
  }
  std::wstring lines;
  for (char16_t c : text) {
    if (c == u'\n') lines += L'\r';
    lines += static_cast<wchar_t>(c);
  }
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, lines.c_str(), static_cast<int>(lines.size()), nullptr,
                                         0, nullptr, nullptr);
  if (size <= 0) return Failed(why);
  std::string utf8(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, lines.c_str(), static_cast<int>(lines.size()), utf8.data(), size, nullptr,
                        nullptr);
  DWORD written = 0;
  if (!::WriteFile(handle, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr))
    return Failed(why);
  if (written != utf8.size()) {
    ::SetLastError(ERROR_WRITE_FAULT);
    return Failed(why);
  }
  return true;
}

// The image's own subsystem: Configurator.com is built for the console, Configurator.exe for
// windows, from the same code.
bool AfxIsConsoleProgram() {
  const auto* image = reinterpret_cast<const BYTE*>(::GetModuleHandleW(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image + dos->e_lfanew);
  return nt->OptionalHeader.Subsystem == IMAGE_SUBSYSTEM_WINDOWS_CUI;
}
