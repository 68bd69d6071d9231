#pragma once
// The scripting actions of the POSIX program (--query, --set, --export, --import): they run on
// the hive and the simulated board without the dialogs, printing to standard output and error.
#include <optional>
#include <string>

#include "app/TuningCommands.h"
#include "platform/posix/HiveStore.h"
#include "platform/posix/SimulatedBoard.h"

// Runs the actions on the adapter of the hand-off string, or on the one discovery finds (no
// message box either way), saves the hive when something was written, and returns the exit
// status.
int RunScriptCommands(const TuningCommands& commands, const std::optional<std::string>& handOff,
                      platform::HiveStore& store, platform::SimulatedBoard& board);
