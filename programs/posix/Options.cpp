#include "programs/posix/Options.h"

#include <vector>

#include "app/Switches.h"
#include "base/Text.h"
#include "programs/posix/Messages.h"

int ParseOptions(int argc, char** argv, Options* options) {
  std::vector<std::u16string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(base::Utf16FromUtf8(argv[i]));
  const ParsedSwitches parsed = ParsePosixSwitches(
      arguments, {SwitchId::kVersion, SwitchId::kHive, SwitchId::kBoard, SwitchId::kBackupDir,
                  SwitchId::kKeepBackups, SwitchId::kAdapter, SwitchId::kListAdapters, SwitchId::kListBackups,
                  SwitchId::kRestoreBackup, SwitchId::kCheckHive});
  if (!parsed.problems.empty()) return UsageError(base::Utf8FromUtf16(parsed.problems.front().message));
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
  if (!parsed.operands.empty()) options->handOff = base::Utf8FromUtf16(parsed.operands.front());
  return 0;
}
