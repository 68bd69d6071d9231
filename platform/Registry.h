#pragma once
// The registry beneath HKEY_LOCAL_MACHINE, answering as Win32 does: every call returns a Win32
// status code (0 success, 2 missing key or value, 5 access denied, 13 invalid data, 234 more
// data, 161 bad path). Keys are never created through this interface.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Status.h"

namespace platform {

using RegKey = std::uintptr_t;  // an open key; 0 is no key

inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;

class Registry {
 public:
  virtual ~Registry() = default;

  // Opens a key by path relative to HKEY_LOCAL_MACHINE ("" opens the root itself; a leading
  // backslash gives 161). On failure *key is left unchanged.
  virtual long Open(std::u16string_view path, std::uint32_t access, RegKey* key) = 0;
  // Queries a value. type and data may be null. *size is the capacity in bytes on entry and the
  // value's size on return. When data is given and too small: 234, data untouched, *size = needed.
  virtual long Query(RegKey key, std::u16string_view name, std::uint32_t* type, std::uint8_t* data,
                     std::uint32_t* size) = 0;
  virtual long Set(RegKey key, std::u16string_view name, std::uint32_t type, const std::uint8_t* data,
                   std::uint32_t size) = 0;
  virtual long Delete(RegKey key, std::u16string_view name) = 0;
  virtual long Close(RegKey key) = 0;
  // The names of a key's subkeys, in the registry's order; needs read access. On failure *names
  // is left empty.
  virtual long Subkeys(RegKey key, std::vector<std::u16string>* names) = 0;
};

// The registry the program uses. Win32: the real one. POSIX: set by the program's entry point
// (the hive store) or by a test (the in-memory store); a registry with no keys until then.
Registry& GetRegistry();
// Replaces the registry the program uses (null restores the default); returns the one it
// replaced, null for the default (base/Service.h: base::Installed does both for a scope).
Registry* SetRegistry(Registry* registry);

// Owns at most one open key and closes it in the registry that opened it: by Close, when another
// key replaces it, or when the owner goes. Move-only.
class KeyOwner {
 public:
  KeyOwner() = default;
  ~KeyOwner() { Close(); }
  KeyOwner(KeyOwner&& other) noexcept
      : m_registry(std::exchange(other.m_registry, nullptr)), m_handle(std::exchange(other.m_handle, 0)) {}
  KeyOwner& operator=(KeyOwner&& other) noexcept {
    if (this != &other) {
      Close();
      m_registry = std::exchange(other.m_registry, nullptr);
      m_handle = std::exchange(other.m_handle, 0);
    }
    return *this;
  }
  KeyOwner(const KeyOwner&) = delete;
  KeyOwner& operator=(const KeyOwner&) = delete;

  // The open key, 0 when none is held.
  RegKey Get() const { return m_handle; }
  // The registry's status of closing the key (0 when none was held); no key is held afterwards.
  long Close() {
    if (m_handle == 0) return kSuccess;
    const long status = m_registry->Close(m_handle);
    m_registry = nullptr;
    m_handle = 0;
    return status;
  }

 private:
  friend long OpenKey(Registry& registry, std::u16string_view path, std::uint32_t access, KeyOwner* key);

  Registry* m_registry = nullptr;
  RegKey m_handle = 0;
};

// Opens a key as Registry::Open does. On success *key holds it, and the key *key held before is
// closed once the new one is open; on failure *key is left unchanged.
inline long OpenKey(Registry& registry, std::u16string_view path, std::uint32_t access, KeyOwner* key) {
  RegKey opened = 0;
  const long status = registry.Open(path, access, &opened);
  if (status != kSuccess) return status;
  key->Close();
  key->m_registry = &registry;
  key->m_handle = opened;
  return kSuccess;
}

}  // namespace platform
