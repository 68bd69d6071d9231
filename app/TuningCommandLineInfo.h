#pragma once
// CTuningCommandLineInfo: the program's command line with the scripting switches. Besides the
// framework's hand-off argument (the first argument that is no switch) it takes, in any case and
// with "/" or "-": query, set:NAME=VALUE (repeatable), export:FILE, import:FILE, norefresh and
// "?" (help), reset[:NAME], list-adapters and adapter:N (app/Switches.h), and last, run: everything after it
// is the program to start and its arguments, as typed (app/GameLauncher.h). A console program refuses a
// switch it does not know; a GUI program ignores it and opens the dialogs, unless a scripting switch is given
// too.
#include <optional>
#include <string>
#include <vector>

#include "app/TuningCommands.h"
#include "framework/WinApp.h"

class CTuningCommandLineInfo : public CCommandLineInfo {
 public:
  // Reads the program's arguments (without its name). commandLine is the whole command line as
  // typed, from which run takes the program's; without it, the arguments after run are joined.
  void Parse(const std::vector<std::u16string>& arguments, bool consoleProgram,
             const std::u16string& commandLine = {});

  // Whether the program runs the scripting actions (or the help) instead of the dialogs.
  bool Scripted() const { return m_commands.Any() || m_help || m_run || m_listAdapters || !m_errors.empty(); }
  // Runs them and returns the exit status. Output and messages go to the standard handles;
  // without a console the help shows in a message box. Output that cannot be written is an
  // error (74).
  int Run() const;

  // At the start in every other mode: restores what a launcher that is gone left changed, and
  // tells of it (on the console, or in a message box where something is left for the user).
  void RestoreLeftRecord() const;

  TuningCommands m_commands;
  bool m_help = false;
  bool m_run = false;
  // The board's adapters in the registry: listed, or one of them chosen by its number.
  bool m_listAdapters = false;
  std::optional<int> m_adapter;
  std::u16string m_program;              // what run starts: the program and its arguments as typed
  std::vector<std::u16string> m_errors;  // switches that are badly formed or, refused, unknown
};
