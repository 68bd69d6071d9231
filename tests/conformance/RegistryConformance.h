#pragma once
// The registry conformance suite, written once over platform::Registry and run on every store:
// the in-memory store and the hive store natively, the real registry under Wine.
//
// To run it on a store, compile RegistryConformance.cpp into the test program (with the settings
// code it exercises) and instantiate it with a factory of the store under test:
//
//   INSTANTIATE_TEST_SUITE_P(Hive, RegistryConformance,
//                            ::testing::Values(conformance::RegistryFactory{"Hive", [] { ... }}),
//                            conformance::FactoryName);
//
// Each test gets a fresh RegistryUnderTest with an empty scratch key, seeded and inspected
// through the store's own means (the Registry interface never creates keys). While a test runs,
// the store is the program's registry (platform::SetRegistry).
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Service.h"
#include "platform/Registry.h"

namespace conformance {

struct StoredValue {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
};

class RegistryUnderTest {
 public:
  virtual ~RegistryUnderTest() = default;
  virtual platform::Registry& Registry() = 0;
  // An existing key, empty, for this test alone; below HKEY_LOCAL_MACHINE's "System" key (a
  // hive store holds nothing else). Its subkey "Missing" must not exist.
  virtual std::u16string ScratchKey() = 0;
  // Creates a key (and its parents) through the store's own means.
  virtual void CreateKey(const std::u16string& path) = 0;
  // Stores exactly these bytes with this type, through the store's own means.
  virtual void Seed(const std::u16string& path, const std::u16string& name, std::uint32_t type,
                    std::vector<std::uint8_t> data) = 0;
  // Reads a value back through the store's own means; nullopt when it is missing.
  virtual std::optional<StoredValue> Stored(const std::u16string& path, const std::u16string& name) = 0;
  // The value names of a key, as stored (case included).
  virtual std::vector<std::u16string> ValueNames(const std::u16string& path) = 0;
  virtual bool KeyExists(const std::u16string& path) = 0;
  // From now on the key refuses KEY_WRITE with 5 (KEY_READ still opens it).
  virtual void DenyWrite(const std::u16string& path) = 0;
};

struct RegistryFactory {
  std::string name;
  std::function<std::unique_ptr<RegistryUnderTest>()> make;
};

inline std::string FactoryName(const ::testing::TestParamInfo<RegistryFactory>& row) {
  return row.param.name;
}

class RegistryConformance : public ::testing::TestWithParam<RegistryFactory> {
 protected:
  void SetUp() override;
  void TearDown() override;

  RegistryUnderTest& Store() { return *m_store; }
  platform::Registry& Registry() { return m_store->Registry(); }
  const std::u16string& KeyPath() const { return m_key; }

 private:
  std::unique_ptr<RegistryUnderTest> m_store;
  std::optional<base::Installed<platform::SetRegistry>> m_installed;
  std::u16string m_key;
};

}  // namespace conformance
