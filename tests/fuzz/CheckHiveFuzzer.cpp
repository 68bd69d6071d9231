// libFuzzer target: any bytes as a hive file, given to the structural check (CheckHive). It must
// end, read nothing outside the bytes, and name only offsets inside them. A hive it calls sound
// must read as sound: opened, every key listed and every value read without a status of damage.
//
// The base block's checksum is made right first, so that mutations reach past it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "hive/posix/Hive.h"
#include "tests/fuzz/HiveFuzzInput.h"

namespace {

using hive::HiveImage;

// Every key below node, every value read; false at the first status other than success.
bool ReadsWhole(const HiveImage& image, HiveImage::Node node) {
  std::vector<std::u16string> names;
  if (image.ValueNames(node, &names) != 0) return false;
  for (const std::u16string& name : names) {
    HiveImage::Value value;
    if (image.FindValue(node, name, &value) != 0) return false;
    std::vector<std::uint8_t> data(value.size);
    if (image.ReadValue(value, data.data()) != 0) return false;
  }
  if (image.Subkeys(node, &names) != 0) return false;
  for (const std::u16string& name : names) {
    HiveImage::Node child = 0;
    if (image.Child(node, name, &child) != 0 || !ReadsWhole(image, child)) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> bytes(data, data + size);
  fuzz::FixUpHiveFile(bytes);
  const hive::HiveCheckReport report = hive::CheckHive(bytes);
  if (report.findings.size() > report.faults + report.warnings) std::abort();
  for (const hive::HiveFinding& finding : report.findings)
    if (finding.offset > bytes.size() || finding.text.empty()) std::abort();
  if (!report.Sound()) return 0;
  // A sound hive's keys form a tree of at most 512 levels, so the walk ends.
  HiveImage image;
  std::string why;
  if (!HiveImage::Open(bytes, &image, &why) || !ReadsWhole(image, image.Root())) std::abort();
  return 0;
}
