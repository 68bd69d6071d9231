#pragma once
// <windows.h> and <commctrl.h> for the Win32 layer and the Windows-only tests, before or after the
// framework headers: the framework's constants (IDOK, MB_OK, ...) become these macros, with the
// same values, and the A/W macros that share names with framework methods are removed again.
//
// The framework declares its own ::GetSystemMetrics (C++ linkage), which cannot coexist with the
// system's C declaration of the same name; the system's is declared as win32::GetSystemMetrics.
// clang-format off
#define GetSystemMetrics Win32SystemMetricsHiddenDeclaration
#include <windows.h>
#include <commctrl.h>
#undef GetSystemMetrics
// clang-format on

#undef MessageBox
#undef SetWindowText
#undef GetWindowText
#undef AppendMenu
#undef LoadIcon
#undef SendMessage

namespace win32 {
extern "C" __declspec(dllimport) int WINAPI GetSystemMetrics(int index);
}  // namespace win32
