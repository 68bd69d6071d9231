// CWnd and the window services on the portable layer: a window is a dialog or control model
// (see Layer.h); message boxes are small dialog models of their own.
#include "framework/Wnd.h"

#include "framework/portable/Layer.h"

namespace {
constexpr std::uint32_t kMessageBoxStyle = 0x80C80000;  // popup, caption, system menu, modal frame
constexpr std::uint32_t kStaticStyle = 0x50020000;      // child, visible, group
constexpr std::uint32_t kOkButtonStyle = 0x50030001;    // child, visible, group, tab stop, default
}  // namespace

bool CWnd::EnableWindow(bool enable) {
  portable::ControlModel* control = portable::ControlFromHandle(m_hWnd);
  if (control == nullptr) return false;
  const bool wasDisabled = !control->enabled;
  control->enabled = enable;
  return wasDisabled;
}

bool CWnd::IsWindowEnabled() const {
  if (portable::ControlModel* control = portable::ControlFromHandle(m_hWnd)) return control->enabled;
  return portable::DialogFromHandle(m_hWnd) != nullptr;
}

void CWnd::SetWindowText(const std::u16string& text) {
  if (portable::ControlModel* control = portable::ControlFromHandle(m_hWnd))
    control->text = text;
  else if (portable::DialogModel* dialog = portable::DialogFromHandle(m_hWnd))
    dialog->caption = text;
}

std::u16string CWnd::GetWindowText() const {
  if (portable::ControlModel* control = portable::ControlFromHandle(m_hWnd)) return control->text;
  if (portable::DialogModel* dialog = portable::DialogFromHandle(m_hWnd)) return dialog->caption;
  return {};
}

bool CWnd::IsIconic() const { return false; }

CHiddenWindow::CHiddenWindow() = default;
CHiddenWindow::~CHiddenWindow() = default;

CRect CWnd::GetClientRect() const {
  if (portable::ControlModel* control = portable::ControlFromHandle(m_hWnd))
    return {0, 0, control->cx, control->cy};
  if (portable::DialogModel* dialog = portable::DialogFromHandle(m_hWnd))
    return {0, 0, dialog->cx, dialog->cy};
  return {};
}

std::intptr_t CWnd::SendMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
  (void)message;
  (void)wParam;
  (void)lParam;
  return 0;
}

int ShowMessageBox(WindowHandle owner, const std::u16string& text, const std::u16string& caption,
                   unsigned type) {
  (void)type;  // the program shows only MB_OK boxes
  portable::DialogModel box;
  box.caption = caption;
  box.style = kMessageBoxStyle;
  box.isMessageBox = true;
  box.owner = portable::DialogOfHandle(owner);
  portable::ControlModel message;
  message.id = 0xFFFF;
  message.className = u"Static";
  message.kind = portable::ControlKind::Static;
  message.style = kStaticStyle;
  message.text = text;
  box.controls.push_back(std::move(message));
  portable::ControlModel ok;
  ok.id = IDOK;
  ok.className = u"Button";
  ok.kind = portable::ControlKind::DefPushButton;
  ok.style = kOkButtonStyle;
  ok.text = u"OK";
  box.controls.push_back(std::move(ok));
  box.systemMenu.push_back({SC_CLOSE, u"&Close", false});
  box.FocusFirst();
  return portable::RunModalDialog(box);
}

WindowHandle GetDlgItemHandle(WindowHandle dialog, int id) {
  portable::DialogModel* model = portable::DialogFromHandle(dialog);
  return model != nullptr ? model->Find(id) : nullptr;
}

int GetSystemMetrics(int index) {
  (void)index;
  return 0;
}

bool LoadStringResource(unsigned id, std::u16string& text) {
  const auto found = portable::ProgramResources().String(id);
  if (!found) return false;
  text = *found;
  return true;
}

CPaintDC::CPaintDC(CWnd* window) : m_window(window) {}

CPaintDC::~CPaintDC() = default;

void CPaintDC::DrawIcon(int x, int y, IconHandle icon) {
  (void)x;
  (void)y;
  (void)icon;
}
