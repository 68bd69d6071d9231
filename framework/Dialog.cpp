// CDialog code that is the same on both windowing layers: construction, data exchange, control
// binding and the base handlers. Making, running and ending the window (DoModal, EndDialog,
// GetSystemMenu, SetIcon, CDialog::Dispatch) is the layer's own.
#include "framework/Dialog.h"

#include <algorithm>

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
  if (control.m_hWnd != nullptr) return;
  CDialog* dialog = pDX->m_pDlgWnd;
  WindowHandle item = GetDlgItemHandle(dialog->m_hWnd, id);
  if (item == nullptr) return;
  control.m_hWnd = item;
  // The layer detaches every bound control when the window goes away, so that a control
  // object never refers to a window that no longer exists.
  if (std::find(dialog->m_boundControls.begin(), dialog->m_boundControls.end(), &control) ==
      dialog->m_boundControls.end())
    dialog->m_boundControls.push_back(&control);
}

CDialog::CDialog(unsigned templateId, CWnd* parent) : m_templateId(templateId), m_pParentWnd(parent) {}

// Bound controls are members of the derived dialog and are already gone here; DoModal has
// detached them when the window went away.
CDialog::~CDialog() = default;

bool CDialog::UpdateData(bool saveAndValidate) {
  CDataExchange exchange(this, saveAndValidate);
  DoDataExchange(&exchange);
  return true;
}

bool CDialog::OnInitDialog() {
  UpdateData(false);
  return true;
}

void CDialog::DoDataExchange(CDataExchange* pDX) { (void)pDX; }

void CDialog::OnOK() {
  if (!UpdateData(true)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

bool CDialog::OnCommand(unsigned id, unsigned code) {
  if (code != BN_CLICKED) return false;
  if (id == IDOK) {
    OnOK();
    return true;
  }
  if (id == IDCANCEL) {
    OnCancel();
    return true;
  }
  return false;
}

void CDialog::OnSysCommand(unsigned id, std::intptr_t param) {
  (void)id;
  (void)param;
  Default();
}

void CDialog::OnPaint() { Default(); }

IconHandle CDialog::OnQueryDragIcon() { return nullptr; }

// The layer's dispatch clears the request before calling a handler and runs the default
// processing afterwards when it is set.
void CDialog::Default() { m_defaultRequested = true; }
