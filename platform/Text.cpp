#include "platform/Text.h"

namespace platform {

std::string Utf8FromUtf16(std::u16string_view text, bool* ok) {
  std::string out;
  out.reserve(text.size());
  if (ok) *ok = true;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
      if (ok) *ok = false;
    }
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

std::u16string Utf16FromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int extra = 0;
    char32_t c = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
      c = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1, c = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2, c = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3, c = lead & 0x07, minimum = 0x10000;
    } else {
      out.push_back(u'\uFFFD');
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    bool valid = true;
    for (int k = 0; k < extra; ++k, ++j) {
      if (j >= text.size() || (static_cast<unsigned char>(text[j]) & 0xC0) != 0x80) {
        valid = false;
        break;
      }
      c = (c << 6) | (static_cast<unsigned char>(text[j]) & 0x3F);
    }
    if (!valid || c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      out.push_back(u'\uFFFD');
      i = valid ? j : i + 1;
      continue;
    }
    if (c >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(c));
    }
    i = j;
  }
  return out;
}

char16_t UpcaseUnit(char16_t unit) {
  if (unit >= u'a' && unit <= u'z') return static_cast<char16_t>(unit - 0x20);
  if (unit < 0xE0) return unit;
  if (unit <= 0xFE && unit != 0xF7) return static_cast<char16_t>(unit - 0x20);
  if (unit == 0xFF) return 0x178;
  if (unit >= 0x3B1 && unit <= 0x3CB && unit != 0x3C2) return static_cast<char16_t>(unit - 0x20);
  if (unit >= 0x430 && unit <= 0x44F) return static_cast<char16_t>(unit - 0x20);
  if (unit >= 0x450 && unit <= 0x45F) return static_cast<char16_t>(unit - 0x50);
  return unit;
}

bool NamesEqual(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && UpcaseUnit(a[i]) != UpcaseUnit(b[i])) return false;
  }
  return true;
}

std::u16string TextFromUtf16Bytes(const unsigned char* data, std::size_t size) {
  std::u16string text;
  for (std::size_t at = 0; at + 1 < size; at += 2) {
    const auto unit = static_cast<char16_t>(data[at] | data[at + 1] << 8);
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}

}  // namespace platform
