// configurator: the program on POSIX systems. Its registry is a Windows SYSTEM hive file (a demo
// hive made on first use unless --hive names one), its display devices and driver are the
// simulated board, and its dialogs are drawn in the terminal.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Version.h"
#include "app/Switches.h"
#include "base/Service.h"
#include "base/Text.h"
#include "framework/WinApp.h"
#include "framework/portable/Model.h"
#include "framework/portable/terminal/KeyHelp.h"
#include "framework/portable/terminal/TerminalFrontEnd.h"
#include "framework/portable/terminal/Text.h"
#include "hive/posix/Hive.h"
#include "mainwnd/HardwareInformation.h"
#include "platform/DisplayDevices.h"
#include "platform/DisplayMode.h"
#include "platform/Registry.h"
#include "platform/posix/DemoHive.h"
#include "platform/posix/HiveStore.h"
#include "platform/posix/SimulatedBoard.h"
#include "programs/posix/BackupCommands.h"
#include "programs/posix/CheckHiveCommand.h"
#include "programs/posix/HiveAdapters.h"
#include "programs/posix/ScriptCommands.h"
#include "settings/SettingsKey.h"

namespace {

using base::Failure;
using base::HiveProblem;
using base::Utf16FromUtf8;
using base::Utf8FromUtf16;

constexpr char kVersion[] = CONFIGURATOR_VERSION_TEXT;

const char kUsage[] =
    "Usage: configurator [OPTION]... [HAND-OFF]\n"
    "Tune the display driver of a QEL 700 board, kept in a Windows SYSTEM registry hive.\n"
    "\n"
    "The adapter to configure is found among the display devices of the board file, or, without\n"
    "one, among the hive's display adapters: those whose chip type is the board's. When there are\n"
    "several, the dialogs open the first and --adapter N picks another; the scripting actions\n"
    "need --adapter N. HAND-OFF names the adapter instead, as DEVICE&&&DEVICE-KEY, for example\n"
    "  '\\\\.\\DISPLAY1&&&\\Registry\\Machine\\System\\ControlSet001\\Control\\Video\\{GUID}\\0000'\n"
    "(quote it: it holds backslashes and '&'; --list-adapters prints it for every adapter). The\n"
    "scripting actions take no DEVICE-KEY but an adapter's key: ...\\Control\\Video\\{GUID}\\NNNN\n"
    "or Windows 2000's ...\\Services\\<service>\\DeviceN.\n"
    "\n"
    "  --hive PATH       the SYSTEM hive to edit, e.g. Windows/System32/config/SYSTEM of an\n"
    "                    installation that is not running. Default: the demo hive in the data\n"
    "                    folder, $XDG_DATA_HOME/configurator (~/.local/share/configurator),\n"
    "                    which is made with a demo board on first use.\n"
    "                    A hive that Windows left dirty is read as Windows would load it,\n"
    "                    replaying its transaction logs (SYSTEM.LOG1 and SYSTEM.LOG2, or\n"
    "                    SYSTEM.LOG) beside it; a save writes it clean and empties the logs.\n"
    "                    It is shown read-only, naming the file, when SYSTEM.LOG1 or\n"
    "                    SYSTEM.LOG2 is missing (copy it beside the hive), when a damaged\n"
    "                    log entry hides later ones, or when no log can recover it.\n"
    "                    Before its first save, a run backs the hive (and its logs) up;\n"
    "                    see --backup-dir.\n"
    "  --backup-dir DIR  where backups go. Default: for a hive named with --hive, the folder\n"
    "                    CFGBAK beside it (on the Windows disk, which survives the reboot\n"
    "                    of a live system), one folder per backup: CFGBAK/000003/SYSTEM;\n"
    "                    when the hive's folder cannot take them, and for the demo hive, the\n"
    "                    data folder's backups/, as DIR: DIR/SYSTEM-HASH/NUMBER-DATE-TIME/,\n"
    "                    with the hive file and its logs that were not empty. Without HOME\n"
    "                    and XDG_DATA_HOME, a run that may save there needs it.\n"
    "  --keep-backups N  per hive, keep the first backup and the newest N (1 to 9999;\n"
    "                    default 5); no backup is added when the hive is unchanged since\n"
    "                    the newest.\n"
    "  --list-backups    number every backup of the hive, oldest first (beside it and in the\n"
    "                    backup folder), with its date, files and sizes, and the copy lines\n"
    "                    that put one beside the hive back from Windows XP's Recovery Console\n"
    "  --restore-backup N  with Windows not running, put backup N back over the hive and its\n"
    "                    logs; the hive as it is is backed up first, so this can be undone\n"
    "  --board PATH      the simulated board's file (display devices and driver). Default: the\n"
    "                    data folder's \"board\" without --hive; with --hive, the hive's\n"
    "                    adapters whose chip type is the board's.\n"
    "  --adapter N       use the Nth of the board's adapters, as --list-adapters numbers them\n"
    "  --list-adapters   print every display adapter of the hive with its hardware information\n"
    "                    and a hand-off string for it, numbering the board's, then exit\n"
    "  --check-hive FILE  check the structure of the hive FILE, as a file system check does,\n"
    "                    then exit: every fault and warning with its offset in the file, and\n"
    "                    a summary. Nothing is written; a dirty hive is checked as its logs\n"
    "                    recover it, in memory. Warnings (cells that nothing uses, counts\n"
    "                    too high) are what Windows' own hives show.\n"
    "  --help            print this help and exit\n"
    "  --version         print the version and exit\n"
    "\n"
    "Rescue a bad value in the SYSTEM hive of a Windows installation that is not running:\n"
    "  configurator --hive /mnt/windows/Windows/System32/config/SYSTEM --set DDIVersion=9\n"
    "Undo a change: list the backups, then put the one from before it back:\n"
    "  configurator --hive /mnt/windows/Windows/System32/config/SYSTEM --list-backups\n"
    "  configurator --hive /mnt/windows/Windows/System32/config/SYSTEM --restore-backup 2\n"
    "\n"
    "The Windows program's switches (/query, /set:NAME=VALUE, ...) are taken too, one at a\n"
    "time in place of HAND-OFF; an unknown option or switch is refused.\n"
    "\n"
    "Exit status: 0 done; 64 bad command line (also: several of the board's adapters and no\n"
    "--adapter N for a scripting action; a setting given two values); 65 not a hive, a\n"
    "damaged hive or backup (also a fault that --check-hive found), or a bad board file or\n"
    "import file (also one past 16 MiB); 66 a file that is missing or cannot be read (also no\n"
    "backup N); 69 no terminal to show the dialogs in, or no adapter; 73 the data folder,\n"
    "backup folder or export file cannot be made, or there is none (neither HOME nor\n"
    "XDG_DATA_HOME, and no --backup-dir); 74 a save or a restore failed (a save's reason\n"
    "comes first; what it held was lost), a value did not read back as written, the export\n"
    "was not written whole, or standard output could not be written (what was printed is\n"
    "lost); 77 write access refused: a read-only hive (see above), file system, permission or\n"
    "attribute (chattr +a, +i).\n";

struct Options {
  std::optional<std::string> hive;
  std::optional<std::string> board;
  std::optional<std::string> backupDir;
  int keepBackups = hive::kDefaultKeptBackups;
  std::optional<std::string> handOff;
  std::optional<int> adapter;  // --adapter N
  bool listAdapters = false;
  bool listBackups = false;
  std::optional<int> restoreBackup;  // --restore-backup N
  std::optional<std::string> checkHive;
  TuningCommands commands;
  bool help = false;
  bool version = false;
};

int UsageError(const std::string& message) {
  std::fprintf(stderr, "configurator: %s\nTry 'configurator --help' for more information.\n",
               message.c_str());
  return sysexits::kUsage;
}

// Parses the command line; returns 0 or an exit code.
int ParseOptions(int argc, char** argv, Options* options) {
  std::vector<std::u16string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(Utf16FromUtf8(argv[i]));
  const ParsedSwitches parsed = ParsePosixSwitches(
      arguments, {SwitchId::kVersion, SwitchId::kHive, SwitchId::kBoard, SwitchId::kBackupDir,
                  SwitchId::kKeepBackups, SwitchId::kAdapter, SwitchId::kListAdapters, SwitchId::kListBackups,
                  SwitchId::kRestoreBackup, SwitchId::kCheckHive});
  if (!parsed.problems.empty()) return UsageError(Utf8FromUtf16(parsed.problems.front().message));
  for (const GivenSwitch& given : parsed.given) {
    // The argument's own bytes: a file name need not be UTF-8.
    std::string value = argv[given.argument + 1];
    if (given.attached) value = value.substr(value.find('=') + 1);
    switch (given.id) {
      case SwitchId::kQuery:
        options->commands.query = true;
        break;
      case SwitchId::kSet:
        options->commands.sets.push_back(given.value);
        break;
      case SwitchId::kReset:
        options->commands.resets.push_back(given.value);
        break;
      case SwitchId::kExport:
        options->commands.exportPath = given.value;
        break;
      case SwitchId::kImport:
        options->commands.importPath = given.value;
        break;
      case SwitchId::kNoRefresh:
        options->commands.noRefresh = true;
        break;
      case SwitchId::kHelp:
        options->help = true;
        break;
      case SwitchId::kVersion:
        options->version = true;
        break;
      case SwitchId::kHive:
        options->hive = value;
        break;
      case SwitchId::kBoard:
        options->board = value;
        break;
      case SwitchId::kBackupDir:
        options->backupDir = value;
        break;
      case SwitchId::kKeepBackups:
        if (const std::optional<int> number = base::NumberFromOne(given.value, hive::kMaxKeptBackups))
          options->keepBackups = *number;
        else
          return UsageError("option --keep-backups takes a number from 1 to " +
                            std::to_string(hive::kMaxKeptBackups) + ", not '" + value + "'");
        break;
      case SwitchId::kAdapter:
        if (const std::optional<int> number = base::NumberFromOne(given.value, 9999))
          options->adapter = *number;
        else
          return UsageError(
              "option --adapter needs a number N from 1 (--list-adapters numbers the adapters)");
        break;
      case SwitchId::kListAdapters:
        options->listAdapters = true;
        break;
      case SwitchId::kListBackups:
        options->listBackups = true;
        break;
      case SwitchId::kRestoreBackup:
        if (const std::optional<int> number = base::NumberFromOne(given.value, 9999))
          options->restoreBackup = *number;
        else
          return UsageError(
              "option --restore-backup needs a number N from 1 (--list-backups numbers the backups)");
        break;
      case SwitchId::kCheckHive:
        options->checkHive = value;
        break;
    }
  }
  if (options->checkHive && (parsed.given.size() > 1 || !parsed.operands.empty()))
    return UsageError("--check-hive FILE is given alone");
  const int alone = (options->listBackups ? 1 : 0) + (options->restoreBackup ? 1 : 0) +
                    (options->listAdapters || options->commands.Any() ? 1 : 0);
  if ((options->listBackups || options->restoreBackup) && alone > 1)
    return UsageError(
        "--list-backups and --restore-backup N are each given alone (with --hive, --backup-dir, "
        "--keep-backups)");
  // A Windows program's switch ("/query") is taken as the hand-off argument here, and read as a
  // switch by the application object, as on Windows.
  if (parsed.operands.size() > 1) return UsageError("only one HAND-OFF argument is taken");
  if (!parsed.operands.empty()) options->handOff = Utf8FromUtf16(parsed.operands.front());
  return 0;
}

// Tells the user why the run cannot go on, and ends it with status.
int Refused(const Failure& failure, int status) {
  std::fprintf(stderr, "configurator: %s\n", failure.Text().c_str());
  return status;
}

std::string Counted(std::size_t count, const char* thing) {
  return std::to_string(count) + " " + thing + (count == 1 ? "" : "s");
}

// Why writes did not happen: their key does not exist (for a subkey of an adapter's key, "the
// adapter has no D3D key").
std::string MissingKeyText(const std::u16string& path) {
  const auto slash = path.rfind(u'\\');
  if (slash == std::u16string::npos) return "no key " + Utf8FromUtf16(path);
  const std::u16string parent = path.substr(0, slash);
  const auto parentSlash = parent.rfind(u'\\');
  const std::u16string parentName = parent.substr(parentSlash == std::u16string::npos ? 0 : parentSlash + 1);
  if (IsAdapterKeyName(parentName))
    return "the adapter has no " + Utf8FromUtf16(path.substr(slash + 1)) + " key";
  return "no key " + Utf8FromUtf16(path);
}

// What the last save did, most important first (the status line may be cut): what was lost,
// what could not be written, what was saved; then what the driver did, then (after the run's
// first save) where the backup went.
std::string StatusText(const platform::HiveStore::SaveReport& report, const std::string& hive,
                       const std::string& reload, const std::string& backup) {
  std::string text;
  auto add = [&text](const std::string& part) { text += (text.empty() ? "" : "; ") + part; };
  if (report.lost > 0) add("Not saved: " + report.error + " (" + Counted(report.lost, "change") + " lost)");
  if (report.missing > 0)
    add(Counted(report.missing, "value") + " not saved: " + MissingKeyText(report.missingKey));
  if (report.saved > 0)
    add("Saved " + Counted(report.saved, "value") + " to " + hive.substr(hive.rfind('/') + 1));
  if (!report.note.empty()) add("note: " + report.note);
  if (!reload.empty()) add("Driver: " + reload);
  if (!backup.empty()) add("backup of the hive as it was in " + backup);
  return text;
}

// The hive line: the hive and how it was read, after why nothing can be saved to it (first, as
// the status line may be cut).
std::string HiveText(const platform::HiveStore& store) {
  std::string hive = store.Path();
  const std::vector<std::string> logs = store.LogsUsed();
  for (std::size_t i = 0; i < logs.size(); ++i) hive += (i == 0 ? ", recovered from " : ", ") + logs[i];
  const std::string readOnly = store.WhyReadOnly();
  return readOnly.empty() ? "Hive: " + hive : "Read-only: " + readOnly + " (hive " + hive + ")";
}

// Saves what the program has written before the user is waited for: around every modal loop
// (a dialog or message box), the store's pending edits are committed. The store commits on its
// own when the driver reloads after a save; this covers a save that no reload follows.
class SavingFrontEnd final : public portable::FrontEnd {
 public:
  SavingFrontEnd(portable::FrontEnd& inner, platform::HiveStore& store) : m_inner(inner), m_store(store) {}
  void RunModal(portable::DialogModel& dialog) override {
    m_store.Flush();
    m_inner.RunModal(dialog);
    m_store.Flush();
  }

