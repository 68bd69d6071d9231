// The portable layer's dialog model: controls that act like the Win32 ones, focus and keyboard
// routing as the dialog manager does it, and the stack of open modal windows.
#include "framework/portable/Model.h"

#include <algorithm>

#include "base/Service.h"
#include "base/Text.h"
#include "framework/Types.h"
#include "framework/portable/Layer.h"

namespace portable {
namespace {

constexpr std::uint32_t kTabStop = 0x00010000;  // WS_TABSTOP
constexpr std::uint32_t kButtonTypeMask = 0x0F;
constexpr std::uint32_t kAutoCheckBox = 0x03;  // BS_AUTOCHECKBOX
constexpr unsigned kSelChange = 1;             // CBN_SELCHANGE

// Negative, zero or positive, ignoring case: ordinal after taking each letter's lower-case form,
// so that punctuation such as '_' sorts before the letters.
int CompareNoCase(const std::u16string& a, const std::u16string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t x = base::DowncaseUnit(a[i]), y = base::DowncaseUnit(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool IsPushButton(const ControlModel& control) {
  return control.kind == ControlKind::PushButton || control.kind == ControlKind::DefPushButton;
}

// A command from a control. A window without a handler (a message box) ends with the button's
// id; with no Cancel button, the cancel command ends it as OK, as a message box does.
void SendCommand(DialogModel& dialog, unsigned id, unsigned code) {
  if (dialog.handler != nullptr) {
    dialog.handler->OnModelCommand(id, code);
    return;
  }
  if (code != BN_CLICKED) return;
  int result = static_cast<int>(id);
  if (result == IDCANCEL && dialog.Find(IDCANCEL) == nullptr) {
    if (dialog.Find(IDOK) == nullptr) return;
    result = IDOK;
  }
  dialog.ended = true;
  dialog.result = result;
}

class DefaultFrontEnd : public FrontEnd {
 public:
  void RunModal(DialogModel& dialog) override {
    dialog.ended = true;
    dialog.result = IDCANCEL;
  }
};

FrontEnd& TheDefaultFrontEnd() {
  static DefaultFrontEnd frontEnd;
  return frontEnd;
}

constinit base::Service<FrontEnd> g_frontEnd(TheDefaultFrontEnd);
std::vector<DialogModel*> g_openDialogs;

}  // namespace

bool ControlModel::Focusable() const { return visible && enabled && (style & kTabStop) != 0; }

int ControlModel::AddString(const std::u16string& item) {
  auto position = items.end();
  if (sorted)
    position = std::find_if(items.begin(), items.end(), [&](const std::u16string& existing) {
      return CompareNoCase(item, existing) <= 0;
    });
  const int index = static_cast<int>(position - items.begin());
  items.insert(position, item);
  // The selection follows its entry when one is inserted before it.
  if (selection >= index) ++selection;
  return index;
}

int ControlModel::SetCurSel(int index) {
  if (index < 0 || index >= static_cast<int>(items.size())) {
    selection = -1;
    return -1;
  }
  selection = index;
  return index;
}

ControlModel* DialogModel::Find(int id) {
  auto found =
      std::find_if(controls.begin(), controls.end(), [id](const ControlModel& c) { return c.id == id; });
  return found == controls.end() ? nullptr : &*found;
}

const ControlModel* DialogModel::Find(int id) const { return const_cast<DialogModel*>(this)->Find(id); }

int DialogModel::DefaultId() const {
  for (const ControlModel& control : controls)
    if (control.kind == ControlKind::DefPushButton) return control.id;
  return IDOK;
}

bool DialogModel::Click(int id) {
  ControlModel* control = Find(id);
  if (control == nullptr || !control->visible || !control->enabled) return false;
  if (control->kind == ControlKind::CheckBox) {
    if ((control->style & kButtonTypeMask) == kAutoCheckBox)
      control->check = control->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
  } else if (!IsPushButton(*control)) {
    return false;
  }
  SetFocus(id);
  SendCommand(*this, static_cast<unsigned>(id), BN_CLICKED);
  return true;
}

bool DialogModel::SelectItem(int id, int index) {
  ControlModel* control = Find(id);
  if (control == nullptr || !control->visible || !control->enabled || control->kind != ControlKind::ComboBox)
    return false;
  if (index < 0 || index >= static_cast<int>(control->items.size())) return false;
  SetFocus(id);
  control->selection = index;
  SendCommand(*this, static_cast<unsigned>(id), kSelChange);
  return true;
}

bool DialogModel::PressEnter() {
  // A focused push button is the default one while it has the focus.
  if (focus >= 0 && focus < static_cast<int>(controls.size()) && IsPushButton(controls[focus]))
    return Click(controls[focus].id);
  const int id = DefaultId();
  const ControlModel* control = Find(id);
  if (control != nullptr && (!control->visible || !control->enabled)) return false;
  SendCommand(*this, static_cast<unsigned>(id), BN_CLICKED);
  return true;
}

bool DialogModel::PressEscape() {
  SendCommand(*this, IDCANCEL, BN_CLICKED);
  return true;
}

bool DialogModel::SysCommand(unsigned id) {
  if (systemMenu.empty()) return false;
  if (handler != nullptr) {
    handler->OnModelSysCommand(id);
    return true;
  }
  // A message box's close command is its cancel command.
  if ((id & 0xFFF0) == SC_CLOSE) SendCommand(*this, IDCANCEL, BN_CLICKED);
  return true;
}

void DialogModel::FocusNext(bool backwards) {
  const int count = static_cast<int>(controls.size());
  if (count == 0) return;
  const int step = backwards ? count - 1 : 1;
  int start = focus >= 0 && focus < count ? focus : (backwards ? 0 : count - 1);
  for (int n = 1; n <= count; ++n) {
    const int index = (start + step * n) % count;
    if (controls[index].Focusable()) {
      focus = index;
      return;
    }
  }
}

void DialogModel::FocusFirst() {
  focus = -1;
  FocusNext(false);
}

bool DialogModel::SetFocus(int id) {
  ControlModel* control = Find(id);
  if (control == nullptr || !control->visible || !control->enabled) return false;
  focus = static_cast<int>(control - controls.data());
  return true;
}

const std::vector<DialogModel*>& OpenDialogs() { return g_openDialogs; }

void PushDialog(DialogModel* dialog) { g_openDialogs.push_back(dialog); }

void PopDialog(DialogModel* dialog) { std::erase(g_openDialogs, dialog); }

FrontEnd& GetFrontEnd() { return g_frontEnd.Get(); }
FrontEnd* SetFrontEnd(FrontEnd* frontEnd) { return g_frontEnd.Set(frontEnd); }

}  // namespace portable
