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

// The name of a chip dialog's picture.
const wchar_t* PictureOf(scenarios::SettingsDialog dialog) {
  switch (dialog) {
    case scenarios::SettingsDialog::SingleChip:
      return L"single-chip";
    case scenarios::SettingsDialog::DualChip:
      return L"dual-chip";
    case scenarios::SettingsDialog::QuadChip:
      return L"quad-chip";
    case scenarios::SettingsDialog::General:
      break;
  }
  return L"general";
}

class ChipButtonOnWine : public MainDialogOnWine,
                         public ::testing::WithParamInterface<scenarios::ChipCase> {};

TEST_P(ChipButtonOnWine, OpensTheDialogOfTheChipCountAndGeneralStaysAvailable) {
  const MainDialogView view = Start(GetParam().adapter, u"QEL 700");
  const std::u16string caption = scenarios::CaptionOf(GetParam().dialog);
  scenarios::ExpectMainDialog(*user, view);
  scenarios::ButtonOpensSettingsDialog(*user, IDC_BUTTON_CHIP, caption, view);
  scenarios::ButtonOpensSettingsDialog(*user, IDC_BUTTON_GENERAL, u"General Features", view);
  Picture(IDC_BUTTON_CHIP, caption, PictureOf(GetParam().dialog));
  Picture(IDC_BUTTON_GENERAL, u"General Features", L"general");
  scenarios::EndingEndsTheProgram(*user, scenarios::Ending::ExitButton);
}

INSTANTIATE_TEST_SUITE_P(ChipCounts, ChipButtonOnWine, ::testing::ValuesIn(scenarios::ChipCases()),
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
