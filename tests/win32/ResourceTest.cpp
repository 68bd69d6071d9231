// Every dialog template made for real by the Win32 layer (with its list data appended the way
// the layer does it) and checked against the expected resources; plus the layer's controls,
// strings and icons on the executable's own resources.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <functional>

#include "framework/Dialog.h"
#include "framework/WinApp.h"
#include "framework/win32/WinInclude.h"
#include "tests/support/ExpectedResources.h"

namespace {

std::u16string Text16(std::string_view text) { return std::u16string(text.begin(), text.end()); }

std::u16string WindowText(HWND window) {
  wchar_t text[256] = {};
  const int length = ::GetWindowTextW(window, text, 256);
  return std::u16string(text, text + (length > 0 ? length : 0));
}

std::u16string ClassName(HWND window) {
  wchar_t name[64] = {};
  const int length = ::GetClassNameW(window, name, 64);
  return std::u16string(name, name + (length > 0 ? length : 0));
}

std::vector<std::u16string> ComboEntries(HWND combo) {
  std::vector<std::u16string> entries;
  const auto count = ::SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    wchar_t text[256] = {};
    const auto length =
        ::SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    entries.emplace_back(text, text + (length > 0 ? length : 0));
  }
  return entries;
}

// A template's rectangle in pixels of this dialog.
RECT Pixels(HWND dialog, int x, int y, int cx, int cy) {
  RECT rect{x, y, x + cx, y + cy};
  ::MapDialogRect(dialog, &rect);
  return rect;
}

// Runs a dialog modally on the layer and hands its initialised window to a check, then ends it.
class InspectedDialog : public CDialog {
 public:
  InspectedDialog(unsigned templateId, std::function<void(CDialog&)> inspect)
      : CDialog(templateId), m_inspect(std::move(inspect)) {}

 protected:
  bool OnInitDialog() override {
    CDialog::OnInitDialog();
    m_inspect(*this);
    EndDialog(IDOK);
    return true;
  }

 private:
  std::function<void(CDialog&)> m_inspect;
};

class DialogTemplate : public ::testing::TestWithParam<expected::Dialog> {};

// The entries of one list in the order the control shows them.
std::vector<std::u16string> DisplayedEntries(int dialogId, int controlId, bool sorted) {
  std::vector<std::u16string> entries;
  for (const expected::ListData& list : expected::kLists)
    if (list.dialogId == dialogId)
      for (const expected::ListEntry& entry : list.entries)
        if (entry.controlId == controlId) entries.push_back(Text16(entry.text));
  if (sorted)
    std::stable_sort(entries.begin(), entries.end(), [](const std::u16string& a, const std::u16string& b) {
      return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char16_t l, char16_t r) {
        return std::towlower(l) < std::towlower(r);
      });
    });
  return entries;
}

TEST_P(DialogTemplate, IsMadeAsDescribed) {
  const expected::Dialog& want = GetParam();
  InspectedDialog dialog(static_cast<unsigned>(want.id), [&](CDialog& made) {
    HWND window = static_cast<HWND>(made.m_hWnd);
    EXPECT_EQ(WindowText(window), want.caption);
    const auto style = static_cast<std::uint32_t>(::GetWindowLongW(window, GWL_STYLE));
    // Visibility comes after initialisation, and the system adds sibling clipping and the 3D look
    // to every dialog; the rest of the style is the template's.
    constexpr std::uint32_t kAdded = expected::kWsVisible | WS_CLIPSIBLINGS | DS_3DLOOK;
    EXPECT_EQ(style & ~kAdded, want.style & ~kAdded) << std::hex << style;
    const auto exStyle = static_cast<std::uint32_t>(::GetWindowLongW(window, GWL_EXSTYLE));
    EXPECT_EQ(exStyle & want.exStyle, want.exStyle) << std::hex << exStyle;
    RECT client{};
    ::GetClientRect(window, &client);
    const RECT size = Pixels(window, 0, 0, want.cx, want.cy);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);

    // Controls in template order, which is their order among the dialog's children.
    std::size_t index = 0;
    for (HWND child = ::GetWindow(window, GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
      ASSERT_LT(index, want.controls.size()) << "more controls than the template";
      const expected::Control& control = want.controls[index++];
      SCOPED_TRACE(testing::Message() << "control " << index << " (id " << control.id << ")");
      EXPECT_EQ(::GetDlgCtrlID(child) & 0xFFFF, control.id & 0xFFFF);
      EXPECT_EQ(ClassName(child), control.className);
      // A combo box hands its scroll bar style to its list.
      const std::uint32_t handedOn = control.className == expected::kComboBox ? expected::kWsVScroll : 0;
      const auto childStyle = static_cast<std::uint32_t>(::GetWindowLongW(child, GWL_STYLE));
      EXPECT_EQ(childStyle, control.style & ~handedOn) << std::hex << childStyle;
      RECT placed{};
      ::GetWindowRect(child, &placed);
      ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&placed), 2);
      // Position and size are converted from dialog units separately.
      const RECT planned = Pixels(window, control.x, control.y, control.cx, control.cy);
      const RECT plannedSize = Pixels(window, 0, 0, control.cx, control.cy);
      EXPECT_EQ(placed.left, planned.left);
      EXPECT_EQ(placed.top, planned.top);
      if (control.textOrdinal >= 0) {
        EXPECT_NE(::SendMessageW(child, STM_GETICON, 0, 0), 0) << "no icon";
        continue;
      }
      EXPECT_EQ(WindowText(child), control.text);
      // A drop-down list's window is as high as its closed box; the template gives the open height.
      if (control.className != expected::kComboBox) {
        EXPECT_EQ(placed.right - placed.left, plannedSize.right);
        EXPECT_EQ(placed.bottom - placed.top, plannedSize.bottom);
        continue;
      }
      const bool sorted = (control.style & expected::kCbsSort) != 0;
      EXPECT_EQ(ComboEntries(child), DisplayedEntries(want.id, control.id, sorted));
      EXPECT_EQ(::SendMessageW(child, CB_GETCURSEL, 0, 0), CB_ERR) << "a list starts with no selection";
    }
    EXPECT_EQ(index, want.controls.size()) << "fewer controls than the template";
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
}

