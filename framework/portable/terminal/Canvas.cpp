#include "framework/portable/terminal/Canvas.h"

#include <algorithm>

#include "framework/portable/terminal/Text.h"

namespace portable::terminal {

Canvas::Canvas(int width, int height)
    : m_width(std::max(width, 0)),
      m_height(std::max(height, 0)),
      m_cells(static_cast<std::size_t>(m_width) * static_cast<std::size_t>(m_height)) {}

const Cell& Canvas::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= m_width || y >= m_height) return m_outside;
  return m_cells[static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width) +
                 static_cast<std::size_t>(x)];
}

void Canvas::Put(int x, int y, char32_t ch, std::uint8_t attr) {
  if (x < 0 || y < 0 || x >= m_width || y >= m_height) return;
  m_cells[static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width) + static_cast<std::size_t>(x)] = {
      ch, attr};
}

int Canvas::Text(int x, int y, std::u16string_view text, std::uint8_t attr, int maxWidth) {
  const std::u32string points = CodePoints(text);
  int used = 0;
  for (char32_t c : points) {
    if (maxWidth >= 0 && used >= maxWidth) break;
    // Control characters would move the terminal's cursor: show them as blanks.
    Put(x + used, y, c < 0x20 || c == 0x7F ? U' ' : c, attr);
    ++used;
  }
  return used;
}

void Canvas::Fill(const Rect& rect, char32_t ch, std::uint8_t attr) {
  for (int y = rect.y; y < rect.Bottom(); ++y)
    for (int x = rect.x; x < rect.Right(); ++x) Put(x, y, ch, attr);
}

void Canvas::AddAttr(const Rect& rect, std::uint8_t attr) {
  for (int y = std::max(rect.y, 0); y < std::min(rect.Bottom(), m_height); ++y)
    for (int x = std::max(rect.x, 0); x < std::min(rect.Right(), m_width); ++x)
      m_cells[static_cast<std::size_t>(y) * static_cast<std::size_t>(m_width) + static_cast<std::size_t>(x)]
          .attr |= attr;
}

void Canvas::Frame(const Rect& rect, bool doubleLine, std::uint8_t attr) {
  if (rect.w < 2 || rect.h < 2) return;
  const char32_t h = doubleLine ? kDoubleHorizontal : kHorizontal;
  const char32_t v = doubleLine ? kDoubleVertical : kVertical;
  for (int x = rect.x + 1; x < rect.Right() - 1; ++x) {
    Put(x, rect.y, h, attr);
    Put(x, rect.Bottom() - 1, h, attr);
  }
  for (int y = rect.y + 1; y < rect.Bottom() - 1; ++y) {
    Put(rect.x, y, v, attr);
    Put(rect.Right() - 1, y, v, attr);
  }
  Put(rect.x, rect.y, doubleLine ? kDoubleTopLeft : kTopLeft, attr);
  Put(rect.Right() - 1, rect.y, doubleLine ? kDoubleTopRight : kTopRight, attr);
  Put(rect.x, rect.Bottom() - 1, doubleLine ? kDoubleBottomLeft : kBottomLeft, attr);
  Put(rect.Right() - 1, rect.Bottom() - 1, doubleLine ? kDoubleBottomRight : kBottomRight, attr);
}

std::u32string Canvas::Row(int y) const {
  std::u32string row;
  row.reserve(static_cast<std::size_t>(m_width));
  for (int x = 0; x < m_width; ++x) row.push_back(At(x, y).ch);
  return row;
}

std::string Canvas::ToText() const {
  std::string text;
  for (int y = 0; y < m_height; ++y) {
    std::u32string row = Row(y);
    row.erase(row.find_last_not_of(U' ') + 1);
    text += ToUtf8(row);
    text += '\n';
  }
  return text;
}

}  // namespace portable::terminal
