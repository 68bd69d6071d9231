#pragma once
// CDialog: a modal dialog made from a dialog template of the executable's resources.
//
// DoModal creates the dialog from its template; at initialisation the layer appends the list
// data of the dialog (initialisation-data resource, type 240, same id) to the combo boxes, then
// calls OnInitDialog, whose base version runs the first data exchange (load direction).
// Button clicks arrive in OnCommand; the base routes IDOK to OnOK and IDCANCEL to OnCancel.
// Escape and the close box send IDCANCEL; Enter sends the default button's id, or IDOK.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/Controls.h"
#include "framework/Menu.h"
#include "framework/Wnd.h"

class CDialog;

class CDataExchange {
 public:
  CDataExchange(CDialog* dialog, bool saveAndValidate)
      : m_pDlgWnd(dialog), m_bSaveAndValidate(saveAndValidate) {}
  CDialog* m_pDlgWnd;
  bool m_bSaveAndValidate;  // true: controls to members; false: members to controls
};

// Attaches a control object to the dialog's control with that id (once; later calls keep it).
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);

// The entries of a dialog's combo box as the dialog shows them once initialised: its list data,
// in the control's order (sorted when it has the sort style). Empty when the template or the
// control is missing. No window is shown.
std::vector<std::u16string> GetDialogListTexts(unsigned templateId, int controlId);

class CDialog : public CWnd {
 public:
  explicit CDialog(unsigned templateId, CWnd* parent = nullptr);
  ~CDialog() override;

  // Runs the dialog modally; returns the value given to EndDialog, or -1 when it could not be made.
  virtual std::intptr_t DoModal();
  void EndDialog(int result);
  // Runs DoDataExchange in the given direction.
  bool UpdateData(bool saveAndValidate = true);

  // The window's system menu (revert false: the existing one), or null if it has none.
  CMenu* GetSystemMenu(bool revert);
  void SetIcon(IconHandle icon, bool bigIcon);
  unsigned GetTemplateId() const { return m_templateId; }

  // Entry points of the windowing layer; they run the handlers below.
  struct Dispatch;

 protected:
  virtual bool OnInitDialog();
  virtual void DoDataExchange(CDataExchange* pDX);
  virtual void OnOK();
  virtual void OnCancel();
  // A command from a control (id and notification code); returns whether it was handled.
  virtual bool OnCommand(unsigned id, unsigned code);
  // A system-menu command. The base version leaves it to the default processing.
  virtual void OnSysCommand(unsigned id, std::intptr_t param);
  // WM_PAINT. The base version leaves it to the default processing.
  virtual void OnPaint();
  // WM_QUERYDRAGICON; null leaves it to the default processing.
  virtual IconHandle OnQueryDragIcon();
  // Hands the message being processed to the default processing.
  void Default();

 private:
  friend void DDX_Control(CDataExchange* pDX, int id, CWnd& control);
  unsigned m_templateId;
  CWnd* m_pParentWnd;
  std::vector<CWnd*> m_boundControls;  // detached when the window goes away
  CMenu m_systemMenu;
  bool m_defaultRequested = false;
  std::intptr_t m_result = -1;
};
