// QueryString and ReadNumber on a stored value of any type, size and bytes, into a buffer of
// any capacity (exactly that large, so that the sanitizer sees any write past it).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "base/Service.h"
#include "settings/SettingsKey.h"
#include "settings/ValueAccess.h"
#include "tests/support/MemoryRegistry.h"

namespace {
const std::u16string kKey = u"System\\CurrentControlSet\\Control\\Video\\{F}\\0000\\D3D";
void Check(bool condition) {
  if (!condition) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::uint32_t type = data[0] % 6;       // REG_NONE .. REG_DWORD_BIG_ENDIAN
  const std::uint32_t capacity = data[1] % 80;  // characters
  std::vector<std::uint8_t> stored(data + 2, data + size);

  platform::MemoryRegistry registry;
  registry.SetValue(kKey, u"Value", type, stored);
  const base::Installed<platform::SetRegistry> installed(registry);

  CSettingsKey key;
  Check(key.Open(kKey, platform::kKeyRead) == platform::kSuccess);
  auto buffer = std::make_unique<char16_t[]>(capacity);
  std::uint32_t count = capacity;
  const long status = key.QueryString(u"Value", capacity > 0 ? buffer.get() : nullptr, count);
  Check(status == platform::kSuccess || status == platform::kInvalidData || status == platform::kMoreData);
  if (status == platform::kSuccess) {
    Check(type == platform::kRegSz || type == platform::kRegExpandSz);
    // Without a buffer only the size is asked for: no check of the text, half the bytes.
    Check(count == stored.size() / 2);
    if (capacity > 0) {
      Check(count * 2 == stored.size());
      Check(count <= capacity);
      Check(count == 0 ? buffer[0] == 0 : buffer[count - 1] == 0);
    }
  } else {
    Check(count == 0);
  }
  std::uint32_t sizeOnly = 0;
  const long sizeStatus = key.QueryString(u"Value", nullptr, sizeOnly);
  Check(sizeStatus == platform::kSuccess || sizeStatus == platform::kInvalidData);
  key.Close();

  std::int32_t value = 12345;
  const bool read = ReadNumber(kKey, u"Value", value);
  Check(read || value == 12345);
  Check(registry.OpenHandleCount() == 0);
  return 0;
}
