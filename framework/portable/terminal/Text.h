#pragma once
// Text helpers of the terminal front end: what a control's text looks like on screen (mnemonic
// markers removed), its width in cells, and UTF-8 for the terminal and the text captures.
#include <string>
#include <string_view>

namespace portable::terminal {

// The text as shown: "&" marks the next character as the mnemonic and is dropped ("&&" shows
// one "&"), unless noPrefix (SS_NOPREFIX) says the text is shown as it stands.
std::u16string DisplayText(std::u16string_view text, bool noPrefix = false);
// The mnemonic character of a text ("&About" gives 'a', lower case), or 0 when it has none.
char16_t Mnemonic(std::u16string_view text);
// Code points of the text, one cell each (surrogate pairs count once).
int TextWidth(std::u16string_view text);
// The text whole when it fits in width cells, else its start and an ellipsis ("…") in width cells.
std::u16string Shorten(std::u16string_view text, int width);
// The character as a terminal that shows ASCII alone draws it (no UTF-8 locale: LANG unset, the C
// locale): frames' lines and corners as '-', '=', '|' and '+', the ellipsis as '~', any other
// character past ASCII as '?'.
char32_t PlainCharacter(char32_t ch);
// The text split into code points.
std::u32string CodePoints(std::u16string_view text);
std::string ToUtf8(std::u32string_view text);
std::string ToUtf8(std::u16string_view text);

}  // namespace portable::terminal
