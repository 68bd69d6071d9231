#pragma once
// Reading a profile for --import: a registry file exported here or by a registry editor, of the
// adapter's key, its parent or a larger tree, from this machine or another.
#include <string>

#include "app/TuningWants.h"

// Reads the profile at path ("-": standard input) into wants for the adapter's settings. The
// board's one adapter in it is taken, whatever its GUID; every other key and value is skipped
// with a note in the report, and what is wrong is an error there.
void ReadProfile(const RunAdapter& adapter, const std::u16string& path, Wanted* wanted, RunReport* report);
