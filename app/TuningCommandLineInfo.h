#pragma once
// CTuningCommandLineInfo: the program's command line with the scripting switches. Besides the
// framework's hand-off argument (the first argument that is no switch) it takes, in any case and
// with "/" or "-": query, set:NAME=VALUE (repeatable), export:FILE, import:FILE, norefresh and
// "?" (help). Other switches are ignored, as before.
#include <string>
#include <vector>

#include "app/TuningCommands.h"
#include "framework/WinApp.h"

class CTuningCommandLineInfo : public CCommandLineInfo {
 public:
  void ParseParam(const std::u16string& param, bool flag, bool last) override;

  // Whether the program runs the scripting actions (or the help) instead of the dialogs.
  bool Scripted() const { return m_commands.Any() || m_help || !m_errors.empty(); }
  // Runs them and returns the exit status. Output and messages go to the standard handles;
  // without a console the help shows in a message box.
  int Run() const;

  TuningCommands m_commands;
  bool m_help = false;
  std::vector<std::u16string> m_errors;  // switches of ours that are badly formed
};
