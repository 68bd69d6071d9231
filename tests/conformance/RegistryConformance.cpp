// The registry behaviours the program relies on, checked on one store per instantiation; then
// the settings key object and the number sequences over that store.
#include "tests/conformance/RegistryConformance.h"

#include <algorithm>
#include <climits>

#include "base/Text.h"
#include "settings/SettingsKey.h"
#include "settings/ValueAccess.h"

namespace conformance {
namespace {

std::vector<std::uint8_t> Utf16(std::u16string_view text, bool terminated = true) {
  std::vector<std::uint8_t> bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  if (terminated) bytes.insert(bytes.end(), {0, 0});
  return bytes;
}

// Opens a key of the store and closes it when the test is done with it.
class OpenKey {
 public:
  OpenKey(platform::Registry& registry, const std::u16string& path, std::uint32_t access)
      : m_registry(registry), m_status(registry.Open(path, access, &m_key)) {}
  ~OpenKey() {
    if (m_status == platform::kSuccess) m_registry.Close(m_key);
  }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;
  long Status() const { return m_status; }
  platform::RegKey Handle() const { return m_key; }

 private:
  platform::Registry& m_registry;
  platform::RegKey m_key = 0;
  long m_status;
};

}  // namespace

void RegistryConformance::SetUp() {
  m_store = GetParam().make();
  ASSERT_TRUE(m_store);
  m_key = m_store->ScratchKey();
  m_installed.emplace(m_store->Registry());
}

void RegistryConformance::TearDown() {
  m_installed.reset();
  m_store.reset();
}

// --- The registry interface -------------------------------------------------------------

TEST_P(RegistryConformance, EmptyPathOpensTheRootWhichHoldsNoneOfTheValues) {
  Store().Seed(KeyPath(), u"HardwareInformation.ChipType", platform::kRegSz, Utf16(u"QEL 700"));
  OpenKey root(Registry(), u"", platform::kKeyRead);
  ASSERT_EQ(root.Status(), platform::kSuccess);
  std::uint32_t size = 0;
  EXPECT_EQ(Registry().Query(root.Handle(), u"HardwareInformation.ChipType", nullptr, nullptr, &size),
            platform::kFileNotFound);
}

TEST_P(RegistryConformance, OpenFailuresLeaveTheKeyAndCreateNothing) {
  platform::RegKey key = 0x5A5A;
  EXPECT_EQ(Registry().Open(KeyPath() + u"\\Missing", platform::kKeyRead, &key), platform::kFileNotFound);
  EXPECT_EQ(Registry().Open(KeyPath() + u"\\Missing", platform::kKeyWrite, &key), platform::kFileNotFound);
  EXPECT_EQ(Registry().Open(u"\\" + KeyPath(), platform::kKeyRead, &key), platform::kBadPathName);
  EXPECT_EQ(key, 0x5A5Au);
  EXPECT_FALSE(Store().KeyExists(KeyPath() + u"\\Missing"));
}

TEST_P(RegistryConformance, KeyThatForbidsWritingRefusesWriteAccessOnly) {
  Store().DenyWrite(KeyPath());
  OpenKey write(Registry(), KeyPath(), platform::kKeyWrite);
  EXPECT_EQ(write.Status(), platform::kAccessDenied);
  OpenKey read(Registry(), KeyPath(), platform::kKeyRead);
  EXPECT_EQ(read.Status(), platform::kSuccess);
}

TEST_P(RegistryConformance, HandleRightsDecideWhatItMayDo) {
  Store().Seed(KeyPath(), u"Value", platform::kRegBinary, {1, 2, 3, 4});
  OpenKey write(Registry(), KeyPath(), platform::kKeyWrite);
  ASSERT_EQ(write.Status(), platform::kSuccess);
  std::uint32_t size = 0;
  EXPECT_EQ(Registry().Query(write.Handle(), u"Value", nullptr, nullptr, &size), platform::kAccessDenied);
  OpenKey read(Registry(), KeyPath(), platform::kKeyRead);
  ASSERT_EQ(read.Status(), platform::kSuccess);
  const std::uint8_t byte = 7;
  EXPECT_EQ(Registry().Set(read.Handle(), u"Value", platform::kRegBinary, &byte, 1), platform::kAccessDenied);
  EXPECT_EQ(Registry().Delete(read.Handle(), u"Value"), platform::kAccessDenied);
  EXPECT_EQ(Store().Stored(KeyPath(), u"Value")->data, (std::vector<std::uint8_t>{1, 2, 3, 4}));
}

TEST_P(RegistryConformance, QuerySizesAndShortBuffers) {
  Store().Seed(KeyPath(), u"Value", platform::kRegBinary, {1, 2, 3, 4, 5, 6});
  OpenKey key(Registry(), KeyPath(), platform::kKeyRead);
  ASSERT_EQ(key.Status(), platform::kSuccess);

  std::uint32_t type = 0;
  std::uint32_t size = 0;
  EXPECT_EQ(Registry().Query(key.Handle(), u"Value", &type, nullptr, &size), platform::kSuccess);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(type, platform::kRegBinary);

  std::uint8_t buffer[8] = {9, 9, 9, 9, 9, 9, 9, 9};
  size = 4;
  EXPECT_EQ(Registry().Query(key.Handle(), u"Value", nullptr, buffer, &size), platform::kMoreData);
  EXPECT_EQ(size, 6u);
  EXPECT_TRUE(std::all_of(std::begin(buffer), std::end(buffer), [](std::uint8_t b) { return b == 9; }))
      << "a short buffer is left untouched";
  size = 0;
  EXPECT_EQ(Registry().Query(key.Handle(), u"Value", nullptr, buffer, &size), platform::kMoreData);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(buffer[0], 9) << "a buffer of no bytes is left untouched";
  EXPECT_EQ(Registry().Query(key.Handle(), u"Value", nullptr, buffer, nullptr), platform::kInvalidParameter);

  size = sizeof buffer;
  EXPECT_EQ(Registry().Query(key.Handle(), u"Value", nullptr, buffer, &size), platform::kSuccess);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(buffer[5], 6);
  EXPECT_EQ(buffer[6], 9);

  size = sizeof buffer;
  EXPECT_EQ(Registry().Query(key.Handle(), u"Missing", nullptr, buffer, &size), platform::kFileNotFound);
}

TEST_P(RegistryConformance, NamesAreCaseInsensitiveAndCasePreserving) {
  Store().Seed(KeyPath(), u"MixedCase", platform::kRegBinary, {1});
  std::u16string upperKey = KeyPath();
  std::transform(upperKey.begin(), upperKey.end(), upperKey.begin(),
                 [](char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; });
  OpenKey key(Registry(), upperKey, platform::kKeyRead | platform::kKeyWrite);
  ASSERT_EQ(key.Status(), platform::kSuccess);
  std::uint32_t size = 0;
  EXPECT_EQ(Registry().Query(key.Handle(), u"MIXEDCASE", nullptr, nullptr, &size), platform::kSuccess);
  const std::uint8_t byte = 2;
  EXPECT_EQ(Registry().Set(key.Handle(), u"NewValue", platform::kRegBinary, &byte, 1), platform::kSuccess);
  EXPECT_EQ(Registry().Set(key.Handle(), u"mixedcase", platform::kRegBinary, &byte, 1), platform::kSuccess);
  std::vector<std::u16string> names = Store().ValueNames(KeyPath());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::u16string>{u"MixedCase", u"NewValue"}));
  EXPECT_EQ(Store().Stored(KeyPath(), u"MixedCase")->data, std::vector<std::uint8_t>{2});
}

