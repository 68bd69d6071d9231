#pragma once
// Drawing a dialog or message box onto a canvas: its frame with the caption as title bar, and
// its controls as laid out. Knows nothing of input or of the terminal.
#include "framework/portable/Model.h"
#include "framework/portable/terminal/Canvas.h"
#include "framework/portable/terminal/Layout.h"

namespace portable::terminal {

// Where a window sits on the canvas: its frame (the client area is one cell inside) and layout.
struct Placement {
  Rect frame;
  DialogLayout layout;
  // A control's cells on the canvas.
  Rect Control(std::size_t index) const;
  // The "[-]" box that opens the window menu, on the top border.
  Rect MenuBox() const { return Rect{frame.x + 1, frame.y, 3, 1}; }
};

// The cells that a control laid out in rect draws on: a button's face, centred; a check box's
// mark and text; a drop-down list's field; a text's lines. A click hits a control there only.
Rect FaceRect(const ControlModel& control, const Rect& rect);

// Lays the window out for the area and puts it there: centred in the area, a message box
// centred over its owner's frame; scrolled by (scrollX, scrollY) when larger than the area.
Placement PlaceWindow(const DialogModel& window, const Rect& area, const Rect* ownerFrame, int scrollX = 0,
                      int scrollY = 0);

// Draws the window: opaque, with a double frame when it is the active one. The focused control
// is shown in reverse video when active; disabled controls are dimmed.
void DrawWindow(Canvas& canvas, const DialogModel& window, const Placement& placement, bool active);

}  // namespace portable::terminal
