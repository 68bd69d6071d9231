#pragma once
// Inside the portable windowing layer: the modal stack and what a window handle means here.
//
// A WindowHandle on this layer is the address of a DialogModel (a dialog or message box) or of
// a ControlModel inside one. A handle is resolved only against the dialogs that are open
// (OpenDialogs()), so a handle of a window that has gone away resolves to nothing, never to
// freed memory. A menu handle (CMenu::m_hMenu) is the DialogModel whose system menu it is.
#include <string>
#include <string_view>

#include "framework/Types.h"
#include "framework/portable/Model.h"
#include "framework/portable/Resources.h"

namespace portable {

void PushDialog(DialogModel* dialog);
void PopDialog(DialogModel* dialog);

// The open dialog with this handle, or null.
DialogModel* DialogFromHandle(const void* handle);
// The control of an open dialog with this handle, or null; dialog receives its dialog.
ControlModel* ControlFromHandle(const void* handle, DialogModel** dialog = nullptr);
// The dialog of a dialog or control handle, or null.
DialogModel* DialogOfHandle(const void* handle);

// A dialog's model made from its template: controls, kinds, states, system menu.
DialogModel BuildDialogModel(const DialogTemplate& dialogTemplate);
// 8-bit text of the resources (Windows code page 1252) as UTF-16.
std::u16string WidenAnsi(std::string_view text);

// Pushes the dialog on the stack over the current top, runs the front end's modal loop unless
// it has already ended, pops it and returns its result.
int RunModalDialog(DialogModel& dialog);

}  // namespace portable
