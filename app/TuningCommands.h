#pragma once
// The command line for scripts: query, set, export and import of an adapter's tuning, with the
// same rules as the settings dialogs (the settings model of settings/TuningSetting.h).
//
// Order of work: every --set argument and the whole import file are checked first; on any error
// nothing is written. Then the changed settings are written as the dialogs' OK writes them
// (write access probed once per key first, only changed values written, saved, each read back), one
// display-mode refresh follows unless told otherwise, and then the query and the export show the
// result.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/ExitStatus.h"
#include "app/RegFile.h"

// A registry value that a change sets or deletes: the setting it belongs to, where it lives, and
// what it holds before and after (none: absent).
struct TouchedValue {
  std::u16string setting;
  std::u16string keyPath;
  std::u16string name;
  std::optional<RegData> before;
  std::optional<RegData> written;
};

struct TuningCommands {
  bool query = false;
  std::vector<std::u16string> sets;  // NAME=VALUE, in the order given
  // Settings whose values are deleted, so that the driver takes its own defaults: a name, or
  // empty for every setting of the adapter.
  std::vector<std::u16string> resets;
  std::optional<std::u16string> exportPath;
  std::optional<std::u16string> importPath;
  bool noRefresh = false;
  // For a registry that keeps writes until it saves them (a hive file): saves them, after the
  // writes and before they are read back. A failed save comes first and alone: nothing is read
  // back, as every value it held is lost. Unset: each write is kept at once.
  std::function<Outcome()> save;
  // Called once the changes are decided and write access is granted, before the first write,
  // with the adapter's key and every value they set or delete. A failure writes nothing.
  std::function<Outcome(const std::u16string& adapterKey, const std::vector<TouchedValue>&)> beforeWrite;

  // Whether any action was asked for (--no-refresh alone is none).
  bool Any() const { return query || !sets.empty() || !resets.empty() || exportPath || importPath; }
};

struct TuningCommandsResult {
  int status = sysexits::kOk;
  std::u16string output;    // for standard output
  std::u16string messages;  // for standard error: errors and notes, one a line, without the program name
};

// Runs the actions on the adapter of a hand-off string (empty: no adapter was found), through
// the registry and display mode the program uses.
TuningCommandsResult RunTuningCommands(const TuningCommands& commands, const std::u16string& handOff);
