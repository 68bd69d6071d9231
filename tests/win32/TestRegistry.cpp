#include "tests/win32/TestRegistry.h"

#include <sddl.h>

#include "platform/win32/Owners.h"

namespace testregistry {
namespace {

// Owns one open key.
class HkeyOwner {
 public:
  HkeyOwner(const std::wstring& path, REGSAM access)
      : m_status(::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, access, &m_key)) {}
  ~HkeyOwner() {
    if (m_status == ERROR_SUCCESS) ::RegCloseKey(m_key);
  }
  HkeyOwner(const HkeyOwner&) = delete;
  HkeyOwner& operator=(const HkeyOwner&) = delete;
  bool Opened() const { return m_status == ERROR_SUCCESS; }
  LSTATUS Status() const { return m_status; }
  HKEY Handle() const { return m_key; }

 private:
  HKEY m_key = nullptr;
  LSTATUS m_status;
};

std::optional<Value> Query(HKEY key, const std::wstring& name) {
  DWORD type = REG_NONE;
  DWORD size = 0;
  if (::RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
    return std::nullopt;
  std::vector<BYTE> data(size);
  if (::RegQueryValueExW(key, name.c_str(), nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
    return std::nullopt;
  data.resize(size);
  return Value{name, type, std::move(data)};
}

}  // namespace

bool CreateKey(const std::wstring& path, bool isVolatile) {
  HKEY key = nullptr;
  const DWORD options = isVolatile ? REG_OPTION_VOLATILE : REG_OPTION_NON_VOLATILE;
  if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, options, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
    return false;
  ::RegCloseKey(key);
  return true;
}

bool DeleteKey(const std::wstring& path) {
  if (!KeyExists(path)) return true;
  // A key that refuses writing refuses its deletion too; its owner may still change its rules.
  // Subkeys are handled first, deepest first, for the same reason.
  {
    HkeyOwner key(path, KEY_ENUMERATE_SUB_KEYS);
    if (key.Opened()) {
      std::vector<std::wstring> subkeys;
      wchar_t name[256];
      for (DWORD index = 0;; ++index) {
        DWORD length = 256;
        if (::RegEnumKeyExW(key.Handle(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
          break;
        subkeys.emplace_back(name, length);
      }
      for (const std::wstring& subkey : subkeys) DeleteKey(path + L"\\" + subkey);
    }
  }
  SetSecurity(path, L"D:(A;;KA;;;WD)");
  ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, path.c_str());
  return !KeyExists(path);
}

bool KeyExists(const std::wstring& path) {
  HkeyOwner key(path, KEY_QUERY_VALUE);
  return key.Status() != ERROR_FILE_NOT_FOUND;
}

bool SetValue(const std::wstring& path, const std::wstring& name, DWORD type, const std::vector<BYTE>& data) {
  HkeyOwner key(path, KEY_SET_VALUE);
  return key.Opened() && ::RegSetValueExW(key.Handle(), name.c_str(), 0, type, data.data(),
                                          static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

std::optional<Value> GetValue(const std::wstring& path, const std::wstring& name) {
  HkeyOwner key(path, KEY_QUERY_VALUE);
  if (!key.Opened()) return std::nullopt;
  return Query(key.Handle(), name);
}

std::vector<Value> Values(const std::wstring& path) {
  std::vector<Value> values;
  HkeyOwner key(path, KEY_QUERY_VALUE);
  if (!key.Opened()) return values;
  std::vector<std::wstring> names;
  wchar_t name[16384];
  for (DWORD index = 0;; ++index) {
    DWORD length = 16384;
    if (::RegEnumValueW(key.Handle(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    names.emplace_back(name, length);
  }
  for (const std::wstring& valueName : names)
    if (std::optional<Value> value = Query(key.Handle(), valueName)) values.push_back(std::move(*value));
  return values;
}

bool SetSecurity(const std::wstring& path, const std::wstring& sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                              nullptr))
    return false;
  const platform::LocalMemory<PSECURITY_DESCRIPTOR> owner(descriptor);
  HkeyOwner key(path, WRITE_DAC);
  return key.Opened() &&
         ::RegSetKeySecurity(key.Handle(), DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
}

}  // namespace testregistry
