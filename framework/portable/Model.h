#pragma once
// The portable windowing layer's model of a dialog: the controls of a compiled dialog template,
// their state, focus and tab order, and the user's actions on them. A front end (the terminal,
// or a test) draws it and turns input into these actions; the model runs the dialog's handlers.
//
// Everything here is used on the program's UI thread only.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace portable {

enum class ControlKind { PushButton, DefPushButton, CheckBox, GroupBox, Static, Icon, ComboBox, Other };

struct ControlModel {
  int id = -1;
  std::u16string className;  // "Button", "Static", "ComboBox" (as the template names it)
  ControlKind kind = ControlKind::Other;
  std::uint32_t style = 0;
  std::uint32_t exStyle = 0;
  int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
  std::u16string text;
  bool enabled = true;
  bool visible = true;
  int check = 0;                      // check box: BST_CHECKED or BST_UNCHECKED
  std::vector<std::u16string> items;  // combo box entries, in displayed order
  int selection = -1;                 // combo box selected position, -1 for none
  bool sorted = false;                // combo box with the sort style

  // Whether Tab can reach it: visible, enabled, with the tab-stop style.
  bool Focusable() const;
  // Combo box operations, as the Win32 control does them.
  int AddString(const std::u16string& item);  // sorted: case-insensitive, before an equal one
  int SetCurSel(int index);                   // out of range: clears, returns -1
};

struct MenuEntry {
  unsigned id = 0;
  std::u16string text;  // empty for a separator
  bool separator = false;
};

class DialogModel;

// What a dialog model reports to its owner (the dialog object); the layer connects them.
class DialogHandler {
 public:
  virtual ~DialogHandler() = default;
  virtual void OnModelCommand(unsigned id, unsigned code) = 0;
  virtual void OnModelSysCommand(unsigned id) = 0;
};

class DialogModel {
 public:
  std::u16string caption;
  int cx = 0, cy = 0;  // dialog units
  std::uint32_t style = 0;
  std::uint32_t exStyle = 0;
  std::u16string fontName;
  int fontPointSize = 8;
  std::vector<ControlModel> controls;  // template order, which is the tab order
  std::vector<MenuEntry> systemMenu;   // empty when the dialog has no system menu
  int focus = -1;                      // index into controls, -1 for none
  bool isMessageBox = false;
  DialogModel* owner = nullptr;  // the dialog below it in the modal stack
  bool ended = false;
  int result = 0;
  DialogHandler* handler = nullptr;

  ControlModel* Find(int id);
  const ControlModel* Find(int id) const;
  // The default push button's id, or IDOK when there is none.
  int DefaultId() const;

  // The user's actions. Each refuses a control that is missing, hidden or disabled (returns false).
  bool Click(int id);                  // push button: command; check box: toggle, then command
  bool SelectItem(int id, int index);  // a combo box entry chosen from its open list
  bool PressEnter();                   // the focused push button, else the default button
  bool PressEscape();                  // IDCANCEL
  bool SysCommand(unsigned id);        // a system-menu command
  void FocusNext(bool backwards);      // Tab / Shift+Tab among focusable controls
  void FocusFirst();                   // the first focusable control
  bool SetFocus(int id);
};

// The stack of open modal dialogs and message boxes, bottom first.
const std::vector<DialogModel*>& OpenDialogs();

// Drives modal loops: the terminal, or a test's scripted user.
class FrontEnd {
 public:
  virtual ~FrontEnd() = default;
  // Runs until dialog.ended; dialog is the top of OpenDialogs(). Called on the UI thread.
  virtual void RunModal(DialogModel& dialog) = 0;
};

// The default ends every dialog with IDCANCEL. Set returns the front end it replaced, null for the
// default (base/Service.h).
FrontEnd& GetFrontEnd();
FrontEnd* SetFrontEnd(FrontEnd* frontEnd);

}  // namespace portable
