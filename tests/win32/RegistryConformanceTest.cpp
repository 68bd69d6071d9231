// The registry conformance suite on the real registry: the program's Win32 registry over a
// scratch key that each test deletes first and creates itself.
#include <memory>

#include "tests/conformance/RegistryConformance.h"
#include "tests/win32/TestRegistry.h"

namespace {

std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

// One scratch key per test, named after it, so that a key left behind by a failed run
// never meets another test.
std::u16string ScratchKeyOfThisTest() {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::u16string name = u"System\\ConfiguratorConformance\\";
  for (const char* c = test->name(); *c != '\0'; ++c)
    name.push_back(*c == '/' ? u'_' : static_cast<char16_t>(*c));
  return name;
}

class RealRegistry final : public conformance::RegistryUnderTest {
 public:
  RealRegistry() : m_key(ScratchKeyOfThisTest()) {
    EXPECT_TRUE(testregistry::DeleteKey(Wide(m_key)));
    EXPECT_TRUE(testregistry::CreateKey(Wide(m_key)));
  }
  ~RealRegistry() override { EXPECT_TRUE(testregistry::DeleteKey(Wide(m_key))); }

  platform::Registry& Registry() override { return platform::GetRegistry(); }
  std::u16string ScratchKey() override { return m_key; }
  void CreateKey(const std::u16string& path) override { EXPECT_TRUE(testregistry::CreateKey(Wide(path))); }
  void Seed(const std::u16string& path, const std::u16string& name, std::uint32_t type,
            std::vector<std::uint8_t> data) override {
    EXPECT_TRUE(testregistry::SetValue(Wide(path), Wide(name), type, data));
  }
  std::optional<conformance::StoredValue> Stored(const std::u16string& path,
                                                 const std::u16string& name) override {
    const auto value = testregistry::GetValue(Wide(path), Wide(name));
    if (!value) return std::nullopt;
    return conformance::StoredValue{value->type, value->data};
  }
  std::vector<std::u16string> ValueNames(const std::u16string& path) override {
    std::vector<std::u16string> names;
    for (const testregistry::Value& value : testregistry::Values(Wide(path)))
      names.emplace_back(value.name.begin(), value.name.end());
    return names;
  }
  bool KeyExists(const std::u16string& path) override { return testregistry::KeyExists(Wide(path)); }
  void DenyWrite(const std::u16string& path) override {
    EXPECT_TRUE(testregistry::SetSecurity(Wide(path), testregistry::kReadOnlyForEveryone));
  }

 private:
  std::u16string m_key;
};

}  // namespace

using conformance::RegistryConformance;

INSTANTIATE_TEST_SUITE_P(Win32, RegistryConformance,
                         ::testing::Values(conformance::RegistryFactory{
                             "Real", [] { return std::make_unique<RealRegistry>(); }}),
                         conformance::FactoryName);
