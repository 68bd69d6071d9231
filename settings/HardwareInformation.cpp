#include "settings/HardwareInformation.h"

#include <array>
#include <cstdint>
#include <string>

#include "base/ByteOrder.h"
#include "platform/Registry.h"
#include "settings/SettingsKey.h"

namespace {

// Each text holds 256 characters and is read with a limit of 256 bytes, so it is always
// terminated, whatever bytes were stored.
constexpr std::size_t kTextCapacity = 256;
constexpr std::uint32_t kTextByteLimit = 256;
constexpr std::uint32_t kMebibyte = 0x100000;

// Runs one read with its own open and close; false when the key could not be opened.
template <typename Read>
bool WithDeviceKey(const std::u16string& path, Read read) {
  CSettingsKey key;
  if (key.Open(path, platform::kKeyRead) != platform::kSuccess) return false;
  read(key);
  return true;
}

std::u16string ReadText(const std::u16string& path, const char16_t* name) {
  std::u16string text;
  WithDeviceKey(path, [&](CSettingsKey& key) {
    std::array<char16_t, kTextCapacity> buffer{};
    std::uint32_t size = kTextByteLimit;
    // Any type is taken as UTF-16 text; a query that fails leaves the text empty.
    if (key.QueryRaw(name, buffer.data(), size) == platform::kSuccess) text = buffer.data();
  });
  return text;
}

std::u16string ReadMemoryText(const std::u16string& path) {
  std::u16string text;
  WithDeviceKey(path, [&](CSettingsKey& key) {
    std::array<std::uint8_t, 4> bytes{};
    std::uint32_t size = static_cast<std::uint32_t>(bytes.size());
    std::uint32_t number = 0;
    // A shorter value is a little-endian number, zero-extended; one that cannot be read is 0.
    if (key.QueryRaw(u"HardwareInformation.MemorySize", bytes.data(), size) == platform::kSuccess)
      number = base::ReadLittleEndian32(bytes.data());
    const std::string digits = std::to_string(number / kMebibyte);
    text.assign(digits.begin(), digits.end());
    text += u" Meg";
  });
  return text;
}

}  // namespace

HardwareInformation ReadHardwareInformation(const std::u16string& deviceKeyPath) {
  HardwareInformation information;
  information.adapterText = ReadText(deviceKeyPath, u"HardwareInformation.AdapterString");
  information.biosText = ReadText(deviceKeyPath, u"HardwareInformation.BiosString");
  information.chipTypeText = ReadText(deviceKeyPath, u"HardwareInformation.ChipType");
  information.memoryText = ReadMemoryText(deviceKeyPath);
  return information;
}

bool IsSupportedChipType(const std::u16string& chipTypeText) { return chipTypeText == kSupportedChipType; }

int ChipCountFromAdapterText(const std::u16string& adapterText) {
  int count = 1;
  if (adapterText.find(u"M720") != std::u16string::npos || adapterText.find(u"M750") != std::u16string::npos)
    count = 2;
  if (adapterText.find(u"M940") != std::u16string::npos) count = 4;
  return count;
}
