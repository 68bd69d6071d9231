#pragma once
// The POSIX program's command line: its own options, the scripting actions of both spellings
// (app/Switches.h), and the hand-off argument.
#include <optional>
#include <string>

#include "app/TuningCommands.h"
#include "hive/posix/Hive.h"

struct Options {
  std::optional<std::string> hive;
  std::optional<std::string> board;
  std::optional<std::string> backupDir;
  int keepBackups = hive::kDefaultKeptBackups;
  std::optional<std::string> handOff;
  std::optional<int> adapter;  // --adapter N
  bool listAdapters = false;
  bool listBackups = false;
  std::optional<int> restoreBackup;      // --restore-backup N
  std::optional<std::string> checkHive;  // --check-hive FILE
  TuningCommands commands;
  bool help = false;
  bool version = false;

  // Whether the run may save to the hive: the dialogs, a set or an import.
  bool MaySave() const {
    return !listAdapters && (!commands.Any() || !commands.sets.empty() || commands.importPath.has_value());
  }
};

// Parses the command line; returns 0 or an exit status, having said why.
int ParseOptions(int argc, char** argv, Options* options);
