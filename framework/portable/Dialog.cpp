// CDialog on the portable layer: the dialog is a DialogModel built from its compiled template,
// run by the front end (terminal or test script) on the modal stack.
#include "framework/Dialog.h"

#include "framework/ListData.h"
#include "framework/portable/Layer.h"

namespace {

// Fills the combo boxes of a dialog's model from the dialog's list data, as initialisation does.
void AppendListData(portable::DialogModel& model, unsigned templateId) {
  for (const portable::DlgInitEntry& entry :
       portable::ProgramResources().DlgInit(static_cast<int>(templateId))) {
    portable::ControlModel* control = model.Find(entry.controlId);
    if (entry.message != kListDataComboBoxAddString || control == nullptr ||
        control->kind != portable::ControlKind::ComboBox)
      continue;
    const std::string_view data = entry.data;
    control->AddString(portable::WidenAnsi(data.substr(0, data.find('\0'))));
  }
}
}  // namespace

// Connects a dialog model to its dialog object: commands and system commands from the model run
// the dialog's handlers; what a handler leaves to the default processing is done as the
// dialog manager does it.
struct CDialog::Dispatch : portable::DialogHandler {
  explicit Dispatch(CDialog& owner) : dialog(owner) {}

  void OnModelCommand(unsigned id, unsigned code) override { dialog.OnCommand(id, code); }

  void OnModelSysCommand(unsigned id) override {
    dialog.m_defaultRequested = false;
    dialog.OnSysCommand(id, 0);
    if (!dialog.m_defaultRequested) return;
    dialog.m_defaultRequested = false;
    // The default processing of the close command is the cancel command, unless the dialog's
    // Cancel button is disabled.
    if ((id & 0xFFF0) != SC_CLOSE) return;
    const portable::DialogModel* model = portable::DialogFromHandle(dialog.m_hWnd);
    const portable::ControlModel* cancel = model != nullptr ? model->Find(IDCANCEL) : nullptr;
    if (cancel == nullptr || cancel->enabled) dialog.OnCommand(IDCANCEL, BN_CLICKED);
  }

  CDialog& dialog;
};

std::intptr_t CDialog::DoModal() {
  const auto dialogTemplate = portable::ProgramResources().Dialog(static_cast<int>(m_templateId));
  if (!dialogTemplate) return -1;
  portable::DialogModel model = portable::BuildDialogModel(*dialogTemplate);
  Dispatch dispatch(*this);
  model.handler = &dispatch;
  const auto& open = portable::OpenDialogs();
  model.owner = open.empty() ? nullptr : open.back();
  portable::PushDialog(&model);
  m_hWnd = &model;
  m_result = -1;

  AppendListData(model, m_templateId);

  if (OnInitDialog() && !model.ended) model.FocusFirst();
  if (!model.ended) portable::GetFrontEnd().RunModal(model);

  portable::PopDialog(&model);
  for (CWnd* control : m_boundControls) control->m_hWnd = nullptr;
  m_boundControls.clear();
  m_systemMenu.m_hMenu = nullptr;
  m_hWnd = nullptr;
  m_result = model.result;
  return m_result;
}

void CDialog::EndDialog(int result) {
  portable::DialogModel* model = portable::DialogFromHandle(m_hWnd);
  if (model == nullptr) return;
  model->ended = true;
  model->result = result;
}

CMenu* CDialog::GetSystemMenu(bool revert) {
  portable::DialogModel* model = portable::DialogFromHandle(m_hWnd);
  if (model == nullptr || model->systemMenu.empty()) return nullptr;
  if (revert) {
    model->systemMenu.assign(1, {SC_CLOSE, u"&Close", false});
    return nullptr;
  }
  m_systemMenu.m_hMenu = model;
  return &m_systemMenu;
}

// The model draws no icons; the terminal has none to show.
void CDialog::SetIcon(IconHandle icon, bool bigIcon) {
  (void)icon;
  (void)bigIcon;
}

std::vector<std::u16string> GetDialogListTexts(unsigned templateId, int controlId) {
  const auto dialogTemplate = portable::ProgramResources().Dialog(static_cast<int>(templateId));
  if (!dialogTemplate) return {};
  portable::DialogModel model = portable::BuildDialogModel(*dialogTemplate);
  AppendListData(model, templateId);
  const portable::ControlModel* control = model.Find(controlId);
  if (control == nullptr) return {};
  return control->items;
}
