// Every dialog of the program at the terminal sizes that matter: laid out without clipping a
// text or overlapping two controls, in the template's order, and usable with Tab alone; whole,
// without scrolling, from a Linux console's 80×24 up. Writes a text capture of each dialog to
// the build's artifacts folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "framework/portable/terminal/DialogScreen.h"
#include "framework/portable/terminal/Layout.h"
#include "framework/portable/terminal/Text.h"
#include "res/resource.h"
#include "tests/terminal/Dialogs.h"

namespace {

using portable::ControlKind;
using portable::ControlModel;
using portable::DialogModel;
using namespace portable::terminal;

struct Case {
  int dialog;
  int width, height;
};

std::string Name(const ControlModel& c) { return std::to_string(c.id) + " \"" + ToUtf8(c.text) + "\""; }

// What the control must show on its row, whole.
std::u16string Face(const ControlModel& c) {
  const std::u16string text = ControlText(c);
  switch (c.kind) {
    case ControlKind::DefPushButton:
      return u"[< " + text + u" >]";
    case ControlKind::PushButton:
      return u"[ " + text + u" ]";
    case ControlKind::CheckBox:
      return u"] " + text;
    case ControlKind::GroupBox:
      return text.empty() ? text : u" " + text + u" ";
    case ControlKind::ComboBox:
      return c.selection >= 0 ? u"[" + c.items[static_cast<std::size_t>(c.selection)] : u"[";
    default:
      return text;
  }
}

bool Shows(const Canvas& canvas, const Rect& rect, const std::u16string& face) {
  const std::u32string row = canvas.Row(rect.y);
  const std::u32string want = CodePoints(face);
  const std::size_t at = row.find(want, static_cast<std::size_t>(std::max(rect.x, 0)));
  return at != std::u32string::npos && static_cast<int>(at + want.size()) <= rect.Right();
}

double Middle(const ControlModel& c) {
  if (c.kind == ControlKind::Static) return c.y + std::min(c.cy, 8) / 2.0;
  if (c.kind == ControlKind::ComboBox) return c.y + std::min(c.cy, 12) / 2.0;
  return c.y + c.cy / 2.0;
}

bool InsideGroup(const ControlModel& c, const ControlModel& group) {
  return c.x >= group.x && c.x < group.x + group.cx && Middle(c) > group.y && Middle(c) < group.y + group.cy;
}

class EveryDialog : public ::testing::TestWithParam<Case> {};

TEST_P(EveryDialog, ShowsEveryTextWholeWithoutOverlapInTemplateOrder) {
  const Case param = GetParam();
  const DialogModel model = terminal_test::ProgramDialog(param.dialog);
  ASSERT_FALSE(model.controls.empty());
  // The frame takes a cell on each side, the status and key lines the last rows.
  const DialogLayout layout = LayoutDialog(model, param.width - 2, param.height - 2 - kBottomRows);
  // A group box keeps a blank between its frame and its contents where there is room; on a
  // narrow screen its contents may touch the frame, never cross it.
  const int pad = param.width >= 100 ? 1 : 0;
  const Rect client{0, 0, layout.width, layout.height};
  const auto& controls = model.controls;
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const Rect& r = layout.controls[i];
    EXPECT_TRUE(r.Inside(client)) << Name(controls[i]);
    EXPECT_GE(r.w, ContentWidth(controls[i])) << Name(controls[i]);
  }
  for (std::size_t i = 0; i < controls.size(); ++i)
    for (std::size_t j = 0; j < controls.size(); ++j) {
      if (i == j) continue;
      const ControlModel &a = controls[i], &b = controls[j];
      const Rect &ra = layout.controls[i], &rb = layout.controls[j];
      const bool groupA = a.kind == ControlKind::GroupBox, groupB = b.kind == ControlKind::GroupBox;
      if (groupA && !groupB && InsideGroup(b, a)) {
        EXPECT_TRUE(rb.Inside(Rect{ra.x + 1 + pad, ra.y + 1, ra.w - 2 - 2 * pad, ra.h - 2}))
            << Name(b) << " must sit clear of the frame of " << Name(a);
      } else if (i < j && !(groupB && !groupA && InsideGroup(a, b))) {
        EXPECT_FALSE(ra.Intersects(rb)) << Name(a) << " overlaps " << Name(b);
      }
      if (a.x + a.cx <= b.x) {
        EXPECT_LE(ra.Right(), rb.x) << Name(a) << " must stay left of " << Name(b);
      }
      if (!groupA && !groupB && Middle(a) + 4 < Middle(b)) {
        EXPECT_LE(ra.y, rb.y) << Name(a) << " must stay above " << Name(b);
      }
    }
  if (param.width >= 80 && param.height >= 24) {
    EXPECT_LE(layout.width + 2, param.width) << "needs no sideways scrolling";
    EXPECT_LE(layout.height + 2 + kBottomRows, param.height) << "needs no scrolling";
  }
}

