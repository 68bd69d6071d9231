#include "tests/win32/CommandRun.h"

#include <fstream>
#include <sstream>
#include <string>

std::wstring TempFile(const std::wstring& name) {
  wchar_t folder[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, folder);
  return std::wstring(folder) + L"configurator-cmd-" + name;
}

std::string ReadAll(const std::wstring& path) {
  std::ifstream file(path.c_str(), std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

namespace {

HANDLE Inheritable(const std::wstring& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES security{sizeof security, nullptr, TRUE};
  return ::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &security, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

Finished RunCommand(const std::wstring& commandLine, const wchar_t* wineDebug, bool writableOutput,
                    const std::wstring& inputPath) {
  const std::wstring outPath = TempFile(L"out.txt");
  const std::wstring errPath = TempFile(L"err.txt");
  if (!writableOutput) ::CloseHandle(Inheritable(outPath, GENERIC_WRITE, CREATE_ALWAYS));
  HANDLE out = writableOutput ? Inheritable(outPath, GENERIC_WRITE, CREATE_ALWAYS)
                              : Inheritable(outPath, GENERIC_READ, OPEN_EXISTING);
  HANDLE err = Inheritable(errPath, GENERIC_WRITE, CREATE_ALWAYS);
  HANDLE in = Inheritable(inputPath, GENERIC_READ, OPEN_EXISTING);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION info{};
  std::wstring line = commandLine;
  Finished finished{999, 0, {}, {}};
  wchar_t previousDebug[256] = {};
  const DWORD previousLength = ::GetEnvironmentVariableW(L"WINEDEBUG", previousDebug, 256);
  if (wineDebug != nullptr) ::SetEnvironmentVariableW(L"WINEDEBUG", wineDebug);
  // A start that fails ran nothing, so it is tried once more (Wine has been seen to refuse one start
  // in hundreds); a second failure is told in the error output that the test reads.
  BOOL created = FALSE;
  DWORD startError = ERROR_SUCCESS;
  for (int attempt = 0; attempt < 2 && !created; ++attempt) {
    created =
        ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info);
    if (!created) startError = ::GetLastError();
  }
  if (wineDebug != nullptr)
    ::SetEnvironmentVariableW(L"WINEDEBUG",
                              previousLength > 0 && previousLength < 256 ? previousDebug : nullptr);
  if (created) {
    finished.processId = info.dwProcessId;
    if (::WaitForSingleObject(info.hProcess, 60000) == WAIT_OBJECT_0)
      ::GetExitCodeProcess(info.hProcess, &finished.status);
    else
      ::TerminateProcess(info.hProcess, 999);
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
  }
  ::CloseHandle(in);
  ::CloseHandle(out);
  ::CloseHandle(err);
  finished.out = ReadAll(outPath);
  finished.err = ReadAll(errPath);
  if (!created) finished.err += "CreateProcessW failed: error " + std::to_string(startError) + "\n";
  return finished;
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }
