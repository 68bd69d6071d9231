// The real Configurator.exe as its own process under Wine, where discovery finds no adapter:
// the start-up message box, then the empty main dialog, its buttons and its About box.
#include <gtest/gtest.h>

#include "res/resource.h"
#include "tests/scenarios/AboutBoxScenario.h"
#include "tests/scenarios/MainDialogScenarios.h"
#include "tests/win32/Win32User.h"

namespace {

TEST(ConfiguratorOnWine, WithoutAnAdapterShowsTheMessageThenTheEmptyMainDialog) {
  Win32User user(ProgramBesideTests(L"..\\..\\programs\\Configurator.exe"), L"");
  ASSERT_TRUE(user.Started());

  ASSERT_TRUE(user.WaitForDialog(u"Fatal Error"));
  EXPECT_EQ(user.MessageText(), u"No Adapter Found");
  user.Screenshot(L"no-adapter");
  ASSERT_TRUE(user.PressEnter());

  const scenarios::MainDialogView view{u"", u"", u"", u"0 Meg", false};
  scenarios::ExpectMainDialog(user, view);
  user.Screenshot(L"main");
  scenarios::ChipButtonCannotBePressed(user);
  scenarios::ButtonOpensSettingsDialog(user, IDC_BUTTON_GENERAL, u"General Features", view);

  ASSERT_TRUE(user.SysCommand(IDM_ABOUTBOX));
  AboutBoxClosesWithEscape(user);
  scenarios::EndingEndsTheProgram(user, scenarios::Ending::CloseCommand);
}

}  // namespace
