#include "platform/posix/DemoHive.h"

#include <fcntl.h>
#include <hivex.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/ByteOrder.h"
#include "base/Text.h"
#include "platform/DriverSettingsKey.h"
#include "platform/posix/EmptyHive.h"
#include "platform/posix/Folders.h"
#include "platform/posix/Owners.h"
#include "platform/posix/SimulatedBoard.h"

namespace platform {
namespace {

struct DemoValue {
  const char* name;
  hive_type type;
  std::vector<char> data;
};

std::vector<char> Utf16Text(std::u16string_view text) {
  const std::vector<std::uint8_t> bytes = base::Utf16Bytes(text);
  return {bytes.begin(), bytes.end()};
}

std::vector<char> Number(std::uint32_t value) {
  const auto bytes = base::LittleEndian32(value);
  return {bytes.begin(), bytes.end()};
}

DemoValue Dword(const char* name, std::uint32_t value) { return {name, hive_t_REG_DWORD, Number(value)}; }
DemoValue Raw(const char* name, std::uint32_t value) { return {name, hive_t_REG_BINARY, Number(value)}; }
DemoValue Sz(const char* name, std::u16string_view text) { return {name, hive_t_REG_SZ, Utf16Text(text)}; }
DemoValue BinaryText(const char* name, std::u16string_view text) {
  return {name, hive_t_REG_BINARY, Utf16Text(text)};
}

// The key path below the hive root for a device key "\Registry\Machine\System\...".
std::vector<std::string> HivePath(std::u16string_view deviceKey) {
  std::vector<std::string> parts;
  const std::string text =
      base::Utf8FromUtf16(deviceKey.substr(std::u16string_view(u"\\Registry\\Machine\\System\\").size()));
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = text.find('\\', start);
    parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return parts;
}

class DemoBuilder {
 public:
  explicit DemoBuilder(hive_h* hive) : m_hive(hive) {}

  // The key at this path below the root, made with its parents where missing; 0 on failure.
  hive_node_h NodeAt(const std::vector<std::string>& path) {
    hive_node_h node = hivex_root(m_hive);
    for (const std::string& name : path) {
      if (node == 0) return 0;
      const hive_node_h child = hivex_node_get_child(m_hive, node, name.c_str());
      node = child != 0 ? child : hivex_node_add_child(m_hive, node, name.c_str());
    }
    return node;
  }

  bool Values(hive_node_h node, std::vector<DemoValue> values) {
    if (node == 0) return false;
    std::vector<hive_set_value> list;
    for (DemoValue& value : values) {
      list.push_back(
          hive_set_value{const_cast<char*>(value.name), value.type, value.data.size(), value.data.data()});
    }
    return hivex_node_set_values(m_hive, node, list.size(), list.data(), 0) == 0;
  }

 private:
  hive_h* m_hive;
};

bool FillDemoHive(hive_h* hive) {
  DemoBuilder demo(hive);
  bool ok = demo.Values(demo.NodeAt({"Select"}), {Dword("Current", 1), Dword("Default", 1),
                                                  Dword("Failed", 0), Dword("LastKnownGood", 1)});

  std::vector<std::string> plain = HivePath(kDemoPlainKey);
  ok = ok && demo.Values(demo.NodeAt(plain),
                         {BinaryText("HardwareInformation.AdapterString", u"Standard VGA Adapter"),
                          BinaryText("HardwareInformation.BiosString", u"VGA BIOS 1.02"),
                          BinaryText("HardwareInformation.ChipType", u"VGA"),
                          Dword("HardwareInformation.MemorySize", 16 << 20)});
  plain.back() = "Video";
  ok = ok && demo.Values(demo.NodeAt(plain), {Sz("Service", u"vga")});

  std::vector<std::string> board = HivePath(kDemoBoardKey);
  ok = ok && demo.Values(demo.NodeAt(board),
                         {BinaryText("HardwareInformation.AdapterString", u"QEL 700 M720 Dual"),
                          BinaryText("HardwareInformation.BiosString", u"QEL BIOS 3.07.21"),
                          Sz("HardwareInformation.ChipType", u"QEL 700"),
                          Raw("HardwareInformation.MemorySize", 64 << 20), Raw("MaxTileBuffers", 4),
                          Raw("DisableDX8", 0), Raw("DisableDX9", 0), Raw("CmdFifoSize", 524288)});
  board.push_back(base::Utf8FromUtf16(kDriverSettingsSubkey));
  ok =
      ok && demo.Values(demo.NodeAt(board), {Sz("QLDRV_SLI_AA_CONFIGURATION", u"3"),
                                             Sz("QLDRV_GUARDBAND_CLIPPING", u"1"), Sz("QLDRV_LOD_BIAS", u"0"),
                                             Sz("QLDRV_SWAPINTERVAL", u"1"), Sz("QLDRV_OVERLAYMODE", u"1")});
  board.pop_back();
  board.back() = "Video";
  ok = ok && demo.Values(demo.NodeAt(board), {Sz("Service", u"qel700")});
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
  if (!WriteEmptyHive(path, failure)) return false;
  HiveHandle hive(hivex_open(path.c_str(), HIVEX_OPEN_WRITE));
  if (hive == nullptr) {
    *failure = Failure::FromErrno("cannot read the new hive " + path, errno);
    return false;
  }
  // The file is new and not yet in use, so libhivex may rewrite it in place.
  const bool filled = FillDemoHive(hive.get()) && hivex_commit(hive.get(), nullptr, 0) == 0;
  const int fillError = errno;
  hive.reset();
  if (!filled) {
    *failure = Failure::FromErrno("cannot write the demo hive " + path, fillError);
    return false;
  }
  if (const Descriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC)); fd.Valid()) fsync(fd.Get());
  return true;
}

DemoFolder EnsureDemoFolder(const std::string& folder, Failure* failure) {
  struct stat existing {};
  if (lstat(folder.c_str(), &existing) == 0) {
    // It holds the hive the program saves and its backups: the user's own, or none.
    if (const std::string why = WhyNotOwnFolder(existing); !why.empty()) {
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
    if (Failure made = MakeFolders(folder.substr(0, slash), false); made.Failed()) {
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
