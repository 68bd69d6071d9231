#include "app/AdapterDiscovery.h"

#include <algorithm>

#include "framework/Wnd.h"
#include "platform/DisplayDevices.h"

AdapterTable g_adapterTable;

namespace {

constexpr std::uint8_t kEscapeInput[4] = {0xFC, 0x3D, 0x01, 0x00};
constexpr char kSignature[] = "ORLO was here";  // and its zero byte: 14 bytes compared

// A bounded copy: at most capacity - 1 characters, always terminated.
void CopyBounded(char16_t* target, std::size_t capacity, const std::u16string& source) {
  const std::size_t length = std::min(source.size(), capacity - 1);
  std::copy_n(source.begin(), length, target);
  std::fill(target + length, target + capacity, u'\0');
}

}  // namespace

bool MatchesSignature(std::span<const std::uint8_t, 28> reply) {
  for (std::size_t i = 0; i < sizeof kSignature; ++i)
    if (reply[i] != static_cast<std::uint8_t>(kSignature[i])) return false;
  return true;
}

bool DiscoverAdapter(AdapterTable& table, std::u16string& handOff, bool showMessage) {
  platform::DisplayDevices& devices = platform::GetDisplayDevices();
  table.count = 0;
  platform::DisplayDevice device;
  for (std::uint32_t index = 0; table.count == 0 && devices.Enumerate(index, &device); ++index) {
    const platform::ContextOwner context(devices, devices.CreateContext(device.name));
    if (!context.Valid()) continue;
    std::uint8_t reply[28] = {};
    const bool matched = devices.Escape(context.Get(), platform::kQueryEscSupport, sizeof kEscapeInput,
                                        kEscapeInput, 0, nullptr) != 0 &&
                         devices.Escape(context.Get(), kIdentificationEscape, sizeof kEscapeInput,
                                        kEscapeInput, sizeof reply, reply) != 0 &&
                         MatchesSignature(reply);
    if (matched) {
      CopyBounded(table.deviceNames[table.count], AdapterTable::kNameCapacity - 1, device.name);
      CopyBounded(table.deviceKeys[table.count], AdapterTable::kKeyCapacity, device.key);
      handOff += device.name;
      handOff += u"&&&";
      handOff += device.key;
      ++table.count;
    }
  }
  if (table.count == 0 && showMessage) ShowMessageBox(nullptr, u"No Adapter Found", u"Fatal Error", MB_OK);
  return table.count != 0;
}
