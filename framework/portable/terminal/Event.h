#pragma once
// An input event of the terminal front end: a key (decoded from what the terminal sends) or a
// click, as the dialog screen acts on it.
#include <string>
#include <utility>

namespace portable::terminal {

enum class InputKind {
  None,
  Tab,
  BackTab,
  Up,
  Down,
  Left,
  Right,
  Home,
  End,
  PageUp,
  PageDown,
  Enter,
  Escape,
  Space,
  WindowMenu,   // F10, or Alt+Space (Escape then space)
  OpenList,     // F4, Alt+Down or Alt+Up
  ShowMessage,  // F2: the status line's whole text
  Char,         // a printable character: ch
  Click,        // the first mouse button at (x, y)
  Redraw,       // the terminal was resized, or Ctrl+L
};

struct InputEvent {
  InputKind key = InputKind::None;
  char32_t ch = 0;
  int x = 0, y = 0;
};

// A key and what it does where the user is, as the key line shows them.
using KeyHint = std::pair<std::u16string, std::u16string>;

}  // namespace portable::terminal
