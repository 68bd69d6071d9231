#pragma once
// Vocabulary shared by the program and both windowing layers: handle types and the few
// numeric constants of the dialog framework, with their Win32 values.
//
// The constants keep the system's names, which <windows.h> and <commctrl.h> define as macros.
// They are declared only where those headers have not been included, so the Win32 layer may
// include this before or after them: after them, the macros stand for the constants, with the
// same values (tests/win32/ConstantsTest.cpp checks the values and both orders).
#include <cstdint>
#include <string>

// A window: an HWND on the Win32 layer, a window of the control model on the portable layer.
using WindowHandle = void*;
// An icon: an HICON on the Win32 layer, the icon's resource id on the portable layer.
using IconHandle = void*;
// A device context for painting: an HDC on the Win32 layer, unused on the portable layer.
using PaintContext = void*;

// <windows.h> defines all of these, so one of them tells whether it has been included.
#ifndef IDOK
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr unsigned MB_OK = 0x0000;
inline constexpr unsigned BN_CLICKED = 0;
inline constexpr int BST_UNCHECKED = 0;
inline constexpr int BST_CHECKED = 1;
inline constexpr int CB_ERR = -1;
inline constexpr unsigned MF_STRING = 0x0000;
inline constexpr unsigned MF_SEPARATOR = 0x0800;
inline constexpr unsigned SC_CLOSE = 0xF060;
inline constexpr int SM_CXICON = 11;
inline constexpr int SM_CYICON = 12;
#endif

// <commctrl.h>'s.
#ifndef ICC_WIN95_CLASSES
inline constexpr std::uint32_t ICC_WIN95_CLASSES = 0x000000FF;
#endif
