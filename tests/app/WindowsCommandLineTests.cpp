// Splitting a Windows command line as typed: what follows an argument, with the quoting rules
// of the Windows programs' start-up.
#include <gtest/gtest.h>

#include "app/WindowsCommandLine.h"
#include "base/Text.h"

namespace {

TEST(WindowsCommandLine, WhatFollowsAnArgumentIsKeptAsTyped) {
  struct Row {
    std::u16string_view line;
    std::size_t argument;
    std::u16string_view after;
  };
  const Row rows[] = {
      {u"Configurator.exe /run game.exe -x", 0, u"game.exe -x"},
      {u"\"C:\\Program Files\\Configurator.exe\"  /import:ut.reg   /run \t\"C:\\G\\UT.exe\"  -nohomedir  "
       u"a\"b",
       1, u"\"C:\\G\\UT.exe\"  -nohomedir  a\"b"},
      // The program's name ends at its closing quote, whatever white space is inside.
      {u"\"C:\\My Tools\\c.exe\" /run g", 0, u"g"},
      // Quotes and backslashes before it: white space inside quotes belongs to the argument.
      {u"c.exe \"/set:VSync=Vsync Off\" /run g", 1, u"g"},
      {u"c.exe \"a \\\" /run b\" /run g", 1, u"g"},
      {u"c.exe \"a \"\" /run b\" /run g", 1, u"g"},
      {u"c.exe a\\\\\" b\" /run g", 1, u"g"},
      // Backslashes not before a quote are plain characters.
      {u"c.exe a\\b /run g", 1, u"g"},
      {u"c.exe /run   ", 0, u""},
      {u"c.exe /run", 0, u""},
      {u"c.exe a b", 5, u""},
      {u"", 0, u""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(base::Utf8FromUtf16(row.line));
    EXPECT_EQ(CommandLineAfter(row.line, row.argument), row.after);
  }
}

}  // namespace
