#pragma once
// What a run of the scripting actions works on and asks for: the adapter, the report of what the
// run found wrong, and the value wanted for each setting with where it was asked for, from --set
// and --reset here and from a profile in app/ProfileReader.h.
#include <array>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/ExitStatus.h"
#include "app/TuningCommands.h"
#include "settings/HardwareInformation.h"
#include "settings/TuningSetting.h"

// "-" names standard input for --import and standard output for --export.
inline constexpr std::u16string_view kStandardStream = u"-";

// What the run found wrong; the first error decides the exit status.
class RunReport {
 public:
  void Error(int status, const std::u16string& message) {
    if (m_status == sysexits::kOk) m_status = status;
    m_messages += message + u"\n";
  }
  void Note(const std::u16string& message) { m_messages += message + u"\n"; }
  bool Failed() const { return m_status != sysexits::kOk; }
  TuningCommandsResult Result(std::u16string output) const {
    return {m_status, std::move(output), m_messages};
  }

 private:
  int m_status = sysexits::kOk;
  std::u16string m_messages;
};

struct RunAdapter {
  std::u16string keyPath;  // the current device key path
  std::vector<TuningSetting> settings;
  HardwareInformation information;
};

// What a setting is to be set to: its list position, the values it deletes instead (all of
// them: a reset, which leaves the driver its own default), and where it was asked for ("set
// NAME=VALUE", "reset NAME", or a profile's "FILE:LINE"), to name both sides of a conflict.
struct Want {
  int position = -1;
  std::array<bool, 2> deleted{};
  std::u16string from;
};
// By index in the adapter's list of settings.
using Wanted = std::map<std::size_t, Want>;

Want ResetWant(std::u16string from);
// Whether a want deletes every value of its setting.
bool IsReset(const TuningSetting& setting, const Want& want);
// What a want stores: a number per value, none where it deletes the value.
StoredNumbers Target(const TuningSetting& setting, const Want& want);

// Asks for a want, unless the setting is already given another: one that would store something
// else. The same value twice, however spelt, is one value.
void Ask(const TuningSetting& setting, std::size_t index, Want want, Wanted* wanted, RunReport* report);

// The setting of the settings table with this name, in any case: also one that this adapter
// lacks, to tell "unknown" from "not here".
std::optional<TuningSetting> SettingNamed(std::u16string_view name);
// The index of a setting in the adapter's list, or -1 when the adapter lacks it.
int IndexOf(const RunAdapter& adapter, const TuningSetting& setting);
// Why a chip setting cannot be given to this adapter.
std::u16string NoChipSettings(std::u16string_view name);

// Reads --set NAME=VALUE and --reset [NAME] arguments into wants.
void ParseSets(const RunAdapter& adapter, const std::vector<std::u16string>& sets, Wanted* wanted,
               RunReport* report);
void ParseResets(const RunAdapter& adapter, const std::vector<std::u16string>& resets, Wanted* wanted,
                 RunReport* report);
