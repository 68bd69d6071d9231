// The OK-handler frame of the settings dialogs: probe once only when something changed, a
// refused probe clears the flag (message, no refresh), the refresh runs once with the dialog's
// window.
#include <gtest/gtest.h>

#include "settings/SettingsSave.h"
#include "tests/support/TestServices.h"

namespace {

const std::u16string kDevice = u"System\\CurrentControlSet\\Control\\Video\\{A}\\0000";

class SettingsSaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    services.registry.CreateKey(kDevice);
    dialog.m_hWnd = reinterpret_cast<WindowHandle>(0x1234);
  }
  TestServices services;
  AnsweringFrontEnd frontEnd;
  CWnd dialog;
};

TEST_F(SettingsSaveTest, NothingChangedTouchesNothing) {
  CSettingsSave save(dialog, false, kDevice);
  EXPECT_FALSE(save.Changed());
  EXPECT_FALSE(save.Finish());
  EXPECT_EQ(services.registry.TotalOpenCount(), 0);
  EXPECT_TRUE(services.displayMode.Calls().empty());
  EXPECT_TRUE(frontEnd.shown.empty());
}

TEST_F(SettingsSaveTest, ChangeWithWriteAccessProbesOnceAndRefreshesOnce) {
  CSettingsSave save(dialog, true, kDevice);
  EXPECT_TRUE(save.Changed());
  EXPECT_EQ(services.registry.OpenCount(platform::kKeyWrite), 1);
  EXPECT_TRUE(services.displayMode.Calls().empty()) << "the refresh waits for Finish";
  EXPECT_TRUE(save.Finish());
  EXPECT_FALSE(save.Finish());
  const auto calls = services.displayMode.Calls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[1].window, dialog.m_hWnd);
  EXPECT_TRUE(frontEnd.shown.empty());
}

TEST_F(SettingsSaveTest, RefusedProbeShowsTheMessageAndCancelsTheRefresh) {
  services.registry.DenyWrite(kDevice);
  CSettingsSave save(dialog, true, kDevice);
  EXPECT_FALSE(save.Changed());
  EXPECT_FALSE(save.Finish());
  ASSERT_EQ(frontEnd.shown.size(), 1u);
  EXPECT_EQ(frontEnd.shown[0].text, u"Execute using Administrator Account");
  EXPECT_TRUE(services.displayMode.Calls().empty());
}

}  // namespace
