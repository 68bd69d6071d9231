// The hand-off string parser on any text: what it derives is always taken from the string.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/AdapterIdentity.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string handOff;
  for (std::size_t i = 0; i + 1 < size; i += 2)
    handOff.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
  const AdapterIdentity identity = ParseAdapterHandOff(handOff);
  const auto endsWith = [](const std::u16string& text, const std::u16string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
  };
  if (handOff.compare(0, identity.deviceName.size(), identity.deviceName) != 0) std::abort();
  if (identity.deviceName.find(u'&') != std::u16string::npos) std::abort();
  if (!endsWith(handOff, identity.deviceKeyPath)) std::abort();
  if (identity.currentDeviceKeyPath.find(u"CurrentControlSet") == std::u16string::npos) std::abort();
  return 0;
}
