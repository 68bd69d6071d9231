// Keys and clicks on the terminal's view of a dialog, turned into the model's actions, and the
// stack of windows drawn over each other.
#include <gtest/gtest.h>

#include "framework/Types.h"
#include "framework/portable/terminal/DialogScreen.h"
#include "framework/portable/terminal/Text.h"
#include "res/resource.h"
#include "tests/terminal/Dialogs.h"

namespace {

using portable::DialogModel;
using namespace portable::terminal;

struct Recorder : portable::DialogHandler {
  std::vector<unsigned> commands, sysCommands;
  void OnModelCommand(unsigned id, unsigned) override { commands.push_back(id); }
  void OnModelSysCommand(unsigned id) override { sysCommands.push_back(id); }
};

InputEvent Press(InputKind key) { return InputEvent{key}; }
InputEvent Type(char32_t ch) { return InputEvent{InputKind::Char, ch}; }

bool CanvasShows(const Canvas& canvas, const std::u16string& text) {
  return canvas.ToText().find(ToUtf8(text)) != std::string::npos;
}

// The cell where a text starts on the canvas, or (-1, -1).
std::pair<int, int> Find(const Canvas& canvas, const std::u16string& text) {
  for (int y = 0; y < canvas.Height(); ++y) {
    const std::size_t x = canvas.Row(y).find(CodePoints(text));
    if (x != std::u32string::npos) return {static_cast<int>(x), y};
  }
  return {-1, -1};
}

struct ListCase {
  const char* name;
  std::vector<InputEvent> keys;
  int selection;
  bool listOpen;
};

class DropDownList : public ::testing::TestWithParam<ListCase> {};

// The dual-chip dialog opens with the focus on its anti-aliasing list: "Single Chip",
// "Fastest", "2 Sample Anti-Aliasing", "4 Sample Anti-Aliasing", the first selected.
TEST_P(DropDownList, ChoosesWithTheKeys) {
  DialogModel model = terminal_test::ProgramDialog(IDD_DUAL_CHIP_DIALOG);
  DialogScreen screen(model);
  Canvas canvas(100, 30);
  for (const InputEvent& event : GetParam().keys) {
    screen.Render(canvas, {&model}, u"");
    screen.Handle(event);
  }
  EXPECT_EQ(model.Find(IDC_COMBO_DUAL_AA)->selection, GetParam().selection);
  EXPECT_EQ(screen.ListOpen(), GetParam().listOpen);
  EXPECT_FALSE(model.ended);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, DropDownList,
    ::testing::Values(ListCase{"SpaceOpens", {Press(InputKind::Space)}, 0, true},
                      ListCase{"EnterPicks",
                               {Press(InputKind::Space), Press(InputKind::Down), Press(InputKind::Down),
                                Press(InputKind::Enter)},
                               2,
                               false},
                      ListCase{"EscapeCloses",
                               {Press(InputKind::Space), Press(InputKind::Down), Press(InputKind::Escape)},
                               0,
                               false},
                      ListCase{"EndThenEnter",
                               {Press(InputKind::OpenList), Press(InputKind::End), Press(InputKind::Enter)},
                               3,
                               false},
                      ListCase{"UpStopsAtTheTop",
                               {Press(InputKind::Space), Press(InputKind::Up), Press(InputKind::Enter)},
                               0,
                               false},
                      ListCase{"ClosedListSteps", {Press(InputKind::Down), Press(InputKind::Down)}, 2, false},
                      ListCase{"ClosedListEnd", {Press(InputKind::End)}, 3, false},
                      ListCase{"ClosedListHome", {Press(InputKind::End), Press(InputKind::Home)}, 0, false},
                      ListCase{"LetterPicks", {Type(U'4')}, 3, false},
                      ListCase{"LetterMovesInOpenList",
                               {Press(InputKind::Space), Type(U'f'), Press(InputKind::Enter)},
                               1,
                               false},
                      // As on Windows: Tab and Shift+Tab keep the highlighted entry and move on.
                      ListCase{"TabKeepsTheHighlightedEntry",
                               {Press(InputKind::Space), Press(InputKind::Down), Press(InputKind::Tab)},
                               1,
                               false},
                      ListCase{"BackTabKeepsTheHighlightedEntry",
                               {Press(InputKind::Space), Press(InputKind::End), Press(InputKind::BackTab)},
                               3,
                               false}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(DropDownList, TabFromAnOpenListMovesTheFocusOn) {
  DialogModel model = terminal_test::ProgramDialog(IDD_DUAL_CHIP_DIALOG);
  DialogScreen screen(model);
  screen.Handle(Press(InputKind::Space));
  screen.Handle(Press(InputKind::Down));
  screen.Handle(Press(InputKind::Tab));
  EXPECT_EQ(model.controls[static_cast<std::size_t>(model.focus)].id, IDC_COMBO_DUAL_GUARDBAND);
}

TEST(DropDownListView, ShowsItsEntriesBelowTheFieldWithTheCursorReversed) {
  DialogModel model = terminal_test::ProgramDialog(IDD_DUAL_CHIP_DIALOG);
  DialogScreen screen(model);
  Canvas canvas(100, 30);
  screen.Render(canvas, {&model}, u"");
  screen.Handle(Press(InputKind::Space));
  screen.Handle(Press(InputKind::Down));
  screen.Render(canvas, {&model}, u"");
  const auto field = Find(canvas, u"[Single Chip");
  const auto fastest = Find(canvas, u"Fastest");
  ASSERT_GE(field.second, 0);
  EXPECT_GT(fastest.second, field.second);
  EXPECT_TRUE(canvas.At(fastest.first, fastest.second).attr & kReverse);
  EXPECT_EQ(screen.CursorY(), fastest.second);
  EXPECT_TRUE(CanvasShows(canvas, u"4 Sample Anti-Aliasing"));
}

// A list scrolled to its end on a short screen shows all its entries, from the first, once the
// screen has room for them.
TEST(DropDownListView, ShowsEveryEntryAgainWhenTheScreenGrows) {
  DialogModel model = terminal_test::ProgramDialog(IDD_DUAL_CHIP_DIALOG);
  DialogScreen screen(model);
  Canvas small(100, 7);
  screen.Render(small, {&model}, u"");
  screen.Handle(Press(InputKind::Space));
  screen.Handle(Press(InputKind::End));
  screen.Render(small, {&model}, u"");
  ASSERT_LT(Find(small, u"Fastest").second, 0) << "the short screen shows the end of the list only";
  Canvas large(100, 30);
  screen.Render(large, {&model}, u"");
  EXPECT_GE(Find(large, u"Fastest").second, 0);
  EXPECT_GE(Find(large, u"4 Sample Anti-Aliasing").second, 0);
}

struct EndCase {
  const char* name;
  std::vector<InputKind> keys;
  int result;
};

class Ending : public ::testing::TestWithParam<EndCase> {};

// No handler: the model ends the dialog with the command of the button (Enter: the default, OK).
TEST_P(Ending, EndsTheDialogAsTheKeysSay) {
  DialogModel model = terminal_test::ProgramDialog(IDD_DUAL_CHIP_DIALOG);
  DialogScreen screen(model);
  for (InputKind key : GetParam().keys) screen.Handle(Press(key));
  EXPECT_TRUE(model.ended);
  EXPECT_EQ(model.result, GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, Ending,
    ::testing::Values(EndCase{"Escape", {InputKind::Escape}, IDCANCEL},
                      EndCase{"EnterOnAList", {InputKind::Enter}, IDOK},
                      EndCase{"EnterOnCancel",
                              {InputKind::Tab, InputKind::Tab, InputKind::Tab, InputKind::Enter},
                              IDCANCEL},
                      EndCase{"SpaceOnCancel", {InputKind::BackTab, InputKind::Space}, IDCANCEL},
                      EndCase{"SpaceOnOk", {InputKind::Tab, InputKind::Tab, InputKind::Space}, IDOK}),
    [](const auto& test) { return std::string(test.param.name); });

struct MenuCase {
  const char* name;
  std::vector<InputEvent> keys;
  std::vector<unsigned> sysCommands;
};

class WindowMenu : public ::testing::TestWithParam<MenuCase> {};

// The main dialog's system menu: Close, a separator, About Configurator...
TEST_P(WindowMenu, SendsTheChosenSystemCommand) {
  DialogModel model = terminal_test::ProgramDialog(IDD_CONFIGURATOR_DIALOG);
  Recorder recorder;
  model.handler = &recorder;
  DialogScreen screen(model);
  Canvas canvas(100, 30);
  for (const InputEvent& event : GetParam().keys) {
    screen.Render(canvas, {&model}, u"");
    screen.Handle(event);
  }
  EXPECT_EQ(recorder.sysCommands, GetParam().sysCommands);
  EXPECT_FALSE(screen.MenuOpen());
  EXPECT_TRUE(recorder.commands.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Keys, WindowMenu,
    ::testing::Values(
        MenuCase{"MnemonicOpensAbout", {Press(InputKind::WindowMenu), Type(U'a')}, {IDM_ABOUTBOX}},
        MenuCase{"DownSkipsTheSeparator",
                 {Press(InputKind::WindowMenu), Press(InputKind::Down), Press(InputKind::Enter)},
                 {IDM_ABOUTBOX}},
        MenuCase{"FirstEntryCloses", {Press(InputKind::WindowMenu), Press(InputKind::Enter)}, {SC_CLOSE}},
        MenuCase{"EscapeChoosesNothing", {Press(InputKind::WindowMenu), Press(InputKind::Escape)}, {}},
        MenuCase{"F10AgainClosesIt", {Press(InputKind::WindowMenu), Press(InputKind::WindowMenu)}, {}}),
    [](const auto& test) { return std::string(test.param.name); });

// The entries without their mnemonic marks, and a separator that joins the menu's frame on both
// sides: "├────┤".
TEST(WindowMenuView, ListsTheEntriesWithoutTheirMnemonicMarks) {
  DialogModel model = terminal_test::ProgramDialog(IDD_CONFIGURATOR_DIALOG);
  DialogScreen screen(model);
  Canvas canvas(80, 24);
  screen.Handle(Press(InputKind::WindowMenu));
  screen.Render(canvas, {&model}, u"");
  EXPECT_TRUE(CanvasShows(canvas, u"About Configurator..."));
  EXPECT_TRUE(CanvasShows(canvas, u"Close"));
  EXPECT_FALSE(CanvasShows(canvas, u"&"));
  const auto close = Find(canvas, u"Close");
  ASSERT_GE(close.second, 0);
  const int y = close.second + 1, left = close.first - 2;
  EXPECT_EQ(canvas.At(left, y).ch, kLeftTee) << canvas.ToText();
  EXPECT_EQ(canvas.At(left + 1, y).ch, kHorizontal);
  int right = left + 1;
  while (canvas.At(right, y).ch == kHorizontal) ++right;
  EXPECT_EQ(canvas.At(right, y).ch, kRightTee) << canvas.ToText();
  EXPECT_EQ(canvas.At(right, y - 1).ch, kVertical);
}

TEST(Mouse, ClicksReachButtonsListsAndTheWindowMenu) {
  DialogModel model = terminal_test::ProgramDialog(IDD_CONFIGURATOR_DIALOG);
  model.Find(IDC_BUTTON_CHIP)->enabled = false;
  Recorder recorder;
  model.handler = &recorder;
  DialogScreen screen(model);
  Canvas canvas(100, 30);
  auto click = [&](const std::u16string& text) {
    screen.Render(canvas, {&model}, u"");
    const auto at = Find(canvas, text);
    ASSERT_GE(at.first, 0) << ToUtf8(text);
    screen.Handle(InputEvent{InputKind::Click, 0, at.first + 1, at.second});
  };
  click(u"[ General ]");
  click(u"[ QEL 700 ]");  // disabled: nothing happens
  click(u"[-]");
  EXPECT_TRUE(screen.MenuOpen());
  click(u"About Configurator...");
  click(u"Adapter");  // a label does nothing
  EXPECT_EQ(recorder.commands, std::vector<unsigned>{IDC_BUTTON_GENERAL});
  EXPECT_EQ(recorder.sysCommands, std::vector<unsigned>{IDM_ABOUTBOX});

  DialogModel chip = terminal_test::ProgramDialog(IDD_QUAD_CHIP_DIALOG);
  DialogScreen chipScreen(chip);
  screen.Render(canvas, {&chip}, u"");
  chipScreen.Render(canvas, {&chip}, u"");
  auto at = Find(canvas, u"[Disabled");
  chipScreen.Handle(InputEvent{InputKind::Click, 0, at.first + 2, at.second});
  EXPECT_TRUE(chipScreen.ListOpen());
  chipScreen.Render(canvas, {&chip}, u"");
  at = Find(canvas, u"Enabled");
  chipScreen.Handle(InputEvent{InputKind::Click, 0, at.first, at.second});
  EXPECT_FALSE(chipScreen.ListOpen());
  EXPECT_EQ(chip.Find(IDC_COMBO_QUAD_GUARDBAND)->selection, 1);
}

// A click lands on the cells a control draws, not on the blank room its template gives it.
TEST(Mouse, ClicksBesideAControlHitNothing) {
  DialogModel model = terminal_test::ProgramDialog(IDD_GENERAL_DIALOG);
  Recorder recorder;
  model.handler = &recorder;
  DialogScreen screen(model);
  Canvas canvas(80, 24);
  screen.Render(canvas, {&model}, u"");
  const auto ok = Find(canvas, u"[< OK >]");
  const auto cancel = Find(canvas, u"[ Cancel ]");
  const auto check = Find(canvas, u"] Enable Tripple Buffer");
  ASSERT_GE(ok.first, 0);
  ASSERT_GE(check.first, 0);
  for (auto [x, y] : {std::pair{ok.first - 1, ok.second}, std::pair{ok.first - 2, ok.second},
                      std::pair{ok.first + 8, ok.second}, std::pair{ok.first + 9, ok.second},
                      std::pair{cancel.first - 1, cancel.second}, std::pair{cancel.first + 10, cancel.second},
                      std::pair{check.first + 23, check.second}}) {
    screen.Render(canvas, {&model}, u"");
    screen.Handle(InputEvent{InputKind::Click, 0, x, y});
  }
  EXPECT_TRUE(recorder.commands.empty());
  EXPECT_FALSE(screen.ListOpen());
  // The faces themselves, from their first cell to their last.
  screen.Handle(InputEvent{InputKind::Click, 0, check.first - 2, check.second});
  screen.Render(canvas, {&model}, u"");
  screen.Handle(InputEvent{InputKind::Click, 0, check.first + 22, check.second});
  screen.Render(canvas, {&model}, u"");
  screen.Handle(InputEvent{InputKind::Click, 0, ok.first + 7, ok.second});
  EXPECT_EQ(recorder.commands,
            (std::vector<unsigned>{IDC_CHECK_TRIPLE_BUFFER, IDC_CHECK_TRIPLE_BUFFER, IDOK}));
}

TEST(Drawing, DimsDisabledControlsAndMarksTheDefaultButton) {
  DialogModel model = terminal_test::ProgramDialog(IDD_CONFIGURATOR_DIALOG);
  model.Find(IDC_BUTTON_CHIP)->enabled = false;
  DialogScreen screen(model);
  Canvas canvas(100, 30);
  screen.Render(canvas, {&model}, u"");
  const auto chip = Find(canvas, u"[ QEL 700 ]");
  const auto general = Find(canvas, u"[ General ]");
  EXPECT_TRUE(canvas.At(chip.first, chip.second).attr & kDim);
  EXPECT_FALSE(canvas.At(general.first, general.second).attr & kDim);
  EXPECT_TRUE(canvas.At(general.first, general.second).attr & kReverse);  // focused
  EXPECT_TRUE(CanvasShows(canvas, u"Orlo Configurator"));

  DialogModel chipDialog = terminal_test::ProgramDialog(IDD_SINGLE_CHIP_DIALOG);
  DialogScreen chipScreen(chipDialog);
  chipScreen.Render(canvas, {&chipDialog}, u"");
  EXPECT_TRUE(CanvasShows(canvas, u"[< OK >]"));
  EXPECT_TRUE(CanvasShows(canvas, u"[ Cancel ]"));
}

TEST(Stack, MessageBoxSitsCentredOverItsOwnerOverTheMainDialog) {
  DialogModel main = terminal_test::ProgramDialog(IDD_CONFIGURATOR_DIALOG);
  DialogModel general = terminal_test::ProgramDialog(IDD_GENERAL_DIALOG);
  general.owner = &main;
  DialogModel box =
      terminal_test::MessageBox(u"Execute using Administrator Account", u"Insufficent Access Writes");
  box.owner = &general;
  DialogScreen generalScreen(general), boxScreen(box);
  for (auto [width, height] : {std::pair{100, 30}, std::pair{80, 25}}) {
    Canvas canvas(width, height);
    generalScreen.Render(canvas, {&main, &general}, u"");
    const Rect drawn = generalScreen.Drawn().frame;
    const int left = std::max(drawn.x, 0), top = std::max(drawn.y, 0);
    const Rect generalFrame{left, top, std::min(drawn.Right(), width) - left,
                            std::min(drawn.Bottom(), height - kBottomRows) - top};
    boxScreen.Render(canvas, {&main, &general, &box}, u"Display mode set: settings reloaded");
    const Rect boxFrame = boxScreen.Drawn().frame;
    EXPECT_LE(std::abs((boxFrame.x + boxFrame.w / 2) - (generalFrame.x + generalFrame.w / 2)), 1);
    EXPECT_LE(std::abs((boxFrame.y + boxFrame.h / 2) - (generalFrame.y + generalFrame.h / 2)), 1);
    EXPECT_TRUE(CanvasShows(canvas, u"Execute using Administrator Account"));
    EXPECT_TRUE(CanvasShows(canvas, u"Insufficent Access Writes"));
    EXPECT_TRUE(CanvasShows(canvas, u"[< OK >]"));
    EXPECT_TRUE(CanvasShows(canvas, u"General Features"));            // the owner shows around it
    EXPECT_EQ(canvas.At(boxFrame.x, boxFrame.y).ch, kDoubleTopLeft);  // the active window
    EXPECT_NE(ToUtf8(canvas.Row(height - kBottomRows)).find("Display mode set: settings reloaded"),
              std::string::npos);
  }
  boxScreen.Handle(Press(InputKind::Enter));
  EXPECT_TRUE(box.ended);
  EXPECT_EQ(box.result, IDOK);
}

const std::u16string kReload =
    u"Driver: 2026-12-10 12:09:41 \\.\\DISPLAY2 reloaded: anti-aliasing 2 samples on 2 chips, guard band "
    u"clipping off, LOD bias +0.50, vsync by software, 3D filter automatic, alpha blending automatic, "
    u"pending buffers default, mip-map dithering off, triple buffering on, Direct3D 9, command FIFO 512K";

// One row, never more, shortened with an ellipsis; the dialog keeps every row above it.
TEST(StatusLine, ShowsALongReloadLineOnOneRowWithAnEllipsis) {
  DialogModel general = terminal_test::ProgramDialog(IDD_GENERAL_DIALOG);
  DialogScreen screen(general);
  for (auto [width, height] : {std::pair{100, 30}, std::pair{80, 25}, std::pair{80, 24}}) {
    Canvas canvas(width, height);
    screen.Render(canvas, {&general}, kReload);
    const std::u32string status = canvas.Row(height - kBottomRows);
    const std::string text = canvas.ToText();
    EXPECT_EQ(status.find(U"Driver: 2026-12-10 12:09:41"), 1u) << text;
    EXPECT_EQ(status[static_cast<std::size_t>(width - 2)], kEllipsis) << text;
    EXPECT_EQ(text.find("command FIFO 512K"), std::string::npos) << text;
    EXPECT_LE(screen.Drawn().frame.Bottom(), height - kBottomRows);
    EXPECT_GE(screen.Drawn().frame.y, 0) << "the dialog still fits:\n" << text;
    // The whole width of both rows is highlighted, the key line too.
    for (int y : {height - 2, height - 1})
      for (int x = 0; x < width; ++x) ASSERT_TRUE(canvas.At(x, y).attr & kReverse) << x << "," << y;
  }
  Canvas canvas(80, 24);
  screen.Render(canvas, {&general}, u"Hive: /tmp/SYSTEM");
  EXPECT_EQ(ToUtf8(canvas.Row(22)).find(" Hive: /tmp/SYSTEM  "), 0u) << "a short text is whole";
}

// F2 shows the whole last message; the next key only closes it.
TEST(StatusLine, F2ShowsTheWholeMessage) {
  DialogModel general = terminal_test::ProgramDialog(IDD_GENERAL_DIALOG);
  DialogScreen screen(general);
  Canvas canvas(80, 24);
  screen.Render(canvas, {&general}, kReload);
  screen.Handle(Press(InputKind::ShowMessage));
  EXPECT_TRUE(screen.MessageOpen());
  screen.Render(canvas, {&general}, kReload);
  const std::string text = canvas.ToText();
  EXPECT_NE(text.find("command FIFO 512K"), std::string::npos) << text;
  EXPECT_NE(text.find("LOD bias +0.50"), std::string::npos) << text;
  EXPECT_EQ(screen.KeyHints(), u"Any key Close");
  screen.Handle(Press(InputKind::Escape));
  EXPECT_FALSE(screen.MessageOpen());
  EXPECT_FALSE(general.ended) << "the Escape that closes the message does not cancel the dialog";
  screen.Render(canvas, {&general}, kReload);
  EXPECT_EQ(canvas.ToText().find("command FIFO 512K"), std::string::npos);
}

struct HintCase {
  int dialog;
  std::vector<InputKind> keys;
  const char16_t* hints;
};

class KeyLine : public ::testing::TestWithParam<HintCase> {};

// The key line says what the keys do in the dialog in front, at 80 columns.
TEST_P(KeyLine, TellsWhatTheKeysDoThere) {
  DialogModel model = terminal_test::ProgramDialog(GetParam().dialog);
  DialogScreen screen(model);
  Canvas canvas(80, 24);
  screen.Render(canvas, {&model}, kReload);
  for (InputKind key : GetParam().keys) {
    screen.Handle(Press(key));
    screen.Render(canvas, {&model}, kReload);
  }
  EXPECT_EQ(screen.KeyHints(), GetParam().hints);
  EXPECT_EQ(ToUtf8(canvas.Row(23)).find(ToUtf8(u" " + std::u16string(GetParam().hints) + u" ")), 0u)
      << canvas.ToText();
  for (std::size_t x = 0; x < 80; ++x) {
    const bool key = canvas.Row(23)[x] != U' ' && (x == 1 || canvas.Row(23).substr(x - 2, 2) == U"  ");
    if (key) {
      EXPECT_TRUE(canvas.At(static_cast<int>(x), 23).attr & kBold) << x;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, KeyLine,
    ::testing::Values(
        // Escape quits the program in the main dialog.
        HintCase{IDD_CONFIGURATOR_DIALOG, {}, u"Tab Next  Enter Press  Esc Exit  F10 Menu  F2 Message"},
        HintCase{IDD_GENERAL_DIALOG, {}, u"Tab Next  Space List  Enter OK  Esc Cancel  F10 Menu  F2 Message"},
        HintCase{IDD_GENERAL_DIALOG,
                 {InputKind::Tab},
                 u"Tab Next  Space Tick  Enter OK  Esc Cancel  F10 Menu  F2 Message"},
        HintCase{IDD_GENERAL_DIALOG,
                 {InputKind::Tab, InputKind::Tab, InputKind::Tab, InputKind::Tab, InputKind::Tab,
                  InputKind::Tab, InputKind::Tab, InputKind::Tab},  // OK
                 u"Tab Next  Enter Press  Esc Cancel  F10 Menu  F2 Message"},
        HintCase{IDD_DUAL_CHIP_DIALOG,
                 {InputKind::Space},
                 u"Up/Down Move  Enter Pick  Tab Pick, next  Esc Close list"},
        HintCase{IDD_ABOUTBOX, {}, u"Tab Next  Enter Press  Esc Close  F10 Menu  F2 Message"},
        HintCase{
            IDD_CONFIGURATOR_DIALOG, {InputKind::WindowMenu}, u"Up/Down Move  Enter Choose  Esc Close menu"}),
    [](const auto& test) { return "Case" + std::to_string(test.index); });

TEST(Stack, LongMessageWrapsInsideANarrowTerminal) {
  DialogModel box = terminal_test::MessageBox(std::u16string(150, u'x') + u" end", u"Caption");
  DialogScreen screen(box);
  Canvas canvas(80, 25);
  screen.Render(canvas, {&box}, u"");
  EXPECT_TRUE(screen.Drawn().frame.Inside(Rect{0, 0, 80, 24}));
  EXPECT_TRUE(CanvasShows(canvas, u" end"));
}

}  // namespace
