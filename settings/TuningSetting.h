#pragma once
// The tuning settings, one model for the settings dialogs and the command line. For each
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

// The settings of the dialogs, in the order they show them: the chip dialog's two, then the
// general dialog's nine. Each names its row of the dialogs' table.
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

// Where a setting's list texts come from: a list of the general dialog, one of the chip dialog
// of the adapter's chip count (the chip settings, which only a supported chip type has), or the
// row itself (the check box's "off", "on").
enum class TuningList { kGeneralDialog, kChipAntiAliasing, kChipGuardBand, kFixed };

// How a list position and the stored number map to each other.
enum class TuningMapping {
  kOffset,        // position = number + offset
  kTable,         // the position is the number's index in numbers; a number in no entry is
                  // replaced when the entry it shows as is chosen
  kCheckBox,      // numbers[0] shows as off (0), any other number as on (1), written as numbers[1]
  kAntiAliasing,  // the chip dialog's list (ChipDialogRow)
  kDdiVersion,    // DisableDX8 and DisableDX9 for "7", "8", "9"
};

// One setting: its script name, where and how it is stored, its list and its mapping.
struct TuningRow {
  std::u16string_view name;
  TuningKey key = TuningKey::kDriverSettingsKey;
  TuningEncoding encoding = TuningEncoding::kNumberText;
  std::array<std::u16string_view, 2> values{};  // the second empty for a setting of one value
  TuningList list = TuningList::kGeneralDialog;
  int listId = 0;                                // kGeneralDialog: the list's control id
  std::span<const std::u16string_view> texts{};  // kFixed: the texts themselves
  TuningMapping mapping = TuningMapping::kOffset;
  std::int32_t offset = 0;                   // kOffset
  std::span<const std::uint32_t> numbers{};  // kTable, kCheckBox
  int absentPosition = 0;                    // kOffset, kTable: where an absent value shows
  int deletingPosition = -1;                 // kOffset: the entry that deletes the value; -1: none
};

// The one list of settings that everything walking "every setting" walks (the command line,
// its profiles, the restore record's check): the dialogs' table, indexed by Tuning, unless a
// test put a table of its own in place to show that a row added to it is known everywhere.
struct TuningTable {
  std::span<const TuningRow> rows;
};
TuningTable& GetTuningTable();
TuningTable* SetTuningTable(TuningTable* table);

// The numbers stored for one setting, one per value name; none for a value that is absent or
// that the dialog cannot read.
using StoredNumbers = std::array<std::optional<std::int64_t>, 2>;

class TuningSetting {
 public:
  // A setting of the dialogs' table; chipCount picks the chip dialog whose list the chip
  // settings use.
  explicit TuningSetting(Tuning id, int chipCount = 1);
  // A chip setting with the list of the chip dialog of this row.
  TuningSetting(Tuning id, const ChipDialogRow& row);
  TuningSetting(const TuningRow& setting, int chipCount);

  // Every setting of the table, in its order, with the lists of the chip dialog of chipCount.
  static std::vector<TuningSetting> All(int chipCount);
  // An adapter's settings in dialog order: the chip settings only when its chip button would be
  // enabled (the chip type is supported), with the list of the dialog for its chip count.
  static std::vector<TuningSetting> ForAdapter(bool chipTypeSupported, int chipCount);

  const TuningRow& Row() const { return *m_setting; }
  // The name scripts use, e.g. "LODBias".
  std::u16string_view Name() const { return m_setting->name; }
  TuningKey WhichKey() const { return m_setting->key; }
  TuningEncoding Encoding() const { return m_setting->encoding; }
  // Only for a supported chip type, with a list of the chip dialog.
  bool IsChipSetting() const;
  TuningList List() const { return m_setting->list; }
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
  // Whether choosing a list position writes over what is stored, as the dialog's OK decides it:
  // the position shown differs, or a table's number in no entry is replaced by the entry's.
  bool Replaces(const StoredNumbers& stored, int position) const;

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
  const TuningRow* m_setting;
  const ChipDialogRow* m_row;
  mutable std::optional<std::vector<std::u16string>> m_texts;
};
