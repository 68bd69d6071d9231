// CDialog on real modal dialogs, made from the executable's dialog templates.
//
// One static dialog procedure serves every dialog: it stores the object at WM_INITDIALOG and
// routes the few messages the program handles to the object's virtual functions. A handler
// that calls Default(), or a message the object does not take, gets the dialog manager's own
// processing (the procedure returns FALSE).
#include "framework/Dialog.h"

#include <cstring>
#include <string>
#include <vector>

#include "framework/ListData.h"
#include "framework/WinApp.h"
#include "framework/win32/WinInclude.h"

namespace {

std::wstring FromListData(const BYTE* data, DWORD length) {
  // The text is 8-bit and normally carries its terminator within its length.
  DWORD size = 0;
  while (size < length && data[size] != 0) ++size;
  if (size == 0) return {};
  const auto* text = reinterpret_cast<const char*>(data);
  const int wideLength = ::MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(size), nullptr, 0);
  if (wideLength <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(size), wide.data(), wideLength);
  return wide;
}

void AppendListData(HWND dialog, unsigned templateId) {
  HMODULE module = ::GetModuleHandleW(nullptr);
  HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(templateId), MAKEINTRESOURCEW(kListDataType));
  if (found == nullptr) return;
  HGLOBAL loaded = ::LoadResource(module, found);
  const auto* data = static_cast<const BYTE*>(loaded ? ::LockResource(loaded) : nullptr);
  const DWORD size = ::SizeofResource(module, found);
  if (data == nullptr) return;
  // Each read is checked against the resource's size: a damaged record ends the list data.
  DWORD offset = 0;
  while (offset + sizeof(WORD) <= size) {
    WORD control = 0;
    std::memcpy(&control, data + offset, sizeof control);
    if (control == 0) break;
    if (size - offset < 2 * sizeof(WORD) + sizeof(DWORD)) break;
    WORD message = 0;
    DWORD length = 0;
    std::memcpy(&message, data + offset + sizeof(WORD), sizeof message);
    std::memcpy(&length, data + offset + 2 * sizeof(WORD), sizeof length);
    offset += 2 * sizeof(WORD) + sizeof(DWORD);
    if (length > size - offset) break;
    const std::wstring text = FromListData(data + offset, length);
    offset += length;
    if (message == kListDataComboBoxAddString)
      ::SendDlgItemMessageW(dialog, control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    else if (message == kListDataListBoxAddString)
      ::SendDlgItemMessageW(dialog, control, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
}

// The owner of a dialog without a parent: the application's main window (its last active
// popup, so that a dialog opened from a nested dialog sits on top of it), or the active window.
HWND DefaultOwner(const CWnd* parent) {
  if (parent != nullptr && parent->m_hWnd != nullptr) return static_cast<HWND>(parent->m_hWnd);
  const CWinApp* application = AfxGetApp();
  const CWnd* mainWindow = application != nullptr ? application->m_pMainWnd : nullptr;
  HWND main = mainWindow != nullptr ? static_cast<HWND>(mainWindow->m_hWnd) : nullptr;
  if (main != nullptr && ::IsWindow(main)) return ::GetLastActivePopup(main);
  return ::GetActiveWindow();
}

// A dialog made only to read its lists: it fills them as every dialog does, and does nothing else.
INT_PTR CALLBACK ListTextsProcedure(HWND window, UINT message, WPARAM, LPARAM lParam) {
  if (message != WM_INITDIALOG) return FALSE;
  AppendListData(window, static_cast<unsigned>(lParam));
  return FALSE;
}

}  // namespace

// The lists are read from a hidden instance of the dialog, so their order is the real control's.
std::vector<std::u16string> GetDialogListTexts(unsigned templateId, int controlId) {
  std::vector<std::u16string> texts;
  HWND dialog = ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId), nullptr,
                                     &ListTextsProcedure, static_cast<LPARAM>(templateId));
  if (dialog == nullptr) return texts;
  HWND list = ::GetDlgItem(dialog, controlId);
  const LRESULT count = list != nullptr ? ::SendMessageW(list, CB_GETCOUNT, 0, 0) : 0;
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = ::SendMessageW(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
    if (length < 0) break;
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    ::SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    texts.emplace_back(text.begin(), text.end());
  }
  ::DestroyWindow(dialog);
  return texts;
}

