#include "app/RegistryAdapters.h"

#include <algorithm>
#include <optional>

#include "app/ExitStatus.h"
#include "app/TuningApply.h"
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

std::vector<const RegistryAdapter*> BoardAdapters(const RegistryAdapters& found) {
  std::vector<const RegistryAdapter*> board;
  for (const RegistryAdapter& adapter : found.adapters)
    if (IsSupportedChipType(adapter.information.chipTypeText) &&
        adapter.path.find(u'&') == std::u16string::npos)
      board.push_back(&adapter);
  return board;
}

namespace {

std::u16string AdapterLine(const RegistryAdapter& adapter) {
  std::u16string line = adapter.path;
  if (!adapter.information.adapterText.empty()) line += u" (" + adapter.information.adapterText + u")";
  return line;
}

std::u16string NumberedText(const std::vector<const RegistryAdapter*>& board) {
  std::u16string text;
  for (std::size_t i = 0; i < board.size(); ++i)
    text += u"  /adapter:" + base::DecimalText(static_cast<std::int64_t>(i + 1)) + u"  " +
            AdapterLine(*board[i]) + u"\n";
  return text;
}

}  // namespace

std::u16string RegistryAdaptersText(const RegistryAdapters& found) {
  const std::vector<const RegistryAdapter*> board = BoardAdapters(found);
  std::u16string text = u"Display adapters in the registry (CurrentControlSet is " + found.controlSet +
                        u"); the board's are numbered for /adapter:N:\n";
  for (const RegistryAdapter& adapter : found.adapters) {
    const auto number = std::find(board.begin(), board.end(), &adapter);
    if (number != board.end()) {
      text += u"[" + base::DecimalText(number - board.begin() + 1) + u"] " + AdapterLine(adapter) + u"\n";
      continue;
    }
    const std::u16string& chipType = adapter.information.chipTypeText;
    text += u"    " + AdapterLine(adapter) + u": " +
            (chipType.empty() ? std::u16string(u"no chip type") : u"chip type \"" + chipType + u"\"") +
            u", not the board's\n";
  }
  if (found.adapters.empty())
    text += u"none: no key " + found.video + u"\\{GUID}\\NNNN, and no key " + found.services +
            u"\\<service>\\DeviceN that holds hardware information\n";
  return text;
}

Outcome ChooseRegistryAdapter(const RegistryAdapters& found, std::optional<int> number,
                              std::u16string* handOff) {
  const std::vector<const RegistryAdapter*> board = BoardAdapters(found);
  handOff->clear();
  if (board.empty()) return {};  // "No Adapter Found", said where the hand-off is used
  if (!number && board.size() > 1) {
    return {sysexits::kUsage, u"no display device answers as the board's, and the registry holds " +
                                  base::DecimalText(static_cast<std::int64_t>(board.size())) +
                                  u" adapters of the board; choose one with /adapter:N:\n" +
                                  NumberedText(board)};
  }
  const int chosen = number.value_or(1);
  if (chosen < 1 || static_cast<std::size_t>(chosen) > board.size()) {
    return {sysexits::kUsage, u"/adapter:" + base::DecimalText(chosen) + u": the registry holds " +
                                  base::DecimalText(static_cast<std::int64_t>(board.size())) + u" adapter" +
                                  (board.size() == 1 ? u"" : u"s") + u" of the board:\n" +
                                  NumberedText(board)};
  }
  *handOff = u"&&&\\Registry\\Machine\\" + board[static_cast<std::size_t>(chosen - 1)]->path;
  return {};
}
