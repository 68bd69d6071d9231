#pragma once
// Wine's trace of the programs that a test starts with WINEDEBUG in their environment. It
// goes to the standard error that they inherit from this test, which the test's command
// sends to the file named by CONFIGURATOR_WINE_TRACE (a Unix path).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

class WineTrace {
 public:
  // The settings that make a program trace its DirectDraw calls, each line beginning with the
  // program's process id.
  static std::vector<std::wstring> Environment() { return {L"WINEDEBUG=pid,+ddraw"}; }

  // Marks the end of the trace so far: only what comes after counts.
  WineTrace() : m_file(FileName()) { m_start = Read().size(); }

  bool Available() const { return !m_file.empty(); }

  // The DirectDraw calls of one program after the mark, as a refresh makes them.
  std::string RefreshCalls(DWORD processId) const {
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "%04lx:", static_cast<unsigned long>(processId));
    int creates = 0, exclusive = 0, modeSets = 0, releases = 0;
    std::istringstream lines(Read().substr(m_start));
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind(prefix, 0) != 0) continue;
      const auto has = [&](const char* text) { return line.find(text) != std::string::npos; };
      if (has(":ddraw:DirectDrawCreateEx ")) ++creates;
      if (has(":ddraw:ddraw7_SetCooperativeLevel ") && !has("window 00000000,") && has("flags 0x11."))
        ++exclusive;
      if (has(":ddraw:ddraw7_SetDisplayMode ") &&
          has("width 640, height 480, bpp 16, refresh_rate 0, flags 0."))
        ++modeSets;
      if (has(":ddraw:ddraw7_Release ") && has("decreasing refcount to 0.")) ++releases;
    }
    return Calls(creates, exclusive, modeSets, releases);
  }

  static std::string Calls(int creates, int exclusive, int modeSets, int releases) {
    return "created " + std::to_string(creates) + ", exclusive full-screen " + std::to_string(exclusive) +
           ", 640x480x16 " + std::to_string(modeSets) + ", released " + std::to_string(releases);
  }

 private:
  static std::wstring FileName() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(L"CONFIGURATOR_WINE_TRACE", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    // A Unix path is reached through Wine's drive for the Unix root.
    std::wstring name = path[0] == L'/' ? L"Z:" : L"";
    name.append(path, length);
    std::replace(name.begin(), name.end(), L'/', L'\\');
    return name;
  }

  std::string Read() const {
    std::string text;
    if (m_file.empty()) return text;
    HANDLE file =
        ::CreateFileW(m_file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return text;
    char buffer[65536];
    DWORD read = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
    ::CloseHandle(file);
    return text;
  }

  std::wstring m_file;
  std::size_t m_start = 0;
};
