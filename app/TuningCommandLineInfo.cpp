#include "app/TuningCommandLineInfo.h"

#include <algorithm>
#include <string_view>

#include "app/AdapterDiscovery.h"
#include "app/ExitStatus.h"
#include "app/GameLauncher.h"
#include "app/RegistryAdapters.h"
#include "app/Switches.h"
#include "app/TuningOutput.h"
#include "app/WindowsCommandLine.h"
#include "base/Text.h"
#include "framework/Wnd.h"

namespace {

constexpr char16_t kProgram[] = u"Configurator";

// Each line of a message with the program's name, for standard error.
std::u16string Prefixed(std::u16string_view text) {
  std::u16string prefixed;
  for (std::u16string_view rest = text; !rest.empty();) {
    const std::size_t end = rest.find(u'\n');
    prefixed += std::u16string(kProgram) + u": " + std::u16string(rest.substr(0, end)) + u"\n";
    rest.remove_prefix(end == std::u16string_view::npos ? rest.size() : end + 1);
  }
  return prefixed;
}

// Messages for standard error. A standard error that cannot be written cannot be told about.
void WriteMessages(const std::u16string& text) { AfxWriteStandardStream(Prefixed(text), true); }

// Output that was lost fails the run (74), unless it failed for another reason already.
int OutputLost(const std::u16string& why, int status) {
  WriteMessages(u"cannot write the output: " + why);
  return status != sysexits::kOk ? status : sysexits::kIoError;
}

const char16_t kUsage[] =
    u"Usage: Configurator [SWITCH]... [HAND-OFF]\n"
    u"Tune the display driver of a QEL 700 board. Without a switch below, the dialogs open.\n"
    u"HAND-OFF names the adapter as DEVICE&&&DEVICE-KEY; without it the display devices are\n"
    u"probed for the board's driver. The scripting switches take no DEVICE-KEY but an adapter's:\n"
    u"...\\Control\\Video\\{GUID}\\NNNN, or Windows 2000's ...\\Services\\<service>\\DeviceN.\n"
    u"  /?   this help\n"
    u"  /list-adapters\n"
    u"       list the display adapters in the registry, numbering the board's (chip type QEL 700)\n"
    u"  /adapter:N\n"
    u"       the scripting switches work on the Nth of them. When no display device answers as\n"
    u"       the board's (Safe Mode, where its driver is not loaded), they take the board's one\n"
    u"       adapter in the registry without it, and need it when there are several.\n"
    u"Switches are /NAME or -NAME, in any case. Configurator.com refuses others (64), and so\n"
    u"does Configurator.exe with a scripting switch; alone, it ignores them.\n"
    u"Exit status: 0 done, 64 bad switch, 65 bad file, 66 missing file, 69 no adapter, 73 export\n"
    u"not written, 74 a value that did not stick or output lost, 75 another /run is running,\n"
    u"77 write access refused. With /run, once the program has started: the program's own.\n"
    u"\n";

const char16_t kRunHelp[] =
    u"Per-game tuning:\n"
    u"  /run PROGRAM [ARGUMENT]...\n"
    u"      last on the line, after any /import:FILE and /set:NAME=VALUE: apply them, start\n"
    u"      PROGRAM in its own folder with its arguments exactly as typed, wait until it and\n"
    u"      every program it started have ended, then put back exactly the values it changed (a\n"
    u"      setting changed meanwhile is kept and named). The status is the program's own; 64 to\n"
    u"      77 only when it never started (75: another /run is running). A restore that fails is\n"
    u"      told, and is 74 if the program's status was 0.\n"
    u"      A PROGRAM named without a folder is looked for in the system folder, the Windows\n"
    u"      folder and PATH, never in the current folder (.\\game.exe names one there).\n"
    u"      While it runs, %APPDATA%\\Configurator\\restore-record.txt holds the old values; if\n"
    u"      the run is cut short (killed, power lost, logged off), the next start of Configurator,\n"
    u"      whatever it is asked, puts them back first. Any program of yours can write that file,\n"
    u"      so a record is put back only when it names nothing but the board's tuning values of\n"
    u"      one of its adapters, as the settings store them, and is not a link; otherwise nothing\n"
    u"      of it is, and it is kept and the line that is wrong told. A shortcut's target, e.g.:\n"
    u"      Configurator.exe /import:ut.reg /run \"C:\\Games\\UT\\System\\UnrealTournament.exe\"\n"
    u"\n"
    u"Undo a change: in Safe Mode (the board's driver not loaded), from an administrator's\n"
    u"command prompt, put the driver's own defaults back for one setting or for all:\n"
    u"  Configurator /reset:LODBias\n"
    u"  Configurator /reset\n";

// Whether an argument is the run switch, with or without a value.
bool IsRun(const std::u16string& argument, bool* withValue) {
  if (argument.size() < 4 || (argument[0] != u'/' && argument[0] != u'-')) return false;
  const std::u16string_view name = std::u16string_view(argument).substr(1, 3);
  if (!base::NamesEqual(name, u"run")) return false;
  *withValue = argument.size() > 4;
  return argument.size() == 4 || argument[4] == u':';
}

// The arguments after run, quoted again, for a caller that has no command line as typed.
std::u16string Joined(const std::vector<std::u16string>& arguments, std::size_t first) {
  std::u16string line;
  for (std::size_t i = first; i < arguments.size(); ++i) {
    const std::u16string& argument = arguments[i];
    const bool quote = argument.empty() || argument.find_first_of(u" \t") != std::u16string::npos;
    line += (line.empty() ? u"" : u" ") + (quote ? u"\"" + argument + u"\"" : argument);
  }
  return line;
}

// Messages of the launcher: to standard error where there is one, else (the GUI program) in a
// message box each for those that ask for one.
void Tell(const std::vector<LauncherMessage>& messages) {
  for (const LauncherMessage& message : messages) {
    std::u16string why;
    if (!AfxWriteStandardStream(Prefixed(message.text), true, &why) && why.empty() && message.box)
      ShowMessageBox(nullptr, message.text, kProgram, MB_OK);
  }
}

}  // namespace