// Beyond ASCII, letters still pair up with their capitals; an accent is not a case.
TEST_P(RegistryConformance, NonAsciiNamesFoldAsWindowsFoldsThem) {
  struct Row {
    std::u16string stored, asked;
    bool same;
  };
  const Row rows[] = {
      {u"\u00C9t\u00E9", u"\u00E9T\u00C9", true},  // Latin-1
      {u"\u00FFy", u"\u0178Y", true},              // y with diaeresis, whose capital is outside Latin-1
      {u"\u03A9\u03C3", u"\u03C9\u03A3", true},    // Greek
      {u"\u0416\u0451", u"\u0436\u0401", true},    // Cyrillic
      {u"Accent\u00C9", u"AccentE", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(base::Utf8FromUtf16(row.asked));
    Store().Seed(KeyPath(), row.stored, platform::kRegBinary, {1});
    OpenKey key(Registry(), KeyPath(), platform::kKeyRead | platform::kKeyWrite);
    ASSERT_EQ(key.Status(), platform::kSuccess);
    std::uint32_t size = 0;
    EXPECT_EQ(Registry().Query(key.Handle(), row.asked, nullptr, nullptr, &size) == platform::kSuccess,
              row.same);
    const std::uint8_t byte = 2;
    EXPECT_EQ(Registry().Set(key.Handle(), row.asked, platform::kRegBinary, &byte, 1), platform::kSuccess);
    EXPECT_EQ(Store().Stored(KeyPath(), row.stored)->data,
              std::vector<std::uint8_t>{std::uint8_t(row.same ? 2 : 1)});
  }
  std::vector<std::u16string> names = Store().ValueNames(KeyPath());
  std::sort(names.begin(), names.end());
  std::vector<std::u16string> expected;
  for (const Row& row : rows) expected.push_back(row.stored);
  expected.push_back(u"AccentE");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected) << "the stored spelling is kept";
}

