#include "framework/portable/Resources.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>
#include <utility>

#include "base/ByteOrder.h"
#include "base/Text.h"
#include "framework/ListData.h"
#include "framework/portable/ResourceData.h"

namespace portable {
namespace {

constexpr int kTypeDialog = 5;
constexpr int kTypeString = 6;
constexpr int kTypeIcon = 3;
constexpr int kTypeGroupIcon = 14;

constexpr std::uint32_t kDsSetFont = 0x40;

// A cursor over little-endian bytes. Every read checks the bounds first and fails without
// moving; once a read has failed the reader stays failed, so a parse can check once at the end.
class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

  std::size_t Offset() const { return m_pos; }
  std::size_t Remaining() const { return m_ok ? m_bytes.size() - m_pos : 0; }
  bool Ok() const { return m_ok; }

  bool Skip(std::size_t count) {
    if (!m_ok || count > m_bytes.size() - m_pos) return Fail();
    m_pos += count;
    return true;
  }

  // Moves to the next multiple of four from the start of the bytes. Running out of bytes while
  // aligning is not an error: nothing can be read afterwards anyway.
  void AlignDword() {
    if (!m_ok) return;
    std::size_t aligned = m_pos + ((4 - m_pos % 4) % 4);
    m_pos = aligned < m_bytes.size() ? aligned : m_bytes.size();
  }

  bool U8(std::uint8_t& value) {
    if (!m_ok || m_bytes.size() - m_pos < 1) return Fail();
    value = m_bytes[m_pos++];
    return true;
  }

  bool U16(std::uint16_t& value) {
    if (!m_ok || m_bytes.size() - m_pos < 2) return Fail();
    value = base::ReadLittleEndian16(m_bytes.data() + m_pos);
    m_pos += 2;
    return true;
  }

  bool S16(int& value) {
    std::uint16_t raw = 0;
    if (!U16(raw)) return false;
    value = static_cast<std::int16_t>(raw);
    return true;
  }

  bool U32(std::uint32_t& value) {
    std::uint16_t low = 0, high = 0;
    if (!U16(low) || !U16(high)) return false;
    value = static_cast<std::uint32_t>(low) | (static_cast<std::uint32_t>(high) << 16);
    return true;
  }

  // A zero-terminated UTF-16 string.
  bool String(std::u16string& value) {
    std::u16string text;
    std::uint16_t ch = 0;
    while (U16(ch)) {
      if (ch == 0) {
        value = std::move(text);
        return true;
      }
      text.push_back(static_cast<char16_t>(ch));
    }
    return false;
  }

  // A string or an ordinal (0xFFFF followed by the number). ordinal is -1 for a string.
  bool StringOrOrdinal(std::u16string& text, int& ordinal) {
    std::uint16_t first = 0;
    if (!U16(first)) return false;
    text.clear();
    ordinal = -1;
    if (first == 0xFFFF) {
      std::uint16_t number = 0;
      if (!U16(number)) return false;
      ordinal = number;
      return true;
    }
    if (first == 0) return true;
    text.push_back(static_cast<char16_t>(first));
    std::u16string rest;
    if (!String(rest)) return false;
    text += rest;
    return true;
  }

  std::span<const std::uint8_t> Bytes(std::size_t count) {
    if (!m_ok || count > m_bytes.size() - m_pos) {
      Fail();
      return {};
    }
    auto result = m_bytes.subspan(m_pos, count);
    m_pos += count;
    return result;
  }

 private:
  bool Fail() {
    m_ok = false;
    return false;
  }

