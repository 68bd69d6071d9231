// The framework classes on the portable layer, over the program's real compiled templates:
// list data, command routing, data exchange binding, system menu and message boxes. A script
// front end plays each modal loop synchronously on this thread.
#include <gtest/gtest.h>

#include <functional>

#include "base/Service.h"
#include "framework/Dialog.h"
#include "framework/WinApp.h"
#include "framework/portable/Model.h"
#include "res/resource.h"

using portable::DialogModel;

namespace {

// Plays one step per modal loop, in the order the loops start; a step that leaves its dialog
// open fails the test and ends it with -2.
class ScriptFrontEnd : public portable::FrontEnd {
 public:
  std::vector<std::function<void(DialogModel&)>> steps;
  std::size_t loops = 0;
  void RunModal(DialogModel& dialog) override {
    ASSERT_FALSE(portable::OpenDialogs().empty());
    EXPECT_EQ(portable::OpenDialogs().back(), &dialog);
    const std::size_t step = loops++;  // a nested loop takes the next step
    if (step < steps.size()) steps[step](dialog);
    if (!dialog.ended) {
      ADD_FAILURE() << "modal loop " << loops << " left open";
      dialog.ended = true;
      dialog.result = -2;
    }
  }
};

class DialogTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_TRUE(portable::OpenDialogs().empty()); }
  ScriptFrontEnd script;
  base::Installed<portable::SetFrontEnd> m_installed{script};
};

// The main dialog's template with its bindings, recording what reaches the handlers.
class MainLikeDialog : public CDialog {
 public:
  MainLikeDialog() : CDialog(IDD_CONFIGURATOR_DIALOG) {}
  std::vector<std::pair<unsigned, unsigned>> commands;
  std::vector<unsigned> sysCommands;
  int exchanges = 0;
  bool handleAbout = true;
  CStatic adapter;
  CButton chip;

 protected:
  void DoDataExchange(CDataExchange* pDX) override {
    ++exchanges;
    DDX_Control(pDX, IDC_STATIC_ADAPTER, adapter);
    adapter.SetWindowText(u"Board " + std::u16string(pDX->m_bSaveAndValidate ? u"saved" : u"loaded"));
    DDX_Control(pDX, IDC_BUTTON_CHIP, chip);
    chip.EnableWindow(true);
  }
  bool OnCommand(unsigned id, unsigned code) override {
    commands.emplace_back(id, code);
    return CDialog::OnCommand(id, code);
  }
  void OnSysCommand(unsigned id, std::intptr_t param) override {
    sysCommands.push_back(id);
    if ((id & 0xFFF0) != IDM_ABOUTBOX || !handleAbout) CDialog::OnSysCommand(id, param);
  }
};

