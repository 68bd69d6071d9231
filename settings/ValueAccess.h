#pragma once
// The read, write and write-access sequences of the settings dialogs, built on CSettingsKey.
// Each opens its key for its one step and closes it again.
#include <cstdint>
#include <string>

class CSettingsKey;
class CWnd;

// Reads a registry number (REG_SZ or REG_EXPAND_SZ decimal text). Returns true and sets value
// only when a number was read; otherwise value keeps the default it came in with.
bool ReadNumber(const std::u16string& keyPath, const std::u16string& name, std::int32_t& value);
// Reads a raw value of at most 4 bytes, whatever its type, as a little-endian number (shorter
// data zero-extended) with key, which it opens for reading and closes again. False when the key
// or the value is missing or the data are longer; value is then unchanged.
bool ReadRaw(CSettingsKey& key, const std::u16string& keyPath, const std::u16string& name,
             std::uint32_t& value);
// Writes a registry number; skipped without a word when the key cannot be opened for writing.
void WriteNumber(const std::u16string& keyPath, const std::u16string& name, std::int32_t value);
// Opens the key for writing and closes it again. When that fails, shows "Execute using
// Administrator Account" (caption "Insufficent Access Writes", MB_OK) owned by owner and
// returns false.
bool ProbeWriteAccess(CWnd* owner, const std::u16string& keyPath);

// The decimal conversion of stored texts: leading white space, one optional sign, digits up to
// the first other character; no digits gives 0; out-of-range numbers saturate to 32 bits.
std::int32_t ParseDecimal(const char16_t* text);
