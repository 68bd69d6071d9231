#pragma once
// The eleven tuning settings, one model for the settings dialogs and the command line. For each
// setting: its name, the key and values it is stored in and how, its list texts as its dialog
// shows them, and the mapping between what is stored and the list position, both ways.
//
// The list texts are not kept here: they are the dialogs' own list data, read from the compiled
// resources in the order the dialog shows them. Only the mapping is here, and the dialogs use it.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// A stored anti-aliasing number that shows at a position of its own.
struct AntiAliasPosition {
  std::int32_t number;
  int position;
};

// How one chip dialog differs from the others.
struct ChipDialogRow {
  unsigned templateId;
  int antiAliasListId;
  int guardBandListId;
  // Position of "Fastest": the default, and where every number the dialog does not write shows.
  int fastestIndex;
  // The numbers that show at their own position; every other number shows as "Fastest".
  std::span<const AntiAliasPosition> antiAliasPositions;
  // On OK, position 0 stores 0 and any other position p stores p + this.
  std::int32_t antiAliasNumberOffset;
};

// The chip dialog of a chip count: 1, 2 or 4 (any other count gets the one-chip dialog's row).
const ChipDialogRow& ChipDialogRowFor(int chipCount);
// The list position a stored anti-aliasing number shows at.
int AntiAliasIndexFor(const ChipDialogRow& row, std::int32_t number);
// The anti-aliasing number stored for a list position.
std::int32_t AntiAliasNumberFor(const ChipDialogRow& row, int position);

// Command FIFO sizes in bytes, by position in the Size list ("512K" ... "1024K").
inline constexpr std::array<std::uint32_t, 5> kCmdFifoSizes{0x80000, 0xA0000, 0xC0000, 0xE0000, 0x100000};

// The settings, in the order the dialogs show them: the chip dialog's two, then the general
// dialog's nine.
enum class Tuning {
  kAntiAliasing,
  kGuardBandClipping,
  kDdiVersion,
  kTripleBuffer,
  kVSync,
  kLodBias,
  kFilterQuality,
  kAlphaBlending,
  kMaxPendingBuffers,
  kMipMapDithering,
  kCmdFifoSize,
};

// Where a setting's values live: the current device key, or its D3D subkey (the driver settings key).
enum class TuningKey { kCurrentDeviceKey, kDriverSettingsKey };
// How they are stored: registry numbers (REG_SZ decimal text), or raw 4-byte values written as
// REG_BINARY and read whatever their type.
enum class TuningEncoding { kNumberText, kRaw };

// The numbers stored for one setting, one per value name; none for a value that is absent or
// that the dialog cannot read.
using StoredNumbers = std::array<std::optional<std::int64_t>, 2>;

class TuningSetting {
 public:
  // chipCount picks the chip dialog whose list the chip settings use.
  explicit TuningSetting(Tuning id, int chipCount = 1);
  // A chip setting with the list of the chip dialog of this row.
  TuningSetting(Tuning id, const ChipDialogRow& row) : m_id(id), m_row(&row) {}

  // An adapter's settings in dialog order: the chip settings only when its chip button would be
  // enabled (the chip type is supported), with the list of the dialog for its chip count.
  static std::vector<TuningSetting> ForAdapter(bool chipTypeSupported, int chipCount);

  Tuning Id() const { return m_id; }
  // The name scripts use, e.g. "LODBias".
  std::u16string_view Name() const;
  TuningKey WhichKey() const;
  TuningEncoding Encoding() const;
  // The registry values: one, or two for the DDI version (DisableDX8, DisableDX9).
  std::span<const std::u16string_view> ValueNames() const;
  // The path of the key holding the values, for an adapter's current device key path.
  std::u16string KeyPath(const std::u16string& currentDeviceKeyPath) const;

  // The list texts in the order the dialog shows them ("off", "on" for the check box). Read
  // from the resources on first use.
  std::vector<std::u16string> Texts() const;

  // The list position the dialog selects for what is stored (an absent value reads as the
  // dialog's default). It may lie outside the list: the dialog then shows no selection.
  int PositionOf(const StoredNumbers& stored) const;
  // What the dialog writes for a list position: a number per value, none where it deletes the
  // value. Nothing at all for a position outside the list.
  StoredNumbers NumbersFor(int position) const;
  // The list position that writes exactly what is stored (an absent value matches any entry
  // that reads it as the default), or -1 when no entry of the list does.
  int EntryFor(const StoredNumbers& stored) const;

  // Reads the stored numbers as the dialog reads them, each value with its own open and close.
  StoredNumbers Read(const std::u16string& currentDeviceKeyPath) const;
  // Writes a list position as the dialog's OK does: one open of the key for writing, every value
  // of the setting set (number text, or 4 bytes REG_BINARY) or deleted, close. False when the key
  // could not be opened for writing (nothing was written).
  bool Write(const std::u16string& currentDeviceKeyPath, int position) const;
  // Writes a number per value, deleting a value that has none: one open of the key for writing.
  // False when the key could not be opened for writing (nothing was written).
  bool WriteNumbers(const std::u16string& currentDeviceKeyPath, const StoredNumbers& numbers) const;

 private:
  Tuning m_id;
  const ChipDialogRow* m_row;
  mutable std::optional<std::vector<std::u16string>> m_texts;
};
