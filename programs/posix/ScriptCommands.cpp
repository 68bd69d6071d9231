#include "programs/posix/ScriptCommands.h"

#include <string_view>

#include "app/AdapterDiscovery.h"
#include "app/ExitStatus.h"
#include "base/Service.h"
#include "base/Text.h"
#include "framework/WinApp.h"
#include "platform/DisplayDevices.h"
#include "platform/DisplayMode.h"
#include "platform/Registry.h"
#include "platform/Status.h"
#include "programs/posix/Messages.h"

int RunScriptCommands(const TuningCommands& commands, const std::optional<std::string>& handOff,
                      platform::HiveStore& store, platform::SimulatedBoard& board) {
  const base::Installed<platform::SetRegistry> registry(store);
  const base::Installed<platform::SetDisplayDevices> devices(board.Devices());
  const base::Installed<platform::SetDisplayMode> displayMode(board.DisplayMode());

  std::u16string adapter;
  if (handOff)
    adapter = base::Utf16FromUtf8(*handOff);
  else
    DiscoverAdapter(g_adapterTable, adapter, false);
  // The writes are saved before they are read back: a failed save is said first, in the
  // system's words, and the values it lost are not read back one by one.
  bool lossTold = false;
  std::string note;
  TuningCommands saving = commands;
  saving.save = [&store, &lossTold, &note] {
    const long status = store.Flush();
    if (const platform::HiveStore::SaveReport report = store.LastSave(); !report.note.empty())
      note = report.note;
    const base::Failure lost = store.LostChanges();
    if (!lost.Failed()) return Outcome{};
    lossTold = true;
    const std::string advice =
        status == platform::kDiskFull       ? "free space on its disk, then run the command again"
        : status == platform::kAccessDenied ? "let it be written, then run the command again"
                                            : "put that right, then run the command again";
    return Outcome{status == platform::kAccessDenied ? sysexits::kNoPermission : sysexits::kIoError,
                   base::Utf16FromUtf8(lost.Text() + ". The hive is as it was: " + advice)};
  };
  TuningCommandsResult result = RunTuningCommands(saving, adapter);

  // Output that was lost is a failure of the run, told after the messages.
  std::u16string lostOutput;
  if (!result.output.empty() && !AfxWriteStandardStream(result.output, false, &lostOutput) &&
      lostOutput.empty())
    lostOutput = u"no standard output";
  for (std::u16string_view messages = result.messages; !messages.empty();) {
    const std::size_t end = messages.find(u'\n');
    Say(base::Utf8FromUtf16(messages.substr(0, end)));
    messages.remove_prefix(end == std::u16string_view::npos ? messages.size() : end + 1);
  }
  store.Flush();
  if (const platform::HiveStore::SaveReport report = store.LastSave(); !report.note.empty())
    note = report.note;
  if (!note.empty()) Say("note: " + note);
  if (const base::Failure lost = store.LostChanges(); lost.Failed() && !lossTold) {
    return Refused(lost.Text(), sysexits::kIoError);
  }
  if (!lostOutput.empty()) return OutputLost(base::Utf8FromUtf16(lostOutput), result.status);
  return result.status;
}
