// Configurator.com: the entry point of the console build, the same application object as
// Configurator.exe's, started from wmain instead of wWinMain.
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "framework/WinApp.h"

int wmain(int argc, wchar_t** argv) {
  std::vector<std::u16string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i], argv[i] + std::wcslen(argv[i]));
  return AfxWinMain(std::move(arguments));
}
