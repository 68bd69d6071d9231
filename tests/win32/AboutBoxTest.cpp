// The About box on real windows: the shared scenarios, run through the Win32 user against a
// program of its own that shows the box.
#include <gtest/gtest.h>

#include "tests/scenarios/AboutBoxScenario.h"
#include "tests/win32/Win32User.h"

namespace {

class AboutBoxOnWin32 : public ::testing::Test {
 protected:
  Win32User user{ProgramBesideTests(L"about_box.exe"), L""};
};

TEST_F(AboutBoxOnWin32, ClosesWithOk) {
  ASSERT_TRUE(user.Started());
  ASSERT_TRUE(user.WaitForDialog(u"About Configurator"));
  user.Screenshot(L"about");
  AboutBoxClosesWithOk(user);
  EXPECT_EQ(user.WaitForExit(), 0);
}

TEST_F(AboutBoxOnWin32, ClosesWithEscape) {
  ASSERT_TRUE(user.Started());
  AboutBoxClosesWithEscape(user);
  EXPECT_EQ(user.WaitForExit(), 0);
}

}  // namespace
