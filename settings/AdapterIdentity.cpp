#include "settings/AdapterIdentity.h"

#include "base/Text.h"
#include "settings/AdapterKey.h"

namespace {

constexpr std::u16string_view kControlSet = u"ControlSet";
constexpr std::u16string_view kCurrent = u"Current";

// The device key path with its numbered control set (ControlSet001) replaced by CurrentControlSet.
std::u16string CurrentPath(const std::u16string& deviceKeyPath) {
  const std::size_t controlSet = deviceKeyPath.find(kControlSet);
  // A key that already goes through CurrentControlSet (as Wine reports it) is the current path.
  if (controlSet != std::u16string::npos && controlSet >= kCurrent.size() &&
      deviceKeyPath.compare(controlSet - kCurrent.size(), kCurrent.size(), kCurrent) == 0)
    return deviceKeyPath;
  std::u16string current =
      controlSet == std::u16string::npos ? std::u16string() : deviceKeyPath.substr(0, controlSet);
  current += u"CurrentControlSet";
  const std::u16string rest =
      controlSet == std::u16string::npos ? deviceKeyPath : deviceKeyPath.substr(controlSet);
  const std::size_t separator = rest.find(u'\\');
  current += separator == std::u16string::npos ? rest : rest.substr(separator);
  return current;
}

}  // namespace

AdapterIdentity ParseAdapterHandOff(const std::u16string& handOff) {
  AdapterIdentity identity;
  identity.deviceName = handOff.substr(0, handOff.find(u'&'));
  const std::size_t lastAmpersand = handOff.rfind(u'&');
  const std::u16string keyText =
      lastAmpersand == std::u16string::npos ? handOff : handOff.substr(lastAmpersand + 1);
  std::size_t system = keyText.find(u"System");
  if (system == std::u16string::npos) system = keyText.find(u"SYSTEM");
  identity.deviceKeyPath = system == std::u16string::npos ? keyText : keyText.substr(system);
  identity.currentDeviceKeyPath = CurrentPath(identity.deviceKeyPath);
  return identity;
}

bool HandOffNamesAdapterKey(const std::u16string& handOff) {
  const AdapterIdentity identity = ParseAdapterHandOff(handOff);
  const std::size_t lastAmpersand = handOff.rfind(u'&');
  if (lastAmpersand == std::u16string::npos) return false;
  const std::u16string_view keyText = std::u16string_view(handOff).substr(lastAmpersand + 1);
  constexpr std::u16string_view kMachine = u"\\Registry\\Machine\\";
  const std::u16string_view prefix = keyText.substr(0, keyText.size() - identity.deviceKeyPath.size());
  return (prefix.empty() || base::NamesEqual(prefix, kMachine)) &&
         AdapterKeyShapeOf(identity.deviceKeyPath) != AdapterKeyShape::kNone &&
         AdapterKeyShapeOf(identity.currentDeviceKeyPath) != AdapterKeyShape::kNone;
}
