#pragma once
// The test "user" on the Win32 layer: it starts the program under test as its own process and
// drives that process's real windows from outside, as a person would, through window messages.
//
// Dialogs and message boxes are the process's top-level windows of class "#32770", found by
// caption. Reads use messages the system carries across processes (WM_GETTEXT, CB_GETLBTEXT,
// BM_GETCHECK, ...). An action is sent without waiting for its handler: the call returns once
// the handler has run, or once the handler has opened a nested modal window (which disables the
// current one), so a click that opens a dialog never blocks the test. Every wait gives up after
// a few seconds.
#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/User.h"

class Win32User final : public User {
 public:
  // Starts the program (a path) with this command-line tail (may be empty).
  Win32User(const std::wstring& program, const std::wstring& arguments,
            std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // The same, with these "NAME=value" settings added to (or replacing those in) the environment
  // that the program inherits, e.g. WINEDEBUG for a trace of the program under Wine.
  Win32User(const std::wstring& program, const std::wstring& arguments,
            const std::vector<std::wstring>& environment,
            std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // Ends the program if it is still running.
  ~Win32User() override;
  Win32User(const Win32User&) = delete;
  Win32User& operator=(const Win32User&) = delete;

  bool Started() const { return m_process != nullptr; }
  DWORD ProcessId() const { return m_processId; }
  // The current dialog's window (null before the first WaitForDialog).
  HWND Current() const { return m_current; }
  // Saves a picture of the current dialog as the artefact <name>.bmp (see Screenshot.h).
  bool Screenshot(const std::wstring& name);

  bool WaitForDialog(const std::u16string& caption) override;
  bool WaitForClose(const std::u16string& caption) override;
  int WaitForExit() override;

  std::u16string Caption() override;
  std::u16string Text(int id) override;
  std::u16string MessageText() override;
  bool Exists(int id) override;
  bool IsEnabled(int id) override;
  bool HasFocus(int id) override;
  int Selection(int id) override;
  std::vector<std::u16string> Entries(int id) override;
  bool IsChecked(int id) override;
  std::vector<std::u16string> Texts() override;

  bool Select(int id, int index) override;
  bool Click(int id) override;
  bool SysCommand(unsigned id) override;
  bool PressEnter() override;
  bool PressEscape() override;

 private:
  // The process's visible dialog windows with this caption.
  std::vector<HWND> Dialogs(const std::u16string& caption) const;
  // The current dialog while it can take input: still open, visible and not disabled by a
  // nested modal window.
  bool CurrentIsActive() const;
  // A visible control of the current dialog, or null.
  HWND Control(int id) const;
  // A control a person could operate: visible and enabled, on the active dialog.
  HWND Operable(int id) const;
  // Sends a message carrying no pointers and waits for its handler as described above.
  bool Deliver(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // Sends a message to read a result; false when the window does not answer in time.
  bool Query(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) const;
  std::u16string WindowText(HWND window) const;

  std::chrono::milliseconds m_timeout;
  HANDLE m_process = nullptr;
  DWORD m_mainThreadId = 0;
  DWORD m_processId = 0;
  HWND m_current = nullptr;
};

// The full path of a program built beside the test executable.
std::wstring ProgramBesideTests(const std::wstring& fileName);
