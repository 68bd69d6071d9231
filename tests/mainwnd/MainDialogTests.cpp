// The main dialog scenarios on the portable layer: the program runs from its entry with the
// hand-off string on its command line, on the in-memory registry.
#include <gtest/gtest.h>

#include <memory>

#include "framework/WinApp.h"
#include "res/resource.h"
#include "tests/scenarios/MainDialogScenarios.h"
#include "tests/support/PortableUser.h"
#include "tests/support/TestServices.h"

namespace {

using scenarios::MainDialogView;

const std::u16string kDeviceKey =
    u"System\\ControlSet001\\Control\\Video\\{5A1B2C3D-0000-4E5F-8A9B-0C1D2E3F4A5B}\\0000";
const std::u16string kHandOff = u"\\\\.\\DISPLAY1&&&\\Registry\\Machine\\" + kDeviceKey;

class MainDialogTest : public ::testing::Test {
 protected:
  // Seeds the adapter and starts the program with its hand-off string.
  MainDialogView Start(const std::u16string& adapter, const std::u16string& chipType) {
    services.registry.SetString(kDeviceKey, u"HardwareInformation.AdapterString", adapter);
    services.registry.SetString(kDeviceKey, u"HardwareInformation.BiosString", u"BIOS 3.1");
    services.registry.SetString(kDeviceKey, u"HardwareInformation.ChipType", chipType);
    services.registry.SetValue(kDeviceKey, u"HardwareInformation.MemorySize", platform::kRegBinary,
                               {0, 0, 0, 4});
    StartProgram(kHandOff);
    return MainDialogView{adapter, u"BIOS 3.1", chipType, u"64 Meg", chipType == u"QEL 700"};
  }
  void StartProgram(const std::u16string& argument) {
    user = std::make_unique<PortableUser>([argument] { return AfxWinMain({argument}); });
  }

