#pragma once
// What opens over a dialog on the terminal: a drop-down list's entries and the window menu.
// Each keeps its own state, draws itself and acts on the keys and clicks meant for it; the
// dialog screen decides which of them, if any, gets an event.
#include <string>
#include <vector>

#include "framework/portable/Model.h"
#include "framework/portable/terminal/Canvas.h"
#include "framework/portable/terminal/Event.h"
#include "framework/portable/terminal/Painter.h"

namespace portable::terminal {

// What a click at a cell of the last drawing lands on.
struct Hit {
  enum Kind { Control, ListItem, MenuItem, MenuBox, Inside } kind;
  Rect rect;
  int index;
};

// The cells that drawing gave a pop-up and its highlighted entry: the hits to add, and where
// the terminal's cursor goes.
struct Drawing {
  std::vector<Hit>& hits;
  int& cursorX;
  int& cursorY;
};

// The entries that Page Up and Page Down step through a drop-down list, open or closed.
inline constexpr int kListPage = 8;

// Whether text begins with the letter c, in either case (typing a letter picks an entry).
bool StartsWithLetter(const std::u16string& text, char32_t c);

// The entries of a drop-down list, open below (or above) its field.
class DropDownList {
 public:
  explicit DropDownList(DialogModel& dialog) : m_dialog(dialog) {}

  bool IsOpen() const { return m_control >= 0; }
  // The combo box's control index; -1 when closed.
  int Control() const { return m_control; }
  // Opens the list of the combo box at that index, on its selection; not when it is disabled
  // or empty.
  void Open(int control);
  void Close() { m_control = -1; }
  // Closes the list and selects the entry at index (the highlighted one when -1).
  void Pick(int index = -1);
  // Acts on a key (the window menu key is the dialog screen's).
  void Handle(const InputEvent& event);
  // The keys it acts on, for the key line.
  static std::vector<KeyHint> Hints();
  // Draws the list beside the field of its combo box within area.
  void Draw(Canvas& canvas, const Placement& placement, const Rect& area, Drawing drawing);

 private:
  DialogModel& m_dialog;
  int m_control = -1;
  int m_cursor = 0;
  int m_top = 0;
};

// The window menu, opened from the "[-]" box or F10.
class WindowMenu {
 public:
  explicit WindowMenu(DialogModel& dialog) : m_dialog(dialog) {}

  bool IsOpen() const { return m_open; }
  // Opens the menu on its first entry.
  void Open();
  void Close() { m_open = false; }
  // Closes the menu and runs the entry at index.
  void Choose(int index);
  void Handle(const InputEvent& event);
  // The keys it acts on, for the key line.
  static std::vector<KeyHint> Hints();
  // Draws the menu below the window's top left corner.
  void Draw(Canvas& canvas, const Placement& placement, Drawing drawing);

 private:
  void Move(int step);

  DialogModel& m_dialog;
  bool m_open = false;
  int m_cursor = 0;
};

}  // namespace portable::terminal
