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

static_assert(IDOK == 1 && CB_ERR == -1, "the system's macros are in effect");
