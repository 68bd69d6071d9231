// Configurator.exe: the entry point of the Windows program. The arguments, without the program
// name, and the command line as typed go to the application object.
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "framework/WinApp.h"

// clang-format off
#include "framework/win32/WinInclude.h"
#include <shellapi.h>
#include "platform/win32/Owners.h"  // after WinInclude.h, which includes <windows.h> its way
// clang-format on

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  std::vector<std::u16string> arguments;
  int count = 0;
  const platform::LocalMemory<LPWSTR*> argv(::CommandLineToArgvW(::GetCommandLineW(), &count));
  for (int i = 1; argv.Valid() && i < count; ++i) {
    const wchar_t* argument = argv.Get()[i];
    arguments.emplace_back(argument, argument + std::wcslen(argument));
  }
  const wchar_t* commandLine = ::GetCommandLineW();
  return AfxWinMain(std::move(arguments),
                    std::u16string(commandLine, commandLine + std::wcslen(commandLine)));
}