TEST_P(RegistryConformance, SetStoresExactTypeAndBytes) {
  struct Row {
    std::u16string name;
    std::uint32_t type;
    std::vector<std::uint8_t> data;
  };
  const Row rows[] = {
      {u"Text", platform::kRegSz, Utf16(u"abc")},
      {u"Binary", platform::kRegBinary, {0xFF, 0x00, 0x7F}},
      {u"Dword", platform::kRegDword, {5, 0, 0, 0}},
      {u"Empty", platform::kRegBinary, {}},
  };
  {
    OpenKey key(Registry(), KeyPath(), platform::kKeyWrite);
    ASSERT_EQ(key.Status(), platform::kSuccess);
    for (const Row& row : rows)
      EXPECT_EQ(Registry().Set(key.Handle(), row.name, row.type, row.data.data(),
                               static_cast<std::uint32_t>(row.data.size())),
                platform::kSuccess);
  }
  for (const Row& row : rows) {
    const auto stored = Store().Stored(KeyPath(), row.name);
    ASSERT_TRUE(stored) << "row " << (&row - rows);
    EXPECT_EQ(stored->type, row.type) << "row " << (&row - rows);
    EXPECT_EQ(stored->data, row.data) << "row " << (&row - rows);
  }
}

TEST_P(RegistryConformance, DeleteRemovesOneValueAndReportsAMissingOne) {
  Store().Seed(KeyPath(), u"Gone", platform::kRegSz, Utf16(u"1"));
  Store().Seed(KeyPath(), u"Kept", platform::kRegSz, Utf16(u"2"));
  OpenKey key(Registry(), KeyPath(), platform::kKeyWrite);
  ASSERT_EQ(key.Status(), platform::kSuccess);
  EXPECT_EQ(Registry().Delete(key.Handle(), u"GONE"), platform::kSuccess);
  EXPECT_EQ(Registry().Delete(key.Handle(), u"Gone"), platform::kFileNotFound);
  EXPECT_FALSE(Store().Stored(KeyPath(), u"Gone"));
  EXPECT_TRUE(Store().Stored(KeyPath(), u"Kept"));
}

// --- Registry numbers over the store ----------------------------------------------------

struct NumberRow {
  const char* what;
  std::uint32_t type;
  std::vector<std::uint8_t> data;
  bool read;
  std::int32_t value;  // when read
};

TEST_P(RegistryConformance, ReadNumberAcceptsOnlyTerminatedDecimalTexts) {
  const NumberRow rows[] = {
      {"12", platform::kRegSz, Utf16(u"12"), true, 12},
      {"-8", platform::kRegSz, Utf16(u"-8"), true, -8},
      {"two spaces and 7", platform::kRegSz, Utf16(u"  7"), true, 7},
      {"3abc", platform::kRegSz, Utf16(u"3abc"), true, 3},
      {"abc", platform::kRegSz, Utf16(u"abc"), true, 0},
      {"just the null", platform::kRegSz, Utf16(u""), true, 0},
      {"no bytes", platform::kRegSz, {}, true, 0},
      {"expandable 5", platform::kRegExpandSz, Utf16(u"5"), true, 5},
      {"dword 5", platform::kRegDword, {5, 0, 0, 0}, false, 0},
      {"binary text", platform::kRegBinary, Utf16(u"5"), false, 0},
      {"63 characters", platform::kRegSz, Utf16(std::u16string(61, u'0') + u"42"), true, 42},
      {"64 characters", platform::kRegSz, Utf16(std::u16string(62, u'0') + u"42"), false, 0},
      {"beyond 32 bits", platform::kRegSz, Utf16(u"4294967296"), true, INT_MAX},
      // Wine writes a terminator after such a text when the buffer has room, but reports the
      // size as stored, as Windows does: the last character delivered is not null on both.
      {"unterminated", platform::kRegSz, Utf16(u"5", false), false, 0},
      {"odd size", platform::kRegSz, {'5', 0, 0}, false, 0},
  };
  int index = 0;
  for (const NumberRow& row : rows) {
    const std::u16string name = u"Number" + std::u16string(1, static_cast<char16_t>(u'A' + index++));
    Store().Seed(KeyPath(), name, row.type, row.data);
    std::int32_t value = -12345;
    EXPECT_EQ(ReadNumber(KeyPath(), name, value), row.read) << row.what;
    EXPECT_EQ(value, row.read ? row.value : -12345) << row.what;
  }
  std::int32_t value = -12345;
  EXPECT_FALSE(ReadNumber(KeyPath(), u"Missing", value));
  EXPECT_FALSE(ReadNumber(KeyPath() + u"\\Missing", u"Missing", value));
  EXPECT_EQ(value, -12345);
}

