// libFuzzer target: a hive file and its logs from outside (see HiveFuzzInput.h), loaded as the
// program loads them (recovered from the logs when dirty), walked as the program and
// --list-adapters walk it (every key to a small depth, every value read), then values of the
// Select key written as a save writes them. Anything but a crash is fine: errors are status codes.
//
// Two ways, chosen by the input itself so that a found input takes the same way again: one input
// in 16 (those whose bytes add up to a multiple of 16) goes through files and the hive store, with
// a commit that rewrites the hive; the others go through the same recovery and image in memory,
// many times faster, and there every value is read whole and what was written must read back.
//
// The file way's scratch folder is made once in $TMPDIR (else /tmp) and removed when the process
// exits.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

#include "base/ByteOrder.h"
#include "hive/HiveImage.h"
#include "hive/HiveRecovery.h"
#include "platform/Registry.h"
#include "platform/Status.h"
#include "platform/posix/HiveStore.h"
#include "tests/fuzz/HiveFuzzInput.h"

namespace {

std::string& Scratch() {
  static std::string folder;
  return folder;
}

void RemoveScratch() {
  std::error_code ignored;
  if (!Scratch().empty()) std::filesystem::remove_all(Scratch(), ignored);
}

// The scratch folder, emptied.
const std::string& EmptyScratch() {
  if (Scratch().empty()) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && tmp[0] != 0 ? tmp : "/tmp") + "/hive-fuzz.XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    Scratch() = pattern;
    std::atexit(RemoveScratch);
  }
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(Scratch(), ignored))
    std::filesystem::remove_all(entry.path(), ignored);
  return Scratch();
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
}

void Walk(platform::HiveStore& store, const std::u16string& path, int depth) {
  platform::RegKey key = 0;
  if (store.Open(path, platform::kKeyRead, &key) != 0) return;
  std::vector<std::u16string> names;
  if (store.Values(key, &names) == 0) {
    for (const std::u16string& name : names) {
      std::uint8_t data[64];
      std::uint32_t type = 0;
      std::uint32_t size = sizeof data;
      store.Query(key, name, &type, data, &size);
      store.Query(key, name, &type, nullptr, &size);
    }
  }
  std::vector<std::u16string> subkeys;
  const long status = store.Subkeys(key, &subkeys);
  store.Close(key);
  if (status != 0 || depth == 0) return;
  for (std::size_t i = 0; i < subkeys.size() && i < 16; ++i)
    Walk(store, path + u"\\" + subkeys[i], depth - 1);
}

void ThroughFiles(const fuzz::HiveFiles& files) {
  const std::string& folder = EmptyScratch();
  const std::string path = folder + "/SYSTEM";
  WriteFile(path, files.primary);
  if (!files.log1.empty() || files.emptyLogsPresent) WriteFile(path + ".LOG1", files.log1);
  if (!files.log2.empty() || files.emptyLogsPresent) WriteFile(path + ".LOG2", files.log2);

  base::Failure failure;
  auto store = platform::HiveStore::Load(path, &failure);
  if (!store) return;
  Walk(*store, u"System", 4);
  Walk(*store, u"System\\CurrentControlSet\\Control\\Video", 3);
  platform::RegKey key = 0;
  if (store->Open(u"System\\Select", platform::kKeyWrite, &key) == 0) {
    const std::uint8_t value[4] = {1, 0, 0, 0};
    store->Set(key, u"Current", platform::kRegDword, value, sizeof value);
    store->Delete(key, u"Default");
    store->Close(key);
    store->Flush();
  }
}

using hive::HiveImage;

void Walk(const HiveImage& image, HiveImage::Node node, int depth) {
  std::vector<std::u16string> names;
  if (image.ValueNames(node, &names) == 0) {
    for (const std::u16string& name : names) {
      HiveImage::Value value;
      if (image.FindValue(node, name, &value) != 0) continue;
      std::vector<std::uint8_t> data(value.size);
      image.ReadValue(value, data.data());
    }
  }
  std::vector<std::u16string> subkeys;
  if (image.Subkeys(node, &subkeys) != 0 || depth == 0) return;
  for (std::size_t i = 0; i < subkeys.size() && i < 16; ++i) {
    HiveImage::Node child = 0;
    if (image.Child(node, subkeys[i], &child) == 0) Walk(image, child, depth - 1);
  }
}

HiveImage::Node Path(const HiveImage& image, std::initializer_list<std::u16string_view> names) {
  HiveImage::Node node = image.Root();
  for (const std::u16string_view name : names) {
    if (image.Child(node, name, &node) != 0) return 0;
  }
  return node;
}

