// The real Configurator.exe as its own process under Wine, where discovery finds no adapter:
// the start-up message box, the main dialog, and the About box from its system menu.
#include <gtest/gtest.h>

#include "res/resource.h"
#include "tests/scenarios/AboutBoxScenario.h"
#include "tests/win32/Win32User.h"

namespace {

TEST(ConfiguratorOnWine, WithoutAnAdapterShowsTheMessageThenTheMainDialogAndItsAboutBox) {
  Win32User user(ProgramBesideTests(L"..\\..\\programs\\Configurator.exe"), L"");
  ASSERT_TRUE(user.Started());

  ASSERT_TRUE(user.WaitForDialog(u"Fatal Error"));
  EXPECT_EQ(user.MessageText(), u"No Adapter Found");
  user.Screenshot(L"no-adapter");
  ASSERT_TRUE(user.PressEnter());

  ASSERT_TRUE(user.WaitForDialog(u"Orlo Configurator"));
  EXPECT_EQ(user.Text(IDC_STATIC_ADAPTER), u"");
  EXPECT_EQ(user.Text(IDC_STATIC_MEMORY), u"0 Meg");
  EXPECT_FALSE(user.IsEnabled(IDC_BUTTON_CHIP));
  EXPECT_FALSE(user.Click(IDC_BUTTON_CHIP)) << "a disabled button cannot be clicked";
  EXPECT_TRUE(user.IsEnabled(IDC_BUTTON_GENERAL));
  user.Screenshot(L"main");

  ASSERT_TRUE(user.SysCommand(IDM_ABOUTBOX));
  AboutBoxClosesWithEscape(user);

  ASSERT_TRUE(user.WaitForDialog(u"Orlo Configurator")) << "the main dialog is active again";
  EXPECT_EQ(user.Text(IDC_STATIC_MEMORY), u"0 Meg");
  ASSERT_TRUE(user.SysCommand(SC_CLOSE));
  EXPECT_EQ(user.WaitForExit(), 0);
}

}  // namespace
