#include "framework/portable/terminal/DialogScreen.h"

#include <algorithm>
#include <map>
#include <utility>

#include "framework/Types.h"
#include "framework/portable/terminal/Text.h"

namespace portable::terminal {
namespace {

bool IsButton(const ControlModel& c) {
  return c.kind == ControlKind::PushButton || c.kind == ControlKind::DefPushButton ||
         c.kind == ControlKind::CheckBox;
}

}  // namespace

DialogScreen::DialogScreen(DialogModel& dialog) : m_dialog(dialog), m_list(dialog), m_menu(dialog) {}

ControlModel* DialogScreen::Focused() {
  if (m_dialog.focus < 0 || m_dialog.focus >= static_cast<int>(m_dialog.controls.size())) return nullptr;
  return &m_dialog.controls[static_cast<std::size_t>(m_dialog.focus)];
}

void DialogScreen::Handle(const InputEvent& event) {
  if (event.key == InputKind::None || event.key == InputKind::Redraw || m_bottom.Handle(event)) return;
  if (event.key == InputKind::Click)
    HandleClick(event.x, event.y);
  else if (m_menu.IsOpen())
    m_menu.Handle(event);
  else if (!m_list.IsOpen())
    HandleDialog(event);
  else if (event.key != InputKind::WindowMenu)
    m_list.Handle(event);
  else {
    m_list.Close();  // the window menu replaces an open list
    HandleDialog(event);
  }
}

void DialogScreen::HandleDialog(const InputEvent& event) {
  ControlModel* focused = Focused();
  const bool combo = focused != nullptr && focused->kind == ControlKind::ComboBox;
  switch (event.key) {
    case InputKind::Tab:
      m_dialog.FocusNext(false);
      break;
    case InputKind::BackTab:
      m_dialog.FocusNext(true);
      break;
    case InputKind::Up:
    case InputKind::Left:
    case InputKind::Down:
    case InputKind::Right:
    case InputKind::Home:
    case InputKind::End:
    case InputKind::PageUp:
    case InputKind::PageDown: {
      const bool back =
          event.key == InputKind::Up || event.key == InputKind::Left || event.key == InputKind::PageUp;
      if (!combo) {
        // Arrows move among the controls, as in a dialog's group of buttons.
        if (event.key != InputKind::Home && event.key != InputKind::End) m_dialog.FocusNext(back);
        break;
      }
      // A closed drop-down list steps through its entries, as the Win32 control does.
      const int count = static_cast<int>(focused->items.size());
      if (count == 0) break;
      const int step = event.key == InputKind::PageUp || event.key == InputKind::PageDown ? kListPage : 1;
      int target = focused->selection < 0 ? 0 : focused->selection + (back ? -step : step);
      if (event.key == InputKind::Home) target = 0;
      if (event.key == InputKind::End) target = count - 1;
      target = std::clamp(target, 0, count - 1);
      if (target != focused->selection) m_dialog.SelectItem(focused->id, target);
      break;
    }
    case InputKind::Space:
      if (focused != nullptr) Choose(m_dialog.focus);
      break;
    case InputKind::OpenList:
      if (combo) m_list.Open(m_dialog.focus);
      break;
    case InputKind::Enter:
      m_dialog.PressEnter();
      break;
    case InputKind::Escape:
      m_dialog.PressEscape();
      break;
    case InputKind::WindowMenu:
      if (!m_dialog.systemMenu.empty()) m_menu.Open();
      break;
    case InputKind::Char:
      if (combo) {
        // Typing a letter picks the next entry that starts with it.
        const int count = static_cast<int>(focused->items.size());
        for (int n = 1; n <= count; ++n) {
          const int index = (std::max(focused->selection, -1) + n) % count;
          if (StartsWithLetter(focused->items[static_cast<std::size_t>(index)], event.ch)) {
            m_dialog.SelectItem(focused->id, index);
            break;
          }
        }
      }
      break;
    default:
      break;
  }
}

void DialogScreen::Choose(int index) {
  ControlModel& control = m_dialog.controls[static_cast<std::size_t>(index)];
  if (control.kind == ControlKind::ComboBox) {
    if (m_dialog.SetFocus(control.id)) m_list.Open(index);
  } else if (IsButton(control)) {
    m_dialog.Click(control.id);
  }
}

void DialogScreen::HandleClick(int x, int y) {
  const Hit* hit = nullptr;
  for (auto it = m_hits.rbegin(); it != m_hits.rend() && hit == nullptr; ++it)
    if (it->rect.Contains(x, y)) hit = &*it;
  if (m_menu.IsOpen()) {
    m_menu.Close();
    if (hit != nullptr && hit->kind == Hit::MenuItem) m_menu.Choose(hit->index);
    return;
  }
  if (m_list.IsOpen()) {
    if (hit != nullptr && hit->kind == Hit::ListItem) {
      m_list.Pick(hit->index);
      return;
    }
    m_list.Close();  // a click elsewhere closes the list and goes on to what it hit
  }
  if (hit == nullptr) return;
  if (hit->kind == Hit::MenuBox) {
    HandleDialog(InputEvent{InputKind::WindowMenu});
  } else if (hit->kind == Hit::Control) {
    const ControlModel& control = m_dialog.controls[static_cast<std::size_t>(hit->index)];
    if (control.enabled && (IsButton(control) || control.kind == ControlKind::ComboBox)) Choose(hit->index);
  }
}

void DialogScreen::KeepVisible(const Rect& area, const Placement& placement) {
  // Scroll a window larger than the screen so that the focused control, and its list, show.
  Rect target{placement.frame.x, placement.frame.y, 1, 1};
  if (m_dialog.focus >= 0) target = placement.Control(static_cast<std::size_t>(m_dialog.focus));
  // With its group box, so that the title that names it shows too, when that fits.
  for (std::size_t i = 0; i < m_dialog.controls.size() && m_dialog.focus >= 0; ++i) {
    if (!m_dialog.controls[i].visible || m_dialog.controls[i].kind != ControlKind::GroupBox) continue;
    const Rect group = placement.Control(i);
    if (target.Inside(group) && group.w <= area.w && group.h <= area.h) {
      target = group;
      break;
    }
  }
  if (m_list.IsOpen())
    target.h +=
        std::min(static_cast<int>(m_dialog.controls[static_cast<std::size_t>(m_list.Control())].items.size()),
                 4) +
        2;
  // offset: the target's place in the frame; visible when offset - scroll lies in the area.
  auto adjust = [](int& scroll, int frameSize, int offset, int size, int areaSize) {
    if (frameSize <= areaSize) {
      scroll = 0;
      return;
    }
    if (offset < scroll) scroll = offset;
    if (offset + size - scroll > areaSize) scroll = offset + size - areaSize;
    scroll = std::clamp(scroll, 0, frameSize - areaSize);
  };
  adjust(m_scrollX, placement.frame.w, target.x - placement.frame.x, target.w, area.w);
  adjust(m_scrollY, placement.frame.h, target.y - placement.frame.y, target.h, area.h);
}

void DialogScreen::Render(Canvas& canvas, const std::vector<DialogModel*>& stack,
                          const std::u16string& status) {
  m_hits.clear();
  m_bottom.SetStatus(status);
  canvas.Fill(Rect{0, 0, canvas.Width(), canvas.Height()});
  const Rect area{0, 0, canvas.Width(), std::max(canvas.Height() - kBottomRows, 0)};
  std::vector<DialogModel*> windows = stack;
  if (windows.empty() || windows.back() != &m_dialog) windows.push_back(&m_dialog);
  std::map<const DialogModel*, Rect> frames;
  Placement top;
  for (DialogModel* window : windows) {
    auto owner = window->owner != nullptr ? frames.find(window->owner) : frames.end();
    const Rect* ownerFrame = owner != frames.end() ? &owner->second : nullptr;
    const bool active = window == &m_dialog;
    Placement placement =
        PlaceWindow(*window, area, ownerFrame, active ? m_scrollX : 0, active ? m_scrollY : 0);
    if (active) {
      KeepVisible(area, placement);
      placement = PlaceWindow(*window, area, ownerFrame, m_scrollX, m_scrollY);
      top = placement;
    }
    DrawWindow(canvas, *window, placement, active);
    // A message box centres over the part of its owner that shows.
    const Rect& f = placement.frame;
    const int left = std::max(f.x, area.x), upper = std::max(f.y, area.y);
    frames[window] = Rect{left, upper, std::min(f.Right(), area.Right()) - left,
                          std::min(f.Bottom(), area.Bottom()) - upper};
  }
  m_drawn = top;
  m_hits.push_back({Hit::Inside, top.frame, -1});
  for (std::size_t i = 0; i < m_dialog.controls.size(); ++i)
    if (m_dialog.controls[i].visible && m_dialog.controls[i].kind != ControlKind::GroupBox)
      m_hits.push_back({Hit::Control, FaceRect(m_dialog.controls[i], top.Control(i)), static_cast<int>(i)});
  if (!m_dialog.systemMenu.empty()) m_hits.push_back({Hit::MenuBox, top.MenuBox(), -1});

  m_cursorX = m_cursorY = -1;
  if (m_dialog.focus >= 0 && m_dialog.focus < static_cast<int>(m_dialog.controls.size())) {
    const ControlModel& c = m_dialog.controls[static_cast<std::size_t>(m_dialog.focus)];
    const Rect face = FaceRect(c, top.Control(static_cast<std::size_t>(m_dialog.focus)));
    // On the first character of the text: a button's, "[x]", "[Text v]".
    const bool button = c.kind == ControlKind::DefPushButton || c.kind == ControlKind::PushButton;
    m_cursorX = face.x + (button ? ButtonTextColumn(c)
                          : c.kind == ControlKind::ComboBox || c.kind == ControlKind::CheckBox ? 1
                                                                                               : 0);
    m_cursorY = face.y;
  }
  // Arrows on the screen's edges where the dialog goes on beyond them.
  const Rect& f = top.frame;
  if (f.x < area.x) canvas.Put(area.x, area.y + area.h / 2, U'<', kReverse | kBold);
  if (f.Right() > area.Right()) canvas.Put(area.Right() - 1, area.y + area.h / 2, U'>', kReverse | kBold);
  if (f.y < area.y) canvas.Put(area.x + area.w / 2, area.y, U'^', kReverse | kBold);
  if (f.Bottom() > area.Bottom()) canvas.Put(area.x + area.w / 2, area.Bottom() - 1, U'v', kReverse | kBold);
  if (m_list.IsOpen()) m_list.Draw(canvas, top, area, Drawing{m_hits, m_cursorX, m_cursorY});
  if (m_menu.IsOpen()) m_menu.Draw(canvas, top, Drawing{m_hits, m_cursorX, m_cursorY});
  m_bottom.Draw(canvas, area, Hints(), Drawing{m_hits, m_cursorX, m_cursorY});
}

std::u16string DialogScreen::KeyHints() const { return KeyLine(Hints()); }

std::vector<KeyHint> DialogScreen::Hints() const {
  if (m_bottom.MessageOpen()) return m_bottom.Hints();
  if (m_menu.IsOpen()) return WindowMenu::Hints();
  if (m_list.IsOpen()) return DropDownList::Hints();
  std::vector<KeyHint> hints{{u"Tab", u"Next"}};
  const ControlModel* focused =
      m_dialog.focus >= 0 && m_dialog.focus < static_cast<int>(m_dialog.controls.size())
          ? &m_dialog.controls[static_cast<std::size_t>(m_dialog.focus)]
          : nullptr;
  const bool onButton = focused != nullptr && (focused->kind == ControlKind::PushButton ||
                                               focused->kind == ControlKind::DefPushButton);
  if (onButton) hints.push_back({u"Enter", u"Press"});
  if (focused != nullptr && focused->kind == ControlKind::CheckBox) hints.push_back({u"Space", u"Tick"});
  if (focused != nullptr && focused->kind == ControlKind::ComboBox) hints.push_back({u"Space", u"List"});
  // Enter anywhere else presses the default button; Escape is the dialog's cancel command.
  if (const ControlModel* target = m_dialog.Find(m_dialog.DefaultId());
      !onButton && target != nullptr && target->visible && target->enabled)
    hints.push_back({u"Enter", ControlText(*target)});
  const ControlModel* cancel = m_dialog.Find(IDCANCEL);
  hints.push_back({u"Esc", cancel != nullptr && cancel->visible ? ControlText(*cancel) : u"Close"});
  if (!m_dialog.systemMenu.empty()) hints.push_back({u"F10", u"Menu"});
  for (KeyHint& hint : m_bottom.Hints()) hints.push_back(std::move(hint));
  return hints;
}

}  // namespace portable::terminal