void CTuningCommandLineInfo::Parse(const std::vector<std::u16string>& all, bool consoleProgram,
                                   const std::u16string& commandLine) {
  // Everything after run belongs to the program it starts.
  std::vector<std::u16string> arguments = all;
  for (std::size_t i = 0; i < all.size(); ++i) {
    bool withValue = false;
    if (!IsRun(all[i], &withValue)) continue;
    arguments.resize(i);
    m_run = true;
    if (withValue)
      m_errors.push_back(u"'" + all[i] + u"': " + all[i].substr(0, 4) +
                         u" takes no value: the program to start and its arguments follow it");
    else
      m_program = commandLine.empty() ? Joined(all, i + 1) : CommandLineAfter(commandLine, i);
    if (!withValue && m_program.empty())
      m_errors.push_back(u"'" + all[i] + u"': expected the program to start and its arguments after it");
    break;
  }
  const ParsedSwitches parsed = ParseWindowsSwitches(arguments);
  for (const GivenSwitch& given : parsed.given) {
    switch (given.id) {
      case SwitchId::kQuery:
        m_commands.query = true;
        break;
      case SwitchId::kSet:
        m_commands.sets.push_back(given.value);
        break;
      case SwitchId::kReset:
        m_commands.resets.push_back(given.value);
        break;
      case SwitchId::kExport:
        m_commands.exportPath = given.value;
        break;
      case SwitchId::kImport:
        m_commands.importPath = given.value;
        break;
      case SwitchId::kNoRefresh:
        m_commands.noRefresh = true;
        break;
      case SwitchId::kHelp:
        m_help = true;
        break;
      case SwitchId::kListAdapters:
        m_listAdapters = true;
        break;
      case SwitchId::kAdapter: {
        const std::optional<int> number = base::NumberFromOne(given.value, 9999);
        if (!number)
          m_errors.push_back(u"'/adapter:" + given.value +
                             u"': expected a number N from 1 (/list-adapters numbers them)");
        else
          m_adapter = number;
        break;
      }
      default:  // the POSIX program's own
        break;
    }
  }
  // A script's typing mistake must not open the dialogs and wait for a person. Started alone,
  // the GUI program keeps its old way: a switch it does not know is ignored.
  const bool badlyFormed = std::any_of(parsed.problems.begin(), parsed.problems.end(),
                                       [](const SwitchProblem& problem) { return !problem.unknown; });
  const bool refuseUnknown = consoleProgram || parsed.Scripting() || m_run || m_listAdapters || badlyFormed;
  for (const SwitchProblem& problem : parsed.problems)
    if (!problem.unknown || refuseUnknown) m_errors.push_back(problem.message);
  if (!parsed.operands.empty()) m_strFileName = parsed.operands.front();
}

