// The conformance suite on the in-memory store.
#include <memory>

#include "tests/conformance/RegistryConformance.h"
#include "tests/support/MemoryRegistry.h"

namespace {

class MemoryStore final : public conformance::RegistryUnderTest {
 public:
  MemoryStore() { m_registry.CreateKey(kScratch); }
  platform::Registry& Registry() override { return m_registry; }
  std::u16string ScratchKey() override { return kScratch; }
  void CreateKey(const std::u16string& path) override { m_registry.CreateKey(path); }
  void Seed(const std::u16string& path, const std::u16string& name, std::uint32_t type,
            std::vector<std::uint8_t> data) override {
    m_registry.SetValue(path, name, type, std::move(data));
  }
  std::optional<conformance::StoredValue> Stored(const std::u16string& path,
                                                 const std::u16string& name) override {
    const auto value = m_registry.Value(path, name);
    if (!value) return std::nullopt;
    return conformance::StoredValue{value->type, value->data};
  }
  std::vector<std::u16string> ValueNames(const std::u16string& path) override {
    std::vector<std::u16string> names;
    for (const platform::RegistryValue& value : m_registry.Values(path)) names.push_back(value.name);
    return names;
  }
  bool KeyExists(const std::u16string& path) override { return m_registry.KeyExists(path); }
  void DenyWrite(const std::u16string& path) override { m_registry.DenyWrite(path); }

  ~MemoryStore() override {
    // Whatever a test opened, it closed.
    EXPECT_EQ(m_registry.OpenHandleCount(), 0);
  }

 private:
  static constexpr const char16_t* kScratch =
      u"System\\ControlSet001\\Control\\Video\\{C0F0A000-0000-0000-0000-000000000000}\\0000";
  platform::MemoryRegistry m_registry;
};

}  // namespace

using conformance::RegistryConformance;

INSTANTIATE_TEST_SUITE_P(Memory, RegistryConformance,
                         ::testing::Values(conformance::RegistryFactory{
                             "Memory", [] { return std::make_unique<MemoryStore>(); }}),
                         conformance::FactoryName);
