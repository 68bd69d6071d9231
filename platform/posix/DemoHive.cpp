#include "platform/posix/DemoHive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/ByteOrder.h"
#include "base/Status.h"
#include "base/Text.h"
#include "base/posix/Folders.h"
#include "base/posix/Owners.h"
#include "hive/posix/Hive.h"
#include "platform/DriverSettingsKey.h"
#include "platform/posix/SimulatedBoard.h"

namespace platform {
namespace {

using base::Descriptor;
using base::Failure;

constexpr std::uint32_t kRegSz = 1;
constexpr std::uint32_t kRegBinary = 3;
constexpr std::uint32_t kRegDword = 4;

struct DemoValue {
  std::u16string_view name;
  std::uint32_t type;
  std::vector<std::uint8_t> data;
};

std::vector<std::uint8_t> Number(std::uint32_t value) {
  const auto bytes = base::LittleEndian32(value);
  return {bytes.begin(), bytes.end()};
}

DemoValue Dword(std::u16string_view name, std::uint32_t value) { return {name, kRegDword, Number(value)}; }
DemoValue Raw(std::u16string_view name, std::uint32_t value) { return {name, kRegBinary, Number(value)}; }
DemoValue Sz(std::u16string_view name, std::u16string_view text) {
  return {name, kRegSz, base::Utf16Bytes(text)};
}
DemoValue BinaryText(std::u16string_view name, std::u16string_view text) {
  return {name, kRegBinary, base::Utf16Bytes(text)};
}

// The key path below the hive root for a device key "\Registry\Machine\System\...".
std::vector<std::u16string> HivePath(std::u16string_view deviceKey) {
  std::vector<std::u16string> parts;
  const std::u16string_view text =
      deviceKey.substr(std::u16string_view(u"\\Registry\\Machine\\System\\").size());
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = text.find(u'\\', start);
    parts.emplace_back(
        text.substr(start, end == std::u16string_view::npos ? std::u16string_view::npos : end - start));
    if (end == std::u16string_view::npos) break;
    start = end + 1;
  }
  return parts;
}

class DemoBuilder {
 public:
  DemoBuilder(hive::HiveImage* image, std::uint64_t now) : m_image(image), m_now(now) {}

  // The key at this path below the root, made with its parents where missing; 0 on failure.
  hive::HiveImage::Node NodeAt(const std::vector<std::u16string>& path) {
    hive::HiveImage::Node node = m_image->Root();
    for (const std::u16string& name : path) {
      if (node == 0 || m_image->CreateKey(node, name, m_now, &node) != base::kSuccess) return 0;
    }
    return node;
  }

  bool Values(hive::HiveImage::Node node, const std::vector<DemoValue>& values) {
    if (node == 0) return false;
    for (const DemoValue& value : values) {
      if (m_image->SetValue(node, value.name, value.type, value.data.data(),
                            static_cast<std::uint32_t>(value.data.size())) != base::kSuccess)
        return false;
    }
    return true;
  }

 private:
  hive::HiveImage* m_image;
  std::uint64_t m_now;
};

bool FillDemoHive(hive::HiveImage* image, std::uint64_t now) {
  DemoBuilder demo(image, now);
  bool ok = demo.Values(demo.NodeAt({u"Select"}), {Dword(u"Current", 1), Dword(u"Default", 1),
                                                   Dword(u"Failed", 0), Dword(u"LastKnownGood", 1)});

  std::vector<std::u16string> plain = HivePath(kDemoPlainKey);
  ok = ok && demo.Values(demo.NodeAt(plain),
                         {BinaryText(u"HardwareInformation.AdapterString", u"Standard VGA Adapter"),
                          BinaryText(u"HardwareInformation.BiosString", u"VGA BIOS 1.02"),
                          BinaryText(u"HardwareInformation.ChipType", u"VGA"),
                          Dword(u"HardwareInformation.MemorySize", 16 << 20)});
  plain.back() = u"Video";
  ok = ok && demo.Values(demo.NodeAt(plain), {Sz(u"Service", u"vga")});

  std::vector<std::u16string> board = HivePath(kDemoBoardKey);
  ok = ok && demo.Values(demo.NodeAt(board),
                         {BinaryText(u"HardwareInformation.AdapterString", u"QEL 700 M720 Dual"),
                          BinaryText(u"HardwareInformation.BiosString", u"QEL BIOS 3.07.21"),
                          Sz(u"HardwareInformation.ChipType", u"QEL 700"),
                          Raw(u"HardwareInformation.MemorySize", 64 << 20), Raw(u"MaxTileBuffers", 4),
                          Raw(u"DisableDX8", 0), Raw(u"DisableDX9", 0), Raw(u"CmdFifoSize", 524288)});
  board.emplace_back(kDriverSettingsSubkey);
  ok = ok &&
       demo.Values(demo.NodeAt(board), {Sz(u"QLDRV_SLI_AA_CONFIGURATION", u"3"),
                                        Sz(u"QLDRV_GUARDBAND_CLIPPING", u"1"), Sz(u"QLDRV_LOD_BIAS", u"0"),
                                        Sz(u"QLDRV_SWAPINTERVAL", u"1"), Sz(u"QLDRV_OVERLAYMODE", u"1")});
  board.pop_back();
  board.back() = u"Video";
  ok = ok && demo.Values(demo.NodeAt(board), {Sz(u"Service", u"qel700")});
  return ok;
}

bool WriteTextFile(const std::string& path, const std::string& text, Failure* failure) {
  Descriptor fd(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  if (!fd.Valid()) {
    *failure = Failure::FromErrno("cannot create " + path, errno);
    return false;
  }
  const bool written =
      write(fd.Get(), text.data(), text.size()) == static_cast<ssize_t>(text.size()) && fsync(fd.Get()) == 0;
  if (!written) *failure = Failure::FromErrno("cannot write " + path, errno);
  return written;
}

void RemoveAssembly(const std::string& folder) {
  unlink((folder + "/" + kDemoHiveName).c_str());
  unlink((folder + "/" + kDemoBoardName).c_str());
  rmdir(folder.c_str());
}

}  // namespace

std::string DefaultDataFolder() {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome != nullptr && dataHome[0] == '/') return std::string(dataHome) + "/configurator";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.local/share/configurator";
  return {};
}

