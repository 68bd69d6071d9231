// The application's Win32 pieces: icon resources, common controls and the entry point.
#include "framework/WinApp.h"

#include <utility>

// clang-format off
#include "framework/win32/WinInclude.h"
#include <shellapi.h>
// clang-format on

IconHandle CWinApp::LoadIcon(unsigned id) const {
  return ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id));
}

bool AfxInitCommonControlsEx(std::uint32_t structSize, std::uint32_t classes) {
  INITCOMMONCONTROLSEX init{};
  init.dwSize = structSize;
  init.dwICC = classes;
  return ::InitCommonControlsEx(&init) != FALSE;
}

// The program's arguments, without the program name, go to the application object.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  std::vector<std::u16string> arguments;
  int count = 0;
  if (LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
    for (int i = 1; i < count; ++i) {
      const wchar_t* argument = argv[i];
      arguments.emplace_back(argument, argument + wcslen(argument));
    }
    ::LocalFree(argv);
  }
  return AfxWinMain(std::move(arguments));
}
