#include "framework/portable/terminal/Popups.h"

#include <algorithm>

#include "base/Text.h"
#include "framework/portable/terminal/Text.h"

namespace portable::terminal {
namespace {

char32_t Lower(char32_t c) { return c <= 0xFFFF ? base::DowncaseUnit(static_cast<char16_t>(c)) : c; }

}  // namespace

bool StartsWithLetter(const std::u16string& text, char32_t c) {
  const std::u32string points = CodePoints(text);
  return !points.empty() && Lower(points.front()) == Lower(c);
}

void DropDownList::Open(int control) {
  const ControlModel& combo = m_dialog.controls[static_cast<std::size_t>(control)];
  if (!combo.enabled || combo.items.empty()) return;
  m_control = control;
  m_cursor = std::max(combo.selection, 0);
  m_top = 0;
}

void DropDownList::Pick(int index) {
  if (index >= 0) m_cursor = index;
  const int control = m_control;
  m_control = -1;
  const ControlModel& combo = m_dialog.controls[static_cast<std::size_t>(control)];
  if (m_cursor != combo.selection) m_dialog.SelectItem(combo.id, m_cursor);
}

void DropDownList::Handle(const InputEvent& event) {
  const ControlModel& combo = m_dialog.controls[static_cast<std::size_t>(m_control)];
  const int count = static_cast<int>(combo.items.size());
  switch (event.key) {
    case InputKind::Up:
      m_cursor = std::max(m_cursor - 1, 0);
      break;
    case InputKind::Down:
      m_cursor = std::min(m_cursor + 1, count - 1);
      break;
    case InputKind::PageUp:
      m_cursor = std::max(m_cursor - kListPage, 0);
      break;
    case InputKind::PageDown:
      m_cursor = std::min(m_cursor + kListPage, count - 1);
      break;
    case InputKind::Home:
      m_cursor = 0;
      break;
    case InputKind::End:
      m_cursor = count - 1;
      break;
    case InputKind::Enter:
    case InputKind::OpenList:
      Pick();
      break;
    case InputKind::Escape:
      Close();
      break;
    case InputKind::Tab:
    case InputKind::BackTab:
      // As a Windows drop-down list: the highlighted entry stays chosen, and the focus moves on.
      Pick();
      m_dialog.FocusNext(event.key == InputKind::BackTab);
      break;
    case InputKind::Char:
      for (int n = 1; n <= count; ++n) {
        const int index = (m_cursor + n) % count;
        if (StartsWithLetter(combo.items[static_cast<std::size_t>(index)], event.ch)) {
          m_cursor = index;
          break;
        }
      }
      break;
    default:
      break;
  }
}

void DropDownList::Draw(Canvas& canvas, const Placement& placement, const Rect& area, Drawing drawing) {
  const ControlModel& combo = m_dialog.controls[static_cast<std::size_t>(m_control)];
  const Rect field = placement.Control(static_cast<std::size_t>(m_control));
  const int count = static_cast<int>(combo.items.size());
  const int below = area.Bottom() - (field.y + 1) - 2;
  const int above = field.y - area.y - 2;
  int visible = std::min(count, std::max(below, 1));
  int y = field.y + 1;
  if (visible < count && above > below) {
    visible = std::min(count, std::max(above, 1));
    y = field.y - visible - 2;
  }
  // The cursor's entry shows, and every row holds an entry: the list may have more rows than
  // when it was last drawn (a taller screen, a dialog scrolled elsewhere).
  m_top = std::clamp(m_top, std::max(m_cursor - visible + 1, 0), std::min(m_cursor, count - visible));
  const Rect box{field.x, y, field.w, visible + 2};
  canvas.Fill(box);
  canvas.Frame(box, false, kBold);
  drawing.hits.push_back({Hit::Inside, box, -1});
  for (int row = 0; row < visible; ++row) {
    const int index = m_top + row;
    const Rect line{box.x + 1, box.y + 1 + row, box.w - 2, 1};
    canvas.Text(line.x + 1, line.y, combo.items[static_cast<std::size_t>(index)], kNormal, line.w - 1);
    if (index == m_cursor) {
      canvas.AddAttr(line, kReverse);
      drawing.cursorX = line.x + 1;
      drawing.cursorY = line.y;
    }
    drawing.hits.push_back({Hit::ListItem, line, index});
  }
  if (m_top > 0) canvas.Put(box.Right() - 1, box.y + 1, U'^', kBold);
  if (m_top + visible < count) canvas.Put(box.Right() - 1, box.Bottom() - 2, U'v', kBold);
}

std::vector<KeyHint> DropDownList::Hints() {
  return {{u"Up/Down", u"Move"}, {u"Enter", u"Pick"}, {u"Tab", u"Pick, next"}, {u"Esc", u"Close list"}};
}

void WindowMenu::Open() {
  m_open = true;
  m_cursor = -1;
  Move(1);
}

void WindowMenu::Choose(int index) {
  m_open = false;
  m_dialog.SysCommand(m_dialog.systemMenu[static_cast<std::size_t>(index)].id);
}

void WindowMenu::Move(int step) {
  const int count = static_cast<int>(m_dialog.systemMenu.size());
  int index = m_cursor;
  for (int n = 0; n < count; ++n) {
    index = std::clamp(index + step, 0, count - 1);
    if (!m_dialog.systemMenu[static_cast<std::size_t>(index)].separator) {
      m_cursor = index;
      return;
    }
  }
}

void WindowMenu::Handle(const InputEvent& event) {
  const auto& menu = m_dialog.systemMenu;
  switch (event.key) {
    case InputKind::Up:
      Move(-1);
      break;
    case InputKind::Down:
      Move(1);
      break;
    case InputKind::Home:
      m_cursor = -1;
      Move(1);
      break;
    case InputKind::End:
      m_cursor = static_cast<int>(menu.size());
      Move(-1);
      break;
    case InputKind::Enter:
    case InputKind::Space:
      if (m_cursor >= 0 && m_cursor < static_cast<int>(menu.size())) Choose(m_cursor);
      break;
    case InputKind::Escape:
    case InputKind::WindowMenu:
      Close();
      break;
    case InputKind::Char:
      for (std::size_t i = 0; i < menu.size(); ++i)
        if (!menu[i].separator && Mnemonic(menu[i].text) != 0 &&
            Lower(Mnemonic(menu[i].text)) == Lower(event.ch)) {
          Choose(static_cast<int>(i));
          break;
        }
      break;
    default:
      break;
  }
}

std::vector<KeyHint> WindowMenu::Hints() {
  return {{u"Up/Down", u"Move"}, {u"Enter", u"Choose"}, {u"Esc", u"Close menu"}};
}

void WindowMenu::Draw(Canvas& canvas, const Placement& placement, Drawing drawing) {
  const auto& menu = m_dialog.systemMenu;
  int width = 12;
  for (const MenuEntry& entry : menu) width = std::max(width, TextWidth(DisplayText(entry.text)) + 4);
  const Rect box{placement.frame.x + 1, placement.frame.y + 1, width, static_cast<int>(menu.size()) + 2};
  canvas.Fill(box);
  canvas.Frame(box, false, kBold);
  drawing.hits.push_back({Hit::Inside, box, -1});
  for (std::size_t i = 0; i < menu.size(); ++i) {
    const Rect line{box.x + 1, box.y + 1 + static_cast<int>(i), box.w - 2, 1};
    if (menu[i].separator) {
      canvas.Put(box.x, line.y, kLeftTee, kBold);
      for (int x = line.x; x < line.Right(); ++x) canvas.Put(x, line.y, kHorizontal, kBold);
      canvas.Put(line.Right(), line.y, kRightTee, kBold);
      continue;
    }
    canvas.Text(line.x + 1, line.y, DisplayText(menu[i].text), kNormal, line.w - 1);
    if (static_cast<int>(i) == m_cursor) {
      canvas.AddAttr(line, kReverse);
      drawing.cursorX = line.x + 1;
      drawing.cursorY = line.y;
    }
    drawing.hits.push_back({Hit::MenuItem, line, static_cast<int>(i)});
  }
}

}  // namespace portable::terminal
