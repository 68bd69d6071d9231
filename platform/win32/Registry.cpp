// The real registry beneath HKEY_LOCAL_MACHINE.
#include "platform/win32/Registry.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace platform {
namespace {

std::wstring Wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

HKEY Handle(RegKey key) { return reinterpret_cast<HKEY>(key); }

}  // namespace

long Win32Registry::Open(std::u16string_view path, std::uint32_t access, RegKey* key) {
  HKEY opened = nullptr;
  const LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, Wide(path).c_str(), 0, access, &opened);
  if (status == ERROR_SUCCESS) *key = reinterpret_cast<RegKey>(opened);
  return status;
}

long Win32Registry::Query(RegKey key, std::u16string_view name, std::uint32_t* type, std::uint8_t* data,
                          std::uint32_t* size) {
  const std::wstring wideName = Wide(name);
  DWORD valueType = 0;
  if (data != nullptr && size == nullptr) return ERROR_INVALID_PARAMETER;
  if (data == nullptr) {
    DWORD valueSize = size ? *size : 0;
    const LSTATUS status = RegQueryValueExW(Handle(key), wideName.c_str(), nullptr, &valueType, nullptr,
                                            size ? &valueSize : nullptr);
    if (status == ERROR_SUCCESS && type) *type = valueType;
    if (size && (status == ERROR_SUCCESS || status == ERROR_MORE_DATA)) *size = valueSize;
    return status;
  }
  // Windows leaves the caller's buffer undefined on ERROR_MORE_DATA; we promise it untouched,
  // so the system writes into a buffer of our own. It has at least one byte: a null data
  // pointer would ask for the size alone, and succeed without delivering anything.
  std::vector<BYTE> buffer(std::max<DWORD>(*size, 1));
  DWORD valueSize = *size;
  const LSTATUS status =
      RegQueryValueExW(Handle(key), wideName.c_str(), nullptr, &valueType, buffer.data(), &valueSize);
  if (status == ERROR_SUCCESS) {
    std::copy(buffer.begin(), buffer.begin() + valueSize, data);
    if (type) *type = valueType;
  }
  if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) *size = valueSize;
  return status;
}

long Win32Registry::Set(RegKey key, std::u16string_view name, std::uint32_t type, const std::uint8_t* data,
                        std::uint32_t size) {
  return RegSetValueExW(Handle(key), Wide(name).c_str(), 0, type, data, size);
}

long Win32Registry::Delete(RegKey key, std::u16string_view name) {
  return RegDeleteValueW(Handle(key), Wide(name).c_str());
}

long Win32Registry::Close(RegKey key) { return RegCloseKey(Handle(key)); }

long Win32Registry::Subkeys(RegKey key, std::vector<std::u16string>* names) {
  names->clear();
  for (DWORD index = 0;; ++index) {
    wchar_t name[256] = {};  // a key's name has at most 255 characters
    DWORD length = 256;
    const long status = RegEnumKeyExW(Handle(key), index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) return kSuccess;
    if (status != ERROR_SUCCESS) {
      names->clear();
      return status;
    }
    names->emplace_back(reinterpret_cast<const char16_t*>(name), length);
  }
}

}  // namespace platform
