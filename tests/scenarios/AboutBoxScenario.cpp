#include "tests/scenarios/AboutBoxScenario.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "framework/Types.h"
#include "res/resource.h"

namespace {

const std::u16string kCaption = u"About Configurator";
const std::u16string kVersion = u"Configurator Version 1.1";

void ExpectAboutBox(User& user) {
  ASSERT_TRUE(user.WaitForDialog(kCaption));
  EXPECT_EQ(user.Caption(), kCaption);
  const std::vector<std::u16string> texts = user.Texts();
  const auto version = std::find(texts.begin(), texts.end(), kVersion);
  ASSERT_NE(version, texts.end()) << "no version line";
  // The one-line notice follows the version line.
  ASSERT_NE(version + 1, texts.end());
  EXPECT_FALSE(version[1].empty()) << "no notice";
  EXPECT_NE(version[1], u"OK");
  EXPECT_EQ(user.Text(IDOK), u"OK");
  EXPECT_TRUE(user.IsEnabled(IDOK));
  EXPECT_TRUE(user.HasFocus(IDOK));
}

}  // namespace

void AboutBoxClosesWithOk(User& user) {
  ExpectAboutBox(user);
  EXPECT_TRUE(user.Click(IDOK));
  EXPECT_TRUE(user.WaitForClose(kCaption));
}

void AboutBoxClosesWithEscape(User& user) {
  ExpectAboutBox(user);
  EXPECT_TRUE(user.PressEscape());
  EXPECT_TRUE(user.WaitForClose(kCaption));
}
