#pragma once
// The test "user": what a person does with the program's dialogs, written once and carried out
// on either windowing layer. Natively it drives the portable model of the program running on
// its own thread; under Wine it drives the real windows of the program's own process through
// window messages. Scenarios (tests/scenarios/) take a User& and run unchanged on both.
//
// Control operations act on the dialog or message box last found by WaitForDialog. Every
// operation refuses (returns false / empty) what a person could not do: a missing, hidden or
// disabled control.
#include <string>
#include <vector>

class User {
 public:
  virtual ~User() = default;

  // Waits (a few seconds at most) until a dialog or message box with this caption is the
  // topmost modal window of the program, and makes it the current one.
  virtual bool WaitForDialog(const std::u16string& caption) = 0;
  // Waits until no window with this caption is open.
  virtual bool WaitForClose(const std::u16string& caption) = 0;
  // Waits until the program has ended; its exit code, or -1 on timeout.
  virtual int WaitForExit() = 0;

  virtual std::u16string Caption() = 0;      // of the current dialog
  virtual std::u16string Text(int id) = 0;   // window text of a control
  virtual std::u16string MessageText() = 0;  // a message box's text (its static 0xFFFF)
  virtual bool Exists(int id) = 0;
  virtual bool IsEnabled(int id) = 0;
  virtual bool HasFocus(int id) = 0;
  virtual int Selection(int id) = 0;                        // combo box position, -1 for none
  virtual std::vector<std::u16string> Entries(int id) = 0;  // combo box entries as displayed
  virtual bool IsChecked(int id) = 0;
  // Window texts of the current dialog's visible controls in template order, those without an
  // id of their own included (e.g. the About box's lines).
  virtual std::vector<std::u16string> Texts() = 0;

  virtual bool Select(int id, int index) = 0;  // picks an entry from a combo box's list
  virtual bool Click(int id) = 0;              // a button (a check box toggles)
  virtual bool SysCommand(unsigned id) = 0;    // a system-menu command
  virtual bool PressEnter() = 0;
  virtual bool PressEscape() = 0;
};
