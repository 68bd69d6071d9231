#include "tests/support/MemoryRegistry.h"

#include <algorithm>
#include <utility>

#include "base/ByteOrder.h"
#include "base/Text.h"

namespace platform {
namespace {

RegistryValue* FindValue(std::vector<RegistryValue>& values, std::u16string_view name) {
  for (RegistryValue& value : values)
    if (base::NamesEqual(value.name, name)) return &value;
  return nullptr;
}

}  // namespace

MemoryRegistry::MemoryRegistry() { m_keys.emplace(u"", StoredKey{}); }

std::u16string MemoryRegistry::Fold(std::u16string_view text) {
  std::u16string folded(text);
  for (char16_t& c : folded) c = base::UpcaseUnit(c);
  return folded;
}

MemoryRegistry::StoredKey* MemoryRegistry::FindKey(std::u16string_view path) {
  const auto found = m_keys.find(Fold(path));
  return found == m_keys.end() ? nullptr : &found->second;
}

const MemoryRegistry::StoredKey* MemoryRegistry::FindKey(std::u16string_view path) const {
  const auto found = m_keys.find(Fold(path));
  return found == m_keys.end() ? nullptr : &found->second;
}

MemoryRegistry::StoredKey& MemoryRegistry::MakeKey(std::u16string_view path) {
  // Every parent first, so that the keys always form a tree.
  for (std::size_t end = path.find(u'\\'); end != std::u16string_view::npos;
       end = path.find(u'\\', end + 1)) {
    const std::u16string_view parent = path.substr(0, end);
    if (!parent.empty() && FindKey(parent) == nullptr)
      m_keys.emplace(Fold(parent), StoredKey{std::u16string(parent), {}, false});
  }
  StoredKey* key = FindKey(path);
  if (key != nullptr) return *key;
  return m_keys.emplace(Fold(path), StoredKey{std::u16string(path), {}, false}).first->second;
}

long MemoryRegistry::HandleKey(RegKey key, std::uint32_t right, StoredKey** found) {
  const auto handle = m_handles.find(key);
  if (handle == m_handles.end()) return kInvalidHandle;
  const auto entry = m_keys.find(handle->second.folded);
  if (entry == m_keys.end()) return kKeyDeleted;
  if ((handle->second.access & right) == 0) return kAccessDenied;
  *found = &entry->second;
  return kSuccess;
}

long MemoryRegistry::Open(std::u16string_view path, std::uint32_t access, RegKey* key) {
  std::lock_guard lock(m_mutex);
  if (key == nullptr) return kInvalidParameter;
  if (!path.empty() && path.front() == u'\\') return kBadPathName;
  StoredKey* found = FindKey(path);
  if (found == nullptr) return kFileNotFound;
  if ((access & (kKeySetValue | kKeyCreateSubKey)) != 0 && (m_denyWriteEverywhere || found->denyWrite))
    return kAccessDenied;
  const RegKey handle = m_nextHandle++;
  m_handles.emplace(handle, Handle{Fold(path), access});
  ++m_openCounts[access];
  *key = handle;
  return kSuccess;
}

long MemoryRegistry::Query(RegKey key, std::u16string_view name, std::uint32_t* type, std::uint8_t* data,
                           std::uint32_t* size) {
  std::lock_guard lock(m_mutex);
  StoredKey* found = nullptr;
  if (const long status = HandleKey(key, kKeyQueryValue, &found); status != kSuccess) return status;
  if (data != nullptr && size == nullptr) return kInvalidParameter;
  const RegistryValue* value = FindValue(found->values, name);
  if (value == nullptr) return kFileNotFound;
  const auto needed = static_cast<std::uint32_t>(value->data.size());
  if (type != nullptr) *type = value->type;
  if (data != nullptr && *size < needed) {
    *size = needed;
    return kMoreData;
  }
  if (data != nullptr) std::copy(value->data.begin(), value->data.end(), data);
  if (size != nullptr) *size = needed;
  return kSuccess;
}

long MemoryRegistry::Set(RegKey key, std::u16string_view name, std::uint32_t type, const std::uint8_t* data,
                         std::uint32_t size) {
  std::lock_guard lock(m_mutex);
  StoredKey* found = nullptr;
  if (const long status = HandleKey(key, kKeySetValue, &found); status != kSuccess) return status;
  if (data == nullptr && size != 0) return kInvalidParameter;
  std::vector<std::uint8_t> bytes(data, data + size);
  if (RegistryValue* value = FindValue(found->values, name)) {
    value->type = type;
    value->data = std::move(bytes);
  } else {
    found->values.push_back(RegistryValue{std::u16string(name), type, std::move(bytes)});
  }
  return kSuccess;
}

long MemoryRegistry::Delete(RegKey key, std::u16string_view name) {
  std::lock_guard lock(m_mutex);
  StoredKey* found = nullptr;
  if (const long status = HandleKey(key, kKeySetValue, &found); status != kSuccess) return status;
  const auto value = std::find_if(found->values.begin(), found->values.end(),
                                  [&](const RegistryValue& v) { return base::NamesEqual(v.name, name); });
  if (value == found->values.end()) return kFileNotFound;
  found->values.erase(value);
  return kSuccess;
}

long MemoryRegistry::Close(RegKey key) {
  std::lock_guard lock(m_mutex);
  return m_handles.erase(key) == 1 ? kSuccess : kInvalidHandle;
}

long MemoryRegistry::Subkeys(RegKey key, std::vector<std::u16string>* names) {
  std::lock_guard lock(m_mutex);
  names->clear();
  StoredKey* found = nullptr;
  if (const long status = HandleKey(key, kKeyEnumerateSubKeys, &found); status != kSuccess) return status;
  const std::u16string prefix = found->path.empty() ? std::u16string() : Fold(found->path) + u"\\";
  for (const auto& [folded, stored] : m_keys)
    if (!folded.empty() && folded.starts_with(prefix) &&
        folded.find(u'\\', prefix.size()) == std::u16string::npos)
      names->push_back(stored.path.substr(stored.path.rfind(u'\\') + 1));
  return kSuccess;
}

void MemoryRegistry::CreateKey(std::u16string_view path) {
  std::lock_guard lock(m_mutex);
  MakeKey(path);
}

void MemoryRegistry::SetValue(std::u16string_view path, std::u16string_view name, std::uint32_t type,
                              std::vector<std::uint8_t> data) {
  std::lock_guard lock(m_mutex);
  StoredKey& key = MakeKey(path);
  if (RegistryValue* value = FindValue(key.values, name)) {
    value->type = type;
    value->data = std::move(data);
  } else {
    key.values.push_back(RegistryValue{std::u16string(name), type, std::move(data)});
  }
}

void MemoryRegistry::SetString(std::u16string_view path, std::u16string_view name, std::u16string_view text,
                               std::uint32_t type, bool terminated) {
  SetValue(path, name, type, base::Utf16Bytes(text, terminated));
}

void MemoryRegistry::SetDword(std::u16string_view path, std::u16string_view name, std::uint32_t value) {
  const auto bytes = base::LittleEndian32(value);
  SetValue(path, name, kRegDword, {bytes.begin(), bytes.end()});
}

void MemoryRegistry::RemoveValue(std::u16string_view path, std::u16string_view name) {
  std::lock_guard lock(m_mutex);
  StoredKey* key = FindKey(path);
  if (key == nullptr) return;
  std::erase_if(key->values, [&](const RegistryValue& v) { return base::NamesEqual(v.name, name); });
}

void MemoryRegistry::Clear() {
  std::lock_guard lock(m_mutex);
  m_keys.clear();
  m_keys.emplace(u"", StoredKey{});
}

bool MemoryRegistry::KeyExists(std::u16string_view path) const {
  std::lock_guard lock(m_mutex);
  return FindKey(path) != nullptr;
}

std::optional<RegistryValue> MemoryRegistry::Value(std::u16string_view path, std::u16string_view name) const {
  std::lock_guard lock(m_mutex);
  const StoredKey* key = FindKey(path);
  if (key == nullptr) return std::nullopt;
  for (const RegistryValue& value : key->values)
    if (base::NamesEqual(value.name, name)) return value;
  return std::nullopt;
}

std::vector<RegistryValue> MemoryRegistry::Values(std::u16string_view path) const {
  std::lock_guard lock(m_mutex);
  const StoredKey* key = FindKey(path);
  return key == nullptr ? std::vector<RegistryValue>{} : key->values;
}

std::vector<std::u16string> MemoryRegistry::KeyPaths() const {
  std::lock_guard lock(m_mutex);
  std::vector<std::u16string> paths;
  for (const auto& [folded, key] : m_keys)
    if (!folded.empty()) paths.push_back(key.path);
  return paths;
}

void MemoryRegistry::DenyWriteEverywhere(bool deny) {
  std::lock_guard lock(m_mutex);
  m_denyWriteEverywhere = deny;
}

void MemoryRegistry::DenyWrite(std::u16string_view path, bool deny) {
  std::lock_guard lock(m_mutex);
  if (StoredKey* key = FindKey(path)) key->denyWrite = deny;
}

int MemoryRegistry::OpenHandleCount() const {
  std::lock_guard lock(m_mutex);
  return static_cast<int>(m_handles.size());
}

int MemoryRegistry::OpenCount(std::uint32_t access) const {
  std::lock_guard lock(m_mutex);
  const auto found = m_openCounts.find(access);
  return found == m_openCounts.end() ? 0 : found->second;
}

int MemoryRegistry::TotalOpenCount() const {
  std::lock_guard lock(m_mutex);
  int total = 0;
  for (const auto& [access, count] : m_openCounts) total += count;
  return total;
}

void MemoryRegistry::ResetCounters() {
  std::lock_guard lock(m_mutex);
  m_openCounts.clear();
}

}  // namespace platform
