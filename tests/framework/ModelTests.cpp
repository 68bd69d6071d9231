// The control model on its own: combo boxes as the Win32 control behaves, focus and tab order,
// keyboard routing, check boxes and refusal of what a person cannot reach.
#include <gtest/gtest.h>

#include "framework/Types.h"
#include "framework/portable/Model.h"

using portable::ControlKind;
using portable::ControlModel;
using portable::DialogModel;

namespace {

constexpr std::uint32_t kTabStop = 0x00010000;

ControlModel Control(int id, ControlKind kind, std::uint32_t style = kTabStop, std::u16string text = {}) {
  ControlModel control;
  control.id = id;
  control.kind = kind;
  control.style = style;
  control.text = std::move(text);
  return control;
}

// Records what the model reports to its dialog.
struct Recorder : portable::DialogHandler {
  std::vector<std::pair<unsigned, unsigned>> commands;
  std::vector<unsigned> sysCommands;
  void OnModelCommand(unsigned id, unsigned code) override { commands.emplace_back(id, code); }
  void OnModelSysCommand(unsigned id) override { sysCommands.push_back(id); }
};

TEST(ComboModel, SortedInsertionIgnoresCaseAndPutsEqualStringsFirst) {
  struct Case {
    std::vector<std::u16string> existing;
    std::u16string added;
    int position;
  };
  const Case cases[] = {
      {{}, u"a", 0},
      {{u"Software", u"Vsync On"}, u"Vsync Off", 1},
      {{u"apple", u"cherry"}, u"Banana", 1},
      {{u"Apple", u"banana"}, u"APPLE", 0},  // equal but for case: before the existing one
      {{u"abc", u"abd"}, u"ABD", 1},
      {{u"a", u"b"}, u"c", 2},
      {{u"ab"}, u"a", 0},        // a prefix sorts first
      {{u"8", u"9"}, u"10", 0},  // text order, not number order
  };
  for (const Case& c : cases) {
    ControlModel combo = Control(1, ControlKind::ComboBox);
    combo.sorted = true;
    combo.items = c.existing;
    EXPECT_EQ(combo.AddString(c.added), c.position);
    ASSERT_LT(c.position, static_cast<int>(combo.items.size()));
    EXPECT_EQ(combo.items[c.position], c.added);
  }
}

TEST(ComboModel, UnsortedAppendsAndSelectionFollowsItsEntry) {
  ControlModel combo = Control(1, ControlKind::ComboBox);
  EXPECT_EQ(combo.AddString(u"b"), 0);
  EXPECT_EQ(combo.AddString(u"a"), 1);
  EXPECT_EQ(combo.items, (std::vector<std::u16string>{u"b", u"a"}));

  ControlModel sorted = Control(2, ControlKind::ComboBox);
  sorted.sorted = true;
  sorted.AddString(u"m");
  sorted.SetCurSel(0);
  sorted.AddString(u"a");
  EXPECT_EQ(sorted.selection, 1);
  EXPECT_EQ(sorted.items[sorted.selection], u"m");
}

TEST(ComboModel, OutOfRangeSelectionClearsIt) {
  ControlModel combo = Control(1, ControlKind::ComboBox);
  EXPECT_EQ(combo.selection, -1);
  EXPECT_EQ(combo.SetCurSel(0), CB_ERR);  // empty list
  combo.items = {u"a", u"b", u"c"};
  for (int index : {3, 100, -1, -7}) {
    EXPECT_EQ(combo.SetCurSel(2), 2);
    EXPECT_EQ(combo.SetCurSel(index), CB_ERR) << index;
    EXPECT_EQ(combo.selection, -1) << index;
  }
}

class DialogModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog.handler = &recorder;
    dialog.systemMenu = {{SC_CLOSE, u"&Close", false}};
  }
  int FocusedId() const { return dialog.focus < 0 ? 0 : dialog.controls[dialog.focus].id; }

  DialogModel dialog;
  Recorder recorder;
};

TEST_F(DialogModelTest, TabOrderSkipsDisabledHiddenAndNonTabStops) {
  dialog.controls = {Control(10, ControlKind::Static, 0),  Control(11, ControlKind::PushButton),
                     Control(12, ControlKind::PushButton), Control(13, ControlKind::ComboBox),
                     Control(14, ControlKind::CheckBox),   Control(15, ControlKind::GroupBox, 0)};
  dialog.controls[2].enabled = false;
  dialog.controls[4].visible = false;
  dialog.FocusFirst();
  EXPECT_EQ(FocusedId(), 11);
  dialog.FocusNext(false);
  EXPECT_EQ(FocusedId(), 13);
  dialog.FocusNext(false);
  EXPECT_EQ(FocusedId(), 11);  // wraps round
  dialog.FocusNext(true);
  EXPECT_EQ(FocusedId(), 13);
  EXPECT_FALSE(dialog.SetFocus(12));
  EXPECT_EQ(FocusedId(), 13);

  DialogModel empty;
  empty.controls = {Control(1, ControlKind::Static, 0)};
  empty.FocusFirst();
  EXPECT_EQ(empty.focus, -1);
}

