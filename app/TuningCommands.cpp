#include "app/TuningCommands.h"

#include "app/ProfileReader.h"
#include "app/TuningApply.h"
#include "app/TuningOutput.h"
#include "app/TuningWants.h"
#include "framework/Wnd.h"
#include "platform/Registry.h"
#include "platform/StatusWords.h"
#include "settings/AdapterIdentity.h"
#include "settings/HardwareInformation.h"
#include "settings/RefreshDisplayMode.h"
#include "settings/SettingsKey.h"

TuningCommandsResult RunTuningCommands(const TuningCommands& commands, const std::u16string& handOff) {
  RunReport report;
  if (commands.query && commands.exportPath == kStandardStream) {
    // Both would print to standard output, and the profile would not read back as one.
    report.Error(sysexits::kUsage,
                 u"query and export to standard output (-) cannot go together: run one, then "
                 u"the other");
    return report.Result({});
  }
  if (handOff.empty()) {
    report.Error(sysexits::kUnavailable, u"No Adapter Found");
    return report.Result({});
  }
  if (!HandOffNamesAdapterKey(handOff)) {
    report.Error(sysexits::kUsage,
                 handOff +
                     u": not a display adapter's hand-off; it is DEVICE&&&KEY, the KEY "
                     u"\\Registry\\Machine\\System\\<control set>\\Control\\Video\\{GUID}\\NNNN or "
                     u"...\\Services\\<service>\\DeviceN");
    return report.Result({});
  }
  RunAdapter adapter;
  {
    const AdapterIdentity identity = ParseAdapterHandOff(handOff);
    adapter.keyPath = identity.currentDeviceKeyPath;
    adapter.information = ReadHardwareInformation(identity.deviceKeyPath);
    adapter.settings = TuningSetting::ForAdapter(IsSupportedChipType(adapter.information.chipTypeText),
                                                 ChipCountFromAdapterText(adapter.information.adapterText));
  }
  {
    CSettingsKey key;
    if (const long status = key.Open(adapter.keyPath, platform::kKeyRead); status != platform::kSuccess) {
      report.Error(sysexits::kUnavailable, adapter.keyPath + u": the adapter's key cannot be opened: " +
                                               platform::StatusWords(status));
      return report.Result({});
    }
  }

  // Everything is checked before anything is written.
  Wanted wanted;
  if (commands.importPath) ReadProfile(adapter, *commands.importPath, &wanted, &report);
  ParseSets(adapter, commands.sets, &wanted, &report);
  ParseResets(adapter, commands.resets, &wanted, &report);
  if (report.Failed()) return report.Result({});

  // The refresh takes a window of its own: the display's exclusive mode needs a top-level one.
  if (Apply(adapter, wanted, commands, &report) && !commands.noRefresh &&
      RefreshDisplayMode(CHiddenWindow().GetSafeHwnd()) != 0)
    report.Note(
        u"the display mode could not be refreshed: the driver reads the new values at its next mode change");
  if (report.Failed()) return report.Result({});

  std::u16string output;
  if (commands.query) output = QueryText(adapter);
  if (commands.exportPath) Export(adapter, *commands.exportPath, &output, &report);
  return report.Result(std::move(output));
}
