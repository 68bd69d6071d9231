#pragma once
// The terminal front end's view of one modal run: the dialog on top of the stack, its open
// drop-down list or window menu (Popups.h), its scroll position and the rows below the windows
// (BottomRows.h). It draws the whole stack of open windows onto a canvas and turns input events
// into the model's actions, handing them to the message view, then the open list or menu first.
// No terminal needed: the front end feeds it events and shows the canvas; tests do the same.
#include <string>
#include <vector>

#include "framework/portable/Model.h"
#include "framework/portable/terminal/BottomRows.h"
#include "framework/portable/terminal/Canvas.h"
#include "framework/portable/terminal/Event.h"
#include "framework/portable/terminal/Painter.h"
#include "framework/portable/terminal/Popups.h"

namespace portable::terminal {

class DialogScreen {
 public:
  explicit DialogScreen(DialogModel& dialog);

  // Draws the open windows bottom first (stack; this dialog is the last), this one active with
  // its list, menu or message view, then the status line and the key line on the canvas's last
  // two rows (the windows get the rows above).
  void Render(Canvas& canvas, const std::vector<DialogModel*>& stack, const std::u16string& status);
  // Acts on one event. The model's actions run the dialog's handlers, which may run a nested
  // modal loop before this returns.
  void Handle(const InputEvent& event);

  bool ListOpen() const { return m_list.IsOpen(); }
  bool MenuOpen() const { return m_menu.IsOpen(); }
  // The view of the status line's whole text (F2), open until the next key or click.
  bool MessageOpen() const { return m_bottom.MessageOpen(); }
  // The key line for the present state, as Render draws it when it has room.
  std::u16string KeyHints() const;
  // The terminal's cursor after the last Render: the focused control, the list or menu entry.
  int CursorX() const { return m_cursorX; }
  int CursorY() const { return m_cursorY; }
  // Where this dialog was drawn by the last Render.
  const Placement& Drawn() const { return m_drawn; }

 private:
  void HandleDialog(const InputEvent& event);
  void HandleClick(int x, int y);
  void Choose(int control);  // a control activated by Space or a click
  ControlModel* Focused();
  void KeepVisible(const Rect& area, const Placement& placement);
  std::vector<KeyHint> Hints() const;  // the keys of what is in front

  DialogModel& m_dialog;
  DropDownList m_list;
  WindowMenu m_menu;
  BottomRows m_bottom;
  int m_scrollX = 0, m_scrollY = 0;
  int m_cursorX = -1, m_cursorY = -1;
  std::vector<Hit> m_hits;  // from the last Render, the topmost last
  Placement m_drawn;
};

}  // namespace portable::terminal
