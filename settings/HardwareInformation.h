#pragma once
// The adapter's hardware information, read once from the values its driver keeps in the device
// key, and what the main dialog derives from it.
#include <string>

struct HardwareInformation {
  std::u16string adapterText;   // HardwareInformation.AdapterString
  std::u16string biosText;      // HardwareInformation.BiosString
  std::u16string chipTypeText;  // HardwareInformation.ChipType
  std::u16string memoryText;    // HardwareInformation.MemorySize in mebibytes, e.g. "64 Meg"
};

// Four reads, each with its own open (KEY_READ) and close of the device key through the
// platform registry. A key that cannot be opened leaves every text empty; a value that cannot
// be read leaves its text empty, except the memory text, which then reads "0 Meg".
HardwareInformation ReadHardwareInformation(const std::u16string& deviceKeyPath);

// The chip type of the board's adapters.
inline constexpr char16_t kSupportedChipType[] = u"QEL 700";

// Whether the chip type text names the supported chip exactly.
bool IsSupportedChipType(const std::u16string& chipTypeText);
// 1, 2 or 4, from the model tokens of the adapter text.
int ChipCountFromAdapterText(const std::u16string& adapterText);
