#include "tests/scenarios/SettingsScenario.h"

#include <algorithm>
#include <string>
#include <tuple>
#include <utility>

namespace scenarios {

namespace {
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
}  // namespace

std::u16string CaptionOf(SettingsDialog dialog) {
  switch (dialog) {
    case SettingsDialog::General:
      return u"General Features";
    case SettingsDialog::SingleChip:
      return u"Single Chip QEL 700";
    case SettingsDialog::DualChip:
      return u"Dual Chip QEL 700";
    case SettingsDialog::QuadChip:
      return u"Quad Chip QEL 700";
  }
  return {};
}

StoredValue Text(DialogKey key, std::u16string name, std::u16string_view text) {
  std::vector<std::uint8_t> data;
  for (char16_t c : text) {
    data.push_back(static_cast<std::uint8_t>(c & 0xFF));
    data.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  data.push_back(0);
  data.push_back(0);
  return {key, std::move(name), kRegSz, std::move(data)};
}

StoredValue Number(DialogKey key, std::u16string name, std::int32_t value) {
  const std::string digits = std::to_string(value);
  return Text(key, std::move(name), std::u16string(digits.begin(), digits.end()));
}

namespace {
std::vector<std::uint8_t> LittleEndian(std::uint32_t value) {
  return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
          static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}
}  // namespace

StoredValue Binary(DialogKey key, std::u16string name, std::uint32_t value) {
  return {key, std::move(name), kRegBinary, LittleEndian(value)};
}

StoredValue Dword(DialogKey key, std::u16string name, std::uint32_t value) {
  return {key, std::move(name), kRegDword, LittleEndian(value)};
}

StoredValue Bytes(DialogKey key, std::u16string name, std::uint32_t type, std::vector<std::uint8_t> data) {
  return {key, std::move(name), type, std::move(data)};
}

bool Checks::Expect(bool ok, const std::string& what) {
  if (!ok) m_failures.push_back(what);
  return ok;
}

std::string Narrow(std::u16string_view text) {
  std::string narrow;
  for (char16_t c : text) narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return narrow;
}

void ExpectShown(User& user, Checks& checks, int id, std::u16string_view text) {
  const int selection = user.Selection(id);
  const std::vector<std::u16string> entries = user.Entries(id);
  std::u16string shown;
  if (selection >= 0 && static_cast<std::size_t>(selection) < entries.size())
    shown = entries[static_cast<std::size_t>(selection)];
  checks.Expect(shown == text && (selection >= 0) == !text.empty(),
                "list " + std::to_string(id) + " shows \"" + Narrow(shown) + "\" (position " +
                    std::to_string(selection) + "), expected \"" + Narrow(text) + "\"");
}

void Choose(User& user, Checks& checks, int id, std::u16string_view text) {
  const std::vector<std::u16string> entries = user.Entries(id);
  const auto found = std::find(entries.begin(), entries.end(), text);
  if (!checks.Expect(found != entries.end(),
                     "list " + std::to_string(id) + " has no \"" + Narrow(text) + "\""))
    return;
  checks.Expect(user.Select(id, static_cast<int>(found - entries.begin())),
                "could not choose \"" + Narrow(text) + "\" in list " + std::to_string(id));
}

void PressOk(User& user, Checks& checks, SettingsDialog dialog) {
  checks.Expect(user.Click(kIdOk), "could not click OK");
  checks.Expect(user.WaitForClose(CaptionOf(dialog)), "the dialog did not close after OK");
}

void PressOkRefused(User& user, Checks& checks, SettingsDialog dialog) {
  checks.Expect(user.Click(kIdOk), "could not click OK");
  if (!checks.Expect(user.WaitForDialog(u"Insufficent Access Writes"), "no administrator message")) return;
  checks.Expect(user.MessageText() == u"Execute using Administrator Account",
                "message text \"" + Narrow(user.MessageText()) + "\"");
  // Enter reaches the box's one button on both layers, whatever its id.
  checks.Expect(user.PressEnter(), "could not dismiss the message");
  // A second message would keep the dialog open.
  checks.Expect(user.WaitForClose(CaptionOf(dialog)), "the dialog did not close after the message");
}

void PressCancel(User& user, Checks& checks, SettingsDialog dialog) {
  checks.Expect(user.Click(kIdCancel), "could not click Cancel");
  checks.Expect(user.WaitForClose(CaptionOf(dialog)), "the dialog did not close after Cancel");
}

std::vector<StoredValue> SortedValues(std::vector<StoredValue> values) {
  std::sort(values.begin(), values.end(), [](const StoredValue& a, const StoredValue& b) {
    return std::tie(a.key, a.name) < std::tie(b.key, b.name);
  });
  return values;
}

std::string DescribeValues(const std::vector<StoredValue>& values) {
  std::string text;
  for (const StoredValue& value : values) {
    text += (value.key == DialogKey::Device ? "  device " : "  D3D ") + Narrow(value.name) + " type " +
            std::to_string(value.type) + ":";
    for (std::uint8_t byte : value.data) text += " " + std::to_string(byte);
    text += "\n";
  }
  return text.empty() ? "  (none)\n" : text;
}

}  // namespace scenarios
