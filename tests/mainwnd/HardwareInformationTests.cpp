// Hardware information: the four reads (one open and close each, read rights only), the memory
// text, the chip type test and the chip count; and that the main dialog reads them once.
#include <gtest/gtest.h>

#include "base/Text.h"
#include "mainwnd/ConfiguratorDlg.h"
#include "settings/HardwareInformation.h"
#include "tests/support/TestServices.h"

namespace {

const std::u16string kDeviceKey = u"System\\ControlSet001\\Control\\Video\\{A}\\0000";

std::vector<std::uint8_t> Le32(std::uint32_t value) {
  return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
          static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

TEST(ChipCount, FollowsTheModelTokens) {
  const std::pair<std::u16string, int> rows[] = {
      {u"", 1},     {u"Orlo M600", 1},     {u"Orlo M720", 2}, {u"Orlo M750 AGP", 2},
      {u"M940", 4}, {u"M720 and M940", 4}, {u"M940 M750", 4}, {u"m940", 1},
      {u"M72", 1},  {u"xM750x", 2},
  };
  for (const auto& [text, count] : rows)
    EXPECT_EQ(ChipCountFromAdapterText(text), count) << std::string(text.begin(), text.end());
}

TEST(ChipType, OnlyTheExactNameIsSupported) {
  EXPECT_TRUE(IsSupportedChipType(u"QEL 700"));
  for (const std::u16string text : {u"", u"QEL 700 ", u"qel 700", u" QEL 700", u"QEL 7000", u"QEL700"})
    EXPECT_FALSE(IsSupportedChipType(text)) << std::string(text.begin(), text.end());
}

class HardwareInformationTest : public ::testing::Test {
 protected:
  TestServices services;
};

TEST_F(HardwareInformationTest, MemoryTextInMebibytes) {
  struct Row {
    const char* what;
    std::optional<std::vector<std::uint8_t>> stored;  // nullopt: value absent
    std::u16string text;
  };
  const Row rows[] = {
      {"64 MiB", Le32(67108864), u"64 Meg"},
      {"remainder dropped", Le32(0x02FFFFFF), u"47 Meg"},
      {"no sign", Le32(0xFFFFFFFF), u"4095 Meg"},
      {"absent", std::nullopt, u"0 Meg"},
      {"too large to read", std::vector<std::uint8_t>{0, 0, 0, 4, 0}, u"0 Meg"},
      {"short value, zero-extended", std::vector<std::uint8_t>{0, 0, 0x20}, u"2 Meg"},
  };
  for (const Row& row : rows) {
    services.registry.CreateKey(kDeviceKey);
    services.registry.RemoveValue(kDeviceKey, u"HardwareInformation.MemorySize");
    if (row.stored)
      services.registry.SetValue(kDeviceKey, u"HardwareInformation.MemorySize", platform::kRegBinary,
                                 *row.stored);
    EXPECT_EQ(ReadHardwareInformation(kDeviceKey).memoryText, row.text) << row.what;
  }
}

TEST_F(HardwareInformationTest, TextsOfAnyTypeAreReadAndAlwaysTerminated) {
  services.registry.SetString(kDeviceKey, u"HardwareInformation.AdapterString", u"Orlo M940");
  // Raw bytes are taken as UTF-16 text as well.
  services.registry.SetValue(kDeviceKey, u"HardwareInformation.BiosString", platform::kRegBinary,
                             base::Utf16Bytes(u"BIOS 1.2"));
  // 128 characters without a terminator fill the byte limit and still end.
  services.registry.SetString(kDeviceKey, u"HardwareInformation.ChipType", std::u16string(128, u'Q'),
                              platform::kRegSz, false);
  const HardwareInformation information = ReadHardwareInformation(kDeviceKey);
  EXPECT_EQ(information.adapterText, u"Orlo M940");
  EXPECT_EQ(information.biosText, u"BIOS 1.2");
  EXPECT_EQ(information.chipTypeText, std::u16string(128, u'Q'));
  EXPECT_EQ(information.memoryText, u"0 Meg");
}

TEST_F(HardwareInformationTest, AValueOverTheLimitLeavesItsTextEmpty) {
  services.registry.SetString(kDeviceKey, u"HardwareInformation.AdapterString", std::u16string(128, u'A'));
  EXPECT_EQ(ReadHardwareInformation(kDeviceKey).adapterText, u"");
}

TEST_F(HardwareInformationTest, AMissingKeyLeavesEveryTextEmpty) {
  const HardwareInformation information = ReadHardwareInformation(kDeviceKey);
  EXPECT_EQ(information.adapterText, u"");
  EXPECT_EQ(information.biosText, u"");
  EXPECT_EQ(information.chipTypeText, u"");
  EXPECT_EQ(information.memoryText, u"");
  EXPECT_FALSE(services.registry.KeyExists(kDeviceKey));
}

TEST_F(HardwareInformationTest, MainDialogReadsFourTimesAtConstructionAndNeverHoldsAKey) {
  services.registry.SetString(kDeviceKey, u"HardwareInformation.AdapterString", u"Orlo M750");
  services.registry.SetString(kDeviceKey, u"HardwareInformation.BiosString", u"BIOS 2.0");
  services.registry.SetString(kDeviceKey, u"HardwareInformation.ChipType", u"QEL 700");
  services.registry.SetValue(kDeviceKey, u"HardwareInformation.MemorySize", platform::kRegBinary,
                             Le32(128u << 20));
  CConfiguratorDlg dialog(nullptr, u"\\\\.\\DISPLAY1&&&\\Registry\\Machine\\" + kDeviceKey);
  EXPECT_EQ(services.registry.OpenCount(platform::kKeyRead), 4);
  EXPECT_EQ(services.registry.TotalOpenCount(), 4);
  EXPECT_EQ(services.registry.OpenHandleCount(), 0);
  EXPECT_EQ(dialog.DeviceName(), u"\\\\.\\DISPLAY1");
  EXPECT_EQ(dialog.DeviceKeyPath(), kDeviceKey);
  EXPECT_EQ(dialog.CurrentDeviceKeyPath(), u"System\\CurrentControlSet\\Control\\Video\\{A}\\0000");
  EXPECT_EQ(dialog.AdapterText(), u"Orlo M750");
  EXPECT_EQ(dialog.BiosText(), u"BIOS 2.0");
  EXPECT_EQ(dialog.ChipTypeText(), u"QEL 700");
  EXPECT_EQ(dialog.MemoryText(), u"128 Meg");
  EXPECT_TRUE(dialog.ChipTypeSupported());
  EXPECT_EQ(dialog.ChipCount(), 2);
}

TEST_F(HardwareInformationTest, MainDialogWithoutAnAdapterReadsTheEmptyRoot) {
  CConfiguratorDlg dialog(nullptr, u"");
  EXPECT_EQ(dialog.CurrentDeviceKeyPath(), u"CurrentControlSet");
  EXPECT_EQ(dialog.AdapterText(), u"");
  EXPECT_EQ(dialog.ChipTypeText(), u"");
  EXPECT_EQ(dialog.MemoryText(), u"0 Meg");
  EXPECT_FALSE(dialog.ChipTypeSupported());
  EXPECT_EQ(dialog.ChipCount(), 1);
  EXPECT_EQ(services.registry.OpenCount(platform::kKeyRead), 4);
  EXPECT_EQ(services.registry.OpenHandleCount(), 0);
}

}  // namespace
