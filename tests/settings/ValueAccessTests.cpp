// The decimal parse, and the read, write and probe sequences: which rights they ask for, that
// every open is closed again, that nothing is created, and the administrator message.
#include <gtest/gtest.h>

#include <climits>

#include "base/Text.h"
#include "settings/ValueAccess.h"
#include "tests/support/TestServices.h"

namespace {

const std::u16string kDevice = u"System\\CurrentControlSet\\Control\\Video\\{A}\\0000";
const std::u16string kSettings = kDevice + u"\\D3D";

struct ParseCase {
  std::u16string text;
  std::int32_t value;
};

TEST(ParseDecimal, FollowsTheRuntimeConversion) {
  const ParseCase cases[] = {
      {u"12", 12},
      {u"-8", -8},
      {u"+5", 5},
      {u"  7", 7},
      {u"\t\r\n\v\f9", 9},
      {u"3abc", 3},
      {u"abc", 0},
      {u"", 0},
      {u"-", 0},
      {u"+-1", 0},
      {u" - 1", 0},
      {u"007", 7},
      {u"1 2", 1},
      {u"2147483647", INT_MAX},
      {u"-2147483648", INT_MIN},
      // Beyond 32 bits the result saturates.
      {u"2147483648", INT_MAX},
      {u"-2147483649", INT_MIN},
      {u"99999999999999999999999999999999", INT_MAX},
      {u"-99999999999999999999999999999999", INT_MIN},
      {u"\u0663", 0},  // digits of other scripts are not decimal digits here
  };
  for (const ParseCase& c : cases) EXPECT_EQ(ParseDecimal(c.text.c_str()), c.value) << "row " << (&c - cases);
  EXPECT_EQ(ParseDecimal(nullptr), 0);
}

class ValueAccessTest : public ::testing::Test {
 protected:
  TestServices services;
  AnsweringFrontEnd frontEnd;
};

TEST_F(ValueAccessTest, ReadNumberReadsWithReadRightsOnlyAndCloses) {
  services.registry.SetString(kSettings, u"QLDRV_LOD_BIAS", u"-3");
  std::int32_t value = 99;
  EXPECT_TRUE(ReadNumber(kSettings, u"QLDRV_LOD_BIAS", value));
  EXPECT_EQ(value, -3);
  EXPECT_EQ(services.registry.OpenCount(platform::kKeyRead), 1);
  EXPECT_EQ(services.registry.TotalOpenCount(), 1);
  EXPECT_EQ(services.registry.OpenHandleCount(), 0);
}

TEST_F(ValueAccessTest, ReadNumberKeepsTheDefaultWhenNothingIsRead) {
  services.registry.SetDword(kSettings, u"Dword", 5);
  std::int32_t value = 7;
  EXPECT_FALSE(ReadNumber(kSettings, u"Missing", value));
  EXPECT_FALSE(ReadNumber(kSettings, u"Dword", value));
  EXPECT_FALSE(ReadNumber(kSettings + u"\\Missing", u"Missing", value));
  EXPECT_EQ(value, 7);
  EXPECT_EQ(services.registry.OpenHandleCount(), 0);
  EXPECT_FALSE(services.registry.KeyExists(kSettings + u"\\Missing"));
}

TEST_F(ValueAccessTest, WriteNumberWritesWithWriteRightsOnly) {
  services.registry.CreateKey(kSettings);
  WriteNumber(kSettings, u"QLDRV_LOD_BIAS", 2);
  const auto value = services.registry.Value(kSettings, u"QLDRV_LOD_BIAS");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->type, platform::kRegSz);
  EXPECT_EQ(value->data, base::Utf16Bytes(u"2"));
  EXPECT_EQ(services.registry.OpenCount(platform::kKeyWrite), 1);
  EXPECT_EQ(services.registry.TotalOpenCount(), 1);
  EXPECT_EQ(services.registry.OpenHandleCount(), 0);
}

TEST_F(ValueAccessTest, WriteNumberSkipsAKeyItCannotOpenWithoutAWord) {
  services.registry.CreateKey(kDevice);
  WriteNumber(kSettings, u"QLDRV_LOD_BIAS", 2);
  EXPECT_FALSE(services.registry.KeyExists(kSettings)) << "a key is never created";
  services.registry.CreateKey(kSettings);
  services.registry.DenyWrite(kSettings);
  WriteNumber(kSettings, u"QLDRV_LOD_BIAS", 2);
  EXPECT_FALSE(services.registry.Value(kSettings, u"QLDRV_LOD_BIAS"));
  EXPECT_TRUE(frontEnd.shown.empty());
  EXPECT_EQ(services.registry.OpenHandleCount(), 0);
}

TEST_F(ValueAccessTest, ProbeWriteAccessAllowedSaysNothing) {
  services.registry.CreateKey(kSettings);
  EXPECT_TRUE(ProbeWriteAccess(nullptr, kSettings));
  EXPECT_TRUE(frontEnd.shown.empty());
  EXPECT_EQ(services.registry.OpenCount(platform::kKeyWrite), 1);
  EXPECT_EQ(services.registry.OpenHandleCount(), 0);
}

TEST_F(ValueAccessTest, ProbeWriteAccessRefusedOrMissingShowsTheAdministratorMessageOnce) {
  services.registry.CreateKey(kSettings);
  services.registry.DenyWriteEverywhere(true);
  EXPECT_FALSE(ProbeWriteAccess(nullptr, kSettings));
  EXPECT_FALSE(ProbeWriteAccess(nullptr, kSettings + u"\\Missing"));
  ASSERT_EQ(frontEnd.shown.size(), 2u);
  for (const AnsweringFrontEnd::Shown& shown : frontEnd.shown) {
    EXPECT_TRUE(shown.isMessageBox);
    EXPECT_EQ(shown.text, u"Execute using Administrator Account");
    EXPECT_EQ(shown.caption, u"Insufficent Access Writes");
  }
  EXPECT_EQ(services.registry.OpenHandleCount(), 0);
}

}  // namespace
