// The main dialog scenarios against the real Configurator.exe, on adapters seeded in the real
// registry and handed to the program on its command line (Wine's own display answers no
// driver escape, so discovery would find none).
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>

#include "res/resource.h"
#include "tests/scenarios/MainDialogScenarios.h"
#include "tests/win32/SeededAdapter.h"
#include "tests/win32/Win32User.h"

namespace {

using scenarios::MainDialogView;

constexpr std::uint32_t k64Meg = 64u << 20;

class MainDialogOnWine : public ::testing::Test {
 protected:
  // Seeds the adapter and starts the program with its hand-off string.
  MainDialogView Start(const std::u16string& adapterText, const std::u16string& chipType) {
    EXPECT_TRUE(adapter.SeedHardware(adapterText, u"BIOS 3.1", chipType, k64Meg));
    user = std::make_unique<Win32User>(ProgramBesideTests(L"..\\..\\programs\\Configurator.exe"),
                                       L"\"" + adapter.HandOff() + L"\"");
    EXPECT_TRUE(user->Started());
    return MainDialogView{adapterText, u"BIOS 3.1", chipType, u"64 Meg", chipType == u"QEL 700"};
  }

  // Opens a settings dialog once more to keep a picture of it, and closes it with Escape.
  void Picture(int buttonId, const std::u16string& caption, const std::wstring& name) {
    ASSERT_TRUE(user->WaitForDialog(scenarios::kMainCaption));
    ASSERT_TRUE(user->Click(buttonId));
    ASSERT_TRUE(user->WaitForDialog(caption));
    user->Screenshot(name);
    ASSERT_TRUE(user->PressEscape());
    ASSERT_TRUE(user->WaitForClose(caption));
  }

  SeededAdapter adapter;
  std::unique_ptr<Win32User> user;  // after the adapter: the program ends before its keys go
};

TEST_F(MainDialogOnWine, ShowsTheHardwareInformationAndTheAboutBox) {
  const MainDialogView view = Start(u"Orlo M720", u"QEL 700");
  scenarios::ExpectMainDialog(*user, view);
  user->Screenshot(L"main-adapter");
  for (unsigned command : {0x0010u, 0x001Fu}) scenarios::SystemMenuOpensAboutBox(*user, command, view);
  scenarios::EndingEndsTheProgram(*user, scenarios::Ending::ExitButton);
}

struct ChipRow {
  const char* what;
  std::u16string adapter;
  std::u16string caption;
  const wchar_t* picture;
};

void PrintTo(const ChipRow& row, std::ostream* os) { *os << row.what; }

class ChipButtonOnWine : public MainDialogOnWine, public ::testing::WithParamInterface<ChipRow> {};

TEST_P(ChipButtonOnWine, OpensTheDialogOfTheChipCountAndGeneralStaysAvailable) {
  const MainDialogView view = Start(GetParam().adapter, u"QEL 700");
  scenarios::ExpectMainDialog(*user, view);
  scenarios::ButtonOpensSettingsDialog(*user, IDC_BUTTON_CHIP, GetParam().caption, view);
  scenarios::ButtonOpensSettingsDialog(*user, IDC_BUTTON_GENERAL, u"General Features", view);
  Picture(IDC_BUTTON_CHIP, GetParam().caption, GetParam().picture);
  Picture(IDC_BUTTON_GENERAL, u"General Features", L"general");
  scenarios::EndingEndsTheProgram(*user, scenarios::Ending::ExitButton);
}

INSTANTIATE_TEST_SUITE_P(
    ChipCounts, ChipButtonOnWine,
    ::testing::Values(ChipRow{"NoModel", u"Orlo M600", u"Single Chip QEL 700", L"single-chip"},
                      ChipRow{"M720", u"Orlo M720", u"Dual Chip QEL 700", L"dual-chip"},
                      ChipRow{"M750", u"Orlo M750", u"Dual Chip QEL 700", L"dual-chip"},
                      ChipRow{"M940", u"Orlo M720 M940", u"Quad Chip QEL 700", L"quad-chip"}),
    [](const auto& row) { return std::string(row.param.what); });

TEST_F(MainDialogOnWine, UnsupportedChipTypeKeepsTheChipButtonDisabled) {
  const MainDialogView view = Start(u"Orlo M940", u"QEL 700 ");
  scenarios::ExpectMainDialog(*user, view);
  scenarios::ChipButtonCannotBePressed(*user);
  scenarios::ButtonOpensSettingsDialog(*user, IDC_BUTTON_GENERAL, u"General Features", view);
  scenarios::EndingEndsTheProgram(*user, scenarios::Ending::CloseCommand);
}

TEST_F(MainDialogOnWine, EscapeEndsTheProgram) {
  const MainDialogView view = Start(u"Orlo M600", u"QEL 700");
  scenarios::ExpectMainDialog(*user, view);
  scenarios::EndingEndsTheProgram(*user, scenarios::Ending::EscapeKey);
}

}  // namespace