TEST_F(DialogTest, CommandsReachTheSubclassAndCancelEndsIt) {
  MainLikeDialog dialog;
  script.steps.push_back([&](DialogModel& model) {
    EXPECT_EQ(model.caption, u"Orlo Configurator");
    EXPECT_EQ(model.controls[model.focus].id, IDC_BUTTON_GENERAL);  // first tab stop
    EXPECT_TRUE(model.Click(IDC_BUTTON_GENERAL));
    EXPECT_FALSE(model.ended);
    EXPECT_TRUE(model.Click(IDCANCEL));
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  const std::vector<std::pair<unsigned, unsigned>> expected = {{IDC_BUTTON_GENERAL, BN_CLICKED},
                                                               {IDCANCEL, BN_CLICKED}};
  EXPECT_EQ(dialog.commands, expected);
  EXPECT_EQ(dialog.exchanges, 1);
}

TEST_F(DialogTest, OkExchangesDataOnceMoreThenEnds) {
  MainLikeDialog dialog;
  script.steps.push_back([&](DialogModel& model) {
    model.focus = -1;  // no push button focused: Enter is IDOK, which no button carries
    EXPECT_TRUE(model.PressEnter());
    EXPECT_EQ(model.Find(IDC_STATIC_ADAPTER)->text, u"Board saved");
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.exchanges, 2);
}

TEST_F(DialogTest, BoundControlsActOnTheWindowAndAreDetachedAfterwards) {
  MainLikeDialog dialog;
  script.steps.push_back([&](DialogModel& model) {
    const auto* adapter = model.Find(IDC_STATIC_ADAPTER);
    EXPECT_EQ(dialog.adapter.GetSafeHwnd(), adapter);
    EXPECT_EQ(dialog.chip.GetSafeHwnd(), model.Find(IDC_BUTTON_CHIP));
    EXPECT_EQ(adapter->text, u"Board loaded");
    EXPECT_TRUE(model.Find(IDC_BUTTON_CHIP)->enabled);  // disabled in the template
    // Binding happens once; a later exchange keeps the same control.
    const WindowHandle before = dialog.adapter.GetSafeHwnd();
    dialog.UpdateData(true);
    EXPECT_EQ(dialog.adapter.GetSafeHwnd(), before);
    EXPECT_TRUE(model.PressEscape());
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(dialog.adapter.GetSafeHwnd(), nullptr);
  EXPECT_EQ(dialog.chip.GetSafeHwnd(), nullptr);
  EXPECT_EQ(dialog.GetSafeHwnd(), nullptr);
  // Detached objects do nothing and report failure.
  dialog.adapter.SetWindowText(u"gone");
  EXPECT_EQ(dialog.adapter.GetWindowText(), u"");
  EXPECT_FALSE(dialog.chip.IsWindowEnabled());

  // A second run binds afresh to the new window.
  script.steps.push_back([&](DialogModel& model) {
    EXPECT_EQ(dialog.adapter.GetSafeHwnd(), model.Find(IDC_STATIC_ADAPTER));
    model.PressEscape();
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

TEST_F(DialogTest, SystemMenuCloseCancelsUnlessTheHandlerTakesIt) {
  MainLikeDialog dialog;
  script.steps.push_back([&](DialogModel& model) {
    ASSERT_EQ(model.systemMenu.size(), 1u);
    EXPECT_EQ(model.systemMenu[0].id, SC_CLOSE);
    CMenu* menu = dialog.GetSystemMenu(false);
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->AppendMenu(MF_SEPARATOR));
    EXPECT_TRUE(menu->AppendMenu(MF_STRING, IDM_ABOUTBOX, u"&About Configurator..."));
    ASSERT_EQ(model.systemMenu.size(), 3u);
    EXPECT_TRUE(model.systemMenu[1].separator);
    EXPECT_EQ(model.systemMenu[2].text, u"&About Configurator...");
    EXPECT_TRUE(model.SysCommand(IDM_ABOUTBOX));  // handled without default processing
    EXPECT_FALSE(model.ended);
    EXPECT_TRUE(model.SysCommand(SC_CLOSE));
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_EQ(dialog.sysCommands, (std::vector<unsigned>{IDM_ABOUTBOX, SC_CLOSE}));
  EXPECT_EQ(dialog.commands, (std::vector<std::pair<unsigned, unsigned>>{{IDCANCEL, BN_CLICKED}}));
}

// The general features template: its list data is added before OnInitDialog, sorted lists
// ordered by the control, nothing selected.
class ListDataDialog : public CDialog {
 public:
  ListDataDialog() : CDialog(IDD_GENERAL_DIALOG) {}
  int vsyncCountAtInit = -1;
  CComboBox vsync;

 protected:
  bool OnInitDialog() override {
    const bool result = CDialog::OnInitDialog();
    vsyncCountAtInit = vsync.GetCount();
    return result;
  }
  void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, IDC_COMBO_VSYNC, vsync); }
};

TEST_F(DialogTest, ListDataFillsTheListsBeforeInitialisation) {
  ListDataDialog dialog;
  script.steps.push_back([&](DialogModel& model) {
    const auto* vsync = model.Find(IDC_COMBO_VSYNC);
    ASSERT_NE(vsync, nullptr);
    EXPECT_TRUE(vsync->sorted);
    EXPECT_EQ(vsync->items, (std::vector<std::u16string>{u"Software", u"Vsync Off", u"Vsync On"}));
    EXPECT_EQ(vsync->selection, -1);
    EXPECT_EQ(dialog.vsync.GetCurSel(), CB_ERR);
    EXPECT_EQ(dialog.vsync.GetLBText(1), u"Vsync Off");
    EXPECT_EQ(dialog.vsync.SetCurSel(7), CB_ERR);
    EXPECT_TRUE(model.SelectItem(IDC_COMBO_VSYNC, 2));
    EXPECT_EQ(dialog.vsync.GetCurSel(), 2);
    model.PressEscape();
  });
  dialog.DoModal();
  EXPECT_EQ(dialog.vsyncCountAtInit, 3);
}

TEST_F(DialogTest, MessageBoxIsModalOverItsOwner) {
  MainLikeDialog dialog;
  int answer = 0;
  DialogModel* mainModel = nullptr;
  script.steps.push_back([&](DialogModel& model) {
    mainModel = &model;
    answer = dialog.MessageBox(u"Execute using Administrator Account", u"Insufficent Access Writes");
    model.PressEscape();
  });
  script.steps.push_back([&](DialogModel& box) {
    ASSERT_EQ(portable::OpenDialogs().size(), 2u);
    EXPECT_TRUE(box.isMessageBox);
    EXPECT_EQ(box.owner, mainModel);
    EXPECT_EQ(box.caption, u"Insufficent Access Writes");
    ASSERT_NE(box.Find(0xFFFF), nullptr);
    EXPECT_EQ(box.Find(0xFFFF)->text, u"Execute using Administrator Account");
    EXPECT_EQ(box.DefaultId(), IDOK);
    EXPECT_EQ(box.controls[box.focus].id, IDOK);
    EXPECT_FALSE(mainModel->ended);
    EXPECT_TRUE(box.PressEnter());
  });
  dialog.DoModal();
  EXPECT_EQ(answer, IDOK);
}

TEST_F(DialogTest, MessageBoxWithoutOwner) {
  // Without an owner it stands over the top of the stack, or alone; with only OK, Escape and the
  // close command answer IDOK as a message box does.
  script.steps.push_back([&](DialogModel& box) {
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_TRUE(box.PressEscape());
  });
  EXPECT_EQ(ShowMessageBox(nullptr, u"No Adapter Found", u"Fatal Error"), IDOK);

  MainLikeDialog dialog;
  DialogModel* mainModel = nullptr;
  script.steps.push_back([&](DialogModel& model) {
    mainModel = &model;
    EXPECT_EQ(ShowMessageBox(nullptr, u"text", u"caption"), IDOK);
    model.PressEscape();
  });
  script.steps.push_back([&](DialogModel& box) {
    EXPECT_EQ(box.owner, mainModel);
    EXPECT_TRUE(box.SysCommand(SC_CLOSE));
  });
  dialog.DoModal();
}

class EndsAtOnce : public CDialog {
 public:
  EndsAtOnce() : CDialog(IDD_ABOUTBOX) {}

 protected:
  bool OnInitDialog() override {
    EndDialog(42);
    return true;
  }
};

TEST_F(DialogTest, EndedDuringInitialisationNeverRuns) {
  EndsAtOnce dialog;
  EXPECT_EQ(dialog.DoModal(), 42);
  EXPECT_EQ(script.loops, 0u);
  CDialog missing(999);
  EXPECT_EQ(missing.DoModal(), -1);
}

TEST(LayerServices, StringsAndIconsFromTheResources) {
  std::u16string text = u"unchanged";
  EXPECT_TRUE(LoadStringResource(IDS_ABOUTBOX, text));
  EXPECT_EQ(text, u"&About Configurator...");
  text = u"unchanged";
  EXPECT_FALSE(LoadStringResource(9999, text));
  EXPECT_EQ(text, u"unchanged");
  CWinApp app;
  EXPECT_EQ(app.LoadIcon(IDR_MAINFRAME), reinterpret_cast<IconHandle>(std::uintptr_t{IDR_MAINFRAME}));
  EXPECT_EQ(app.LoadIcon(9999), nullptr);
}

}  // namespace
