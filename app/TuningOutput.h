#pragma once
// What a run of the scripting actions shows: the query, the export, and the help of the actions.
#include <string>

#include "app/TuningWants.h"

// Every setting as NAME=VALUE, then the hardware information as # lines.
std::u16string QueryText(const RunAdapter& adapter);
// Writes the adapter's tuning as a registry file, or, to "-", as text to *output.
void Export(const RunAdapter& adapter, const std::u16string& path, std::u16string* output, RunReport* report);

// What --help says about the actions, with the switch spelling of the program ("--" or "/").
std::u16string TuningCommandsHelp(bool windowsSwitches);
