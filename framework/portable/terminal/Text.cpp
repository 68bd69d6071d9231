#include "framework/portable/terminal/Text.h"

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
    const char16_t c = text[i + 1];
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c;
  }
  return 0;
}

std::u32string CodePoints(std::u16string_view text) {
  std::u32string points;
  points.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      points.push_back(0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      points.push_back(0xFFFD);  // a lone surrogate
    } else {
      points.push_back(c);
    }
  }
  return points;
}

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
  for (char32_t c : text) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::string ToUtf8(std::u16string_view text) { return ToUtf8(CodePoints(text)); }

}  // namespace portable::terminal
