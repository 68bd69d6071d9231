// The write-access probe against the real registry, in a program of its own: a key whose
// security lets everyone read and nobody write refuses it, the administrator message appears
// once, and the write after it does not land.
#include <gtest/gtest.h>

#include "tests/win32/TestRegistry.h"
#include "tests/win32/Win32User.h"

namespace {

const std::wstring kKey = L"System\\ConfiguratorProbe\\0000";

std::wstring ClassOf(HWND window) {
  wchar_t name[32] = {};
  return std::wstring(name, static_cast<std::size_t>(::GetClassNameW(window, name, 32)));
}

// The texts of a message box's visible buttons.
std::vector<std::wstring> Buttons(HWND box) {
  std::vector<std::wstring> texts;
  for (HWND child = ::GetWindow(box, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (!::IsWindowVisible(child) ||
        ::CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, ClassOf(child).c_str(), -1, L"Button", -1) !=
            CSTR_EQUAL)
      continue;
    wchar_t text[64] = {};
    texts.emplace_back(text, static_cast<std::size_t>(::GetWindowTextW(child, text, 64)));
  }
  return texts;
}

// Whether an icon control of the box holds an icon (Wine keeps an empty one in every box).
bool ShowsAnIcon(HWND box) {
  for (HWND child = ::GetWindow(box, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (ClassOf(child) != L"Static" || (::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON)
      continue;
    DWORD_PTR icon = 0;
    if (::SendMessageTimeoutW(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 3000, &icon) && icon != 0)
      return true;
  }
  return false;
}

class ProbeWriteAccessOnWine : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testregistry::DeleteKey(kKey));
    ASSERT_TRUE(testregistry::CreateKey(kKey));
    ASSERT_TRUE(testregistry::SetValue(kKey, L"QLDRV_LOD_BIAS", REG_SZ, {'1', 0, 0, 0}));
  }
  void TearDown() override { EXPECT_TRUE(testregistry::DeleteKey(kKey)); }

  static std::vector<BYTE> Stored() {
    const auto value = testregistry::GetValue(kKey, L"QLDRV_LOD_BIAS");
    return value && value->type == REG_SZ ? value->data : std::vector<BYTE>{};
  }
};

TEST_F(ProbeWriteAccessOnWine, AWritableKeyPassesSilentlyAndTakesTheWrite) {
  Win32User user(ProgramBesideTests(L"probe_program.exe"), L"\"" + kKey + L"\"");
  ASSERT_TRUE(user.Started());
  EXPECT_EQ(user.WaitForExit(), 0) << "no message box may hold the program";
  EXPECT_EQ(Stored(), (std::vector<BYTE>{'2', 0, 0, 0}));
}

TEST_F(ProbeWriteAccessOnWine, AKeyThatRefusesWritingShowsTheMessageOnceAndTakesNoWrite) {
  ASSERT_TRUE(testregistry::SetSecurity(kKey, testregistry::kReadOnlyForEveryone));
  Win32User user(ProgramBesideTests(L"probe_program.exe"), L"\"" + kKey + L"\"");
  ASSERT_TRUE(user.Started());

  ASSERT_TRUE(user.WaitForDialog(u"Insufficent Access Writes"));
  EXPECT_EQ(user.MessageText(), u"Execute using Administrator Account");
  EXPECT_EQ(Buttons(user.Current()), std::vector<std::wstring>{L"OK"});
  EXPECT_FALSE(ShowsAnIcon(user.Current()));
  ASSERT_TRUE(user.PressEnter());

  EXPECT_EQ(user.WaitForExit(), 0) << "a second message would hold the program";
  EXPECT_EQ(Stored(), (std::vector<BYTE>{'1', 0, 0, 0}));
}

}  // namespace
