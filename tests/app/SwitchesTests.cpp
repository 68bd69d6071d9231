// The one parser of both switch styles, and what the Windows programs make of it: unknown
// switches refused by a console program and by a GUI program asked to script, ignored by a GUI
// program started alone; messages that name the argument as typed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Switches.h"
#include "app/TuningCommandLineInfo.h"
#include "base/Text.h"

namespace {

using Arguments = std::vector<std::u16string>;

// What a parse gave, in one comparable line: "query set=A=1 | op:x | !unknown switch '/q'".
std::string Summary(const ParsedSwitches& parsed) {
  static const char* const kNames[] = {
      "query",   "set",           "export",       "import",         "reset",      "norefresh",
      "help",    "version",       "hive",         "board",          "backup-dir", "keep-backups",
      "adapter", "list-adapters", "list-backups", "restore-backup", "check-hive"};
  std::string line;
  auto add = [&line](const std::string& part) { line += (line.empty() ? "" : " ") + part; };
  for (const GivenSwitch& given : parsed.given)
    add(std::string(kNames[static_cast<int>(given.id)]) +
        (given.value.empty() ? "" : "=" + base::Utf8FromUtf16(given.value)));
  for (const std::u16string& operand : parsed.operands) add("op:" + base::Utf8FromUtf16(operand));
  for (const SwitchProblem& problem : parsed.problems)
    add((problem.unknown ? "?" : "!") + base::Utf8FromUtf16(problem.message));
  return line;
}

struct Case {
  Arguments arguments;
  std::string expected;
};

TEST(Switches, WindowsStyle) {
  const Case cases[] = {
      {{u"/query", u"-QUERY", u"/NoRefresh", u"/?", u"-?"}, "query query norefresh help help"},
      {{u"/set:LODBias=0.50", u"-SET:vsync=Vsync Off", u"/set:A=B=C"},
       "set=LODBias=0.50 set=vsync=Vsync Off set=A=B=C"},
      {{u"/export:C:\\x.reg", u"/import:-"}, "export=C:\\x.reg import=-"},
      {{u"\\\\.\\DISPLAY1&&&key", u"second"}, "op:\\\\.\\DISPLAY1&&&key op:second"},
      // Every argument starting with "/" or "-" is a switch: the POSIX spellings are unknown here.
      {{u"/list-adapters", u"/ADAPTER:2"}, "list-adapters adapter=2"},
      {{u"/qeury", u"--query", u"/", u"-", u"/hive:x", u"/version"},
       "?unknown switch '/qeury' ?unknown switch '--query' ?unknown switch '/' ?unknown switch '-' "
       "?unknown switch '/hive:x' ?unknown switch '/version'"},
      // Known switches badly written: the argument as typed, quoted, so no colon reads doubled.
      {{u"/set", u"/set:", u"/set::", u"/set:=", u"/set:=1", u"/set:LODBias", u"-SET:"},
       "!'/set': expected /set:NAME=VALUE !'/set:': expected /set:NAME=VALUE "
       "!'/set::': expected /set:NAME=VALUE !'/set:=': expected /set:NAME=VALUE "
       "!'/set:=1': expected /set:NAME=VALUE !'/set:LODBias': expected /set:NAME=VALUE "
       "!'-SET:': expected -set:NAME=VALUE"},
      // A reset names a setting, or every setting when it names none.
      {{u"/reset", u"/RESET:LODBias", u"-reset:", u"/reset:vsync"},
       "reset reset=LODBias reset=vsync !'-reset:': expected -reset:NAME"},
      {{u"/export:", u"-import", u"/Query:yes"},
       "!'/export:': expected /export:FILE !'-import': expected -import:FILE !'/Query:yes': /query takes no "
       "value"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(Summary(ParseWindowsSwitches(c.arguments)), c.expected);
  }
}

TEST(Switches, PosixStyle) {
  const std::initializer_list<SwitchId> program = {
      SwitchId::kVersion,     SwitchId::kHive,    SwitchId::kBoard,       SwitchId::kBackupDir,
      SwitchId::kKeepBackups, SwitchId::kAdapter, SwitchId::kListAdapters};
  const Case cases[] = {
      {{u"--query", u"--no-refresh", u"-h", u"--help", u"--version", u"--list-adapters"},
       "query norefresh help help version list-adapters"},
      // A value after "=" or as the next argument, which may begin with "-".
      {{u"--set", u"LODBias=0.50", u"--set=VSync=Vsync Off", u"--hive", u"--odd", u"--adapter=2"},
       "set=LODBias=0.50 set=VSync=Vsync Off hive=--odd adapter=2"},
      {{u"--export", u"a.reg", u"--import=b.reg", u"--board", u"b", u"--backup-dir=d", u"--keep-backups",
        u"3"},
       "export=a.reg import=b.reg board=b backup-dir=d keep-backups=3"},
      // A reset takes the next argument as the setting, unless it is an option or a hand-off.
      {{u"--reset", u"LODBias", u"--reset", u"--query", u"--reset=VSync", u"--reset", u"\\\\.\\DISPLAY1&&&k",
        u"--reset"},
       "reset=LODBias reset query reset=VSync reset reset op:\\\\.\\DISPLAY1&&&k"},
      // Operands; "--" ends the options and "-" alone is an operand.
      {{u"/query", u"-", u"--", u"--query"}, "op:/query op:- op:--query"},
      {{u"--qeury", u"-x", u"--frobnicate=1", u"--QUERY", u"-query"},
       "?unknown option --qeury ?unknown option -x ?unknown option --frobnicate=1 ?unknown option --QUERY "
       "?unknown option -query"},
      {{u"--query=1", u"--set=", u"--hive=", u"--set"},
       "!option --query takes no value !option --set needs NAME=VALUE !option --hive needs a PATH "
       "!option --set needs NAME=VALUE"},
      {{u"--set", u":"}, "!option --set needs NAME=VALUE, not ':'"},
      {{u"--set", u"=1", u"--adapter"},
       "!option --set needs NAME=VALUE, not '=1' !option --adapter needs a number N from 1 (the list of "
       "adapters numbers them)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(Summary(ParsePosixSwitches(c.arguments, program)), c.expected);
  }
  // A program takes only the switches it names besides the common ones.
  EXPECT_EQ(Summary(ParsePosixSwitches({u"--hive", u"x", u"--query"}, {})),
            "query op:x ?unknown option --hive");
}

TEST(Switches, WhereEachValueWasRead) {
  const ParsedSwitches parsed =
      ParsePosixSwitches({u"--hive", u"a", u"--board=b", u"/x"}, {SwitchId::kHive, SwitchId::kBoard});
  ASSERT_EQ(parsed.given.size(), 2u);
  EXPECT_EQ(parsed.given[0].argument, 1u);
  EXPECT_FALSE(parsed.given[0].attached);
  EXPECT_EQ(parsed.given[1].argument, 2u);
  EXPECT_TRUE(parsed.given[1].attached);
}

TEST(TuningCommandLine, UnknownSwitchesRefusedByTheConsoleAndWhenScripting) {
  struct Row {
    Arguments arguments;
    bool console;
    bool scripted;
    std::vector<std::u16string> errors;
  };
  const Row rows[] = {
      // The GUI program started alone keeps its way: the dialogs open.
      {{u"/bogus"}, false, false, {}},
      {{u"/bogus", u"/norefresh", u"hand-off"}, false, false, {}},
      {{u"/bogus"}, true, true, {u"unknown switch '/bogus'"}},
      {{u"--query"}, true, true, {u"unknown switch '--query'"}},
      {{u"/query", u"/qeury"}, false, true, {u"unknown switch '/qeury'"}},
      {{u"/bogus", u"/?"}, false, true, {u"unknown switch '/bogus'"}},
      // A switch of ours badly written is an error either way, and then so is the unknown one.
      {{u"/x", u"/set:"}, false, true, {u"unknown switch '/x'", u"'/set:': expected /set:NAME=VALUE"}},
  };
  for (const Row& row : rows) {
    CTuningCommandLineInfo info;
    info.Parse(row.arguments, row.console);
    SCOPED_TRACE(base::Utf8FromUtf16(row.arguments.front()) + (row.console ? " console" : " gui"));
    EXPECT_EQ(info.Scripted(), row.scripted);
    EXPECT_EQ(info.m_errors, row.errors);
  }
  CTuningCommandLineInfo info;
  info.Parse({u"/set:LODBias=0.50", u"hand-off", u"/SET:DDIVersion=8", u"/export:x.reg", u"/norefresh"},
             true);
  EXPECT_EQ(info.m_commands.sets, (std::vector<std::u16string>{u"LODBias=0.50", u"DDIVersion=8"}));
  EXPECT_EQ(info.m_commands.exportPath, u"x.reg");
  EXPECT_TRUE(info.m_commands.noRefresh);
  EXPECT_EQ(info.m_strFileName, u"hand-off");
}

}  // namespace
