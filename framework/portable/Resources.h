#pragma once
// Reading the compiled resources (.res format): dialog templates, their list data
// (initialisation data, type 240), string table entries and the presence of icons.
//
// The parser takes any bytes: malformed input yields no resources (or fewer), never a crash.
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace portable {

struct DialogItem {
  int id = -1;  // -1 (0xFFFF) for an item without an id of its own
  std::u16string
      className;         // "Button", "Edit", "Static", "ListBox", "ScrollBar", "ComboBox" or the given name
  std::u16string text;   // empty when the text is an ordinal
  int textOrdinal = -1;  // a resource id given as the text (e.g. an icon), else -1
  int x = 0, y = 0, cx = 0, cy = 0;
  std::uint32_t style = 0;
  std::uint32_t exStyle = 0;
  std::uint32_t helpId = 0;
};

struct DialogTemplate {
  bool extended = false;  // DLGTEMPLATEEX
  std::uint32_t style = 0;
  std::uint32_t exStyle = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
  std::u16string menu;
  std::u16string windowClass;
  std::u16string caption;
  int pointSize = 0;
  int weight = 0;
  bool italic = false;
  int charset = 0;
  std::u16string fontName;
  std::vector<DialogItem> items;
};

// One entry of a dialog's initialisation data: a message for a control (0x0403: add a string
// to a combo box) with its data (for strings, 8-bit text without the terminator).
struct DlgInitEntry {
  int controlId = 0;
  std::uint16_t message = 0;
  std::string data;
};

struct ResourceEntry {
  std::u16string typeName;  // empty when the type is an ordinal
  int typeId = -1;
  std::u16string name;  // empty when the name is an ordinal
  int nameId = -1;
  std::uint16_t language = 0;
  std::vector<std::uint8_t> data;
};

class ResourceFile {
 public:
  // Parses .res bytes; entries that do not fit are dropped.
  explicit ResourceFile(std::span<const std::uint8_t> bytes);

  const std::vector<ResourceEntry>& Entries() const { return m_entries; }
  const ResourceEntry* Find(int typeId, int nameId) const;
  std::optional<DialogTemplate> Dialog(int id) const;
  std::vector<DlgInitEntry> DlgInit(int dialogId) const;  // empty when there is none
  std::optional<std::u16string> String(unsigned id) const;
  bool HasIconGroup(int id) const;

 private:
  std::vector<ResourceEntry> m_entries;
};

// Parses one dialog template resource (DLGTEMPLATE or DLGTEMPLATEEX); nullopt when malformed.
std::optional<DialogTemplate> ParseDialogTemplate(std::span<const std::uint8_t> data);
// Parses initialisation data; stops at the terminating zero or at the first malformed entry.
std::vector<DlgInitEntry> ParseDlgInit(std::span<const std::uint8_t> data);

// The program's own resources, parsed once.
const ResourceFile& ProgramResources();

}  // namespace portable
