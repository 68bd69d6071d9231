// Fuzzes the .res reader: the input is read as a whole .res file, and also directly as a dialog
// template and as list data, so that those parsers are reached without a valid file around them.
#include <cstddef>
#include <cstdint>
#include <span>

#include "framework/portable/Resources.h"

namespace {

void ReadEverything(const portable::ResourceFile& file) {
  for (const auto& entry : file.Entries()) {
    if (!entry.typeName.empty() || !entry.name.empty()) continue;
    switch (entry.typeId) {
      case 5:
        file.Dialog(entry.nameId);
        break;
      case 6:
        for (unsigned slot = 0; slot < 16; ++slot) {
          file.String(static_cast<unsigned>(entry.nameId - 1) * 16 + slot);
        }
        break;
      case 14:
        file.HasIconGroup(entry.nameId);
        break;
      case 240:
        file.DlgInit(entry.nameId);
        break;
      default:
        break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::span<const std::uint8_t> bytes(data, size);
  ReadEverything(portable::ResourceFile(bytes));
  portable::ParseDialogTemplate(bytes);
  portable::ParseDlgInit(bytes);
  return 0;
}