struct CDialog::Dispatch {
  static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialog* dialog = nullptr;
    if (message == WM_INITDIALOG) {
      dialog = reinterpret_cast<CDialog*>(lParam);
      ::SetWindowLongPtrW(window, DWLP_USER, lParam);
      dialog->m_hWnd = window;
    } else {
      dialog = reinterpret_cast<CDialog*>(::GetWindowLongPtrW(window, DWLP_USER));
    }
    if (dialog == nullptr) return FALSE;
    // No exception may unwind through the system's code: a handler that fails ends the dialog.
    try {
      return Handle(*dialog, message, wParam, lParam);
    } catch (...) {
      ::EndDialog(window, -1);
      return TRUE;
    }
  }

  static INT_PTR Handle(CDialog& dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
      case WM_INITDIALOG:
        AppendListData(static_cast<HWND>(dialog.m_hWnd), dialog.m_templateId);
        return dialog.OnInitDialog() ? TRUE : FALSE;
      case WM_COMMAND:
        return dialog.OnCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
      case WM_SYSCOMMAND:
        dialog.m_defaultRequested = false;
        dialog.OnSysCommand(static_cast<unsigned>(wParam), lParam);
        return dialog.m_defaultRequested ? FALSE : TRUE;
      case WM_PAINT:
        dialog.m_defaultRequested = false;
        dialog.OnPaint();
        return dialog.m_defaultRequested ? FALSE : TRUE;
      case WM_QUERYDRAGICON:
        // The result goes back to the system as it is: an icon, or FALSE for the default.
        return reinterpret_cast<INT_PTR>(dialog.OnQueryDragIcon());
      case WM_NCDESTROY:
        Detach(dialog);
        return FALSE;
      default:
        return FALSE;
    }
  }

  // The window is going away: no object may keep referring to it or its controls.
  static void Detach(CDialog& dialog) {
    for (CWnd* control : dialog.m_boundControls) control->m_hWnd = nullptr;
    dialog.m_boundControls.clear();
    dialog.m_systemMenu.m_hMenu = nullptr;
    if (dialog.m_hWnd != nullptr) {
      ::SetWindowLongPtrW(static_cast<HWND>(dialog.m_hWnd), DWLP_USER, 0);
      dialog.m_hWnd = nullptr;
    }
  }
};

std::intptr_t CDialog::DoModal() {
  m_result = -1;
  const INT_PTR result =
      ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_templateId),
                        DefaultOwner(m_pParentWnd), &Dispatch::Procedure, reinterpret_cast<LPARAM>(this));
  Dispatch::Detach(*this);
  return result;
}

void CDialog::EndDialog(int result) {
  m_result = result;
  if (m_hWnd != nullptr) ::EndDialog(static_cast<HWND>(m_hWnd), result);
}

CMenu* CDialog::GetSystemMenu(bool revert) {
  if (m_hWnd == nullptr) return nullptr;
  HMENU menu = ::GetSystemMenu(static_cast<HWND>(m_hWnd), revert ? TRUE : FALSE);
  if (menu == nullptr) return nullptr;
  m_systemMenu.m_hMenu = menu;
  return &m_systemMenu;
}

void CDialog::SetIcon(IconHandle icon, bool bigIcon) {
  if (m_hWnd != nullptr)
    ::SendMessageW(static_cast<HWND>(m_hWnd), WM_SETICON, bigIcon ? ICON_BIG : ICON_SMALL,
                   reinterpret_cast<LPARAM>(icon));
}
