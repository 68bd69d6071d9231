// CSettingsKey: ownership of its one handle, and the checks QueryString makes on what it reads.
#include <gtest/gtest.h>

#include <utility>

#include "settings/SettingsKey.h"
#include "tests/support/ForwardingRegistry.h"
#include "tests/support/TestServices.h"

namespace {

const std::u16string kKey = u"System\\CurrentControlSet\\Control\\Video\\{A}\\0000\\D3D";
const std::u16string kOther = u"System\\CurrentControlSet\\Control\\Video\\{A}\\0000";

class SettingsKeyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    services.registry.CreateKey(kKey);
    services.registry.SetString(kKey, u"InKey", u"1");
    services.registry.SetString(kOther, u"InOther", u"2");
  }
  // Whether the held handle is the key holding this value.
  static bool Holds(CSettingsKey& key, const std::u16string& name) {
    std::uint32_t size = 0;
    return platform::GetRegistry().Query(key.GetHandle(), name, nullptr, nullptr, &size) ==
           platform::kSuccess;
  }
  TestServices services;
};

TEST_F(SettingsKeyTest, FailedOpenKeepsTheKeyHeldBefore) {
  CSettingsKey key;
  ASSERT_EQ(key.Open(kKey, platform::kKeyRead), 0);
  EXPECT_EQ(key.Open(kKey + u"\\Missing", platform::kKeyRead), platform::kFileNotFound);
  EXPECT_TRUE(Holds(key, u"InKey"));
  services.registry.DenyWrite(kOther);
  EXPECT_EQ(key.Open(kOther, platform::kKeyWrite), platform::kAccessDenied);
  EXPECT_TRUE(Holds(key, u"InKey"));
  EXPECT_EQ(services.registry.OpenHandleCount(), 1);
}

TEST_F(SettingsKeyTest, SuccessfulOpenReplacesAndClosesTheOldKey) {
  CSettingsKey key;
  ASSERT_EQ(key.Open(kKey, platform::kKeyRead), 0);
  ASSERT_EQ(key.Open(kOther, platform::kKeyRead), 0);
  EXPECT_TRUE(Holds(key, u"InOther"));
  EXPECT_EQ(services.registry.OpenHandleCount(), 1);
  EXPECT_EQ(key.Close(), 0);
  EXPECT_EQ(key.GetHandle(), 0u);
  EXPECT_EQ(key.Close(), 0) << "closing an empty key is no error";
  EXPECT_EQ(services.registry.OpenHandleCount(), 0);
}

TEST_F(SettingsKeyTest, DestructionAndMovesReleaseEachHandleOnce) {
  {
    CSettingsKey first;
    ASSERT_EQ(first.Open(kKey, platform::kKeyRead), 0);
    CSettingsKey second(std::move(first));
    EXPECT_EQ(first.GetHandle(), 0u);  // NOLINT(bugprone-use-after-move): moved-from is empty
    EXPECT_TRUE(Holds(second, u"InKey"));
    CSettingsKey third;
    ASSERT_EQ(third.Open(kOther, platform::kKeyRead), 0);
    third = std::move(second);  // closes third's own key
    EXPECT_TRUE(Holds(third, u"InKey"));
    EXPECT_EQ(services.registry.OpenHandleCount(), 1);
  }
  EXPECT_EQ(services.registry.OpenHandleCount(), 0);
}

// A registry whose every close fails, over the test's registry.
class FailingCloses final : public platform::ForwardingRegistry {
 public:
  using ForwardingRegistry::ForwardingRegistry;
  long Close(platform::RegKey key) override {
    ForwardingRegistry::Close(key);
    return platform::kInvalidHandle;
  }
};

// An Open that replaces a key reports the open, whatever closing the old key said.
TEST_F(SettingsKeyTest, OpenReportsTheOpenNotTheReplacedKeysClose) {
  FailingCloses failing(services.registry);
  const base::Installed<platform::SetRegistry> installed(failing);
  CSettingsKey key;
  ASSERT_EQ(key.Open(kKey, platform::kKeyRead), 0);
  EXPECT_EQ(key.Open(kOther, platform::kKeyRead), 0);
  EXPECT_TRUE(Holds(key, u"InOther"));
  EXPECT_EQ(services.registry.OpenHandleCount(), 1);
}

