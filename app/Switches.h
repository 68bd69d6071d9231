#pragma once
// The switches of the programs' command lines: one table for both spellings. The Windows programs
// write them "/query" or "-query" in any case, with a value after a colon ("/set:NAME=VALUE");
// the POSIX program writes "--query", with a value after "=" or as the next argument, and "--"
// ends its options. Each program names the switches of its own that it takes besides the common
// ones (query, set, export, import, no refresh, help).
#include <cstddef>
#include <initializer_list>
#include <string>
#include <vector>

enum class SwitchId {
  kQuery,
  kSet,
  kExport,
  kImport,
  kReset,  // its value, a setting's name, may be left out: every setting
  kNoRefresh,
  kHelp,
  // The POSIX program's own.
  kVersion,
  kHive,
  kBoard,
  kBackupDir,
  kKeepBackups,
  kAdapter,
  kListAdapters,
  kListBackups,
  kRestoreBackup,
  kCheckHive,
};

struct GivenSwitch {
  SwitchId id;
  // Empty for a switch that takes none, or a reset without a setting; never empty for one that
  // needs a value.
  std::u16string value;
  // Where the value was read from, for a caller that needs the argument's own bytes (a file
  // name that is no UTF-8): the index of the argument, and whether the value is its part after
  // the first "=" (or ":"), rather than the whole of it.
  std::size_t argument = 0;
  bool attached = false;
};

struct SwitchProblem {
  // What is wrong, naming the argument as typed, without the program's name.
  std::u16string message;
  // The argument is no switch the program knows (rather than a known one badly written).
  bool unknown = false;
};

struct ParsedSwitches {
  std::vector<GivenSwitch> given;        // in the order given
  std::vector<std::u16string> operands;  // the arguments that are no switch, in order
  std::vector<SwitchProblem> problems;   // in the order met; a switch with a problem is not in given

  // Whether a switch that runs without the dialogs was given: query, set, reset, export, import or
  // help.
  bool Scripting() const;
};

// Reads the arguments (without the program's name) in the Windows programs' style. A switch of
// the other style is unknown.
ParsedSwitches ParseWindowsSwitches(const std::vector<std::u16string>& arguments);
// The same in the POSIX style, where the program names the switches of its own that it takes.
ParsedSwitches ParsePosixSwitches(const std::vector<std::u16string>& arguments,
                                  std::initializer_list<SwitchId> programSwitches);
