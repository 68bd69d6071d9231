#include "framework/portable/terminal/Text.h"

#include "base/Text.h"
#include "framework/portable/terminal/Canvas.h"

namespace portable::terminal {

std::u16string DisplayText(std::u16string_view text, bool noPrefix) {
  if (noPrefix) return std::u16string(text);
  std::u16string shown;
  shown.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'&' && i + 1 < text.size())
      ++i;
    else if (text[i] == u'&')
      continue;
    shown.push_back(text[i]);
  }
  return shown;
}

char16_t Mnemonic(std::u16string_view text) {
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != u'&') continue;
    if (text[i + 1] == u'&') {
      ++i;
      continue;
    }
    return base::DowncaseUnit(text[i + 1]);
  }
  return 0;
}

char32_t PlainCharacter(char32_t ch) {
  switch (ch) {
    case kHorizontal:
      return U'-';
    case kDoubleHorizontal:
      return U'=';
    case kVertical:
    case kDoubleVertical:
      return U'|';
    case kTopLeft:
    case kTopRight:
    case kBottomLeft:
    case kBottomRight:
    case kDoubleTopLeft:
    case kDoubleTopRight:
    case kDoubleBottomLeft:
    case kDoubleBottomRight:
    case kLeftTee:
    case kRightTee:
      return U'+';
    case kEllipsis:
      return U'~';
    default:
      return ch < 0x80 ? ch : U'?';
  }
}

std::u32string CodePoints(std::u16string_view text) { return base::CodePoints(text); }

int TextWidth(std::u16string_view text) { return static_cast<int>(CodePoints(text).size()); }

std::u16string Shorten(std::u16string_view text, int width) {
  if (TextWidth(text) <= width) return std::u16string(text);
  if (width <= 0) return {};
  std::u16string shown;
  int used = 0;
  for (std::size_t i = 0; i < text.size() && used < width - 1; ++i, ++used) {
    shown.push_back(text[i]);
    // A surrogate pair is one cell: keep it whole.
    if (text[i] >= 0xD800 && text[i] < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000)
      shown.push_back(text[++i]);
  }
  return shown + u"\u2026";
}

std::string ToUtf8(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : text) base::AppendUtf8(out, c);
  return out;
}

std::string ToUtf8(std::u16string_view text) { return base::Utf8FromUtf16(text); }

}  // namespace portable::terminal
