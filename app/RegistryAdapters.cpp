#include "app/RegistryAdapters.h"

#include <algorithm>
#include <optional>

#include "app/TuningCommands.h"
#include "base/ByteOrder.h"
#include "base/Text.h"
#include "platform/Registry.h"
#include "settings/AdapterKey.h"
#include "settings/SettingsKey.h"

namespace {

std::vector<std::u16string> Subkeys(const std::u16string& path) {
  std::vector<std::u16string> names;
  CSettingsKey key;
  if (key.Open(path, platform::kKeyRead) == platform::kSuccess)
    platform::GetRegistry().Subkeys(key.GetHandle(), &names);
  return names;
}

// Key names as the registry compares them: without regard to case.
std::u16string Folded(const std::u16string& name) {
  std::u16string folded = name;
  for (char16_t& unit : folded) unit = base::UpcaseUnit(unit);
  return folded;
}

std::vector<std::u16string> Sorted(std::vector<std::u16string> names) {
  std::stable_sort(names.begin(), names.end(),
                   [](const std::u16string& a, const std::u16string& b) { return Folded(a) < Folded(b); });
  return names;
}

// A text value of a key, or empty when it cannot be read.
std::u16string TextValue(const std::u16string& path, const std::u16string& name) {
  CSettingsKey key;
  char16_t text[260] = {};
  std::uint32_t count = 260;
  if (key.Open(path, platform::kKeyRead) != platform::kSuccess ||
      key.QueryString(name, text, count) != platform::kSuccess)
    return {};
  return text;
}

}  // namespace

std::u16string CurrentControlSetName() {
  const std::optional<RegData> select = StoredData(u"System\\Select", u"Current");
  if (!select || select->type != platform::kRegDword || select->bytes.size() != 4)
    return u"CurrentControlSet";
  const std::uint32_t current = base::ReadLittleEndian32(select->bytes.data());
  if (current == 0 || current > 999) return u"CurrentControlSet";
  return u"ControlSet" + base::DecimalText(1000 + current).substr(1);
}

RegistryAdapters FindRegistryAdapters(const std::u16string& controlSet) {
  RegistryAdapters found;
  found.controlSet = controlSet;
  found.video = u"System\\" + controlSet + u"\\Control\\Video";
  found.services = u"System\\" + controlSet + u"\\Services";
  {
    CSettingsKey video;
    found.videoFound = video.Open(found.video, platform::kKeyRead) == platform::kSuccess;
  }
  std::vector<std::u16string> videoServices;  // the services that Video keys name, folded
  for (const std::u16string& guid : Sorted(Subkeys(found.video))) {
    if (!IsGuidName(guid)) continue;  // Windows names each adapter's class of keys by a GUID
    const std::u16string guidPath = found.video + u"\\" + guid;
    if (const std::u16string service = TextValue(guidPath + u"\\Video", u"Service"); !service.empty())
      videoServices.push_back(Folded(service));
    for (const std::u16string& index : Sorted(Subkeys(guidPath)))
      if (IsVideoAdapterName(index))
        found.adapters.push_back(
            {guidPath + u"\\" + index, ReadHardwareInformation(guidPath + u"\\" + index)});
  }
  for (const std::u16string& service : Sorted(Subkeys(found.services))) {
    if (std::find(videoServices.begin(), videoServices.end(), Folded(service)) != videoServices.end())
      continue;
    const std::u16string servicePath = found.services + u"\\" + service;
    std::vector<std::u16string> devices = Subkeys(servicePath);
    std::erase_if(devices, [](const std::u16string& name) { return !IsServiceDeviceName(name); });
    // By number: Device2 before Device10.
    std::stable_sort(devices.begin(), devices.end(), [](const std::u16string& a, const std::u16string& b) {
      return a.size() != b.size() ? a.size() < b.size() : Folded(a) < Folded(b);
    });
    for (const std::u16string& device : devices) {
      const HardwareInformation information = ReadHardwareInformation(servicePath + u"\\" + device);
      if (information.adapterText.empty() && information.biosText.empty() && information.chipTypeText.empty())
        continue;  // another kind of driver's device, or a display device that says nothing of itself
      found.adapters.push_back({servicePath + u"\\" + device, information});
    }
  }
  return found;
}
