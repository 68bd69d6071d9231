#pragma once
// Vocabulary shared by the program and both windowing layers: handle types and the few
// numeric constants of the dialog framework, with their Win32 values.
//
// The constants keep the system's names, which <windows.h> defines as macros. Each one is
// declared only where that header has not defined it already, so the Win32 layer may include
// this before or after <windows.h>: after it, the macro stands for the constant, with the same
// value (tests/win32/ConstantsTest.cpp checks both orders).
#include <cstdint>
#include <string>

// A window: an HWND on the Win32 layer, a window of the control model on the portable layer.
using WindowHandle = void*;
// An icon: an HICON on the Win32 layer, the icon's resource id on the portable layer.
using IconHandle = void*;
// A device context for painting: an HDC on the Win32 layer, unused on the portable layer.
using PaintContext = void*;

#ifndef IDOK
inline constexpr int IDOK = 1;
#endif
#ifndef IDCANCEL
inline constexpr int IDCANCEL = 2;
#endif

#ifndef MB_OK
inline constexpr unsigned MB_OK = 0x0000;
#endif

#ifndef BN_CLICKED
inline constexpr unsigned BN_CLICKED = 0;
#endif

#ifndef BST_UNCHECKED
inline constexpr int BST_UNCHECKED = 0;
#endif
#ifndef BST_CHECKED
inline constexpr int BST_CHECKED = 1;
#endif

#ifndef CB_ERR
inline constexpr int CB_ERR = -1;
#endif

#ifndef MF_STRING
inline constexpr unsigned MF_STRING = 0x0000;
#endif
#ifndef MF_SEPARATOR
inline constexpr unsigned MF_SEPARATOR = 0x0800;
#endif

#ifndef SC_CLOSE
inline constexpr unsigned SC_CLOSE = 0xF060;
#endif

#ifndef SM_CXICON
inline constexpr int SM_CXICON = 11;
#endif
#ifndef SM_CYICON
inline constexpr int SM_CYICON = 12;
#endif

#ifndef ICC_WIN95_CLASSES
inline constexpr std::uint32_t ICC_WIN95_CLASSES = 0x000000FF;
#endif
