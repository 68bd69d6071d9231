// The board's adapters as the registry holds them, for when no display device answers (Safe
// Mode): both key shapes in the control set Select\Current names, the board's numbered; one is
// taken, several need a number; and the scripting switches of the Windows programs then work on
// it, while the dialogs keep discovery.
#include <gtest/gtest.h>

#include "app/RegistryAdapters.h"
#include "app/TuningCommandLineInfo.h"
#include "app/TuningCommands.h"
#include "base/Text.h"
#include "tests/support/TestServices.h"

namespace {

std::string Narrow(const std::u16string& text) { return base::Utf8FromUtf16(text); }

const std::u16string kVideo = u"System\\ControlSet002\\Control\\Video";
const std::u16string kBoardVideo = kVideo + u"\\{5A1B2C3D-0000-4E5F-8A9B-0C1D2E3F4A5B}\\0000";
const std::u16string kOtherVideo = kVideo + u"\\{5A1B2C3D-0000-4E5F-8A9B-0C1D2E3F4A5B}\\0001";
const std::u16string kBoardService = u"System\\ControlSet002\\Services\\qel700\\Device0";

class RegistryAdaptersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    services.registry.SetDword(u"System\\Select", u"Current", 2);
    Seed(kBoardVideo, u"QEL 700 M940 Quad", u"QEL 700");
    Seed(kOtherVideo, u"VGA", u"VGA");
    // Not a GUID, and a set that is not the current one: no adapters.
    Seed(kVideo + u"\\NotAGuid\\0000", u"QEL 700 M940 Quad", u"QEL 700");
    Seed(u"System\\ControlSet001\\Control\\Video\\{5A1B2C3D-0000-4E5F-8A9B-0C1D2E3F4A5B}\\0000", u"QEL 700",
         u"QEL 700");
    services.registry.CreateKey(
        u"System\\CurrentControlSet\\Control\\Video\\{5A1B2C3D-0000-4E5F-8A9B-"
        u"0C1D2E3F4A5B}\\0000\\D3D");
  }
  void Seed(const std::u16string& key, std::u16string_view adapter, std::u16string_view chipType) {
    services.registry.SetString(key, u"HardwareInformation.AdapterString", adapter);
    services.registry.SetString(key, u"HardwareInformation.ChipType", chipType);
  }
  int Run(std::vector<std::u16string> arguments) {
    CTuningCommandLineInfo info;
    info.Parse(arguments, true);
    return info.Run();
  }

  TestServices services;
};

TEST_F(RegistryAdaptersTest, TheBoardsAdaptersOfTheCurrentControlSetAreNumbered) {
  ASSERT_EQ(CurrentControlSetName(), u"ControlSet002");
  RegistryAdapters found = FindRegistryAdapters(CurrentControlSetName());
  ASSERT_EQ(found.adapters.size(), 2u);
  EXPECT_EQ(
      Narrow(RegistryAdaptersText(found)),
      "Display adapters in the registry (CurrentControlSet is ControlSet002); the board's are numbered for "
      "/adapter:N:\n"
      "[1] " +
          Narrow(kBoardVideo) +
          " (QEL 700 M940 Quad)\n"
          "    " +
          Narrow(kOtherVideo) + " (VGA): chip type \"VGA\", not the board's\n");
  std::u16string handOff;
  EXPECT_FALSE(ChooseRegistryAdapter(found, std::nullopt, &handOff).Failed());
  EXPECT_EQ(handOff, u"&&&\\Registry\\Machine\\" + kBoardVideo);

  // Windows 2000's key too; two of the board need a number.
  Seed(kBoardService, u"QEL 700 M720 Dual", u"QEL 700");
  found = FindRegistryAdapters(CurrentControlSetName());
  const Outcome refusal = ChooseRegistryAdapter(found, std::nullopt, &handOff);
  EXPECT_EQ(refusal.status, sysexits::kUsage);
  EXPECT_EQ(
      Narrow(refusal.why),
      "no display device answers as the board's, and the registry holds 2 adapters of the board; choose one "
      "with /adapter:N:\n"
      "  /adapter:1  " +
          Narrow(kBoardVideo) +
          " (QEL 700 M940 Quad)\n"
          "  /adapter:2  " +
          Narrow(kBoardService) + " (QEL 700 M720 Dual)\n");
  EXPECT_FALSE(ChooseRegistryAdapter(found, 2, &handOff).Failed());
  EXPECT_EQ(handOff, u"&&&\\Registry\\Machine\\" + kBoardService);
  EXPECT_EQ(ChooseRegistryAdapter(found, 3, &handOff).status, sysexits::kUsage);
  EXPECT_TRUE(handOff.empty());
}

// No device answers: the scripting switches work on the registry's adapter; with several, a
// number picks one; with none, no adapter is found.
TEST_F(RegistryAdaptersTest, WithNoDeviceAnsweringTheScriptingSwitchesUseTheRegistry) {
  const std::u16string d3d =
      u"System\\CurrentControlSet\\Control\\Video\\{5A1B2C3D-0000-4E5F-8A9B-0C1D2E3F4A5B}\\0000\\D3D";
  EXPECT_EQ(Run({u"/set:LODBias=0.50", u"/norefresh"}), 0);
  EXPECT_EQ(services.registry.Value(d3d, u"QLDRV_LOD_BIAS")->data, base::Utf16Bytes(u"2"));
  EXPECT_EQ(Run({u"/reset:LODBias", u"/norefresh"}), 0);
  EXPECT_FALSE(services.registry.Value(d3d, u"QLDRV_LOD_BIAS"));

  Seed(kBoardService, u"QEL 700 M720 Dual", u"QEL 700");
  EXPECT_EQ(Run({u"/set:LODBias=0.50"}), sysexits::kUsage);
  EXPECT_FALSE(services.registry.Value(d3d, u"QLDRV_LOD_BIAS"));
  EXPECT_EQ(Run({u"/adapter:1", u"/set:LODBias=0.50", u"/norefresh"}), 0);
  EXPECT_EQ(services.registry.Value(d3d, u"QLDRV_LOD_BIAS")->data, base::Utf16Bytes(u"2"));
  EXPECT_EQ(Run({u"/adapter:x", u"/query"}), sysexits::kUsage);
  EXPECT_EQ(Run({u"/adapter:1", u"/query", u"\\\\.\\DISPLAY1&&&\\Registry\\Machine\\" + kBoardVideo}),
            sysexits::kUsage);

  services.registry.Clear();
  EXPECT_EQ(Run({u"/query"}), sysexits::kUnavailable);
}

}  // namespace
