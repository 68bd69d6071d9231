#pragma once
// Dialog units to character cells. A pure function of the dialog model and the room available:
// the same model and size always give the same cells.
//
// The mapping is proportional (4 dialog units a column, 8 a row, as one character of the
// dialog font on Windows), with corrections where the proportional place would clip a text or
// make two controls touch: every control keeps its order relative to the others, every text is
// shown whole, and no two controls share a cell (a group box frames the controls inside it).
// When the dialog does not fit, the scale is compressed step by step, first with a blank cell
// inside each group box's frame and before the dialog's, then without them (a wide template on
// an 80-column terminal); if even the most compact layout does not fit, the caller scrolls.
#include <string>
#include <vector>

#include "framework/portable/Model.h"
#include "framework/portable/terminal/Canvas.h"

namespace portable::terminal {

struct DialogLayout {
  int width = 0, height = 0;   // client area, in cells (the frame adds one cell on each side)
  std::vector<Rect> controls;  // client cells of each control, same index as the model's; empty when hidden
  double duPerColumn = 4, duPerRow = 8;
};

// Cells a control needs to show its text whole, as the front end draws it.
int ContentWidth(const ControlModel& control);
// The text a control shows (mnemonic markers removed unless the static says not to).
std::u16string ControlText(const ControlModel& control);
// A push button's face: "[< OK >]" for the default button, "[ Cancel ]" for the others; and
// the cells before its text in the face.
std::u16string ButtonFace(const ControlModel& control);
int ButtonTextColumn(const ControlModel& control);

// Lays a dialog out in a client area of at most maxWidth × maxHeight cells, or as compact as
// the texts allow when it cannot fit.
DialogLayout LayoutDialog(const DialogModel& dialog, int maxWidth, int maxHeight);
// A message box: its text (wrapped to the room available) above its buttons, centred.
DialogLayout LayoutMessageBox(const DialogModel& box, int maxWidth);
// Whichever of the two the window is.
DialogLayout LayoutWindow(const DialogModel& dialog, int maxWidth, int maxHeight);

// Splits a text into lines of at most width cells, at spaces where it can; "\n" breaks a line.
std::vector<std::u16string> WrapText(const std::u16string& text, int width);

}  // namespace portable::terminal