  TestServices services;
  std::unique_ptr<PortableUser> user;  // after the services: the program ends before they go
};

TEST_F(MainDialogTest, ShowsTheHardwareInformationAndReadsNothingMore) {
  const MainDialogView view = Start(u"Orlo M720", u"QEL 700");
  scenarios::ExpectMainDialog(*user, view);
  scenarios::SystemMenuOpensAboutBox(*user, IDM_ABOUTBOX, view);
  EXPECT_EQ(services.registry.TotalOpenCount(), 4) << "the hardware information is read once";
  EXPECT_EQ(services.registry.OpenHandleCount(), 0);
  scenarios::EndingEndsTheProgram(*user, scenarios::Ending::ExitButton);
}

TEST_F(MainDialogTest, WithoutAnAdapterShowsEmptyTextsAndNoChipButton) {
  StartProgram(u"");
  // An empty argument is no file name: discovery runs, finds no device, and says so first.
  ASSERT_TRUE(user->WaitForDialog(u"Fatal Error"));
  EXPECT_EQ(user->MessageText(), u"No Adapter Found");
  ASSERT_TRUE(user->Click(IDOK));
  const MainDialogView view{u"", u"", u"", u"0 Meg", false};
  scenarios::ExpectMainDialog(*user, view);
  scenarios::ChipButtonCannotBePressed(*user);
  scenarios::ButtonOpensSettingsDialog(*user, IDC_BUTTON_GENERAL, u"General Features", view);
}

class ChipButtonTest : public MainDialogTest, public ::testing::WithParamInterface<scenarios::ChipCase> {};

TEST_P(ChipButtonTest, OpensTheDialogOfTheChipCount) {
  const MainDialogView view = Start(GetParam().adapter, u"QEL 700");
  scenarios::ExpectMainDialog(*user, view);
  scenarios::ButtonOpensSettingsDialog(*user, IDC_BUTTON_CHIP, scenarios::CaptionOf(GetParam().dialog), view);
  scenarios::ButtonOpensSettingsDialog(*user, IDC_BUTTON_GENERAL, u"General Features", view);
}

INSTANTIATE_TEST_SUITE_P(ChipCounts, ChipButtonTest, ::testing::ValuesIn(scenarios::ChipCases()),
                         [](const auto& row) { return std::string(row.param.what); });

// The settings dialogs are handed the current device key path: they read through
// CurrentControlSet, not through the numbered control set the hand-off string names.
TEST_F(MainDialogTest, SettingsDialogsWorkOnTheCurrentDeviceKey) {
  const std::u16string current =
      u"System\\CurrentControlSet\\Control\\Video\\{5A1B2C3D-0000-4E5F-8A9B-0C1D2E3F4A5B}\\0000";
  services.registry.SetValue(current, u"MaxTileBuffers", platform::kRegBinary, {3, 0, 0, 0});
  services.registry.SetString(current + u"\\D3D", u"QLDRV_GUARDBAND_CLIPPING", u"1");
  services.registry.SetValue(kDeviceKey, u"MaxTileBuffers", platform::kRegBinary, {4, 0, 0, 0});
  services.registry.SetString(kDeviceKey + u"\\D3D", u"QLDRV_GUARDBAND_CLIPPING", u"0");
  const MainDialogView view = Start(u"Orlo M750", u"QEL 700");

  ASSERT_TRUE(user->WaitForDialog(scenarios::kMainCaption));
  ASSERT_TRUE(user->Click(IDC_BUTTON_CHIP));
  ASSERT_TRUE(user->WaitForDialog(u"Dual Chip QEL 700"));
  EXPECT_EQ(user->Selection(IDC_COMBO_DUAL_GUARDBAND), 1) << "not read through CurrentControlSet";
  ASSERT_TRUE(user->Click(IDCANCEL));
  ASSERT_TRUE(user->WaitForClose(u"Dual Chip QEL 700"));

  ASSERT_TRUE(user->WaitForDialog(scenarios::kMainCaption));
  ASSERT_TRUE(user->Click(IDC_BUTTON_GENERAL));
  ASSERT_TRUE(user->WaitForDialog(u"General Features"));
  EXPECT_FALSE(user->IsChecked(IDC_CHECK_TRIPLE_BUFFER)) << "not read through CurrentControlSet";
  ASSERT_TRUE(user->Click(IDCANCEL));
  ASSERT_TRUE(user->WaitForClose(u"General Features"));
  scenarios::ExpectMainDialog(*user, view);
}

TEST_F(MainDialogTest, UnsupportedChipTypeKeepsTheChipButtonDisabled) {
  const MainDialogView view = Start(u"Orlo M940", u"QEL 700 ");
  scenarios::ExpectMainDialog(*user, view);
  scenarios::ChipButtonCannotBePressed(*user);
  scenarios::ButtonOpensSettingsDialog(*user, IDC_BUTTON_GENERAL, u"General Features", view);
}

TEST_F(MainDialogTest, EverySystemCommandOfTheAboutEntryOpensTheAboutBox) {
  const MainDialogView view = Start(u"Orlo M600", u"QEL 700");
  for (unsigned command : {0x0010u, 0x0015u, 0x001Fu})
    scenarios::SystemMenuOpensAboutBox(*user, command, view);
}

class EndingTest : public MainDialogTest, public ::testing::WithParamInterface<scenarios::Ending> {};

TEST_P(EndingTest, EndsTheProgram) {
  Start(u"Orlo M600", u"QEL 700");
  scenarios::EndingEndsTheProgram(*user, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Endings, EndingTest,
                         ::testing::Values(scenarios::Ending::ExitButton, scenarios::Ending::EscapeKey,
                                           scenarios::Ending::CloseCommand));

TEST_F(MainDialogTest, SystemMenuCarriesTheAboutEntry) {
  Start(u"Orlo M600", u"QEL 700");
  ASSERT_TRUE(user->WaitForDialog(scenarios::kMainCaption));
  std::vector<portable::MenuEntry> menu;
  ASSERT_TRUE(user->Inspect([&](const portable::DialogModel* dialog) {
    if (dialog != nullptr) menu = dialog->systemMenu;
  }));
  ASSERT_GE(menu.size(), 2u);
  EXPECT_TRUE(menu[menu.size() - 2].separator);
  EXPECT_EQ(menu.back().id, 0x0010u);
  EXPECT_EQ(menu.back().text, u"&About Configurator...");
}

}  // namespace
