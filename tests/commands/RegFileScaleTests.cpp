// Reading a profile takes memory in proportion to its size, whatever its shape: the parser once
// copied a value's data again for each line it was continued over, which made a profile under
// the size limit take minutes. Measured by the bytes this program's operator new hands out, not
// by time (scripts/bench-reg-file.sh shows the time).
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "app/RegFile.h"
#include "base/Text.h"
#include "tests/commands/ProfileBytes.h"

namespace {
std::size_t g_allocated = 0;  // bytes asked of operator new; the tests run on one thread
}  // namespace

void* operator new(std::size_t size) {
  g_allocated += size;
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace {

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

std::vector<std::uint8_t> Utf16Bytes(const std::string& text) {
  return Utf16WithBom(base::Utf16FromUtf8(text));
}

// About size bytes of a profile: its header and key, then rows of `repeated` after `first`.
std::string Profile(const std::string& first, const std::string& repeated, const std::string& last,
                    std::size_t size) {
  std::string text =
      "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Key]\r\n" +
      first;
  while (text.size() < size) text += repeated;
  return text + last;
}

TEST(RegFileScale, MemoryGrowsAsTheProfileDoes) {
  constexpr std::size_t kSize = 256 << 10;
  std::string manyKeys = "Windows Registry Editor Version 5.00\r\n";
  for (int i = 0; manyKeys.size() < kSize; ++i)
    manyKeys += "[HKEY_LOCAL_MACHINE\\SYSTEM\\K" + std::to_string(i) + "]\r\n";
  const std::string continued = Profile("\"v\"=hex:00,\\\r\n", "  01,02,\\\r\n", "  03\r\n", kSize);
  const struct {
    const char* shape;
    std::vector<std::uint8_t> bytes;
  } cases[] = {
      {"one value continued over every line", Bytes(continued)},
      {"the same in UTF-16", Utf16Bytes(continued)},
      {"continued lines with blanks around the backslash",
       Bytes(Profile("\"v\"=hex:00, \\ \r\n", "\t01 , 02,\\\t\r\n", "03\r\n", kSize))},
      {"one long hex line", Bytes(Profile("\"v\"=hex:00", ",5a", "\r\n", kSize))},
      {"one long text", Bytes(Profile("\"v\"=\"", "text ", "\"\r\n", kSize))},
      {"many values", Bytes(Profile("", "\"Value\"=dword:00000001\r\n", "", kSize))},
      {"many empty lines", Bytes(Profile("", "\n", "", kSize))},
      {"many keys", Bytes(manyKeys)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shape);
    std::vector<RegFileKey> keys;
    int errorLine = 0;
    std::u16string error;
    g_allocated = 0;
    EXPECT_TRUE(ParseRegFile(c.bytes, &keys, &errorLine, &error)) << base::Utf8FromUtf16(error);
    const std::size_t allocated = g_allocated;
    // The text in UTF-16, a view of each line, the keys and values read, with room to grow.
    EXPECT_LE(allocated, 40 * c.bytes.size()) << allocated << " bytes for a profile of " << c.bytes.size();
  }
}

}  // namespace