INSTANTIATE_TEST_SUITE_P(Win32, DialogTemplate, ::testing::ValuesIn(expected::kDialogs),
                         [](const ::testing::TestParamInfo<expected::Dialog>& param) {
                           return "Dialog" + std::to_string(param.param.id);
                         });

// The control sorts its own list: "Software" before "Vsync Off" before "Vsync On".
TEST(Win32Lists, SortedVSyncList) {
  std::vector<std::u16string> entries;
  InspectedDialog dialog(IDD_GENERAL_DIALOG, [&](CDialog& made) {
    entries = ComboEntries(::GetDlgItem(static_cast<HWND>(made.m_hWnd), IDC_COMBO_VSYNC));
  });
  ASSERT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(entries, (std::vector<std::u16string>{u"Software", u"Vsync Off", u"Vsync On"}));
}

TEST(Win32Dialog, MissingTemplateFailsToRun) {
  InspectedDialog dialog(4242, [](CDialog&) { ADD_FAILURE() << "no such template"; });
  EXPECT_EQ(dialog.DoModal(), -1);
  EXPECT_EQ(dialog.m_hWnd, nullptr);
}

// The framework's controls on the real ones, and their detachment when the window goes away.
TEST(Win32Dialog, ControlsActOnTheRealWindowsUntilItCloses) {
  CComboBox vsync;
  CButton tripleBuffer;
  CStatic label;
  InspectedDialog dialog(IDD_GENERAL_DIALOG, [&](CDialog& made) {
    CDataExchange exchange(&made, false);
    DDX_Control(&exchange, IDC_COMBO_VSYNC, vsync);
    DDX_Control(&exchange, IDC_CHECK_TRIPLE_BUFFER, tripleBuffer);
    DDX_Control(&exchange, IDC_STATIC_VSYNC, label);
    ASSERT_NE(vsync.m_hWnd, nullptr);
    EXPECT_EQ(vsync.GetCount(), 3);
    EXPECT_EQ(vsync.GetCurSel(), CB_ERR);
    EXPECT_EQ(vsync.SetCurSel(2), 2);
    EXPECT_EQ(vsync.GetCurSel(), 2);
    EXPECT_EQ(vsync.GetLBText(2), u"Vsync On");
    EXPECT_EQ(vsync.SetCurSel(-1), CB_ERR);
    EXPECT_EQ(vsync.GetCurSel(), CB_ERR);
    EXPECT_EQ(vsync.SetCurSel(3), CB_ERR);
    EXPECT_EQ(vsync.AddString(u"vsync off"), 1) << "sorted in, case-insensitively, before the equal entry";
    EXPECT_EQ(vsync.GetLBText(99), u"");

    EXPECT_EQ(tripleBuffer.GetCheck(), BST_UNCHECKED);
    tripleBuffer.SetCheck(BST_CHECKED);
    EXPECT_EQ(tripleBuffer.GetCheck(), BST_CHECKED);
    EXPECT_FALSE(tripleBuffer.EnableWindow(false)) << "was enabled";
    EXPECT_FALSE(tripleBuffer.IsWindowEnabled());
    EXPECT_TRUE(tripleBuffer.EnableWindow(true)) << "was disabled";

    EXPECT_EQ(label.GetWindowText(), u"VSync");
    label.SetWindowText(u"Vertical sync");
    EXPECT_EQ(label.GetWindowText(), u"Vertical sync");

    CMenu* menu = made.GetSystemMenu(false);
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->AppendMenu(MF_SEPARATOR));
    EXPECT_TRUE(menu->AppendMenu(MF_STRING, IDM_ABOUTBOX, u"&About Configurator..."));
  });
  ASSERT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.m_hWnd, nullptr);
  EXPECT_EQ(vsync.m_hWnd, nullptr);
  EXPECT_EQ(tripleBuffer.m_hWnd, nullptr);
  EXPECT_EQ(label.m_hWnd, nullptr);
  EXPECT_EQ(vsync.GetCurSel(), CB_ERR) << "a detached control reports failure";
}

TEST(Win32Resources, StringsTellMissingFromEmpty) {
  std::u16string text = u"unchanged";
  ASSERT_TRUE(LoadStringResource(expected::kAboutStringId, text));
  EXPECT_EQ(text, expected::kAboutString);
  EXPECT_TRUE(LoadStringResource(expected::kAboutStringId - 1, text))
      << "an empty neighbour in the same block";
  EXPECT_EQ(text, u"");
  EXPECT_FALSE(LoadStringResource(5000, text)) << "no block holds it";
}

TEST(Win32Resources, IconAndMetrics) {
  CWinApp application;
  EXPECT_NE(application.LoadIcon(expected::kIconId), nullptr);
  EXPECT_EQ(application.LoadIcon(4242), nullptr);
  EXPECT_GT(GetSystemMetrics(SM_CXICON), 0);
  EXPECT_GT(GetSystemMetrics(SM_CYICON), 0);
}

}  // namespace
