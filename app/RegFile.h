#pragma once
// Registry files (.reg) as the registry editor writes and imports them.
//
// Read: "Windows Registry Editor Version 5.00" files in UTF-16LE with a byte-order mark, or in
// UTF-8 with or without one, and "REGEDIT4" files. Keys in brackets ("[-...]" removes a key);
// values as "name"= or @= followed by "text", dword:, hex:, hex(N): (continued over lines ending
// in a backslash) or - (removes the value). Comments begin with a semicolon.
// Written: version 5 files, UTF-16LE with a byte-order mark and CRLF line ends (or as text, for
// standard output).
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct RegData {
  std::uint32_t type = 0;           // REG_SZ, REG_DWORD, REG_BINARY, or the N of hex(N)
  std::vector<std::uint8_t> bytes;  // as stored: texts in UTF-16LE with their terminating null
  bool operator==(const RegData&) const = default;
};

struct RegFileValue {
  int line = 0;                 // where it begins, from 1
  std::u16string name;          // empty for the default value (@)
  std::optional<RegData> data;  // none: the value is removed
};

struct RegFileKey {
  int line = 0;
  std::u16string path;  // as written, e.g. HKEY_LOCAL_MACHINE\SYSTEM\...
  bool remove = false;  // [-path]
  std::vector<RegFileValue> values;
};

// Parses the bytes of a registry file. On failure returns false with *errorLine (0 when the file
// as a whole is at fault) and *error saying what is wrong.
bool ParseRegFile(std::span<const std::uint8_t> bytes, std::vector<RegFileKey>* keys, int* errorLine,
                  std::u16string* error);

// A version 5 registry file of these keys and values.
std::vector<std::uint8_t> FormatRegFile(const std::vector<RegFileKey>& keys);
// The same file as text with "\n" line ends, for a stream that has its own encoding and line ends.
std::u16string FormatRegText(const std::vector<RegFileKey>& keys);
