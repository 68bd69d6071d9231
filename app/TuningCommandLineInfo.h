#pragma once
// CTuningCommandLineInfo: the program's command line with the scripting switches. Besides the
// framework's hand-off argument (the first argument that is no switch) it takes, in any case and
// with "/" or "-": query, set:NAME=VALUE (repeatable), export:FILE, import:FILE, norefresh and
// "?" (help) (app/Switches.h). A console program refuses a switch it does not know; a GUI
// program ignores it and opens the dialogs, unless a scripting switch is given too.
#include <string>
#include <vector>

#include "app/TuningCommands.h"
#include "framework/WinApp.h"

class CTuningCommandLineInfo : public CCommandLineInfo {
 public:
  // Reads the program's arguments (without its name).
  void Parse(const std::vector<std::u16string>& arguments, bool consoleProgram);

  // Whether the program runs the scripting actions (or the help) instead of the dialogs.
  bool Scripted() const { return m_commands.Any() || m_help || !m_errors.empty(); }
  // Runs them and returns the exit status. Output and messages go to the standard handles;
  // without a console the help shows in a message box. Output that cannot be written is an
  // error (74).
  int Run() const;

  TuningCommands m_commands;
  bool m_help = false;
  std::vector<std::u16string> m_errors;  // switches that are badly formed or, refused, unknown
};
