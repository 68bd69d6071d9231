#pragma once
// The real registry beneath HKEY_LOCAL_MACHINE as the Windows tests seed and inspect it, with the
// system's own calls: the program never creates a key, the tests do. Paths are relative to
// HKEY_LOCAL_MACHINE.
//
// Under Wine, keys below CurrentControlSet\Control\Video can only be volatile: they are created
// with REG_OPTION_VOLATILE and live as long as the wine server, which the test run keeps alive.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace testregistry {

struct Value {
  std::wstring name;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

// The bytes of a REG_SZ value that holds this ASCII text: UTF-16LE with the terminating null.
inline std::vector<BYTE> SzData(const std::string& text) {
  std::vector<BYTE> bytes;
  for (char c : text) bytes.insert(bytes.end(), {static_cast<BYTE>(c), 0});
  bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

// Everyone may read the key, nobody may write it: KEY_WRITE is refused with 5.
inline constexpr wchar_t kReadOnlyForEveryone[] = L"D:P(A;;KR;;;WD)";

// Creates the key and its missing parents (volatile ones when asked).
bool CreateKey(const std::wstring& path, bool isVolatile = false);
// Removes the key and everything below it, first giving back the write access a test took away.
// True when the key is gone, also when it never existed.
bool DeleteKey(const std::wstring& path);
bool KeyExists(const std::wstring& path);
bool SetValue(const std::wstring& path, const std::wstring& name, DWORD type, const std::vector<BYTE>& data);
// A value as stored: its exact type and bytes; nullopt when it (or its key) is missing.
std::optional<Value> GetValue(const std::wstring& path, const std::wstring& name);
// Every value of the key, as stored; empty when the key is missing.
std::vector<Value> Values(const std::wstring& path);
// Gives the key the access rules of this security descriptor (its DACL), written in SDDL.
bool SetSecurity(const std::wstring& path, const std::wstring& sddl);

}  // namespace testregistry
