// Registry files on any bytes: the reader never fails badly, and whatever it reads is written
// and read back as the same keys and values.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/RegFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<RegFileKey> keys;
  int line = 0;
  std::u16string error;
  if (!ParseRegFile({data, size}, &keys, &line, &error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  std::vector<RegFileKey> again;
  if (!ParseRegFile(FormatRegFile(keys), &again, &line, &error)) std::abort();
  if (again.size() != keys.size()) std::abort();
  for (std::size_t k = 0; k < keys.size(); ++k) {
    if (again[k].path != keys[k].path || again[k].remove != keys[k].remove) std::abort();
    if (again[k].values.size() != keys[k].values.size()) std::abort();
    for (std::size_t v = 0; v < keys[k].values.size(); ++v)
      if (again[k].values[v].name != keys[k].values[v].name ||
          again[k].values[v].data != keys[k].values[v].data)
        std::abort();
  }
  return 0;
}
