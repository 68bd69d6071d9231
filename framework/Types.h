#pragma once
// Vocabulary shared by the program and both windowing layers: handle types and the few
// numeric constants of the dialog framework, with their Win32 values.
//
// Win32 layer sources must include framework headers before <windows.h> (see
// framework/win32/WinInclude.h): these names are macros there.
#include <cstdint>
#include <string>

// A window: an HWND on the Win32 layer, a window of the control model on the portable layer.
using WindowHandle = void*;
// An icon: an HICON on the Win32 layer, the icon's resource id on the portable layer.
using IconHandle = void*;
// A device context for painting: an HDC on the Win32 layer, unused on the portable layer.
using PaintContext = void*;

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

inline constexpr std::uint32_t ICC_WIN95_CLASSES = 0x000000FF;
