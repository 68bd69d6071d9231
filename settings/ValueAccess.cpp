#include "settings/ValueAccess.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "base/ByteOrder.h"
#include "framework/Wnd.h"
#include "settings/SettingsKey.h"

namespace {
// The text buffer of a number, terminator included: texts of up to 63 characters are read.
constexpr std::uint32_t kNumberTextCapacity = 64;

bool IsSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
}  // namespace

std::int32_t ParseDecimal(const char16_t* text) {
  if (text == nullptr) return 0;
  while (IsSpace(*text)) ++text;
  bool negative = false;
  if (*text == u'+' || *text == u'-') negative = *text++ == u'-';
  // Accumulated as a magnitude that stops growing once past the 32-bit range, so any number of
  // digits saturates instead of overflowing.
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  std::int64_t magnitude = 0;
  for (; IsDigit(*text); ++text) {
    magnitude = magnitude * 10 + (*text - u'0');
    if (magnitude > kLimit) magnitude = kLimit;
  }
  if (negative) return static_cast<std::int32_t>(-magnitude);
  return static_cast<std::int32_t>(std::min<std::int64_t>(magnitude, kLimit - 1));
}

bool ReadNumber(const std::u16string& keyPath, const std::u16string& name, std::int32_t& value) {
  CSettingsKey key;
  if (key.Open(keyPath, platform::kKeyRead) != platform::kSuccess) return false;
  char16_t text[kNumberTextCapacity] = {};
  std::uint32_t count = kNumberTextCapacity;
  const bool read = key.QueryString(name, text, count) == platform::kSuccess;
  if (read) value = ParseDecimal(text);
  key.Close();
  return read;
}

bool ReadRaw(CSettingsKey& key, const std::u16string& keyPath, const std::u16string& name,
             std::uint32_t& value) {
  if (key.Open(keyPath, platform::kKeyRead) != platform::kSuccess) return false;
  std::uint8_t bytes[4] = {};
  std::uint32_t size = sizeof bytes;
  const bool read = key.QueryRaw(name, bytes, size) == platform::kSuccess;
  key.Close();
  if (!read) return false;
  value = base::ReadLittleEndian32(bytes);
  return true;
}

void WriteNumber(const std::u16string& keyPath, const std::u16string& name, std::int32_t value) {
  CSettingsKey key;
  if (key.Open(keyPath, platform::kKeyWrite) != platform::kSuccess) return;
  key.SetNumber(name, value);
  key.Close();
}

bool ProbeWriteAccess(CWnd* owner, const std::u16string& keyPath) {
  CSettingsKey key;
  if (key.Open(keyPath, platform::kKeyWrite) == platform::kSuccess) {
    key.Close();
    return true;
  }
  const std::u16string text = u"Execute using Administrator Account";
  // "Insufficent Access Writes" is the message's own wording, kept as its users know it.
  const std::u16string caption = u"Insufficent Access Writes";
  if (owner != nullptr)
    owner->MessageBox(text, caption, MB_OK);
  else
    ShowMessageBox(nullptr, text, caption, MB_OK);
  return false;
}
