#include "programs/posix/HiveAdapters.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "app/ExitStatus.h"
#include "app/RegistryAdapters.h"
#include "base/Service.h"
#include "base/Text.h"
#include "platform/Registry.h"
#include "programs/posix/Messages.h"
#include "settings/AdapterIdentity.h"
#include "settings/AdapterKey.h"
#include "settings/SettingsKey.h"

namespace {

using base::Utf16FromUtf8;
using base::Utf8FromUtf16;

std::string Counted(std::size_t count, const char* thing) {
  return std::to_string(count) + " " + thing + (count == 1 ? "" : "s");
}

// The board's devices: those whose driver answers as the board's, in enumeration order.
std::vector<platform::SimulatedBoard::Device> BoardDevices(const platform::SimulatedBoard& board) {
  std::vector<platform::SimulatedBoard::Device> devices = board.Listed();
  std::erase_if(devices, [](const platform::SimulatedBoard::Device& device) { return !device.board; });
  return devices;
}

// One line per choice: its number, its key and its adapter text.
std::vector<std::string> ChoiceLines(const std::vector<platform::SimulatedBoard::Device>& devices,
                                     const HiveAdapters& found) {
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < devices.size(); ++i) {
    const std::u16string path = ParseAdapterHandOff(u"&&&" + devices[i].key).deviceKeyPath;
    const auto adapter =
        std::find_if(found.adapters.begin(), found.adapters.end(),
                     [&](const HiveAdapter& a) { return base::NamesEqual(a.deviceKey, devices[i].key); });
    const std::u16string name = adapter != found.adapters.end() ? adapter->information.adapterText
                                                                : ReadHardwareInformation(path).adapterText;
    std::string& line =
        lines.emplace_back("  --adapter " + std::to_string(i + 1) + ": " + Utf8FromUtf16(path));
    if (!name.empty()) line += " (" + Utf8FromUtf16(name) + ")";
  }
  return lines;
}

AdapterChoice Refusal(int status, std::string why, std::vector<std::string> choices = {}) {
  AdapterChoice choice;
  choice.status = status;
  choice.why = std::move(why);
  choice.choices = std::move(choices);
  return choice;
}

}  // namespace

std::vector<std::u16string> HiveAdapters::BoardKeys() const {
  std::vector<std::u16string> keys;
  for (const HiveAdapter& adapter : adapters) {
    if (adapter.board) keys.push_back(adapter.deviceKey);
  }
  return keys;
}

std::string HiveAdapters::NoneFoundText() const {
  const std::string where = Utf8FromUtf16(video) + " or " + Utf8FromUtf16(services) + "\\<service>\\DeviceN";
  if (adapters.empty()) {
    return (videoFound ? "no adapter keys under " + Utf8FromUtf16(video)
                       : "the current control set has no key " + Utf8FromUtf16(video)) +
           ", and no key " + Utf8FromUtf16(services) + "\\<service>\\DeviceN holds hardware information";
  }
  const std::string wanted = Utf8FromUtf16(kSupportedChipType);
  if (std::any_of(adapters.begin(), adapters.end(),
                  [](const HiveAdapter& a) { return IsSupportedChipType(a.information.chipTypeText); }))
    return "the adapter keys with chip type " + wanted + " under " + where +
           " have a '&' in their names, which a hand-off string cannot carry";
  if (adapters.size() == 1) {
    const std::u16string& chipType = adapters.front().information.chipTypeText;
    return "the one adapter key has " +
           (chipType.empty() ? std::string("no chip type")
                             : "chip type \"" + Utf8FromUtf16(chipType) + "\"") +
           ", not " + wanted + " (under " + where + ")";
  }
  return "none of the " + Counted(adapters.size(), "adapter key") + " has chip type " + wanted + " (under " +
         where + ")";
}

HiveAdapters FindHiveAdapters(platform::HiveStore& store) {
  const base::Installed<platform::SetRegistry> registry(store);
  const RegistryAdapters inRegistry = FindRegistryAdapters(store.CurrentControlSet());
  HiveAdapters found;
  found.hive = store.Path();
  found.controlSet = inRegistry.controlSet;
  found.video = inRegistry.video;
  found.services = inRegistry.services;
  found.videoFound = inRegistry.videoFound;
  for (const RegistryAdapter& adapter : inRegistry.adapters) {
    HiveAdapter& added = found.adapters.emplace_back();
    added.path = adapter.path;
    added.deviceKey = u"\\Registry\\Machine\\" + adapter.path;
    added.information = adapter.information;
    // A hand-off string ends its device name at the first '&': a key name holding one could
    // not be named, so such a key is never one of the board's devices.
    added.board =
        IsSupportedChipType(added.information.chipTypeText) && added.path.find(u'&') == std::u16string::npos;
  }
  return found;
}