int CTuningCommandLineInfo::Run() const {
  std::u16string why;
  if (!m_errors.empty()) {
    std::u16string messages;
    for (const std::u16string& error : m_errors) messages += error + u"\n";
    WriteMessages(messages + u"Try 'Configurator /?' for more information.");
    return sysexits::kUsage;
  }
  if (m_help) {
    const std::u16string help = kUsage + TuningCommandsHelp(true) + kRunHelp;
    if (AfxWriteStandardStream(help, false, &why)) return sysexits::kOk;
    if (!why.empty()) return OutputLost(why, sysexits::kOk);
    // No standard output: a GUI program started without one.
    ShowMessageBox(nullptr, help, kProgram, MB_OK);
    return sysexits::kOk;
  }
  if (m_listAdapters) {
    if (AfxWriteStandardStream(RegistryAdaptersText(FindRegistryAdapters(CurrentControlSetName())), false,
                               &why) ||
        why.empty())
      return sysexits::kOk;
    return OutputLost(why, sysexits::kOk);
  }
  // The adapter of the hand-off argument, the one discovery finds (without its message box), or,
  // when no display device answers (Safe Mode), the board's adapter in the registry.
  std::u16string handOff = m_strFileName;
  if (m_adapter && !handOff.empty()) {
    WriteMessages(u"/adapter:N and a HAND-OFF both name the adapter; give one");
    return sysexits::kUsage;
  }
  if (handOff.empty() && !m_adapter) DiscoverAdapter(g_adapterTable, handOff, false);
  if (handOff.empty()) {
    const RegistryAdapters found = FindRegistryAdapters(CurrentControlSetName());
    if (const Outcome chosen = ChooseRegistryAdapter(found, m_adapter, &handOff); chosen.Failed()) {
      WriteMessages(chosen.why);
      return chosen.status;
    }
  }
  if (m_run) {
    const LauncherResult launched = RunGame(m_commands, handOff, m_program);
    const bool lost =
        !launched.output.empty() && !AfxWriteStandardStream(launched.output, false, &why) && !why.empty();
    Tell(launched.messages);
    // Once the program has run, its status is the run's.
    return lost && !launched.started ? OutputLost(why, launched.status) : launched.status;
  }
  const TuningCommandsResult result = RunTuningCommands(m_commands, handOff);
  // A GUI program started without a standard output has nowhere to put it: that is no failure.
  const bool lost =
      !result.output.empty() && !AfxWriteStandardStream(result.output, false, &why) && !why.empty();
  if (!result.messages.empty()) WriteMessages(result.messages);
  return lost ? OutputLost(why, result.status) : result.status;
}

void CTuningCommandLineInfo::RestoreLeftRecord() const {
  std::vector<LauncherMessage> messages;
  if (::RestoreLeftRecord(&messages) == LeftRecord::kHeld && AfxIsConsoleProgram())
    messages.push_back({u"a /run is running: its restore record is left to it"});
  Tell(messages);
}