TEST_P(EveryDialog, ReachesEveryFocusableControlByTabAndShowsIt) {
  const Case param = GetParam();
  DialogModel model = terminal_test::ProgramDialog(param.dialog);
  DialogScreen screen(model);
  Canvas canvas(param.width, param.height);
  const Rect area{0, 0, param.width, param.height - kBottomRows};
  screen.Render(canvas, {&model}, u"Hive: /home/user/.local/share/configurator/SYSTEM");
  std::filesystem::create_directories(ARTIFACTS_DIR);
  std::ofstream(std::string(ARTIFACTS_DIR) + "/dialog-" + std::to_string(param.dialog) + "-" +
                std::to_string(param.width) + "x" + std::to_string(param.height) + ".txt")
      << canvas.ToText();

  std::set<int> focusable, reached, seen;
  for (std::size_t i = 0; i < model.controls.size(); ++i)
    if (model.controls[i].Focusable()) focusable.insert(static_cast<int>(i));
  for (std::size_t n = 0; n <= model.controls.size(); ++n) {
    screen.Render(canvas, {&model}, u"");
    if (param.width >= 80 && param.height >= 24) {
      EXPECT_TRUE(screen.Drawn().frame.Inside(area)) << "the dialog shows whole:\n" << canvas.ToText();
    }
    ASSERT_GE(model.focus, 0);
    reached.insert(model.focus);
    const ControlModel& focused = model.controls[static_cast<std::size_t>(model.focus)];
    const Rect r = screen.Drawn().Control(static_cast<std::size_t>(model.focus));
    EXPECT_TRUE(r.Inside(area)) << Name(focused) << " is off screen";
    EXPECT_TRUE(Shows(canvas, r, Face(focused))) << Name(focused) << " not shown whole:\n" << canvas.ToText();
    // Every text of the dialog shows whole at some scroll position.
    for (std::size_t i = 0; i < model.controls.size(); ++i) {
      const Rect ri = screen.Drawn().Control(i);
      if (ri.Inside(area) && Shows(canvas, ri, Face(model.controls[i]))) seen.insert(static_cast<int>(i));
    }
    screen.Handle({InputKind::Tab});
  }
  EXPECT_EQ(reached, focusable);
  for (std::size_t i = 0; i < model.controls.size(); ++i)
    if (model.controls[i].visible && model.controls[i].kind != ControlKind::Icon) {
      EXPECT_TRUE(seen.count(static_cast<int>(i))) << Name(model.controls[i]) << " never shown whole";
    }
}

std::vector<Case> Cases() {
  std::vector<Case> cases;
  for (int dialog : {IDD_ABOUTBOX, IDD_CONFIGURATOR_DIALOG, IDD_GENERAL_DIALOG, IDD_SINGLE_CHIP_DIALOG,
                     IDD_DUAL_CHIP_DIALOG, IDD_QUAD_CHIP_DIALOG})
    for (auto [w, h] : {std::pair{100, 30}, std::pair{80, 25}, std::pair{80, 24}, std::pair{60, 24}})
      cases.push_back({dialog, w, h});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Templates, EveryDialog, ::testing::ValuesIn(Cases()), [](const auto& test) {
  return "Dialog" + std::to_string(test.param.dialog) + "_" + std::to_string(test.param.width) + "x" +
         std::to_string(test.param.height);
});

}  // namespace

namespace {

// A terminal far too small still gets a drawing (scrolled to the focus), never a fault.
TEST(TinyTerminal, DrawsEveryDialogAndMovesTheFocus) {
  for (int id : {IDD_ABOUTBOX, IDD_CONFIGURATOR_DIALOG, IDD_GENERAL_DIALOG, IDD_QUAD_CHIP_DIALOG})
    for (auto [w, h] : {std::pair{1, 1}, std::pair{20, 6}, std::pair{0, 0}}) {
      DialogModel model = terminal_test::ProgramDialog(id);
      DialogScreen screen(model);
      Canvas canvas(w, h);
      for (InputKind key :
           {InputKind::Tab, InputKind::Space, InputKind::Down, InputKind::WindowMenu, InputKind::Down}) {
        screen.Render(canvas, {&model}, u"a status text longer than the terminal is wide");
        screen.Handle(InputEvent{key});
      }
      const std::string text = canvas.ToText();
      EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), h);
    }
}

}  // namespace