// The key owner beneath CSettingsKey closes each key in the registry that opened it, which need
// not be the program's registry (the simulated board reads through the one it is given).
TEST_F(SettingsKeyTest, KeyOwnerClosesInTheRegistryThatOpenedIt) {
  platform::MemoryRegistry other;
  other.CreateKey(kOther);
  {
    platform::KeyOwner key;
    ASSERT_EQ(platform::OpenKey(services.registry, kKey, platform::kKeyRead, &key), 0);
    ASSERT_EQ(platform::OpenKey(other, kOther, platform::kKeyRead, &key), 0);
    EXPECT_EQ(services.registry.OpenHandleCount(), 0) << "the replaced key is closed where it was opened";
    EXPECT_EQ(platform::OpenKey(services.registry, kKey + u"\\Missing", platform::kKeyRead, &key),
              platform::kFileNotFound);
    EXPECT_EQ(other.OpenHandleCount(), 1) << "a failed open keeps the key held before";
    EXPECT_NE(key.Get(), 0u);
  }
  EXPECT_EQ(other.OpenHandleCount(), 0);
  EXPECT_EQ(services.registry.OpenHandleCount(), 0);
}

struct QueryCase {
  const char* what;
  std::uint32_t type;
  std::vector<std::uint8_t> bytes;
  std::uint32_t capacity;
  long status;
  std::uint32_t count;  // characters delivered
  std::u16string text;  // when the status is 0
};

class QueryStringTest : public SettingsKeyTest, public ::testing::WithParamInterface<QueryCase> {};

TEST_P(QueryStringTest, ChecksTypeSizeAndTerminator) {
  const QueryCase& c = GetParam();
  services.registry.SetValue(kKey, u"Value", c.type, c.bytes);
  CSettingsKey key;
  ASSERT_EQ(key.Open(kKey, platform::kKeyRead), 0);
  char16_t buffer[8];
  std::fill(std::begin(buffer), std::end(buffer), u'#');
  std::uint32_t count = c.capacity;
  EXPECT_EQ(key.QueryString(u"Value", buffer, count), c.status);
  EXPECT_EQ(count, c.count);
  if (c.status == 0) {
    EXPECT_EQ(std::u16string(buffer), c.text);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Values, QueryStringTest,
    ::testing::Values(
        QueryCase{"text", platform::kRegSz, {'4', 0, '2', 0, 0, 0}, 8, 0, 3, u"42"},
        QueryCase{"expandable text", platform::kRegExpandSz, {'5', 0, 0, 0}, 8, 0, 2, u"5"},
        QueryCase{"no bytes is the empty text", platform::kRegSz, {}, 8, 0, 0, u""},
        QueryCase{"just the null", platform::kRegSz, {0, 0}, 8, 0, 1, u""},
        QueryCase{"dword", platform::kRegDword, {5, 0, 0, 0}, 8, 13, 0, u""},
        QueryCase{"binary", platform::kRegBinary, {'5', 0, 0, 0}, 8, 13, 0, u""},
        QueryCase{"unterminated", platform::kRegSz, {'5', 0, '6', 0}, 8, 13, 0, u""},
        QueryCase{"odd size", platform::kRegSz, {'5', 0, 0}, 8, 13, 0, u""},
        QueryCase{"exactly the capacity", platform::kRegSz, {'1', 0, '2', 0, 0, 0}, 3, 0, 3, u"12"},
        QueryCase{"larger than the capacity", platform::kRegSz, {'1', 0, '2', 0, 0, 0}, 2, 234, 0, u""},
        QueryCase{"zero capacity", platform::kRegSz, {0, 0}, 0, 234, 0, u""}),
    [](const auto& row) {
      std::string name = row.param.what;
      for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      return name;
    });

TEST_F(SettingsKeyTest, QueryStringWithoutBufferGivesTheSizeInCharacters) {
  services.registry.SetString(kKey, u"Value", u"1234");
  CSettingsKey key;
  ASSERT_EQ(key.Open(kKey, platform::kKeyRead), 0);
  std::uint32_t count = 0;
  EXPECT_EQ(key.QueryString(u"Value", nullptr, count), 0);
  EXPECT_EQ(count, 5u);
  count = 64;
  EXPECT_EQ(key.QueryString(u"Missing", nullptr, count), platform::kFileNotFound);
  EXPECT_EQ(count, 0u);
}

TEST_F(SettingsKeyTest, QueryRawDeliversAnyTypeAsBytes) {
  services.registry.SetDword(kKey, u"Dword", 0x01020304);
  services.registry.SetString(kKey, u"Text", u"A");
  CSettingsKey key;
  ASSERT_EQ(key.Open(kKey, platform::kKeyRead), 0);
  std::uint8_t bytes[4] = {};
  std::uint32_t size = 4;
  EXPECT_EQ(key.QueryRaw(u"Dword", bytes, size), 0);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(bytes[0], 4);
  EXPECT_EQ(bytes[3], 1);
  size = 4;
  EXPECT_EQ(key.QueryRaw(u"Text", bytes, size), 0);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(bytes[0], 'A');
}

}  // namespace
