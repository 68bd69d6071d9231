#pragma once
// A registry that passes every call to another one: a test's stand-in derives from it and
// overrides only the calls it changes (a write it forgets, a close that fails, a log of calls).
// In namespace platform beside the other test doubles (MemoryRegistry).
#include "platform/Registry.h"

namespace platform {

class ForwardingRegistry : public Registry {
 public:
  explicit ForwardingRegistry(Registry& inner) : m_inner(inner) {}

  long Open(std::u16string_view path, std::uint32_t access, RegKey* key) override {
    return m_inner.Open(path, access, key);
  }
  long Query(RegKey key, std::u16string_view name, std::uint32_t* type, std::uint8_t* data,
             std::uint32_t* size) override {
    return m_inner.Query(key, name, type, data, size);
  }
  long Set(RegKey key, std::u16string_view name, std::uint32_t type, const std::uint8_t* data,
           std::uint32_t size) override {
    return m_inner.Set(key, name, type, data, size);
  }
  long Delete(RegKey key, std::u16string_view name) override { return m_inner.Delete(key, name); }
  long Close(RegKey key) override { return m_inner.Close(key); }
  long Subkeys(RegKey key, std::vector<std::u16string>* names) override {
    return m_inner.Subkeys(key, names);
  }

 private:
  Registry& m_inner;
};

}  // namespace platform
