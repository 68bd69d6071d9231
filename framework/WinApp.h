#pragma once
// The application object and the command line.
#include <cstdint>
#include <string>
#include <vector>

#include "framework/Wnd.h"

class CCommandLineInfo {
 public:
  virtual ~CCommandLineInfo() = default;
  // Called for each argument; flag is true when it began with "/" or "-" (then without that
  // character). The first argument that is not a flag becomes m_strFileName.
  virtual void ParseParam(const std::u16string& param, bool flag, bool last);
  std::u16string m_strFileName;
};

class CWinApp {
 public:
  explicit CWinApp(const char16_t* appName = nullptr);
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  // Start-up. Return false to end the program without a message loop.
  virtual bool InitInstance();

  void ParseCommandLine(CCommandLineInfo& info);
  // Names the registry key of the application's own settings (stored, never used here).
  void SetRegistryKey(const std::u16string& key);
  const std::u16string& GetRegistryKey() const { return m_registryKey; }
  // An icon resource of the executable, shared (never destroyed by its users).
  IconHandle LoadIcon(unsigned id) const;

  CWnd* m_pMainWnd = nullptr;
  // The program's arguments, without the program name; set by the entry point.
  std::vector<std::u16string> m_arguments;
  // The whole command line as typed, where the system keeps one (Windows); else empty.
  std::u16string m_commandLine;
  // What AfxWinMain returns as the program's exit status; 0 unless the program sets another.
  int m_nExitCode = 0;

 private:
  std::u16string m_registryKey;
};

// The one application object.
CWinApp* AfxGetApp();

// Runs the application object with these arguments (without the program name): InitInstance,
// then nothing else, as InitInstance never asks for a message loop. Returns the exit code.
int AfxWinMain(std::vector<std::u16string> arguments, std::u16string commandLine = {});

// Writes text to the program's standard output (or standard error): as text to a console, as
// UTF-8 to a file or pipe (with CRLF line ends on Win32), flushed. False when the program has no
// such handle (a Win32 GUI program started without one) or the write failed; why, when given,
// then holds the system's words for the failure, or nothing when there is no handle.
bool AfxWriteStandardStream(const std::u16string& text, bool standardError = false,
                            std::u16string* why = nullptr);

// Whether the program is a console program, whose caller reads its standard handles and waits
// for its status (Configurator.com, the POSIX program), rather than a GUI program.
bool AfxIsConsoleProgram();

// Registers the common control classes (structure size and class set); the result is
// whether the layer accepted it.
bool AfxInitCommonControlsEx(std::uint32_t structSize, std::uint32_t classes);