TEST_P(RegistryConformance, SetNumberStoresTerminatedDecimalText) {
  const std::pair<std::int32_t, std::u16string> rows[] = {
      {-8, u"-8"}, {0, u"0"}, {2, u"2"}, {INT_MAX, u"2147483647"}, {INT_MIN, u"-2147483648"}};
  for (const auto& [number, text] : rows) {
    WriteNumber(KeyPath(), u"Number", number);
    const auto stored = Store().Stored(KeyPath(), u"Number");
    ASSERT_TRUE(stored) << number;
    EXPECT_EQ(stored->type, platform::kRegSz) << number;
    EXPECT_EQ(stored->data, Utf16(text)) << number;  // (length + 1) * 2 bytes
    std::int32_t back = 0;
    EXPECT_TRUE(ReadNumber(KeyPath(), u"Number", back));
    EXPECT_EQ(back, number);
  }
  EXPECT_EQ(Store().Stored(KeyPath(), u"Number")->data.size(), 24u);
}

TEST_P(RegistryConformance, SetBinaryStoresFourLittleEndianBytes) {
  CSettingsKey key;
  ASSERT_EQ(key.Open(KeyPath(), platform::kKeyWrite), platform::kSuccess);
  key.SetBinary(u"MaxTileBuffers", 3);
  key.SetBinary(u"CmdFifoSize", 0x80000001u);
  key.Close();
  EXPECT_EQ(Store().Stored(KeyPath(), u"MaxTileBuffers")->type, platform::kRegBinary);
  EXPECT_EQ(Store().Stored(KeyPath(), u"MaxTileBuffers")->data, (std::vector<std::uint8_t>{3, 0, 0, 0}));
  EXPECT_EQ(Store().Stored(KeyPath(), u"CmdFifoSize")->data, (std::vector<std::uint8_t>{1, 0, 0, 0x80}));

  ASSERT_EQ(key.Open(KeyPath(), platform::kKeyRead), platform::kSuccess);
  std::uint8_t bytes[4] = {};
  std::uint32_t size = 4;
  EXPECT_EQ(key.QueryRaw(u"MaxTileBuffers", bytes, size), platform::kSuccess);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(bytes[0], 3);
}

TEST_P(RegistryConformance, DeleteValueOfAMissingValueIsNoError) {
  Store().Seed(KeyPath(), u"QLDRV_SWAPINTERVAL", platform::kRegSz, Utf16(u"1"));
  Store().Seed(KeyPath(), u"Other", platform::kRegSz, Utf16(u"2"));
  CSettingsKey key;
  ASSERT_EQ(key.Open(KeyPath(), platform::kKeyWrite), platform::kSuccess);
  key.DeleteValue(u"QLDRV_SWAPINTERVAL");
  key.DeleteValue(u"QLDRV_SWAPINTERVAL");
  key.Close();
  EXPECT_FALSE(Store().Stored(KeyPath(), u"QLDRV_SWAPINTERVAL"));
  EXPECT_TRUE(Store().Stored(KeyPath(), u"Other"));
}

TEST_P(RegistryConformance, AMissingKeyIsNeverCreated) {
  const std::u16string missing = KeyPath() + u"\\Missing";
  std::int32_t value = 0;
  EXPECT_FALSE(ReadNumber(missing, u"QLDRV_LOD_BIAS", value));
  WriteNumber(missing, u"QLDRV_LOD_BIAS", 2);
  CSettingsKey key;
  EXPECT_EQ(key.Open(missing, platform::kKeyWrite), platform::kFileNotFound);
  EXPECT_FALSE(Store().KeyExists(missing));
}

TEST_P(RegistryConformance, WritesToAKeyThatForbidsThemAreSkipped) {
  Store().Seed(KeyPath(), u"QLDRV_LOD_BIAS", platform::kRegSz, Utf16(u"1"));
  Store().DenyWrite(KeyPath());
  WriteNumber(KeyPath(), u"QLDRV_LOD_BIAS", 2);
  std::int32_t value = 0;
  EXPECT_TRUE(ReadNumber(KeyPath(), u"QLDRV_LOD_BIAS", value));
  EXPECT_EQ(value, 1);
}

}  // namespace conformance
