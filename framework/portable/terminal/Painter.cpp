#include "framework/portable/terminal/Painter.h"

#include <algorithm>

#include "framework/Types.h"
#include "framework/portable/terminal/Text.h"

namespace portable::terminal {
namespace {

std::u16string Repeat(char16_t c, int count) {
  return std::u16string(static_cast<std::size_t>(std::max(count, 0)), c);
}

void DrawGroupBox(Canvas& canvas, const ControlModel& control, const Rect& rect) {
  const std::uint8_t attr = control.enabled ? kNormal : kDim;
  canvas.Frame(rect, false, attr);
  const std::u16string title = ControlText(control);
  if (!title.empty()) canvas.Text(rect.x + 1, rect.y, u" " + title + u" ", attr, rect.w - 2);
}

// The cells of a drop-down list's field between its brackets.
int ComboInner(const ControlModel& control, const Rect& rect) {
  const int shown = control.selection >= 0 && control.selection < static_cast<int>(control.items.size())
                        ? TextWidth(control.items[static_cast<std::size_t>(control.selection)])
                        : 0;
  return std::max(rect.w - 4, shown);
}

void DrawControl(Canvas& canvas, const ControlModel& control, const Rect& rect, bool focused) {
  const std::u16string text = ControlText(control);
  std::uint8_t attr = control.enabled ? kNormal : kDim;
  switch (control.kind) {
    case ControlKind::PushButton:
    case ControlKind::DefPushButton: {
      if (control.kind == ControlKind::DefPushButton && control.enabled) attr |= kBold;
      canvas.Text(FaceRect(control, rect).x, rect.y, ButtonFace(control),
                  static_cast<std::uint8_t>(attr | (focused ? kReverse : 0)));
      break;
    }
    case ControlKind::CheckBox: {
      const std::u16string mark = control.check == BST_CHECKED ? u"[x]"
                                  : control.check == 0         ? u"[ ]"
                                                               : u"[-]";
      canvas.Text(rect.x, rect.y, mark + u" " + text,
                  static_cast<std::uint8_t>(attr | (focused ? kReverse : 0)));
      break;
    }
    case ControlKind::ComboBox: {
      const std::u16string shown =
          control.selection >= 0 && control.selection < static_cast<int>(control.items.size())
              ? control.items[static_cast<std::size_t>(control.selection)]
              : std::u16string();
      const int inner = ComboInner(control, rect);
      const std::u16string field = shown + Repeat(u' ', inner - TextWidth(shown));
      canvas.Text(rect.x, rect.y, u"[" + field + u" v]", attr);
      canvas.AddAttr(Rect{rect.x + 1, rect.y, inner, 1}, focused ? kReverse : kUnderline);
      break;
    }
    case ControlKind::Icon:
      canvas.Text(rect.x, rect.y, u"(i)", kBold);
      break;
    case ControlKind::Static:
    case ControlKind::Other: {
      const std::vector<std::u16string> lines = rect.h > 1 ? WrapText(text, rect.w) : std::vector{text};
      for (std::size_t i = 0; i < lines.size() && static_cast<int>(i) < rect.h; ++i)
        canvas.Text(rect.x, rect.y + static_cast<int>(i), lines[i], attr);
      break;
    }
    case ControlKind::GroupBox:
      break;
  }
}

}  // namespace

Rect FaceRect(const ControlModel& control, const Rect& rect) {
  switch (control.kind) {
    case ControlKind::PushButton:
    case ControlKind::DefPushButton: {
      const int width = TextWidth(ButtonFace(control));
      return Rect{rect.x + std::max((rect.w - width) / 2, 0), rect.y, width, 1};
    }
    case ControlKind::CheckBox:
      return Rect{rect.x, rect.y, 4 + TextWidth(ControlText(control)), 1};  // "[x] Text"
    case ControlKind::ComboBox:
      return Rect{rect.x, rect.y, ComboInner(control, rect) + 4, 1};  // "[Text v]"
    case ControlKind::Icon:
      return Rect{rect.x, rect.y, 3, 1};  // "(i)"
    default:
      return rect;
  }
}

Rect Placement::Control(std::size_t index) const {
  if (index >= layout.controls.size()) return {};
  Rect r = layout.controls[index];
  r.x += frame.x + 1;
  r.y += frame.y + 1;
  return r;
}

Placement PlaceWindow(const DialogModel& window, const Rect& area, const Rect* ownerFrame, int scrollX,
                      int scrollY) {
  Placement placement;
  placement.layout = LayoutWindow(window, area.w - 2, area.h - 2);
  const int w = placement.layout.width + 2, h = placement.layout.height + 2;
  const Rect centre = window.isMessageBox && ownerFrame != nullptr ? *ownerFrame : area;
  auto position = [](int size, int centreStart, int centreSize, int areaStart, int areaSize, int scroll) {
    if (size > areaSize) return areaStart - scroll;
    return std::clamp(centreStart + (centreSize - size) / 2, areaStart, areaStart + areaSize - size);
  };
  placement.frame = Rect{position(w, centre.x, centre.w, area.x, area.w, scrollX),
                         position(h, centre.y, centre.h, area.y, area.h, scrollY), w, h};
  return placement;
}

void DrawWindow(Canvas& canvas, const DialogModel& window, const Placement& placement, bool active) {
  const Rect& frame = placement.frame;
  canvas.Fill(frame);
  canvas.Frame(frame, active);
  int x = frame.x + 1;
  if (!window.systemMenu.empty()) {
    canvas.Text(x, frame.y, u"[-]", active ? kBold : kNormal);
    x += 3;
  }
  canvas.Text(x, frame.y, u" " + window.caption + u" ", active ? kReverse | kBold : kNormal,
              std::max(frame.Right() - 1 - x, 0));
  // Frames first, so that nothing inside a group box is drawn over.
  for (std::size_t i = 0; i < window.controls.size(); ++i)
    if (window.controls[i].visible && window.controls[i].kind == ControlKind::GroupBox)
      DrawGroupBox(canvas, window.controls[i], placement.Control(i));
  for (std::size_t i = 0; i < window.controls.size(); ++i) {
    const ControlModel& control = window.controls[i];
    if (!control.visible || control.kind == ControlKind::GroupBox) continue;
    DrawControl(canvas, control, placement.Control(i), active && window.focus == static_cast<int>(i));
  }
}

}  // namespace portable::terminal