int ListAdapters(const HiveAdapters& found, const platform::SimulatedBoard& board) {
  const std::vector<platform::SimulatedBoard::Device> devices = BoardDevices(board);
  const std::size_t listed = board.Listed().size();
  std::printf("Display adapters in %s (CurrentControlSet is %s); the board's are numbered for --adapter N:\n",
              found.hive.c_str(), Utf8FromUtf16(found.controlSet).c_str());
  std::size_t others = 0;
  for (const HiveAdapter& adapter : found.adapters) {
    const auto device =
        std::find_if(devices.begin(), devices.end(), [&](const platform::SimulatedBoard::Device& d) {
          return base::NamesEqual(d.key, adapter.deviceKey);
        });
    std::u16string name = board.DeviceNameFor(adapter.deviceKey);
    // An adapter that no device stands for gets a name after the devices', so that a hand-off
    // string never names another adapter's device.
    if (name.empty()) name = u"\\\\.\\DISPLAY" + Utf16FromUtf8(std::to_string(listed + ++others));
    std::string number = "   ";
    if (device != devices.end()) number = "[" + std::to_string(device - devices.begin() + 1) + "]";
    std::printf("\n%s %s\n", number.c_str(), Utf8FromUtf16(adapter.path).c_str());
    const HardwareInformation& information = adapter.information;
    std::printf("    Adapter:   %s\n", Utf8FromUtf16(information.adapterText).c_str());
    std::printf("    BIOS:      %s\n", Utf8FromUtf16(information.biosText).c_str());
    std::printf("    Chip type: %s\n", Utf8FromUtf16(information.chipTypeText).c_str());
    std::printf("    Memory:    %s\n", Utf8FromUtf16(information.memoryText).c_str());
    std::printf("    Hand-off:  %s\n",
                ShellWord(Utf8FromUtf16(name + u"&&&" + u"\\Registry\\Machine\\" + adapter.path)).c_str());
  }
  if (found.adapters.empty()) {
    std::printf("\nNo display adapters (%s).\n", found.NoneFoundText().c_str());
  } else if (devices.empty()) {
    std::printf("\nNo adapter of the board: %s.\n",
                found.BoardKeys().empty() ? found.NoneFoundText().c_str() : "the board file names none");
  } else if (devices.size() == 1) {
    std::printf("\n[1] is the board's adapter: it is used.\n");
  } else {
    std::printf(
        "\n[1] to [%zu] are the board's adapters: the dialogs open [1], --adapter N opens another; the\n"
        "scripting actions (--query, --set, --export, --import) need --adapter N.\n",
        devices.size());
  }
  return sysexits::kOk;
}

AdapterChoice ChooseAdapter(std::optional<int> number, const std::optional<std::string>& handOff,
                            bool scripted, const platform::SimulatedBoard& board, const HiveAdapters& found,
                            bool boardFromHive) {
  AdapterChoice choice;
  if (handOff) {
    if (number) {
      AdapterChoice refused =
          Refusal(sysexits::kUsage, "--adapter and a HAND-OFF both name the adapter; give one");
      refused.badCommandLine = true;
      return refused;
    }
    choice.handOff = handOff;
    return choice;
  }
  const std::vector<platform::SimulatedBoard::Device> devices = BoardDevices(board);
  const std::string none = boardFromHive
                               ? "No Adapter Found in " + found.hive + ": " + found.NoneFoundText()
                               : std::string("No Adapter Found: no display device of the board's driver");
  if (number) {
    if (devices.empty()) return Refusal(sysexits::kUnavailable, none);
    if (*number < 1 || static_cast<std::size_t>(*number) > devices.size()) {
      return Refusal(
          sysexits::kUsage,
          "--adapter " + std::to_string(*number) + ": there " +
              (devices.size() == 1 ? "is 1 adapter" : "are " + Counted(devices.size(), "adapter")) +
              " of the board:",
          ChoiceLines(devices, found));
    }
    const platform::SimulatedBoard::Device& device = devices[static_cast<std::size_t>(*number - 1)];
    choice.handOff = Utf8FromUtf16(device.name + u"&&&" + device.key);
    if (devices.size() > 1)
      choice.note = "Board adapter " + std::to_string(*number) + " of " + std::to_string(devices.size());
    return choice;
  }
  if (devices.size() > 1) {
    if (scripted)
      return Refusal(sysexits::kUsage,
                     found.hive + " has " + std::to_string(devices.size()) +
                         " adapters of the board; choose one with --adapter N:",
                     ChoiceLines(devices, found));
    choice.note = "Board adapter 1 of " + std::to_string(devices.size()) +
                  "; --adapter N opens another (see --list-adapters)";
    return choice;
  }
  if (devices.empty() && boardFromHive) {
    // Said here, where what was looked at is known; the dialogs still show the program's own
    // message and an empty main window.
    if (scripted) return Refusal(sysexits::kUnavailable, none);
    choice.note = "No Adapter Found: " + found.NoneFoundText();
  }
  return choice;
}
