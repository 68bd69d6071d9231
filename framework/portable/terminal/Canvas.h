#pragma once
// A plain in-memory grid of character cells: the front end draws dialogs onto it, the terminal
// shows it, and tests read it. Everything drawn outside the grid is clipped.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace portable::terminal {

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
  int Right() const { return x + w; }  // one past the last column
  int Bottom() const { return y + h; }
  bool Empty() const { return w <= 0 || h <= 0; }
  bool Contains(int px, int py) const { return px >= x && px < Right() && py >= y && py < Bottom(); }
  bool Intersects(const Rect& o) const {
    return !Empty() && !o.Empty() && x < o.Right() && o.x < Right() && y < o.Bottom() && o.y < Bottom();
  }
  bool Inside(const Rect& o) const {
    return x >= o.x && y >= o.y && Right() <= o.Right() && Bottom() <= o.Bottom();
  }
  bool operator==(const Rect&) const = default;
};

// Cell attributes, combined as bits.
enum Attr : std::uint8_t { kNormal = 0, kBold = 1, kReverse = 2, kDim = 4, kUnderline = 8 };

struct Cell {
  char32_t ch = U' ';
  std::uint8_t attr = kNormal;
};

// Box-drawing characters used by the front end.
inline constexpr char32_t kHorizontal = U'\u2500', kVertical = U'\u2502', kTopLeft = U'\u250C',
                          kTopRight = U'\u2510', kBottomLeft = U'\u2514', kBottomRight = U'\u2518',
                          kDoubleHorizontal = U'\u2550', kDoubleVertical = U'\u2551',
                          kDoubleTopLeft = U'\u2554', kDoubleTopRight = U'\u2557',
                          kDoubleBottomLeft = U'\u255A', kDoubleBottomRight = U'\u255D', kLeftTee = U'\u251C',
                          kRightTee = U'\u2524', kEllipsis = U'\u2026';

class Canvas {
 public:
  Canvas(int width, int height);

  int Width() const { return m_width; }
  int Height() const { return m_height; }
  const Cell& At(int x, int y) const;

  void Put(int x, int y, char32_t ch, std::uint8_t attr = kNormal);
  // Draws the text from (x, y), at most maxWidth cells (negative: no limit); returns the cells used.
  int Text(int x, int y, std::u16string_view text, std::uint8_t attr = kNormal, int maxWidth = -1);
  void Fill(const Rect& rect, char32_t ch = U' ', std::uint8_t attr = kNormal);
  // Sets the attribute bits over a rectangle, keeping the characters.
  void AddAttr(const Rect& rect, std::uint8_t attr);
  // A line frame around the rectangle's edge cells.
  void Frame(const Rect& rect, bool doubleLine, std::uint8_t attr = kNormal);

  // One row as code points; the whole grid as UTF-8 lines without trailing blanks.
  std::u32string Row(int y) const;
  std::string ToText() const;

 private:
  int m_width, m_height;
  std::vector<Cell> m_cells;
  Cell m_outside;
};

}  // namespace portable::terminal
