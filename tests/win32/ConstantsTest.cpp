// The framework's constants against <windows.h>: the same values, and either include order
// compiles (this file includes the framework first, ConstantsAfterWindows.cpp the system first).
#include <cstddef>
#include <iterator>

#include "framework/Types.h"
#include "framework/Wnd.h"

namespace {

// The framework's values, read before <windows.h> turns the names into macros.
constexpr long long kFramework[] = {
    IDOK,      IDCANCEL,     MB_OK,    BN_CLICKED, BST_UNCHECKED, BST_CHECKED,       CB_ERR,
    MF_STRING, MF_SEPARATOR, SC_CLOSE, SM_CXICON,  SM_CYICON,     ICC_WIN95_CLASSES, WM_ICONERASEBKGND,
};

}  // namespace

#include "framework/win32/WinInclude.h"

namespace {

constexpr long long kSystem[] = {
    IDOK,      IDCANCEL,     MB_OK,    BN_CLICKED, BST_UNCHECKED, BST_CHECKED,       CB_ERR,
    MF_STRING, MF_SEPARATOR, SC_CLOSE, SM_CXICON,  SM_CYICON,     ICC_WIN95_CLASSES, WM_ICONERASEBKGND,
};
static_assert(std::size(kFramework) == std::size(kSystem));

constexpr bool SameValues() {
  for (std::size_t i = 0; i < std::size(kSystem); ++i) {
    if (kFramework[i] != kSystem[i]) return false;
  }
  return true;
}
static_assert(SameValues(), "a framework constant differs from the system's");

}  // namespace