// What a value reads as: its type and bytes; empty with type ~0 when it cannot be read.
std::pair<std::uint32_t, std::vector<std::uint8_t>> Read(const HiveImage& image, HiveImage::Node node,
                                                         std::u16string_view name) {
  HiveImage::Value value;
  if (image.FindValue(node, name, &value) != 0) return {~0U, {}};
  std::vector<std::uint8_t> data(value.size);
  if (image.ReadValue(value, data.data()) != 0) return {~0U, {}};
  return {value.type, std::move(data)};
}

// The control set the program's "CurrentControlSet" stands for (see HiveStore).
std::u16string CurrentControlSet(const HiveImage& image) {
  std::uint32_t number = 0;
  if (const HiveImage::Node select = Path(image, {u"Select"}); select != 0) {
    for (const std::u16string_view name : {u"Current", u"Default"}) {
      const auto [type, data] = Read(image, select, name);
      if (number == 0 || number > 999)
        number = data.size() == 4 && (type == platform::kRegDword || type == platform::kRegBinary)
                     ? base::ReadLittleEndian32(data.data())
                     : 0;
    }
  }
  if (number == 0 || number > 999) number = 1;
  char name[16];
  std::snprintf(name, sizeof name, "ControlSet%03u", number);
  return {name, name + std::strlen(name)};
}

void InMemory(fuzz::HiveFiles& files) {
  hive::HiveLogs logs;
  if (!files.log1.empty() || files.emptyLogsPresent)
    logs.log1 = hive::HiveLogFile{"SYSTEM.LOG1", std::move(files.log1), {}};
  if (!files.log2.empty() || files.emptyLogsPresent)
    logs.log2 = hive::HiveLogFile{"SYSTEM.LOG2", std::move(files.log2), {}};
  hive::HiveRecovery recovery = hive::RecoverHive(files.primary, logs);
  using Outcome = hive::HiveRecovery::Outcome;
  // As the load does: a dirty hive that its logs cannot recover is shown as it is, never written.
  if (recovery.outcome == Outcome::kRefused && !recovery.dirty) return;
  const bool writable = recovery.outcome != Outcome::kRefused && recovery.notWhole.empty();
  std::vector<std::uint8_t> bytes =
      recovery.outcome == Outcome::kRefused ? std::move(files.primary) : std::move(recovery.image);
  // Room for the bins that the writes below append, as a load leaves room for them: else the
  // first new bin moves the image into a fresh megabyte, which costs most of a run here.
  bytes.reserve(bytes.size() + (64 << 10));
  HiveImage image;
  std::string why;
  if (!HiveImage::Open(std::move(bytes), &image, &why)) return;
  Walk(image, image.Root(), 4);
  const std::u16string controlSet = CurrentControlSet(image);
  if (const HiveImage::Node video = Path(image, {controlSet, u"Control", u"Video"}); video != 0)
    Walk(image, video, 3);
  const HiveImage::Node select = Path(image, {u"Select"});
  if (!writable || select == 0) return;

  // A value of the program's, a long one (in segments) and one removed; each value set must read
  // back so from the hive that a save would write.
  const std::uint8_t current[4] = {1, 0, 0, 0};
  static const std::vector<std::uint8_t> longData = [] {
    std::vector<std::uint8_t> pattern(40000);
    std::iota(pattern.begin(), pattern.end(), std::uint8_t{0});
    return pattern;
  }();
  const bool setCurrent = image.SetValue(select, u"Current", platform::kRegDword, current, 4) == 0;
  const bool setLong = image.SetValue(select, u"Long", platform::kRegBinary, longData.data(),
                                      static_cast<std::uint32_t>(longData.size())) == 0;
  image.DeleteValue(select, u"Default");
  image.StampKey(select, 0x01D0000000000000ULL);
  image.MarkClean(recovery.highestSequence + 1, 0x01D0000000000000ULL);

  HiveImage saved;
  if (!HiveImage::Open(image.Bytes(), &saved, &why)) std::abort();
  if (setCurrent &&
      Read(saved, select, u"Current") != std::pair{platform::kRegDword, std::vector(current, current + 4)})
    std::abort();
  if (setLong && Read(saved, select, u"Long") != std::pair{platform::kRegBinary, longData}) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::HiveFiles files;
  if (!fuzz::SplitHiveInput(data, size, &files)) return 0;
  if (std::accumulate(data, data + size, 0U) % 16 == 0)
    ThroughFiles(files);
  else
    InMemory(files);
  return 0;
}

// The kept inputs' test takes every hive input both ways, whichever way its bytes would choose.
extern "C" int HiveFuzzBothWays(const std::uint8_t* data, std::size_t size) {
  fuzz::HiveFiles files;
  if (!fuzz::SplitHiveInput(data, size, &files)) return 0;
  ThroughFiles(files);
  InMemory(files);
  return 0;
}
