#pragma once
// Applying what a run wants, as the dialogs' OK applies it: write access probed on every key
// first, only the settings that change written, saved, and every value read back.
#include <optional>
#include <string>
#include <string_view>

#include "app/RegFile.h"
#include "app/TuningWants.h"

// Writes the changed settings and saves them; true when anything was written and kept. What
// went wrong is an error in the report.
bool Apply(const RunAdapter& adapter, const Wanted& wanted, const TuningCommands& commands,
           RunReport* report);

// A value as stored (type and bytes), or none when it or its key is missing.
std::optional<RegData> StoredData(const std::u16string& keyPath, std::u16string_view name);
// A stored value as a message names it: a quoted text, its type and bytes, or "no value".
std::u16string DescribedData(const std::optional<RegData>& data);
