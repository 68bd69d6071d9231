#include "settings/SettingsKey.h"

#include <algorithm>
#include <charconv>
#include <utility>

#include "base/ByteOrder.h"
#include "base/Text.h"

namespace {
// The text buffer of a number, terminator included.
constexpr std::size_t kNumberTextCapacity = 64;
}  // namespace

long CSettingsKey::Open(const std::u16string& path, std::uint32_t access) {
  // Opened into a key of its own, so that a failed Open leaves the key held before in place; on
  // success the old key goes with that owner.
  platform::KeyOwner opened;
  const long status = platform::OpenKey(platform::GetRegistry(), path, access, &opened);
  if (status == platform::kSuccess) std::swap(m_key, opened);
  return status;
}

long CSettingsKey::Close() { return m_key.Close(); }

long CSettingsKey::QueryString(const std::u16string& name, char16_t* buffer, std::uint32_t& count) {
  // Capacity in bytes; a count beyond what 32 bits of bytes can say is capped, never wrapped.
  const std::uint32_t capacity =
      static_cast<std::uint32_t>(std::min<std::uint64_t>(std::uint64_t{count} * 2, 0xFFFFFFFEu));
  std::uint32_t bytes = capacity;
  count = 0;
  std::uint32_t type = platform::kRegNone;
  const long status = platform::GetRegistry().Query(m_key.Get(), name, &type,
                                                    reinterpret_cast<std::uint8_t*>(buffer), &bytes);
  if (status != platform::kSuccess) return status;
  if (type != platform::kRegSz && type != platform::kRegExpandSz) return platform::kInvalidData;
  if (buffer != nullptr) {
    if (bytes == 0) {
      // A value of no bytes is the empty text; a buffer of no capacity cannot even hold that.
      if (capacity > 0) buffer[0] = u'\0';
    } else {
      if (bytes % 2 != 0) return platform::kInvalidData;
      if (buffer[bytes / 2 - 1] != u'\0') return platform::kInvalidData;
    }
  }
  count = bytes / 2;
  return platform::kSuccess;
}

long CSettingsKey::QueryRaw(const std::u16string& name, void* buffer, std::uint32_t& size) {
  const long status =
      platform::GetRegistry().Query(m_key.Get(), name, nullptr, static_cast<std::uint8_t*>(buffer), &size);
  if (status != platform::kSuccess) size = 0;
  return status;
}

std::vector<std::uint8_t> NumberTextBytes(std::int32_t value) {
  char digits[kNumberTextCapacity] = {};
  const auto result = std::to_chars(digits, digits + kNumberTextCapacity - 1, value);
  return base::Utf16Bytes(std::u16string(digits, result.ptr));
}

void CSettingsKey::SetNumber(const std::u16string& name, std::int32_t value) {
  const std::vector<std::uint8_t> bytes = NumberTextBytes(value);
  platform::GetRegistry().Set(m_key.Get(), name, platform::kRegSz, bytes.data(),
                              static_cast<std::uint32_t>(bytes.size()));
}

void CSettingsKey::SetBinary(const std::u16string& name, std::uint32_t value) {
  const auto bytes = base::LittleEndian32(value);
  platform::GetRegistry().Set(m_key.Get(), name, platform::kRegBinary, bytes.data(),
                              static_cast<std::uint32_t>(bytes.size()));
}

void CSettingsKey::DeleteValue(const std::u16string& name) {
  platform::GetRegistry().Delete(m_key.Get(), name);
}
