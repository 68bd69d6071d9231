#pragma once
// Scenarios of the settings dialogs, written once and run by a host on either windowing layer.
//
// A scenario is data: the values stored before the dialog opens, what the user does in the open
// dialog (ending it), and every value of both keys afterwards, with whether the display mode was
// refreshed. The host seeds its registry (the in-memory store natively, the real one under
// Wine), opens the dialog (natively by running it directly, under Wine through the main
// dialog's button), runs the steps through its User, then compares.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/User.h"

namespace scenarios {

enum class SettingsDialog { General, SingleChip, DualChip, QuadChip };
std::u16string CaptionOf(SettingsDialog dialog);

// The two keys of the dialogs: the current device key and its D3D subkey.
enum class DialogKey { Device, DriverSettings };

struct StoredValue {
  DialogKey key = DialogKey::DriverSettings;
  std::u16string name;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  bool operator==(const StoredValue&) const = default;
};

inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;

// A registry number as the program writes it: REG_SZ, UTF-16LE, terminated.
StoredValue Text(DialogKey key, std::u16string name, std::u16string_view text);
StoredValue Number(DialogKey key, std::u16string name, std::int32_t value);
// 4 bytes little-endian, REG_BINARY as the program writes raw values, or REG_DWORD.
StoredValue Binary(DialogKey key, std::u16string name, std::uint32_t value);
StoredValue Dword(DialogKey key, std::u16string name, std::uint32_t value);
StoredValue Bytes(DialogKey key, std::u16string name, std::uint32_t type, std::vector<std::uint8_t> data);

// Collects what a scenario's steps found wrong.
class Checks {
 public:
  bool Expect(bool ok, const std::string& what);
  const std::vector<std::string>& Failures() const { return m_failures; }

 private:
  std::vector<std::string> m_failures;
};

std::string Narrow(std::u16string_view text);  // for messages; non-ASCII shows as '?'
// Values in the order of key, then name, so that two sets compare whatever order they came in.
std::vector<StoredValue> SortedValues(std::vector<StoredValue> values);
// One line a value (key, name, type, bytes), for a failure's message.
std::string DescribeValues(const std::vector<StoredValue>& values);

struct Scenario {
  std::string name;  // letters, digits and '_' only
  SettingsDialog dialog = SettingsDialog::General;
  std::vector<StoredValue> stored;
  bool driverSettingsKeyExists = true;
  bool writable = true;  // both keys grant KEY_WRITE
  // Run on the open dialog (the host has found it by its caption); must end it.
  std::function<void(User&, Checks&)> steps;
  // Every value of both keys afterwards, in any order. Keys are never created: the D3D key
  // exists afterwards exactly when it existed before.
  std::vector<StoredValue> expected;
  bool refreshed = false;
  int result = 1;                 // IDOK; the dialog's modal result, where the host can see it
  std::optional<int> writeOpens;  // successful opens for writing, where the host can count them
};

// Steps shared by the scenarios.
// The list shows this entry as its selection; an empty text means no selection.
void ExpectShown(User& user, Checks& checks, int id, std::u16string_view text);
// Picks the entry with this text from the list.
void Choose(User& user, Checks& checks, int id, std::u16string_view text);
// OK ends the dialog without any message.
void PressOk(User& user, Checks& checks, SettingsDialog dialog);
// OK shows the administrator message once; dismissing it ends the dialog.
void PressOkRefused(User& user, Checks& checks, SettingsDialog dialog);
void PressCancel(User& user, Checks& checks, SettingsDialog dialog);

}  // namespace scenarios