 private:
  portable::FrontEnd& m_inner;
  platform::HiveStore& m_store;
};

// Where the hive's backups go: beside a hive the user names (CFGBAK in its folder, on the disk
// that survives a reboot of a live system), with the backup folder as the fallback; the backup
// folder alone for the demo hive or with --backup-dir. The backup folder is also where older
// backups are listed from.
struct BackupChoice {
  hive::BackupPlaces places;
  std::string root;  // the backup folder: --backup-dir or the data folder's backups; may be empty
};

BackupChoice ChooseBackups(const Options& options) {
  BackupChoice choice;
  if (options.backupDir) {
    choice.root = *options.backupDir;
    // The status line names the backup; a name relative to where the run started says little.
    if (choice.root[0] != '/') {
      if (char* here = getcwd(nullptr, 0)) {
        choice.root = std::string(here) + "/" + choice.root;
        std::free(here);
      }
    }
  } else if (const std::string data = platform::DefaultDataFolder(); !data.empty()) {
    choice.root = data + "/backups";
  }
  choice.places = {options.hive.has_value() && !options.backupDir, choice.root, options.keepBackups};
  return choice;
}

// Why the folder of the hive at its real path cannot take the folder CFGBAK of backups, in
// words; empty when it can (as far as can be told before a backup is made: a full disk shows
// only then).
std::string WhyNotBeside(const std::string& hive) {
  const std::string folder = hive.substr(0, std::max<std::size_t>(hive.rfind('/'), 1));
  const base::Descriptor at(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!at.Valid()) return std::strerror(errno);
  struct stat status {};
  if (fstatat(at.Get(), hive::kBesideBackupFolder, &status, AT_SYMLINK_NOFOLLOW) == 0) {
    if (std::string why = base::WhyNotOwnFolder(status); !why.empty())
      return folder + "/" + hive::kBesideBackupFolder + " is not a folder of yours: " + why;
    return {};
  }
  struct statvfs volume {};
  if (fstatvfs(at.Get(), &volume) == 0 && (volume.f_flag & ST_RDONLY) != 0)
    return folder + " is on a file system mounted read-only";
  if (faccessat(at.Get(), ".", W_OK | X_OK, AT_EACCESS) != 0) return "no permission to write in " + folder;
  return {};
}

// Sets where the hive's backups go. A run that may save checks the place now, before anything
// is written: a run that could not keep a backup changes nothing. Returns 0 or an exit status.
int PrepareBackups(const Options& options, BackupChoice choice, platform::HiveStore& store) {
  const bool maySave = !options.listAdapters && (!options.commands.Any() || !options.commands.sets.empty() ||
                                                 options.commands.importPath.has_value());
  if (maySave && store.WhyReadOnly().empty()) {
    if (choice.places.beside) {
      if (const std::string why = WhyNotBeside(store.Path()); !why.empty()) {
        if (choice.root.empty()) {
          std::fprintf(stderr,
                       "configurator: no backup of the hive can be kept beside it: %s.\n"
                       "Nothing was changed. Name a folder for backups with --backup-dir DIR.\n",
                       why.c_str());
          return sysexits::kCantCreate;
        }
        std::fprintf(stderr,
                     "configurator: note: backups go to %s, as the hive's folder cannot take them: %s\n",
                     choice.root.c_str(), why.c_str());
        choice.places.beside = false;
      }
    }
    if (!choice.places.beside && choice.root.empty()) {
      std::fprintf(
          stderr,
          "configurator: nowhere to keep a backup of the hive: neither HOME nor XDG_DATA_HOME is set.\n"
          "Nothing was changed. Name a folder for backups with --backup-dir DIR.\n");
      return sysexits::kCantCreate;
    }
    if (const Failure failure = choice.places.beside ? Failure() : base::MakePrivateFolders(choice.root);
        failure.Failed()) {
      std::fprintf(stderr,
                   "configurator: no backup of the hive can be kept in %s: %s.\n"
                   "Nothing was changed. Name another folder for backups with --backup-dir DIR.\n",
                   choice.root.c_str(), failure.Text().c_str());
      return sysexits::kCantCreate;
    }
  }
  if (choice.places.Any()) store.SetBackupPlaces(choice.places);
  return 0;
}

// A path as the shell takes it: quoted when it holds anything but plain characters.
std::string ShellWord(const std::string& text) {
  if (!text.empty() &&
      text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789/._-+,:@%") ==
          std::string::npos)
    return text;
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Puts the program's services in place for the life of the run and takes them away after.
class InstalledServices {
 public:
  InstalledServices(platform::HiveStore& store, platform::SimulatedBoard& board, portable::FrontEnd& frontEnd)
      : m_registry(store),
        m_devices(board.Devices()),
        m_displayMode(board.DisplayMode()),
        m_frontEnd(frontEnd) {}

 private:
  base::Installed<platform::SetRegistry> m_registry;
  base::Installed<platform::SetDisplayDevices> m_devices;
  base::Installed<platform::SetDisplayMode> m_displayMode;
  base::Installed<portable::SetFrontEnd> m_frontEnd;
};

}  // namespace

namespace {

// A standard descriptor that the program was started without is opened on /dev/null the wrong
// way round: no file the program opens takes its number (output meant for the terminal would
// land in a hive), and writing to it fails as writing to a closed one does.
void HoldClosedStandardDescriptors() {
  for (int descriptor : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
    if (fcntl(descriptor, F_GETFD) == -1 && errno == EBADF)
      open("/dev/null", descriptor == STDIN_FILENO ? O_WRONLY : O_RDONLY);  // takes the lowest free number
}

int Run(int argc, char** argv) {
  Options options;
  if (const int status = ParseOptions(argc, argv, &options); status != 0) return status;
  if (options.help) {
    std::fputs(kUsage, stdout);
    std::fputs(("\n" + Utf8FromUtf16(TuningCommandsHelp(false))).c_str(), stdout);
    std::fputs(("\n" + portable::terminal::ToUtf8(portable::terminal::KeyHelpText()) + "\n").c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("configurator %s\n", kVersion);
    return 0;
  }
  if (options.checkHive) return CheckHiveCommand(*options.checkHive);

  std::string hivePath;
  std::optional<std::string> boardPath = options.board;
  if (options.hive) {
    hivePath = *options.hive;
  } else {
    const std::string folder = platform::DefaultDataFolder();
    if (folder.empty()) {
      std::fprintf(stderr, "configurator: no data folder (set HOME or XDG_DATA_HOME), and no --hive given\n");
      return sysexits::kCantCreate;
    }
    Failure failure;
    switch (platform::EnsureDemoFolder(folder, &failure)) {
      case platform::DemoFolder::kFailed:
        return Refused(failure, sysexits::kCantCreate);
      case platform::DemoFolder::kCreated:
        std::fprintf(stderr, "configurator: made the demo hive and board in %s\n", folder.c_str());
        break;
      case platform::DemoFolder::kExisting:
        break;
    }
    hivePath = folder + "/" + platform::kDemoHiveName;
    const std::string demoBoard = folder + "/" + platform::kDemoBoardName;
    if (!boardPath && access(demoBoard.c_str(), F_OK) == 0) boardPath = demoBoard;
  }

  const BackupChoice backups = ChooseBackups(options);
  if (options.listBackups || options.restoreBackup) {
    std::string again = "configurator";
    if (options.hive) again += " --hive " + ShellWord(*options.hive);
    if (options.backupDir) again += " --backup-dir " + ShellWord(*options.backupDir);
    if (options.listBackups) return ListBackups(hivePath, backups.root, again);
    return RestoreBackup(hivePath, backups.root, *options.restoreBackup, backups.places, again);
  }

  Failure failure;
  std::unique_ptr<platform::HiveStore> store = platform::HiveStore::Load(hivePath, &failure);
  if (!store) {
    const bool unreadable =
        failure.problem == HiveProblem::kMissing || failure.problem == HiveProblem::kUnreadable;
    return Refused(failure, unreadable ? sysexits::kNoInput : sysexits::kDataError);
  }
  if (const int status = PrepareBackups(options, backups, *store); status != 0) return status;
  if (const std::string readOnly = store->WhyReadOnly(); !store->LogsUsed().empty() || !readOnly.empty())
    std::fprintf(stderr, "configurator: %s\n", HiveText(*store).c_str());

  // Without a board file, the board's devices are the hive's adapters of the board's chip type.
  platform::SimulatedBoard board;
  const HiveAdapters found = FindHiveAdapters(*store);
  if (boardPath) {
    if (!board.Load(*boardPath, &failure))
      return Refused(failure, failure.error != 0 ? sysexits::kNoInput : sysexits::kDataError);
  } else {
    board.UseAdapters(found.BoardKeys());
  }

  if (options.listAdapters) return ListAdapters(found, board);
  const AdapterChoice adapter =
      ChooseAdapter(options.adapter, options.handOff, options.commands.Any(), board, found, !boardPath);
  if (adapter.status != 0) return adapter.status;
  if (options.commands.Any()) return RunScriptCommands(options.commands, adapter.handOff, *store, board);

  portable::terminal::TerminalFrontEnd frontEnd;
  const std::string hiveLine = (adapter.note.empty() ? "" : adapter.note + "; ") + HiveText(*store);
  std::uint64_t firstSave = 0;  // the report of the run's first save, which names the backup
  frontEnd.SetStatusProvider([&board, &hiveLine, &store, &firstSave] {
    const platform::HiveStore::SaveReport report = store->LastSave();
    if (firstSave == 0 && report.saved > 0) firstSave = report.serial;
    const std::string text = StatusText(report, store->Path(), board.LastReload(),
                                        report.serial == firstSave ? store->Backup() : std::string());
    return Utf16FromUtf8(text.empty() ? hiveLine : text);
  });

  SavingFrontEnd savingFrontEnd(frontEnd, *store);

  int exitCode = 0;
  {
    InstalledServices services(*store, board, savingFrontEnd);
    std::vector<std::u16string> arguments;
    if (adapter.handOff) arguments.push_back(Utf16FromUtf8(*adapter.handOff));
    exitCode = AfxWinMain(std::move(arguments));
  }
  store->Flush();
  if (const Failure lost = store->LostChanges(); lost.Failed()) return Refused(lost, sysexits::kIoError);
  // The dialogs were cancelled unseen: the run did not happen.
  if (frontEnd.Failed()) return sysexits::kUnavailable;
  return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
  HoldClosedStandardDescriptors();
  const int status = Run(argc, argv);
  // Output that was not written is lost: the run failed, whatever else it did. (Standard error
  // that cannot be written cannot be told about.)
  errno = 0;
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
  const int error = errno != 0 ? errno : EIO;
  std::fprintf(stderr, "configurator: cannot write the output: %s\n", std::strerror(error));
  return status != sysexits::kOk ? status : sysexits::kIoError;
}
