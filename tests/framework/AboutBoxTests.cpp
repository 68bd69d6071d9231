// The About box scenario, shared with the Win32 layer, on the portable layer; and the test
// user's own guarantees: refusal of windows under a modal one, and no hang when a test stops
// early.
#include <gtest/gtest.h>

#include "framework/portable/Model.h"
#include "mainwnd/AboutDlg.h"
#include "tests/scenarios/AboutBoxScenario.h"
#include "tests/support/PortableUser.h"

namespace {

int ShowAboutBox() {
  CAboutDlg dialog;
  return static_cast<int>(dialog.DoModal());
}

TEST(AboutBox, ClosesWithOk) {
  PortableUser user(ShowAboutBox);
  AboutBoxClosesWithOk(user);
  EXPECT_EQ(user.WaitForExit(), IDOK);
}

TEST(AboutBox, ClosesWithEscape) {
  PortableUser user(ShowAboutBox);
  AboutBoxClosesWithEscape(user);
  EXPECT_EQ(user.WaitForExit(), IDCANCEL);
}

// A dialog that opens a message box from its OK button.
class AsksFirst : public CAboutDlg {
 protected:
  void OnOK() override {
    MessageBox(u"Sure?", u"Question");
    CAboutDlg::OnOK();
  }
};

TEST(PortableUser, NestedModalWindowsAndRefusals) {
  PortableUser user([] {
    AsksFirst dialog;
    return static_cast<int>(dialog.DoModal());
  });
  ASSERT_TRUE(user.WaitForDialog(u"About Configurator"));
  EXPECT_FALSE(user.Click(12345));
  EXPECT_TRUE(user.Click(IDOK));  // returns once the message box is up
  // The About box is still the current dialog, but under the message box: out of reach.
  EXPECT_FALSE(user.Click(IDOK));
  ASSERT_TRUE(user.WaitForDialog(u"Question"));
  EXPECT_EQ(user.MessageText(), u"Sure?");
  EXPECT_TRUE(user.PressEnter());
  EXPECT_TRUE(user.WaitForClose(u"Question"));
  EXPECT_EQ(user.WaitForExit(), IDOK);
  EXPECT_FALSE(user.Click(IDOK));  // nothing left to act on
}

TEST(PortableUser, EndsWhatATestLeavesOpen) {
  {
    PortableUser user(ShowAboutBox, std::chrono::milliseconds(300));
    ASSERT_TRUE(user.WaitForDialog(u"About Configurator"));
    EXPECT_FALSE(user.WaitForDialog(u"Not there"));
    EXPECT_EQ(user.WaitForExit(), -1);
  }
  EXPECT_TRUE(portable::OpenDialogs().empty());
}

}  // namespace
