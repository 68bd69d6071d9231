#pragma once
// MemoryRegistry: a registry held in memory, for tests. It answers as the Win32 registry does
// (status codes, case-insensitive and case-preserving names, exact types and bytes, handle
// access rights) and never creates a key through the Registry interface: keys exist only when
// a test seeds them.
//
// Beyond the interface: seeding and inspection helpers, a switch that refuses KEY_WRITE with 5
// (for every key or for chosen keys), and counters of open handles and of opens per access
// mask. Safe to use from the program's thread and the test's thread at once.
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/Registry.h"

namespace platform {

struct RegistryValue {
  std::u16string name;  // as first stored
  std::uint32_t type = kRegNone;
  std::vector<std::uint8_t> data;
};

class MemoryRegistry final : public Registry {
 public:
  MemoryRegistry();

  long Open(std::u16string_view path, std::uint32_t access, RegKey* key) override;
  long Query(RegKey key, std::u16string_view name, std::uint32_t* type, std::uint8_t* data,
             std::uint32_t* size) override;
  long Set(RegKey key, std::u16string_view name, std::uint32_t type, const std::uint8_t* data,
           std::uint32_t size) override;
  long Delete(RegKey key, std::u16string_view name) override;
  long Close(RegKey key) override;
  long Subkeys(RegKey key, std::vector<std::u16string>* names) override;

  // Seeding (tests only). CreateKey makes the key and every missing parent.
  void CreateKey(std::u16string_view path);
  void SetValue(std::u16string_view path, std::u16string_view name, std::uint32_t type,
                std::vector<std::uint8_t> data);
  // A REG_SZ (or another string type) in UTF-16LE, with its terminating null unless told not to.
  void SetString(std::u16string_view path, std::u16string_view name, std::u16string_view text,
                 std::uint32_t type = kRegSz, bool terminated = true);
  void SetDword(std::u16string_view path, std::u16string_view name, std::uint32_t value);
  void RemoveValue(std::u16string_view path, std::u16string_view name);
  void Clear();  // every key but the root, and every value; counters and handles stay

  // Inspection (tests only).
  bool KeyExists(std::u16string_view path) const;
  std::optional<RegistryValue> Value(std::u16string_view path, std::u16string_view name) const;
  std::vector<RegistryValue> Values(std::u16string_view path) const;  // in the order stored
  std::vector<std::u16string> KeyPaths() const;                       // every key but the root

  // Write refusal: Open with KEY_SET_VALUE or KEY_CREATE_SUB_KEY in the mask answers 5.
  void DenyWriteEverywhere(bool deny);
  void DenyWrite(std::u16string_view path, bool deny = true);  // an existing key; no effect otherwise

  // Counters.
  int OpenHandleCount() const;
  int OpenCount(std::uint32_t access) const;  // successful opens with exactly this mask
  int TotalOpenCount() const;                 // successful opens, any mask
  void ResetCounters();                       // the open counts (open handles are not forgotten)

 private:
  struct StoredKey {
    std::u16string path;  // as first created
    std::vector<RegistryValue> values;
    bool denyWrite = false;
  };
  struct Handle {
    std::u16string folded;  // the key's folded path
    std::uint32_t access = 0;
  };

  static std::u16string Fold(std::u16string_view text);
  StoredKey* FindKey(std::u16string_view path);
  const StoredKey* FindKey(std::u16string_view path) const;
  StoredKey& MakeKey(std::u16string_view path);
  long HandleKey(RegKey key, std::uint32_t right, StoredKey** found);

  mutable std::mutex m_mutex;
  std::map<std::u16string, StoredKey> m_keys;  // by folded path; "" is the root
  std::map<RegKey, Handle> m_handles;
  RegKey m_nextHandle = 0x1000;
  bool m_denyWriteEverywhere = false;
  std::map<std::uint32_t, int> m_openCounts;
};

}  // namespace platform
