// The portable layer's modal stack helpers, handle resolution and dialog models from templates.
#include "framework/portable/Layer.h"

#include <algorithm>

#include "base/Text.h"

namespace portable {
namespace {

constexpr std::uint32_t kVisible = 0x10000000;   // WS_VISIBLE
constexpr std::uint32_t kDisabled = 0x08000000;  // WS_DISABLED
constexpr std::uint32_t kSysMenu = 0x00080000;   // WS_SYSMENU
constexpr std::uint32_t kSortStyle = 0x0100;     // CBS_SORT
constexpr std::uint32_t kStaticTypeMask = 0x1F;
constexpr std::uint32_t kIconStyle = 0x03;  // SS_ICON

ControlKind KindOf(const DialogItem& item) {
  if (base::NamesEqual(item.className, u"Button")) {
    switch (item.style & 0x0F) {
      case 0x00:
        return ControlKind::PushButton;  // BS_PUSHBUTTON
      case 0x01:
        return ControlKind::DefPushButton;  // BS_DEFPUSHBUTTON
      case 0x02:                            // BS_CHECKBOX
      case 0x03:                            // BS_AUTOCHECKBOX
      case 0x05:                            // BS_3STATE
      case 0x06:
        return ControlKind::CheckBox;  // BS_AUTO3STATE
      case 0x07:
        return ControlKind::GroupBox;  // BS_GROUPBOX
      default:
        return ControlKind::Other;
    }
  }
  if (base::NamesEqual(item.className, u"Static"))
    return (item.style & kStaticTypeMask) == kIconStyle ? ControlKind::Icon : ControlKind::Static;
  if (base::NamesEqual(item.className, u"ComboBox")) return ControlKind::ComboBox;
  return ControlKind::Other;
}

// Code page 1252's characters 0x80 to 0x9F; the rest of its upper half is Latin-1.
constexpr char16_t kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                      0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

DialogModel* DialogFromHandle(const void* handle) {
  if (handle == nullptr) return nullptr;
  for (DialogModel* dialog : OpenDialogs())
    if (dialog == handle) return dialog;
  return nullptr;
}

ControlModel* ControlFromHandle(const void* handle, DialogModel** dialog) {
  if (handle == nullptr) return nullptr;
  for (DialogModel* open : OpenDialogs())
    for (ControlModel& control : open->controls)
      if (&control == handle) {
        if (dialog != nullptr) *dialog = open;
        return &control;
      }
  return nullptr;
}

DialogModel* DialogOfHandle(const void* handle) {
  if (DialogModel* dialog = DialogFromHandle(handle)) return dialog;
  DialogModel* dialog = nullptr;
  ControlFromHandle(handle, &dialog);
  return dialog;
}

DialogModel BuildDialogModel(const DialogTemplate& dialogTemplate) {
  DialogModel model;
  model.caption = dialogTemplate.caption;
  model.cx = dialogTemplate.cx;
  model.cy = dialogTemplate.cy;
  model.style = dialogTemplate.style;
  model.exStyle = dialogTemplate.exStyle;
  model.fontName = dialogTemplate.fontName;
  if (dialogTemplate.pointSize > 0) model.fontPointSize = dialogTemplate.pointSize;
  for (const DialogItem& item : dialogTemplate.items) {
    ControlModel control;
    control.id = item.id;
    control.className = item.className;
    control.kind = KindOf(item);
    control.style = item.style;
    control.exStyle = item.exStyle;
    control.x = item.x;
    control.y = item.y;
    control.cx = item.cx;
    control.cy = item.cy;
    control.text = item.text;
    control.enabled = (item.style & kDisabled) == 0;
    control.visible = (item.style & kVisible) != 0;
    control.sorted = control.kind == ControlKind::ComboBox && (item.style & kSortStyle) != 0;
    model.controls.push_back(std::move(control));
  }
  if ((dialogTemplate.style & kSysMenu) != 0) model.systemMenu.push_back({SC_CLOSE, u"&Close", false});
  return model;
}

std::u16string WidenAnsi(std::string_view text) {
  std::u16string wide;
  wide.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    wide.push_back(byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : static_cast<char16_t>(byte));
  }
  return wide;
}

int RunModalDialog(DialogModel& dialog) {
  const auto& open = OpenDialogs();
  if (dialog.owner == nullptr && !open.empty()) dialog.owner = open.back();
  PushDialog(&dialog);
  if (!dialog.ended) GetFrontEnd().RunModal(dialog);
  PopDialog(&dialog);
  return dialog.result;
}

}  // namespace portable
