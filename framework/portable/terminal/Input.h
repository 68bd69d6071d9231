#pragma once
// The keys that a terminal sends as escape sequences, decoded without a terminal: the forms
// that xterm-compatible terminals, the Linux console and VT220s use for arrows, Home/End,
// Page Up/Down and the function keys, with or without Shift, Alt and Ctrl. The front end uses
// them for whatever its terminal description (TERM) does not name; tests feed them directly.
#include <string_view>

#include "framework/portable/terminal/DialogScreen.h"

namespace portable::terminal {

// The key of the bytes that followed an Escape: "[B" (Down), "OB", "[1;3B" (Alt+Down), "[[B"
// (F2 on the Linux console), "[21~" (F10), " " (Alt+Space), or an Escape and one of these (the
// key with Alt, as terminals that prefix Alt with Escape send it). InputKind::None when the sequence
// is no key of the dialogs (it must not be typed either).
InputEvent DecodeEscape(std::string_view afterEscape);

// A key pressed with Alt (sent as Escape and the key): Alt+Up and Alt+Down open (or pick from)
// a drop-down list as on Windows, Alt+Space opens the window menu; InputKind::None for the others.
InputEvent WithAlt(const InputEvent& key);

// The key of an extended key name that ncurses reports from the terminal description, such as
// "kDN3" (Alt+Down) or "kHOM5" (Ctrl+Home); InputKind::None for the others.
InputEvent DecodeKeyName(std::string_view name);

}  // namespace portable::terminal
