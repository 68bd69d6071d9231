#include "framework/portable/terminal/BottomRows.h"

#include <algorithm>

#include "framework/portable/terminal/Text.h"

namespace portable::terminal {

bool BottomRows::Handle(const InputEvent& event) {
  if (m_messageOpen) {
    m_messageOpen = false;  // any key or click closes the message view, and only that
    return true;
  }
  if (event.key != InputKind::ShowMessage) return false;
  m_messageOpen = true;
  return true;
}

std::vector<KeyHint> BottomRows::Hints() const {
  if (m_messageOpen) return {{u"Any key", u"Close"}};
  if (m_status.empty()) return {};
  return {{u"F2", u"Message"}};
}

void BottomRows::Draw(Canvas& canvas, const Rect& area, const std::vector<KeyHint>& hints,
                      Drawing drawing) const {
  if (m_messageOpen) DrawMessage(canvas, area, drawing);
  // The status line: the latest event, one row, shortened to fit.
  const int width = canvas.Width(), statusY = canvas.Height() - kBottomRows, keysY = canvas.Height() - 1;
  canvas.Fill(Rect{0, statusY, width, kBottomRows}, U' ', kReverse);
  canvas.Text(1, statusY, Shorten(m_status, width - 2), kReverse);
  // The key line: as many of the hints as fit whole, the keys in bold.
  int x = 1;
  for (const auto& [key, action] : hints) {
    const int need = TextWidth(key) + 1 + TextWidth(action);
    if (x + need > width - 1) break;
    canvas.Text(x, keysY, key, kReverse | kBold);
    canvas.Text(x + TextWidth(key) + 1, keysY, action, kReverse);
    x += need + 2;
  }
}

void BottomRows::DrawMessage(Canvas& canvas, const Rect& area, Drawing drawing) const {
  // The status line's whole text, wrapped, in a box over the middle of the windows' area.
  const std::u16string text = m_status.empty() ? u"No message yet." : m_status;
  const int width = std::clamp(TextWidth(text) + 4, 24, std::max(std::min(area.w, 78), 1));
  std::vector<std::u16string> lines = WrapText(text, std::max(width - 4, 1));
  const int room = std::max(area.h - 2, 1);
  if (static_cast<int>(lines.size()) > room) {
    lines.resize(static_cast<std::size_t>(room));
    lines.back() = Shorten(lines.back() + u" \u2026", width - 4);
  }
  const int height = static_cast<int>(lines.size()) + 2;
  const Rect box{area.x + (area.w - width) / 2, area.y + std::max((area.h - height) / 2, 0), width, height};
  canvas.Fill(box);
  canvas.Frame(box, true, kBold);
  canvas.Text(box.x + 2, box.y, u" Message ", kReverse | kBold, box.w - 4);
  for (std::size_t i = 0; i < lines.size(); ++i)
    canvas.Text(box.x + 2, box.y + 1 + static_cast<int>(i), lines[i]);
  drawing.hits.push_back({Hit::Inside, box, -1});
  drawing.cursorX = drawing.cursorY = -1;
}

std::u16string KeyLine(const std::vector<KeyHint>& hints) {
  std::u16string line;
  for (const auto& [key, action] : hints) line += (line.empty() ? u"" : u"  ") + key + u" " + action;
  return line;
}

}  // namespace portable::terminal
