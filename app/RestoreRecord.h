#pragma once
// The launcher's restore record and the format of its file: versioned UTF-8 text, a heading line,
// the adapter's line, one line per value (its setting, key, name, and the data before and as
// written: type:hex, or - for none), and an end line, so that a record cut short is told apart.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "app/ExitStatus.h"
#include "app/TuningCommands.h"

struct RestoreRecord {
  std::u16string adapterKey;         // the adapter's current device key
  std::vector<TouchedValue> values;  // in the order written
};

// The record as its file holds it. Fails (65) when a key or value name cannot be written in it
// (a tab or a line break).
Outcome FormatRestoreRecord(const RestoreRecord& record, std::vector<std::uint8_t>* bytes);
// Reads a record; fails (65) saying what is wrong with it.
Outcome ParseRestoreRecord(std::span<const std::uint8_t> bytes, RestoreRecord* record);
