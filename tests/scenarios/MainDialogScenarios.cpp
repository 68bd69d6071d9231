#include "tests/scenarios/MainDialogScenarios.h"

#include <gtest/gtest.h>

#include "res/resource.h"
#include "tests/scenarios/AboutBoxScenario.h"

namespace scenarios {
namespace {

constexpr unsigned kCloseCommand = 0xF060;  // SC_CLOSE
constexpr int kExitButton = 2;              // IDCANCEL

void ExpectUnchanged(User& user, const MainDialogView& view) {
  ASSERT_TRUE(user.WaitForDialog(kMainCaption));
  EXPECT_EQ(user.Text(IDC_STATIC_ADAPTER), view.adapter);
  EXPECT_EQ(user.Text(IDC_STATIC_BIOS), view.bios);
  EXPECT_EQ(user.Text(IDC_STATIC_CHIP), view.chipType);
  EXPECT_EQ(user.Text(IDC_STATIC_MEMORY), view.memory);
  EXPECT_EQ(user.IsEnabled(IDC_BUTTON_CHIP), view.chipButtonEnabled);
  EXPECT_TRUE(user.IsEnabled(IDC_BUTTON_GENERAL));
}

}  // namespace

const std::vector<ChipCase>& ChipCases() {
  static const std::vector<ChipCase> cases{
      {"NoModel", u"Orlo M600", SettingsDialog::SingleChip},
      {"M720", u"Orlo M720", SettingsDialog::DualChip},
      {"M750", u"Orlo M750", SettingsDialog::DualChip},
      {"M940", u"Orlo M720 M940", SettingsDialog::QuadChip},
  };
  return cases;
}

void ExpectMainDialog(User& user, const MainDialogView& view) {
  ASSERT_TRUE(user.WaitForDialog(kMainCaption));
  EXPECT_EQ(user.Caption(), kMainCaption);
  ExpectUnchanged(user, view);
  EXPECT_EQ(user.Text(IDC_BUTTON_GENERAL), u"General");
  EXPECT_EQ(user.Text(IDC_BUTTON_CHIP), u"QEL 700");
  EXPECT_EQ(user.Text(kExitButton), u"Exit");
  EXPECT_TRUE(user.IsEnabled(kExitButton));
  EXPECT_TRUE(user.HasFocus(IDC_BUTTON_GENERAL)) << "the first tab stop has the focus";
}

void ButtonOpensSettingsDialog(User& user, int buttonId, const std::u16string& caption,
                               const MainDialogView& view) {
  ASSERT_TRUE(user.WaitForDialog(kMainCaption));
  ASSERT_TRUE(user.Click(buttonId));
  ASSERT_TRUE(user.WaitForDialog(caption)) << "no dialog captioned as expected";
  EXPECT_EQ(user.Caption(), caption);
  EXPECT_TRUE(user.Click(kExitButton));
  EXPECT_TRUE(user.WaitForClose(caption));
  ExpectUnchanged(user, view);
}

void ChipButtonCannotBePressed(User& user) {
  ASSERT_TRUE(user.WaitForDialog(kMainCaption));
  EXPECT_FALSE(user.IsEnabled(IDC_BUTTON_CHIP));
  EXPECT_FALSE(user.Click(IDC_BUTTON_CHIP));
  EXPECT_TRUE(user.WaitForDialog(kMainCaption));
  EXPECT_EQ(user.Caption(), kMainCaption);
}

void SystemMenuOpensAboutBox(User& user, unsigned command, const MainDialogView& view) {
  ASSERT_TRUE(user.WaitForDialog(kMainCaption));
  ASSERT_TRUE(user.SysCommand(command));
  AboutBoxClosesWithOk(user);
  ExpectUnchanged(user, view);
}

void EndingEndsTheProgram(User& user, Ending ending) {
  ASSERT_TRUE(user.WaitForDialog(kMainCaption));
  switch (ending) {
    case Ending::ExitButton:
      EXPECT_TRUE(user.Click(kExitButton));
      break;
    case Ending::EscapeKey:
      EXPECT_TRUE(user.PressEscape());
      break;
    case Ending::CloseCommand:
      EXPECT_TRUE(user.SysCommand(kCloseCommand));
      break;
  }
  EXPECT_TRUE(user.WaitForClose(kMainCaption));
  EXPECT_EQ(user.WaitForExit(), 0);
}

}  // namespace scenarios
