#pragma once
// A registry hive file's bytes, held once in memory, read and edited in place as the hive file
// format lays them out: the base block, the chain of bins, and in them the cells (a signed size,
// negative while in use, 8-byte aligned): key nodes ("nk"), subkey lists ("lf", "lh", "li",
// "ri"), value lists, values ("vk") and their data (in the value when 4 bytes or fewer, in a cell,
// or split over a "db" cell's segments when long). Security cells are never touched.
//
// Reading checks every offset and size it follows: damaged bytes give 1015 (the registry is
// corrupt), never a read outside the image. Opening checks only the base block, the bin chain
// and the root key; the rest is checked where it is read.
//
// Writing a value patches its data where it was when the new data fits there (in the value, or
// in the old data cell), else takes space from a free cell (the first that fits, split when the
// rest can be a cell of its own) and only when none fits appends a bin. What is no longer used
// is freed (merged with free neighbours), so saves that change values back and forth never grow
// the file. A write that would have to free or follow a cell that is not one (a damaged hive) is
// refused with 1015 before anything changes; so is a write that would free a cell that the keys
// use twice (a value's data that is also a key, say), and every write to a hive whose keys use a
// cell that lies inside another.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace hive {

class HiveImage {
 public:
  // A key: the file offset of its "nk" cell (0: none). Stays valid while the image lives, as
  // keys are never moved or removed.
  using Node = std::uintptr_t;
  // A value found in a key: its "vk" cell, type and data size.
  struct Value {
    std::size_t cell = 0;
    std::uint32_t type = 0;
    std::uint32_t size = 0;
  };

  HiveImage() = default;
  HiveImage(HiveImage&&) noexcept = default;
  HiveImage& operator=(HiveImage&&) noexcept = default;
  HiveImage(const HiveImage&) = delete;
  HiveImage& operator=(const HiveImage&) = delete;

  // Takes a whole hive file's bytes (moved in, never copied). False, with *why in words, when the
  // base block (signature, checksum, version), the bin chain or the root key is damaged; the
  // image is then left as it was. Bytes past the last bin are dropped.
  static bool Open(std::vector<std::uint8_t> bytes, HiveImage* image, std::string* why);

  bool Loaded() const { return !m_bytes.empty(); }
  // The hive file as it is now.
  const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }
  Node Root() const { return m_root; }

  // Statuses: 0, 2 (no such subkey or value), 1015 (what had to be read is damaged).
  long Child(Node node, std::u16string_view name, Node* child) const;
  long Subkeys(Node node, std::vector<std::u16string>* names) const;
  long ValueNames(Node node, std::vector<std::u16string>* names) const;
  long FindValue(Node node, std::u16string_view name, Value* value) const;
  // Copies a found value's value.size bytes to out.
  long ReadValue(const Value& value, std::uint8_t* out) const;

  // Sets a value (created, with name's case, when the key has none of that name in any case);
  // removes one. 0, 2 (Delete: no such value), 87 (Set: a name of more than 16383 characters,
  // which Windows does not allow) or 1015.
  long SetValue(Node node, std::u16string_view name, std::uint32_t type, const std::uint8_t* data,
                std::uint32_t size);
  long DeleteValue(Node node, std::u16string_view name);

  // The subkey of that name (in any case), made when the key has none: with name's case, the
  // key's security, and filetime as its last-write time. The new key goes into the key's subkey
  // list in Windows' order (by upper-cased name): an "lh" list in hives of format 1.5 and later,
  // else an "lf" list. 0, 87 (an empty name, a backslash in it, more than 255 characters; or a
  // key 512 levels below the root, as deep as Windows lets keys go), 13 (the key's subkeys are
  // in an index list, which this does not grow) or 1015.
  long CreateKey(Node node, std::u16string_view name, std::uint64_t filetime, Node* child);
  // The key's last-write time (100 ns units since 1601).
  void StampKey(Node node, std::uint64_t filetime);
  // Makes the base block that of a clean hive: both sequence numbers, the time, the checksum.
  void MarkClean(std::uint32_t sequence, std::uint64_t filetime);
  std::uint32_t Sequence() const;

 private:
  struct DataPlace {
    bool inlined = true;  // in the value itself (or no data at all)
    bool big = false;     // a "db" cell with segments
    std::uint32_t cell = 0;
    std::size_t capacity = 0;  // a plain data cell's room
  };
  std::size_t BinsSize() const;
  std::size_t UsedCell(std::uint32_t offset, std::size_t need, std::size_t* capacity = nullptr) const;
  std::size_t KeyCell(Node node) const;
  std::size_t ValueCell(std::uint32_t offset) const;
  long SearchList(std::uint32_t list, std::u16string_view name, bool top, Node* child,
                  std::vector<std::u16string>* names) const;
  long ValueList(std::size_t key, std::size_t* list, std::uint32_t* count) const;
  // Calls visit(index, cell) with each value's checked cell, in the list's order, until it
  // returns true; kRegistryCorrupt at the first cell that is not a value.
  template <typename Visit>
  long VisitValues(std::size_t key, Visit visit) const;
  long Find(std::size_t key, std::u16string_view name, std::uint32_t* index, std::size_t* value) const;
  long Place(std::size_t value, DataPlace* place) const;
  bool IsCellStart(std::uint32_t offset) const;
  bool CheckCells();
  bool Shared(std::uint32_t offset) const;
  bool Freeable(const DataPlace& place, std::size_t key) const;
  std::uint32_t Allocate(std::size_t size);
  std::uint32_t AppendBin(std::size_t length);
  void Free(std::uint32_t offset);
  void FreeData(const DataPlace& place);
  std::uint32_t StoreData(const std::uint8_t* data, std::uint32_t size);

  std::vector<std::uint8_t> m_bytes;
  std::vector<std::uint32_t> m_bins;  // where each bin starts, from the first bin
  Node m_root = 0;
  enum class CellCheck : std::uint8_t { kNotYet, kSound, kHidden };
  CellCheck m_cellCheck = CellCheck::kNotYet;  // see CheckCells
  std::vector<std::uint32_t> m_shared;         // cells that the keys use twice, in order
};

}  // namespace hive
