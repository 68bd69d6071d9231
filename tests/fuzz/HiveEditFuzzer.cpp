// libFuzzer target: a hive and a few edits from outside, made as the program makes them
// (HiveImage, through hive/posix/Hive.h), each followed by the structural check (CheckHive), as
// a save would write the image. An edit may be refused, but it must never turn a hive without
// faults into one with faults, nor add a warning (a cell left allocated that nothing uses, a
// count gone wrong).
//
// Input: one byte n, n bytes of edits, then the hive file (its checksum made right first, so
// that mutations reach past it). Each edit is an operation byte (create a key, set or delete a
// value, on one of the keys met so far: the root, and those the edits made), a name (a length
// byte, then one byte per character, from a few letters that collide in case, a backslash and
// characters beyond Latin-1) and, for a value, a type byte and a size byte (sizes about the
// limits of resident data, cells and big-data segments).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

#include "hive/posix/Hive.h"
#include "tests/fuzz/HiveFuzzInput.h"

namespace {

using hive::HiveImage;

constexpr std::uint64_t kTime = 0x01D0000000000000ULL;
constexpr char16_t kAlphabet[] = u"abAB01eE\u00e9\u00c9\u00ff\u0178\u0416\u0436\u03c9\u03a9\u65e5\\ .";
constexpr std::uint32_t kSizes[] = {0,    1,    3,     4,     5,     8,     12,    100,
                                    1000, 4000, 16340, 16344, 16345, 20000, 32688, 40000};

struct Script {
  const std::uint8_t* at;
  const std::uint8_t* end;
  std::uint8_t Next() { return at < end ? *at++ : 0; }
};

std::u16string Name(Script& script) {
  const std::size_t length = script.Next() % 12;
  std::u16string name;
  for (std::size_t i = 0; i < length; ++i) name += kAlphabet[script.Next() % (std::size(kAlphabet) - 1)];
  return name;
}

void Fail(const char* edit, const std::u16string& name, const hive::HiveCheckReport& report) {
  std::fprintf(stderr, "%s of a name of %zu characters made a sound hive unsound:\n", edit, name.size());
  for (const hive::HiveFinding& finding : report.findings)
    std::fprintf(stderr, "  0x%zx %s\n", finding.offset, finding.text.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t scriptSize = std::min<std::size_t>(data[0], size - 1);
  Script script{data + 1, data + 1 + scriptSize};
  std::vector<std::uint8_t> bytes(data + 1 + scriptSize, data + size);
  fuzz::FixUpHiveFile(bytes);
  HiveImage image;
  std::string why;
  if (!HiveImage::Open(std::move(bytes), &image, &why)) return 0;
  std::uint32_t sequence = image.Sequence() + 1;
  image.MarkClean(sequence, kTime);
  const hive::HiveCheckReport before = hive::CheckHive(image.Bytes());
  const bool sound = before.Sound();

  std::vector<HiveImage::Node> keys{image.Root()};
  while (script.at < script.end) {
    const std::uint8_t operation = script.Next();
    const HiveImage::Node key = keys[(operation / 3) % keys.size()];
    const std::u16string name = Name(script);
    const char* edit = "";
    switch (operation % 3) {
      case 0: {
        edit = "CreateKey";
        HiveImage::Node child = 0;
        if (image.CreateKey(key, name, kTime, &child) == 0 && keys.size() < 64) keys.push_back(child);
        break;
      }
      case 1: {
        edit = "SetValue";
        const std::uint32_t type = script.Next() % 12;
        const std::uint32_t length = kSizes[script.Next() % std::size(kSizes)];
        std::vector<std::uint8_t> value(length, static_cast<std::uint8_t>(length));
        image.SetValue(key, name, type, value.data(), length);
        break;
      }
      case 2:
        edit = "DeleteValue";
        image.DeleteValue(key, name);
        break;
    }
    image.MarkClean(++sequence, kTime);
    if (!sound) continue;
    const hive::HiveCheckReport after = hive::CheckHive(image.Bytes());
    if (!after.Sound() || after.warnings > before.warnings) Fail(edit, name, after);
  }
  return 0;
}
