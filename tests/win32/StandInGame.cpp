// A game for the launcher's tests. As the game:
//   stand_in_game OUT KEY STATUS [ARGUMENT]...
// it writes to OUT the tuning values it sees (every value of HKLM\KEY and of its D3D subkey), its
// working folder and its command line as it got it; starts itself as a child that outlives it;
// signals the test's "running" event (StandInGame.h); and ends with STATUS. As the child:
//   stand_in_game child OUT KEY
// it waits for the test's "release" event, then writes the values it sees to OUT and ends.
// Each file is written under another name and then moved into place: the test never reads half.
#include "tests/win32/StandInGame.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

std::string Utf8(const std::wstring& text) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                        nullptr);
  return bytes;
}

// "KEY\NAME TYPE HEX" lines, in the order the registry gives them.
std::string Values(const std::wstring& key) {
  std::string lines;
  HKEY handle = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return lines;
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD nameLength = 256;
    BYTE data[1024];
    DWORD size = sizeof data;
    DWORD type = 0;
    if (::RegEnumValueW(handle, index, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS)
      break;
    char hex[3];
    std::string bytes;
    for (DWORD i = 0; i < size; ++i) {
      std::snprintf(hex, sizeof hex, "%02x", data[i]);
      bytes += hex;
    }
    lines += Utf8(key + L"\\" + name) + " " + std::to_string(type) + " " + bytes + "\n";
  }
  ::RegCloseKey(handle);
  return lines;
}

void WriteFileWhole(const std::wstring& path, const std::string& text) {
  const std::wstring partial = path + L".partial";
  HANDLE file = ::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  ::CloseHandle(file);
  ::MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

std::string Seen(const std::wstring& key) { return Values(key) + Values(key + L"\\D3D"); }

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 4 && std::wstring(argv[1]) == L"child") {
    HANDLE release = ::OpenEventW(SYNCHRONIZE, FALSE, standingame::ReleaseEvent(argv[3]).c_str());
    if (release == nullptr || ::WaitForSingleObject(release, 120000) != WAIT_OBJECT_0) return 2;
    WriteFileWhole(argv[2], Seen(argv[3]));
    return 0;
  }
  if (argc < 4) return 2;
  const std::wstring out = argv[1];
  wchar_t folder[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, folder);
  WriteFileWhole(out, Seen(argv[2]) + "folder " + Utf8(folder) + "\ncommand line " +
                          Utf8(::GetCommandLineW()) + "\nprocess " + std::to_string(::GetCurrentProcessId()) +
                          "\n");

  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring line = L"\"" + std::wstring(self) + L"\" child \"" + out + L".child\" \"" + argv[2] + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  if (!::CreateProcessW(self, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child))
    return 3;
  ::CloseHandle(child.hThread);
  ::CloseHandle(child.hProcess);

  HANDLE running = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, standingame::RunningEvent(argv[2]).c_str());
  if (running == nullptr) return 4;
  ::SetEvent(running);
  return std::wcstol(argv[3], nullptr, 10);
}
