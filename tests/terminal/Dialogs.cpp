#include "tests/terminal/Dialogs.h"

#include "framework/Types.h"
#include "framework/portable/Layer.h"
#include "framework/portable/Resources.h"
#include "res/resource.h"

namespace terminal_test {

portable::DialogModel ProgramDialog(int id) {
  const auto dialogTemplate = portable::ProgramResources().Dialog(id);
  if (!dialogTemplate) return {};
  portable::DialogModel model = portable::BuildDialogModel(*dialogTemplate);
  for (const portable::DlgInitEntry& entry : portable::ProgramResources().DlgInit(id))
    if (portable::ControlModel* control = model.Find(entry.controlId);
        control != nullptr && entry.message == 0x0403)
      control->AddString(portable::WidenAnsi(entry.data));
  for (portable::ControlModel& control : model.controls)
    if (control.kind == portable::ControlKind::ComboBox) control.SetCurSel(0);
  if (id == IDD_CONFIGURATOR_DIALOG) {
    model.Find(IDC_STATIC_ADAPTER)->text = u"QEL 700 M720 Dual";
    model.Find(IDC_STATIC_BIOS)->text = u"QEL BIOS 3.07.21";
    model.Find(IDC_STATIC_CHIP)->text = u"QEL 700";
    model.Find(IDC_STATIC_MEMORY)->text = u"64 Meg";
    model.Find(IDC_BUTTON_CHIP)->enabled = true;
    model.systemMenu.push_back({0, u"", true});
    model.systemMenu.push_back({IDM_ABOUTBOX, u"&About Configurator...", false});
  }
  model.FocusFirst();
  return model;
}

portable::DialogModel MessageBox(const std::u16string& text, const std::u16string& caption) {
  portable::DialogModel box;
  box.caption = caption;
  box.isMessageBox = true;
  portable::ControlModel message;
  message.id = 0xFFFF;
  message.kind = portable::ControlKind::Static;
  message.text = text;
  box.controls.push_back(message);
  portable::ControlModel ok;
  ok.id = IDOK;
  ok.kind = portable::ControlKind::DefPushButton;
  ok.style = 0x50010001;
  ok.text = u"OK";
  box.controls.push_back(ok);
  box.systemMenu.push_back({SC_CLOSE, u"&Close", false});
  box.FocusFirst();
  return box;
}

}  // namespace terminal_test
