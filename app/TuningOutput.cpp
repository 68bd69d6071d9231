#include "app/TuningOutput.h"

#include "app/RegFile.h"
#include "app/TuningApply.h"
#include "base/Text.h"
#include "platform/DriverSettingsKey.h"
#include "platform/Files.h"
#include "platform/Registry.h"

namespace {

constexpr std::u16string_view kMachineRoot = u"HKEY_LOCAL_MACHINE\\";

using base::DecimalText;
using base::JoinedText;

}  // namespace

std::u16string QueryText(const RunAdapter& adapter) {
  std::u16string output;
  for (const TuningSetting& setting : adapter.settings) {
    const StoredNumbers stored = setting.Read(adapter.keyPath);
    const int entry = setting.EntryFor(stored);
    output += std::u16string(setting.Name()) + u"=";
    if (entry >= 0) {
      output += setting.Texts()[static_cast<std::size_t>(entry)];
    } else if (setting.ValueNames().size() == 1) {
      output += u"(stored " + DecimalText(stored[0].value_or(0)) + u")";
    } else {
      output += u"(stored";
      for (std::size_t v = 0; v < setting.ValueNames().size(); ++v)
        output += u" " + std::u16string(setting.ValueNames()[v]) + u"=" +
                  (stored[v] ? DecimalText(*stored[v]) : u"-");
      output += u")";
    }
    output += u"\n";
  }
  const HardwareInformation& information = adapter.information;
  output += u"# Adapter: " + information.adapterText + u"\n# BIOS: " + information.biosText +
            u"\n# Chip type: " + information.chipTypeText + u"\n# Memory: " + information.memoryText +
            u"\n# Key: " + adapter.keyPath + u"\n";
  return output;
}

void Export(const RunAdapter& adapter, const std::u16string& path, std::u16string* output,
            RunReport* report) {
  // The registry editor's own spelling of the hive's root key.
  std::u16string adapterKey = std::u16string(kMachineRoot) + adapter.keyPath;
  if (base::NamesEqual(std::u16string_view(adapterKey).substr(kMachineRoot.size(), 7), u"System\\"))
    adapterKey.replace(kMachineRoot.size(), 6, u"SYSTEM");
  std::vector<RegFileKey> keys = {{0, adapterKey, false, {}},
                                  {0, platform::DriverSettingsKeyPath(adapterKey), false, {}}};
  for (const TuningSetting& setting : adapter.settings) {
    RegFileKey& key = keys[setting.WhichKey() == TuningKey::kCurrentDeviceKey ? 0 : 1];
    for (std::u16string_view name : setting.ValueNames())
      key.values.push_back({0, std::u16string(name), StoredData(setting.KeyPath(adapter.keyPath), name)});
  }
  if (path == kStandardStream) {
    *output += FormatRegText(keys);
    return;
  }
  std::u16string why;
  bool created = false;
  if (platform::WriteWholeFile(path, FormatRegFile(keys), &why, &created) == platform::kSuccess) return;
  if (created)
    report->Error(sysexits::kIoError,
                  path + u": the export was not written whole, nothing was replaced: " + why);
  else
    report->Error(sysexits::kCantCreate, path + u": cannot create the file: " + why);
}

std::u16string TuningCommandsHelp(bool windowsSwitches) {
  const std::u16string query = windowsSwitches ? u"/query" : u"--query";
  const std::u16string set = windowsSwitches ? u"/set:NAME=VALUE" : u"--set NAME=VALUE";
  const std::u16string exportFile = windowsSwitches ? u"/export:FILE" : u"--export FILE";
  const std::u16string importFile = windowsSwitches ? u"/import:FILE" : u"--import FILE";
  const std::u16string noRefresh = windowsSwitches ? u"/norefresh" : u"--no-refresh";
  const std::u16string reset = windowsSwitches ? u"/reset[:NAME]" : u"--reset [NAME]";
  std::u16string help =
      u"Scripting (any of these runs without the dialogs):\n"
      u"  " +
      query +
      u"\n      print every setting as NAME=VALUE, then the hardware information as # lines\n"
      u"  " +
      set +
      u"\n      change a setting (repeatable), as the dialog's OK does; VALUE is a list text as\n"
      u"      the dialog shows it, in any case (LODBias=0.50, \"VSync=Vsync Off\", TripleBuffer=on),\n"
      u"      or its corrected spelling: \"2 Sample Anti-Aliasing\" for the one-chip list's\n"
      u"      \"2 Sample Anit-aliasing\"\n"
      u"  " +
      reset +
      u"\n      delete a setting's values (repeatable), or without NAME every setting's, so that the\n"
      u"      driver takes its own defaults: the way back from a value that broke the display\n"
      u"  " +
      importFile +
      u"\n      apply a .reg profile (at most 16 MiB; - reads standard input), exported here or by\n"
      u"      a registry editor, from any machine: of the adapter's key, its parent or a larger\n"
      u"      tree. The one adapter of the board in it is taken, whatever its GUID: a key\n"
      u"      ...\\Control\\Video\\{GUID}\\NNNN, or Windows 2000's ...\\Services\\NAME\\DeviceN,\n"
      u"      whose chip type is QEL 700 or, given none, that holds tuning values (with its D3D\n"
      u"      subkey); of copies, the current control set's and the Video key. Other keys and\n"
      u"      values are skipped with a note; two adapters of the board are refused. A value\n"
      u"      written \"NAME\"=- is deleted, as a registry editor deletes it\n"
      u"  " +
      exportFile +
      u"\n      write the tuning as a .reg file that the registry editor imports; - writes it to\n"
      u"      standard output (not together with " +
      query +
      u", which prints there too)\n"
      u"  " +
      noRefresh +
      u"\n      no display-mode refresh after a change\n"
      u"  Nothing is written unless every argument and the whole file are right; every value\n"
      u"  written is read back. A setting given two different values, by two sets, a set and a\n"
      u"  reset or a set and the profile, is refused; the same value twice is one value.\n"
      u"  Settings and their values:\n";
  // The chip settings exist for a QEL 700 board only; its chip count picks the anti-aliasing list.
  for (const TuningSetting& setting : TuningSetting::All(1)) {
    if (setting.List() != TuningList::kChipAntiAliasing) {
      help += u"    " + std::u16string(setting.Name()) + u": " + JoinedText(setting.Texts()) + u"\n";
      continue;
    }
    for (int chips : {1, 2, 4})
      help += u"    " + std::u16string(setting.Name()) + u" (" + DecimalText(chips) +
              (chips == 1 ? u" chip" : u" chips") + u"): " +
              JoinedText(TuningSetting(setting.Row(), chips).Texts()) + u"\n";
  }
  help += u"    AntiAliasing and GuardBandClipping exist for QEL 700 boards only.\n";
  return help;
}
