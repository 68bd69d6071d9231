#pragma once
// The wording of the terminal's status line: what the last save did, and the hive it works on.
#include <string>

#include "platform/posix/HiveStore.h"

// What the last save did, most important first (the status line may be cut): what was lost,
// what could not be written, what was saved; then what the driver did, then (after the run's
// first save) where the backup went.
std::string StatusText(const platform::HiveStore::SaveReport& report, const std::string& hive,
                       const std::string& reload, const std::string& backup);

// The hive line: the hive and how it was read, after why nothing can be saved to it (first, as
// the status line may be cut).
std::string HiveText(const platform::HiveStore& store);
