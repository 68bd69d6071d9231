#pragma once
// CSettingsKey: owns at most one open registry key beneath HKEY_LOCAL_MACHINE.
//
// Every call returns the registry's Win32 status (0 success). The key is closed by Close, by a
// successful Open that replaces it (after the new one opened) and by the destructor. A failed
// Open leaves the key held before untouched; Open's status is the open's, never the close's.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Registry.h"

class CSettingsKey {
 public:
  CSettingsKey() = default;

  long Open(const std::u16string& path, std::uint32_t access);
  long Close();

  // Reads a REG_SZ or REG_EXPAND_SZ value. count: capacity in characters in, characters
  // delivered (terminator included) out; 0 out on any failure. buffer may be null (size query).
  // 13 for another type, an odd byte count or a text not ending in a null.
  long QueryString(const std::u16string& name, char16_t* buffer, std::uint32_t& count);
  // Reads a value of any type as raw bytes. size: capacity in, bytes delivered out.
  long QueryRaw(const std::u16string& name, void* buffer, std::uint32_t& size);
  // Writes the decimal text of value as REG_SZ, (length + 1) * 2 bytes. Status not examined.
  void SetNumber(const std::u16string& name, std::int32_t value);
  // Writes value as REG_BINARY, 4 bytes little-endian. Status not examined.
  void SetBinary(const std::u16string& name, std::uint32_t value);
  // Removes a value. Status not examined (an absent value is no error).
  void DeleteValue(const std::u16string& name);

  platform::RegKey GetHandle() const { return m_key.Get(); }

 private:
  platform::KeyOwner m_key;
};

// The bytes SetNumber stores for a number: its decimal text in UTF-16LE with the terminating null,
// (length + 1) * 2 bytes.
std::vector<std::uint8_t> NumberTextBytes(std::int32_t value);
