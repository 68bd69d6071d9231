#pragma once
// A dialog's list data: a resource of type 240 with the dialog's id, holding records of control id
// (u16), message (u16), data length (u32) and data, ended by a zero control id. The messages are
// the 16-bit numbers the resource compiler writes, not the Win32 ones: each windowing layer turns
// them into its own add-string call.
#include <cstdint>

inline constexpr std::uint16_t kListDataType = 240;
inline constexpr std::uint16_t kListDataListBoxAddString = 0x0401;
inline constexpr std::uint16_t kListDataComboBoxAddString = 0x0403;