TEST_F(DialogModelTest, EnterAndEscapeRouting) {
  struct Case {
    const char* name;
    std::vector<ControlModel> controls;
    int focusId;  // 0: none
    bool accepted;
    unsigned command;
  };
  const Case cases[] = {
      {"no buttons: IDOK", {Control(5, ControlKind::Static, 0)}, 0, true, IDOK},
      {"default button",
       {Control(7, ControlKind::PushButton), Control(8, ControlKind::DefPushButton)},
       0,
       true,
       8},
      {"focused push button wins",
       {Control(7, ControlKind::PushButton), Control(8, ControlKind::DefPushButton)},
       7,
       true,
       7},
      {"focus on a check box: default button",
       {Control(6, ControlKind::CheckBox), Control(8, ControlKind::DefPushButton)},
       6,
       true,
       8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dialog.controls = c.controls;
    dialog.focus = -1;
    if (c.focusId != 0) {
      ASSERT_TRUE(dialog.SetFocus(c.focusId));
    }
    recorder.commands.clear();
    EXPECT_EQ(dialog.PressEnter(), c.accepted);
    ASSERT_EQ(recorder.commands.size(), 1u);
    EXPECT_EQ(recorder.commands[0], std::make_pair(c.command, BN_CLICKED));
  }

  // A disabled default button: Enter does nothing.
  dialog.controls = {Control(8, ControlKind::DefPushButton)};
  dialog.controls[0].enabled = false;
  dialog.focus = -1;
  recorder.commands.clear();
  EXPECT_FALSE(dialog.PressEnter());
  EXPECT_TRUE(recorder.commands.empty());

  EXPECT_TRUE(dialog.PressEscape());
  ASSERT_EQ(recorder.commands.size(), 1u);
  EXPECT_EQ(recorder.commands[0], std::make_pair(static_cast<unsigned>(IDCANCEL), BN_CLICKED));
}

TEST_F(DialogModelTest, CheckBoxTogglesOnClickAndSendsTheCommand) {
  dialog.controls = {Control(20, ControlKind::CheckBox, kTabStop | 0x03),   // auto check box
                     Control(21, ControlKind::CheckBox, kTabStop | 0x02)};  // plain: the dialog decides
  EXPECT_TRUE(dialog.Click(20));
  EXPECT_EQ(dialog.controls[0].check, BST_CHECKED);
  EXPECT_TRUE(dialog.Click(20));
  EXPECT_EQ(dialog.controls[0].check, BST_UNCHECKED);
  EXPECT_TRUE(dialog.Click(21));
  EXPECT_EQ(dialog.controls[1].check, BST_UNCHECKED);
  EXPECT_EQ(recorder.commands.size(), 3u);
  EXPECT_EQ(FocusedId(), 21);
}

TEST_F(DialogModelTest, RefusesWhatAPersonCannotReach) {
  dialog.controls = {Control(30, ControlKind::PushButton),
                     Control(31, ControlKind::CheckBox, kTabStop | 0x03), Control(32, ControlKind::ComboBox),
                     Control(33, ControlKind::Static, 0), Control(34, ControlKind::PushButton)};
  dialog.controls[0].enabled = false;
  dialog.controls[1].enabled = false;
  dialog.controls[2].enabled = false;
  dialog.controls[2].items = {u"a", u"b"};
  dialog.controls[4].visible = false;
  EXPECT_FALSE(dialog.Click(30));
  EXPECT_FALSE(dialog.Click(31));
  EXPECT_EQ(dialog.controls[1].check, BST_UNCHECKED);
  EXPECT_FALSE(dialog.SelectItem(32, 1));
  EXPECT_EQ(dialog.controls[2].selection, -1);
  EXPECT_FALSE(dialog.Click(33));  // not a button
  EXPECT_FALSE(dialog.Click(34));  // hidden
  EXPECT_FALSE(dialog.Click(99));  // missing
  EXPECT_TRUE(recorder.commands.empty());

  dialog.controls[2].enabled = true;
  EXPECT_FALSE(dialog.SelectItem(32, 2));  // no such entry
  EXPECT_TRUE(dialog.SelectItem(32, 1));
  EXPECT_EQ(dialog.controls[2].selection, 1);
  ASSERT_EQ(recorder.commands.size(), 1u);
  EXPECT_EQ(recorder.commands[0], std::make_pair(32u, 1u));  // CBN_SELCHANGE

  dialog.systemMenu.clear();
  EXPECT_FALSE(dialog.SysCommand(SC_CLOSE));
  EXPECT_TRUE(recorder.sysCommands.empty());
}

// The stack and the default front end: with no front end installed, a modal loop ends at once
// with IDCANCEL, so a program run without a user never hangs.
TEST(ModalStack, DefaultFrontEndCancels) {
  struct Nothing : portable::FrontEnd {
    void RunModal(DialogModel&) override {}
  } mine;
  EXPECT_EQ(portable::SetFrontEnd(&mine), nullptr);
  EXPECT_EQ(&portable::GetFrontEnd(), &mine);
  EXPECT_EQ(portable::SetFrontEnd(nullptr), &mine);
  DialogModel dialog;
  portable::GetFrontEnd().RunModal(dialog);
  EXPECT_TRUE(dialog.ended);
  EXPECT_EQ(dialog.result, IDCANCEL);
  EXPECT_TRUE(portable::OpenDialogs().empty());
}

}  // namespace
