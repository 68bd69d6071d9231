// The registry conformance suite on the hive store. The test's own means of seeding and
// inspecting are libhivex on the file itself, so what is checked is what is on disk: Stored()
// flushes the store first and reads the file back.
#include <hivex.h>
#include <sys/stat.h>

#include <cstdio>
#include <memory>

#include "base/Text.h"
#include "base/posix/Owners.h"
#include "platform/posix/HiveStore.h"
#include "tests/conformance/RegistryConformance.h"
#include "tests/hive/StoreTestSupport.h"

namespace {

using base::Utf16FromUtf8;
using base::Utf8FromUtf16;

// The components below the hive root of a path "System\...".
std::vector<std::string> Components(const std::u16string& path) {
  std::vector<std::string> parts;
  std::string text = Utf8FromUtf16(path);
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find('\\', start);
    parts.push_back(text.substr(start, end == std::string::npos ? end : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  parts.erase(parts.begin());
  return parts;
}

class HiveUnderTest final : public conformance::RegistryUnderTest {
 public:
  HiveUnderTest() : m_hive(hivetest::DemoHive(m_folder)) {
    CreateKey(kScratch);
    base::Failure failure;
    m_store = platform::HiveStore::Load(m_hive, &failure);
  }
  ~HiveUnderTest() override { EXPECT_EQ(m_store->OpenHandles(), 0u); }

  platform::Registry& Registry() override { return *m_store; }
  std::u16string ScratchKey() override { return kScratch; }

  void CreateKey(const std::u16string& path) override {
    Edit([&](hive_h* hive) { Node(hive, path, true); });
  }
  void Seed(const std::u16string& path, const std::u16string& name, std::uint32_t type,
            std::vector<std::uint8_t> data) override {
    Edit([&](hive_h* hive) {
      const std::string key = Utf8FromUtf16(name);
      hive_set_value value{const_cast<char*>(key.c_str()), static_cast<hive_type>(type), data.size(),
                           reinterpret_cast<char*>(data.data())};
      ASSERT_EQ(hivex_node_set_value(hive, Node(hive, path, false), &value, 0), 0);
    });
  }
  std::optional<conformance::StoredValue> Stored(const std::u16string& path,
                                                 const std::u16string& name) override {
    std::optional<conformance::StoredValue> stored;
    Read([&](hive_h* hive) {
      const hive_node_h node = Node(hive, path, false);
      const hive_value_h value =
          node != 0 ? hivex_node_get_value(hive, node, Utf8FromUtf16(name).c_str()) : 0;
      if (value == 0) return;
      hive_type type{};
      std::size_t size = 0;
      char* bytes = hivex_value_value(hive, value, &type, &size);
      stored = conformance::StoredValue{static_cast<std::uint32_t>(type),
                                        std::vector<std::uint8_t>(bytes, bytes + size)};
      std::free(bytes);
    });
    return stored;
  }
  std::vector<std::u16string> ValueNames(const std::u16string& path) override {
    std::vector<std::u16string> names;
    Read([&](hive_h* hive) {
      const hive_node_h node = Node(hive, path, false);
      hive_value_h* values = node != 0 ? hivex_node_values(hive, node) : nullptr;
      for (hive_value_h* value = values; value != nullptr && *value != 0; ++value) {
        char* name = hivex_value_key(hive, *value);
        names.push_back(Utf16FromUtf8(name));
        std::free(name);
      }
      std::free(values);
    });
    return names;
  }
  bool KeyExists(const std::u16string& path) override {
    bool exists = false;
    Read([&](hive_h* hive) { exists = Node(hive, path, false) != 0; });
    return exists;
  }
  // The hive file is the unit of permission: a read-only file refuses writing everywhere.
  void DenyWrite(const std::u16string&) override { chmod(m_hive.c_str(), 0444); }

 private:
  static constexpr const char16_t* kScratch =
      u"System\\ControlSet001\\Control\\Video\\{C0F0A000-0000-0000-0000-000000000000}\\0000";

  static hive_node_h Node(hive_h* hive, const std::u16string& path, bool create) {
    hive_node_h node = hivex_root(hive);
    for (const std::string& name : Components(path)) {
      const hive_node_h child = node != 0 ? hivex_node_get_child(hive, node, name.c_str()) : 0;
      node = child == 0 && create && node != 0 ? hivex_node_add_child(hive, node, name.c_str()) : child;
    }
    return node;
  }
  template <typename F>
  void Read(F use) {
    if (m_store) {
      ASSERT_EQ(m_store->Flush(), 0);
    }
    hivetest::HivexHandle hiveOwner(hivex_open(m_hive.c_str(), 0));
    hive_h* hive = hiveOwner.get();
    ASSERT_NE(hive, nullptr);
    use(hive);
  }
  // Another program's edit: written to a new file that replaces the hive.
  template <typename F>
  void Edit(F change) {
    hivetest::HivexHandle hiveOwner(hivex_open(m_hive.c_str(), HIVEX_OPEN_WRITE));
    hive_h* hive = hiveOwner.get();
    ASSERT_NE(hive, nullptr);
    change(hive);
    const std::string next = m_hive + ".next";
    ASSERT_EQ(hivex_commit(hive, next.c_str(), 0), 0);
    hiveOwner.reset();
    ASSERT_EQ(std::rename(next.c_str(), m_hive.c_str()), 0);
    m_folder.Planted(m_hive);
  }

  hivetest::TempFolder m_folder;
  std::string m_hive;
  std::unique_ptr<platform::HiveStore> m_store;
};

}  // namespace

using conformance::RegistryConformance;

INSTANTIATE_TEST_SUITE_P(Hive, RegistryConformance,
                         ::testing::Values(conformance::RegistryFactory{
                             "Hive", [] { return std::make_unique<HiveUnderTest>(); }}),
                         conformance::FactoryName);
