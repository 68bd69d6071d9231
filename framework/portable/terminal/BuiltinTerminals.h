#pragma once
// Terminal descriptions built into the program (BuiltinTerminals.ti), for a terminal whose own
// description cannot be found: no terminfo entry for $TERM, or no terminfo database at all, as
// on some live systems. curses reads descriptions only from files, so for the length of a
// BuiltinTerminfo they lie in a private temporary folder that TERMINFO names.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace portable::terminal {

// The compiled descriptions (generated at build time).
std::span<const std::uint8_t> LinuxConsoleDescription();
std::span<const std::uint8_t> VtDescription();

// The name of the built-in description for a terminal type: the Linux console's for "linux"
// and its variants ("linux-16color"), else VT100's and xterm's (also for no TERM at all).
const char* BuiltinTerminalName(std::string_view term);

class BuiltinTerminfo {
 public:
  // Writes both descriptions into a new folder of the user's alone, in $TMPDIR or /tmp, and
  // points TERMINFO at it.
  BuiltinTerminfo();
  // Removes the folder and puts TERMINFO back as it was.
  ~BuiltinTerminfo();
  BuiltinTerminfo(const BuiltinTerminfo&) = delete;
  BuiltinTerminfo& operator=(const BuiltinTerminfo&) = delete;

  // Empty when the descriptions are in place, else why not (the system's words).
  const std::string& Failure() const { return m_failure; }

 private:
  std::string m_folder;  // empty: none was made
  std::string m_failure;
  std::string m_oldTerminfo;
  bool m_hadTerminfo = false;
};

}  // namespace portable::terminal
