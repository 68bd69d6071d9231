// What a live system without a terminfo entry for $TERM, or without a UTF-8 locale, gets: the
// built-in descriptions, which curses must load, and frames and lists drawn in plain ASCII.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "framework/portable/terminal/BuiltinTerminals.h"
#include "framework/portable/terminal/Canvas.h"
#include "framework/portable/terminal/Text.h"

// Last: curses defines macros with common names.
#include <curses.h>
#include <term.h>

namespace {

using namespace portable::terminal;

TEST(BuiltinTerminals, AreChosenByTheKindOfTerminal) {
  const struct {
    const char* term;
    const char* builtin;
  } cases[] = {
      {"linux", "configurator-linux"},
      {"linux-16color", "configurator-linux"},
      {"linuxish", "configurator-vt100"},
      {"xterm-256color", "configurator-vt100"},
      {"vt220", "configurator-vt100"},
      {"", "configurator-vt100"},
      {"no-such-terminal", "configurator-vt100"},
  };
  for (const auto& c : cases) EXPECT_STREQ(BuiltinTerminalName(c.term), c.builtin) << c.term;
}

// Each description loads into curses and says what drawing and reading keys need; the folder
// goes again and TERMINFO is what it was.
TEST(BuiltinTerminals, LoadIntoCursesForTheirTime) {
  setenv("TERMINFO", "/nonexistent/terminfo-before", 1);
  std::string folder;
  {
    const BuiltinTerminfo builtin;
    ASSERT_EQ(builtin.Failure(), "");
    folder = std::getenv("TERMINFO");
    ASSERT_NE(folder, "/nonexistent/terminfo-before");
    const int fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
    for (const char* name : {"configurator-linux", "configurator-vt100"}) {
      int error = 0;
      ASSERT_EQ(setupterm(const_cast<char*>(name), fd, &error), OK) << name << ": " << error;
      for (const char* capability :
           {"cup", "clear", "el", "bold", "rev", "sgr0", "civis", "cnorm", "kcuu1", "kcud1", "kf10"}) {
        const char* value = tigetstr(const_cast<char*>(capability));
        EXPECT_TRUE(value != nullptr && value != reinterpret_cast<char*>(-1)) << name << " " << capability;
      }
      EXPECT_EQ(tigetnum(const_cast<char*>("cols")), 80) << name;
      del_curterm(cur_term);
    }
    close(fd);
  }
  EXPECT_STREQ(std::getenv("TERMINFO"), "/nonexistent/terminfo-before");
  EXPECT_NE(access(folder.c_str(), F_OK), 0) << folder << " is left behind";
  unsetenv("TERMINFO");
}

TEST(PlainCharacter, DrawsFramesAndMarksInAscii) {
  const struct {
    char32_t drawn;
    char32_t plain;
  } cases[] = {
      {kHorizontal, U'-'}, {kDoubleHorizontal, U'='}, {kVertical, U'|'},      {kDoubleVertical, U'|'},
      {kTopLeft, U'+'},    {kBottomRight, U'+'},      {kDoubleTopLeft, U'+'}, {kDoubleBottomRight, U'+'},
      {kLeftTee, U'+'},    {kRightTee, U'+'},         {kEllipsis, U'~'},      {U'A', U'A'},
      {U'~', U'~'},        {U'\u00E9', U'?'},         {U'\u2192', U'?'},      {U'\U0001F600', U'?'},
  };
  for (const auto& c : cases)
    EXPECT_EQ(PlainCharacter(c.drawn), c.plain) << "U+" << std::hex << static_cast<unsigned>(c.drawn);
}

}  // namespace
