// The application's Win32 pieces: icon resources, common controls and the standard streams.
#include "framework/WinApp.h"

#include <memory>
#include <string>

#include "base/Text.h"
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
  DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      error, 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
  const std::unique_ptr<wchar_t, decltype(&::LocalFree)> owner(buffer, &::LocalFree);
  if (buffer == nullptr) length = 0;
  while (length > 0 && (buffer[length - 1] == L'\r' || buffer[length - 1] == L'\n' ||
                        buffer[length - 1] == L' ' || buffer[length - 1] == L'.'))
    --length;
  std::u16string words(buffer, buffer + length);
  if (!words.empty()) words += u' ';
  return words + u"(error " + base::DecimalText(error) + u")";
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