  std::span<const std::uint8_t> m_bytes;
  std::size_t m_pos = 0;
  bool m_ok = true;
};

// The system's predefined control classes, by ordinal from 0x80.
constexpr std::array<std::u16string_view, 6> kClassNames = {u"Button",  u"Edit",      u"Static",
                                                            u"ListBox", u"ScrollBar", u"ComboBox"};

// Class names are case-insensitive; a predefined class given by name gets its usual spelling, so
// that "STATIC" and ordinal 0x82 read the same.
std::u16string CanonicalClassName(std::u16string name) {
  for (auto known : kClassNames) {
    if (base::NamesEqual(known, name)) {
      return std::u16string(known);
    }
  }
  return name;
}

std::u16string ClassName(int ordinal) {
  if (ordinal >= 0x80 && ordinal <= 0x85)
    return std::u16string(kClassNames[static_cast<std::size_t>(ordinal - 0x80)]);
  // A class atom the system does not predefine: shown the way Win32 names atoms.
  std::u16string name = u"#";
  for (char c : std::to_string(ordinal)) name.push_back(static_cast<char16_t>(c));
  return name;
}

int ControlId(std::uint32_t raw) {
  // 0xFFFF is the "no id" of the 16-bit templates; extended templates may carry it widened.
  // Ids past the signed range are not ids the program could name either.
  if (raw == 0xFFFF || raw > 0x7FFFFFFF) return -1;
  return static_cast<int>(raw);
}

bool ReadItem(Reader& in, bool extended, DialogItem& item) {
  in.AlignDword();
  std::uint32_t rawId = 0;
  if (extended) {
    in.U32(item.helpId);
    in.U32(item.exStyle);
    in.U32(item.style);
  } else {
    in.U32(item.style);
    in.U32(item.exStyle);
  }
  in.S16(item.x);
  in.S16(item.y);
  in.S16(item.cx);
  in.S16(item.cy);
  if (extended) {
    in.U32(rawId);
  } else {
    std::uint16_t shortId = 0;
    in.U16(shortId);
    rawId = shortId;
  }
  if (!in.Ok()) return false;
  item.id = ControlId(rawId);

  int classOrdinal = -1;
  if (!in.StringOrOrdinal(item.className, classOrdinal)) return false;
  item.className =
      classOrdinal >= 0 ? ClassName(classOrdinal) : CanonicalClassName(std::move(item.className));
  if (!in.StringOrOrdinal(item.text, item.textOrdinal)) return false;

  // Creation data: a byte count, then that many bytes (which the program never uses).
  std::uint16_t extra = 0;
  if (!in.U16(extra)) return false;
  return in.Skip(extra);
}

}  // namespace

std::optional<DialogTemplate> ParseDialogTemplate(std::span<const std::uint8_t> data) {
  Reader in(data);
  DialogTemplate dialog;
  std::uint16_t version = 0, signature = 0, count = 0;
  in.U16(version);
  in.U16(signature);
  if (!in.Ok()) return std::nullopt;
  dialog.extended = version == 1 && signature == 0xFFFF;
  if (dialog.extended) {
    std::uint32_t helpId = 0;
    in.U32(helpId);
    in.U32(dialog.exStyle);
    in.U32(dialog.style);
  } else {
    in = Reader(data);
    in.U32(dialog.style);
    in.U32(dialog.exStyle);
  }
  in.U16(count);
  in.S16(dialog.x);
  in.S16(dialog.y);
  in.S16(dialog.cx);
  in.S16(dialog.cy);
  if (!in.Ok()) return std::nullopt;

  int ordinal = -1;
  if (!in.StringOrOrdinal(dialog.menu, ordinal)) return std::nullopt;
  if (!in.StringOrOrdinal(dialog.windowClass, ordinal)) return std::nullopt;
  if (ordinal >= 0) dialog.windowClass = ClassName(ordinal);
  // The caption is always a string, never an ordinal.
  if (!in.String(dialog.caption)) return std::nullopt;

  // DS_SHELLFONT is DS_SETFONT with DS_FIXEDSYS, so one test covers both.
  if ((dialog.style & kDsSetFont) != 0) {
    std::uint16_t points = 0;
    in.U16(points);
    dialog.pointSize = points;
    if (dialog.extended) {
      std::uint16_t weight = 0;
      std::uint8_t italic = 0, charset = 0;
      in.U16(weight);
      in.U8(italic);
      in.U8(charset);
      dialog.weight = weight;
      dialog.italic = italic != 0;
      dialog.charset = charset;
    }
    if (!in.String(dialog.fontName)) return std::nullopt;
  }

  // Each item takes at least 18 bytes: a count that cannot fit fails before any allocation.
  if (count > in.Remaining() / 18 + 1) return std::nullopt;
  dialog.items.reserve(count);
  for (std::uint16_t i = 0; i < count; ++i) {
    DialogItem item;
    if (!ReadItem(in, dialog.extended, item)) return std::nullopt;
    dialog.items.push_back(std::move(item));
  }
  return dialog;
}

