// configurator: the program on POSIX systems. Its registry is a Windows SYSTEM hive file (a demo
// hive made on first use unless --hive names one), its display devices and driver are the
// simulated board, and its dialogs are drawn in the terminal. Here the command line is parsed,
// the hive, the board and the services are put together, and the run is made.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Version.h"
#include "app/ExitStatus.h"
#include "base/Service.h"
#include "base/Text.h"
#include "framework/WinApp.h"
#include "framework/portable/Model.h"
#include "framework/portable/terminal/TerminalFrontEnd.h"
#include "platform/DisplayDevices.h"
#include "platform/DisplayMode.h"
#include "platform/Registry.h"
#include "platform/posix/DemoHive.h"
#include "platform/posix/HiveStore.h"
#include "platform/posix/SimulatedBoard.h"
#include "programs/posix/BackupCommands.h"
#include "programs/posix/BackupPolicy.h"
#include "programs/posix/CheckHiveCommand.h"
#include "programs/posix/HiveAdapters.h"
#include "programs/posix/Messages.h"
#include "programs/posix/Options.h"
#include "programs/posix/ScriptCommands.h"
#include "programs/posix/StatusLine.h"
#include "programs/posix/Usage.h"

namespace {

using base::Failure;
using base::HiveProblem;
using base::Utf16FromUtf8;

constexpr char kVersion[] = CONFIGURATOR_VERSION_TEXT;

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
    PrintHelp();
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
    if (folder.empty())
      return Refused("no data folder (set HOME or XDG_DATA_HOME), and no --hive given",
                     sysexits::kCantCreate);
    Failure failure;
    switch (platform::EnsureDemoFolder(folder, &failure)) {
      case platform::DemoFolder::kFailed:
        return Refused(failure.Text(), sysexits::kCantCreate);
      case platform::DemoFolder::kCreated:
        Say("made the demo hive and board in " + folder);
        break;
      case platform::DemoFolder::kExisting:
        break;
    }
    hivePath = folder + "/" + platform::kDemoHiveName;
    const std::string demoBoard = folder + "/" + platform::kDemoBoardName;
    if (!boardPath && access(demoBoard.c_str(), F_OK) == 0) boardPath = demoBoard;
  }

  const BackupChoice backups = ChooseBackups(options.hive, options.backupDir, options.keepBackups);
  if (options.listBackups || options.restoreBackup) {
    const std::string again = BackupCommandLine(options.hive, options.backupDir);
    if (options.listBackups) return ListBackups(hivePath, backups.root, again);
    return RestoreBackup(hivePath, backups.root, *options.restoreBackup, backups.places, again);
  }

  Failure failure;
  std::unique_ptr<platform::HiveStore> store = platform::HiveStore::Load(hivePath, &failure);
  if (!store) {
    const bool unreadable =
        failure.problem == HiveProblem::kMissing || failure.problem == HiveProblem::kUnreadable;
    return Refused(failure.Text(), unreadable ? sysexits::kNoInput : sysexits::kDataError);
  }
  if (const int status = PrepareBackups(options.MaySave(), backups, *store); status != 0) return status;
  if (const std::string readOnly = store->WhyReadOnly(); !store->LogsUsed().empty() || !readOnly.empty())
    Say(HiveText(*store));

  // Without a board file, the board's devices are the hive's adapters of the board's chip type.
  platform::SimulatedBoard board;
  const HiveAdapters found = FindHiveAdapters(*store);
  if (boardPath) {
    if (!board.Load(*boardPath, &failure))
      return Refused(failure.Text(), failure.error != 0 ? sysexits::kNoInput : sysexits::kDataError);
  } else {
    board.UseAdapters(found.BoardKeys());
  }

  if (options.listAdapters) return ListAdapters(found, board);
  const AdapterChoice adapter =
      ChooseAdapter(options.adapter, options.handOff, options.commands.Any(), board, found, !boardPath);
  if (adapter.status != 0) {
    if (adapter.badCommandLine) return UsageError(adapter.why);
    Say(adapter.why);
    for (const std::string& choice : adapter.choices) Say(choice);
    return adapter.status;
  }
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
  if (const Failure lost = store->LostChanges(); lost.Failed())
    return Refused(lost.Text(), sysexits::kIoError);
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
  return OutputLost(std::strerror(errno != 0 ? errno : EIO), status);
}
