// <windows.h> before the framework's headers: its macros stand for the framework's constants, the
// framework's own declarations of them step aside, and its methods keep their names.
// clang-format off
#include "framework/win32/WinInclude.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/Menu.h"
#include "framework/WinApp.h"
#include "framework/Wnd.h"
// clang-format on

// The names are still the system's macros, not the framework's declarations.
#if !defined(IDOK) || !defined(CB_ERR) || !defined(ICC_WIN95_CLASSES) || !defined(WM_ICONERASEBKGND)
#error "a framework header undefined one of the system's macros"
#endif