std::vector<DlgInitEntry> ParseDlgInit(std::span<const std::uint8_t> data) {
  std::vector<DlgInitEntry> entries;
  Reader in(data);
  std::uint16_t control = 0;
  while (in.U16(control) && control != 0) {
    DlgInitEntry entry;
    std::uint32_t length = 0;
    entry.controlId = control;
    if (!in.U16(entry.message) || !in.U32(length)) break;
    auto bytes = in.Bytes(length);
    if (!in.Ok()) break;
    entry.data.assign(bytes.begin(), bytes.end());
    if (entry.message == kListDataComboBoxAddString || entry.message == kListDataListBoxAddString) {
      // The text is stored with its terminator; the entry holds the text alone.
      auto end = entry.data.find('\0');
      if (end != std::string::npos) entry.data.resize(end);
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

ResourceFile::ResourceFile(std::span<const std::uint8_t> bytes) {
  std::size_t pos = 0;
  while (bytes.size() - pos >= 8) {
    Reader sizes(bytes.subspan(pos, 8));
    std::uint32_t dataSize = 0, headerSize = 0;
    sizes.U32(dataSize);
    sizes.U32(headerSize);
    std::size_t available = bytes.size() - pos;
    if (headerSize < 8 || headerSize > available || dataSize > available - headerSize) break;

    Reader header(bytes.subspan(pos + 8, headerSize - 8));
    ResourceEntry entry;
    std::uint32_t dataVersion = 0, version = 0, characteristics = 0;
    std::uint16_t memoryFlags = 0;
    bool named = header.StringOrOrdinal(entry.typeName, entry.typeId) &&
                 header.StringOrOrdinal(entry.name, entry.nameId);
    // The header's fields after the names start on a DWORD boundary of the entry; the entry
    // itself starts on one, and its first 8 bytes are the two sizes.
    header.AlignDword();
    header.U32(dataVersion);
    header.U16(memoryFlags);
    header.U16(entry.language);
    header.U32(version);
    header.U32(characteristics);

    // The file starts with an empty entry (type and name 0) that only marks the format.
    bool marker = entry.typeId == 0 && entry.nameId == 0 && dataSize == 0;
    if (named && header.Ok() && !marker) {
      auto data = bytes.subspan(pos + headerSize, dataSize);
      entry.data.assign(data.begin(), data.end());
      m_entries.push_back(std::move(entry));
    }

    std::size_t next = static_cast<std::size_t>(headerSize) + dataSize;
    next += (4 - next % 4) % 4;
    if (next >= available) break;
    pos += next;
  }
}

const ResourceEntry* ResourceFile::Find(int typeId, int nameId) const {
  for (const auto& entry : m_entries) {
    if (entry.typeName.empty() && entry.name.empty() && entry.typeId == typeId && entry.nameId == nameId) {
      return &entry;
    }
  }
  return nullptr;
}

std::optional<DialogTemplate> ResourceFile::Dialog(int id) const {
  const ResourceEntry* entry = Find(kTypeDialog, id);
  if (entry == nullptr) return std::nullopt;
  return ParseDialogTemplate(entry->data);
}

std::vector<DlgInitEntry> ResourceFile::DlgInit(int dialogId) const {
  const ResourceEntry* entry = Find(kListDataType, dialogId);
  if (entry == nullptr) return {};
  return ParseDlgInit(entry->data);
}

std::optional<std::u16string> ResourceFile::String(unsigned id) const {
  if (id > 0xFFFF) return std::nullopt;
  const ResourceEntry* entry = Find(kTypeString, static_cast<int>(id / 16 + 1));
  if (entry == nullptr) return std::nullopt;
  Reader in(entry->data);
  for (unsigned slot = 0; slot < 16; ++slot) {
    std::uint16_t length = 0;
    if (!in.U16(length)) return std::nullopt;
    if (slot == id % 16) {
      std::u16string text;
      text.reserve(length);
      for (std::uint16_t i = 0; i < length; ++i) {
        std::uint16_t ch = 0;
        if (!in.U16(ch)) return std::nullopt;
        text.push_back(static_cast<char16_t>(ch));
      }
      // An empty slot is no string, as the system's string loader reports it.
      if (text.empty()) return std::nullopt;
      return text;
    }
    if (!in.Skip(static_cast<std::size_t>(length) * 2)) return std::nullopt;
  }
  return std::nullopt;
}

bool ResourceFile::HasIconGroup(int id) const {
  // A group: reserved 0, type 1, a count, then 14-byte entries whose last field names an icon.
  const ResourceEntry* entry = Find(kTypeGroupIcon, id);
  if (entry == nullptr) return false;
  Reader in(entry->data);
  std::uint16_t reserved = 1, type = 0, count = 0;
  in.U16(reserved);
  in.U16(type);
  in.U16(count);
  if (!in.Ok() || reserved != 0 || type != 1 || count == 0) return false;
  for (std::uint16_t i = 0; i < count; ++i) {
    std::uint16_t iconId = 0;
    in.Skip(12);
    if (!in.U16(iconId) || Find(kTypeIcon, iconId) == nullptr) return false;
  }
  return true;
}

const ResourceFile& ProgramResources() {
  static const ResourceFile resources(CompiledResources());
  return resources;
}

}  // namespace portable
