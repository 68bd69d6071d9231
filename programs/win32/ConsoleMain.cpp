// Configurator.com: the entry point of the console build, the same application object as
// Configurator.exe's, started from wmain instead of wWinMain.
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "framework/WinApp.h"

// clang-format off
#include "framework/win32/WinInclude.h"
// clang-format on

int wmain(int argc, wchar_t** argv) {
  std::vector<std::u16string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i], argv[i] + std::wcslen(argv[i]));
  // The command line as typed, for the program that /run starts.
  const wchar_t* commandLine = ::GetCommandLineW();
  return AfxWinMain(std::move(arguments),
                    std::u16string(commandLine, commandLine + std::wcslen(commandLine)));
}