bool WriteDemoHive(const std::string& path, Failure* failure) {
  const std::uint64_t now = hive::FiletimeNow();
  hive::HiveImage image;
  std::string why;
  if (!hive::HiveImage::Open(hive::EmptyHiveImage(now), &image, &why) || !FillDemoHive(&image, now)) {
    *failure = Failure::Because("cannot make the demo hive " + path,
                                why.empty() ? "the hive engine refused it" : why);
    return false;
  }
  if (Failure written = hive::WriteNewHive(path, image.Bytes()); written.Failed()) {
    *failure = written;
    return false;
  }
  return true;
}

DemoFolder EnsureDemoFolder(const std::string& folder, Failure* failure) {
  struct stat existing {};
  if (lstat(folder.c_str(), &existing) == 0) {
    // It holds the hive the program saves and its backups: the user's own, or none.
    if (const std::string why = base::WhyNotOwnFolder(existing); !why.empty()) {
      *failure =
          Failure::Because("cannot use data folder " + folder,
                           why + "; set XDG_DATA_HOME to a folder of your own, or name a hive with --hive");
      return DemoFolder::kFailed;
    }
    return DemoFolder::kExisting;
  }
  if (errno != ENOENT) {
    *failure = Failure::FromErrno("cannot use data folder " + folder, errno);
    return DemoFolder::kFailed;
  }
  // The folders above it may be anyone's (XDG_DATA_HOME=/tmp); it is made private below.
  if (const std::size_t slash = folder.rfind('/'); slash != std::string::npos && slash > 0) {
    if (Failure made = base::MakeFolders(folder.substr(0, slash), false); made.Failed()) {
      *failure = made;
      return DemoFolder::kFailed;
    }
  }

  std::string assembly = folder + ".new.XXXXXX";
  if (mkdtemp(assembly.data()) == nullptr) {
    *failure = Failure::FromErrno("cannot create a folder beside " + folder, errno);
    return DemoFolder::kFailed;
  }
  // mkdtemp made it private (0700), as the XDG rules ask of the data folder.
  if (!WriteDemoHive(assembly + "/" + kDemoHiveName, failure) ||
      !WriteTextFile(assembly + "/" + kDemoBoardName, SimulatedBoard::DemoFileText(), failure)) {
    RemoveAssembly(assembly);
    return DemoFolder::kFailed;
  }
  // rename(2) replaces at most an empty folder: a data folder that another start filled
  // meanwhile wins and ours is dropped.
  if (rename(assembly.c_str(), folder.c_str()) != 0) {
    const int renameError = errno;
    RemoveAssembly(assembly);
    if (renameError == EEXIST || renameError == ENOTEMPTY) return DemoFolder::kExisting;
    *failure = Failure::FromErrno("cannot create data folder " + folder, renameError);
    return DemoFolder::kFailed;
  }
  const std::size_t slash = folder.rfind('/');
  const std::string parentPath = slash == std::string::npos ? "."
                                 : slash == 0               ? "/"
                                                            : folder.substr(0, slash);
  if (const Descriptor parent(open(parentPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)); parent.Valid())
    fsync(parent.Get());
  return DemoFolder::kCreated;
}

}  // namespace platform
