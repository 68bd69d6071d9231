#include "platform/posix/SimulatedBoard.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sstream>

#include "base/ByteOrder.h"
#include "base/Text.h"
#include "base/posix/FileIo.h"
#include "base/posix/Owners.h"
#include "platform/DriverSettingsKey.h"
#include "platform/Registry.h"
#include "platform/posix/DemoHive.h"

namespace platform {
namespace {

constexpr char kDefaultLog[] = "driver.log";
constexpr int kMostDisplays = 99;  // \\.\DISPLAY1 to \\.\DISPLAY99

// A word of the board file as a message quotes it: control characters as '?'.
std::string Printable(std::string word) {
  for (char& c : word) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return word;
}

// A display device's name as Windows gives it: \\.\DISPLAYn, n in 1..kMostDisplays, no leading
// zero. The name goes into the log and onto the screen, so nothing else is taken.
bool IsDisplayName(std::string_view name) {
  constexpr std::string_view prefix = "\\\\.\\DISPLAY";
  if (name.substr(0, prefix.size()) != prefix) return false;
  const std::string_view digits = name.substr(prefix.size());
  if (digits.empty() || digits.size() > 2 || digits.front() == '0') return false;
  int number = 0;
  for (const char digit : digits) {
    if (digit < '0' || digit > '9') return false;
    number = number * 10 + (digit - '0');
  }
  return number <= kMostDisplays;
}

// A device key is shown on the screen: printable ASCII or UTF-8 beyond it, and no '&', which
// separates the fields of a hand-off string.
bool IsDeviceKey(std::string_view key) {
  return std::none_of(key.begin(), key.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F || c == '&';
  });
}

// The log's name: a file beside the board file. A path could point the driver's lines at any file
// the user may write.
bool IsBareFileName(std::string_view name) {
  return name.find('/') == std::string_view::npos && name != "." && name != "..";
}

// A decimal text value as the driver reads it: REG_SZ or REG_EXPAND_SZ, leading blanks, an
// optional sign, digits.
bool ReadNumber(Registry& registry, const std::u16string& path, std::u16string_view name, long long* number) {
  KeyOwner key;
  if (OpenKey(registry, path, kKeyRead, &key) != kSuccess) return false;
  std::uint8_t data[128] = {};
  std::uint32_t size = sizeof data;
  std::uint32_t type = 0;
  const long status = registry.Query(key.Get(), name, &type, data, &size);
  if (status != kSuccess || (type != kRegSz && type != kRegExpandSz)) return false;
  const std::u16string text = base::TextFromUtf16Bytes(data, size);
  std::size_t at = 0;
  while (at < text.size() && (text[at] == u' ' || text[at] == u'\t')) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == u'-' || text[at] == u'+')) negative = text[at++] == u'-';
  long long value = 0;
  while (at < text.size() && text[at] >= u'0' && text[at] <= u'9' && value < 1000000000000LL)
    value = value * 10 + (text[at++] - u'0');
  *number = negative ? -value : value;
  return true;
}

// A raw value of at most 4 bytes, little-endian, whatever its type.
bool ReadRaw(Registry& registry, const std::u16string& path, std::u16string_view name,
             std::uint32_t* number) {
  KeyOwner key;
  if (OpenKey(registry, path, kKeyRead, &key) != kSuccess) return false;
  std::uint8_t data[4] = {};
  std::uint32_t size = sizeof data;
  if (registry.Query(key.Get(), name, nullptr, data, &size) != kSuccess) return false;
  *number = base::ReadLittleEndian32(data);
  return true;
}

std::string Word(long long number, std::initializer_list<std::pair<long long, const char*>> words) {
  for (const auto& [value, word] : words) {
    if (value == number) return word;
  }
  return "unknown (" + std::to_string(number) + ")";
}

std::string Timestamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

bool StartsWithFolded(std::u16string_view text, std::u16string_view prefix) {
  return text.size() >= prefix.size() && base::NamesEqual(text.substr(0, prefix.size()), prefix);
}

}  // namespace

SimulatedBoard::SimulatedBoard() : m_devices(std::make_unique<SimulatedDevices>()) {
  m_displayMode.SetModeSetHook([this](std::uint32_t width, std::uint32_t height, std::uint32_t bitsPerPixel) {
    (void)width, (void)height, (void)bitsPerPixel;
    Reload();
  });
}

std::string SimulatedBoard::DemoFileText() {
  std::ostringstream text;
  text << "# The simulated display board of configurator's demo.\n"
          "#\n"
          "# One \"device\" line per display device, in enumeration order:\n"
          "#   device NAME DEVICE-KEY DRIVER\n"
          "# DRIVER is \"board\" (the board's driver: it answers the identification escape and reloads\n"
          "# its tuning values on every full-screen mode set) or \"plain\" (a driver that knows no\n"
          "# private escape). The program takes the first device whose driver is the board's.\n"
          "# \"log FILE\" names the file, beside this one, where the board's driver writes one line\n"
          "# for every reload of its values.\n"
          "\n"
       << "device \\\\.\\DISPLAY1 " << base::Utf8FromUtf16(kDemoPlainKey) << " plain\n"
       << "device \\\\.\\DISPLAY2 " << base::Utf8FromUtf16(kDemoBoardKey) << " board\n"
       << "log " << kDefaultLog << "\n";
  return text.str();
}

bool SimulatedBoard::Load(const std::string& path, base::Failure* failure) {
  auto fail = [&](int error) {
    *failure = base::Failure::FromErrno("cannot read board file " + path, error);
    return false;
  };
  std::vector<std::uint8_t> bytes;
  if (const int error = base::ReadFileBytes(path, &bytes); error != 0) return fail(error);
  const std::string text(bytes.begin(), bytes.end());
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
  std::vector<Entry> entries;
  std::string logPath;
  if (!ParseEntries(text, folder, failure, &entries, &logPath)) {
    failure->what = path + ":" + failure->what;
    return false;
  }
  // The driver appends to its log and never follows a link there (see Reload); a log that is not
  // a plain file is refused now, with words, rather than skipped at every reload.
  struct stat log {};
  if (lstat(logPath.c_str(), &log) == 0 && !S_ISREG(log.st_mode)) {
    *failure = base::Failure::Because(
        path, "its log " + logPath + " is not a plain file (a link, a folder or a device)");
    return false;
  }
  Install(std::move(entries), std::move(logPath));
  return true;
}

bool SimulatedBoard::Parse(const std::string& text, const std::string& logFolder, base::Failure* failure) {
  std::vector<Entry> entries;
  std::string logPath;
  if (!ParseEntries(text, logFolder, failure, &entries, &logPath)) return false;
  Install(std::move(entries), std::move(logPath));
  return true;
}

bool SimulatedBoard::ParseEntries(const std::string& text, const std::string& logFolder,
                                  base::Failure* failure, std::vector<Entry>* parsed, std::string* logPath) {
  std::vector<Entry> entries;
  std::string log = kDefaultLog;
  std::istringstream lines(text);
  std::string line;
  for (int number = 1; std::getline(lines, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find('\0') != std::string::npos) {
      *failure =
          base::Failure::Because(std::to_string(number), "the line holds a NUL byte (a board file is text)");
      return false;
    }
    std::istringstream fields(line);
    std::vector<std::string> words;
    for (std::string word; fields >> word;) words.push_back(word);
    if (words.empty() || words.front().front() == '#') continue;
    const std::string where = std::to_string(number);
    if (words.front() == "device") {
      if (words.size() != 4 || (words[3] != "board" && words[3] != "plain")) {
        *failure = base::Failure::Because(where, "expected \"device NAME DEVICE-KEY board|plain\"");
        return false;
      }
      if (!IsDisplayName(words[1])) {
        *failure = base::Failure::Because(where, "a device name is \\\\.\\DISPLAYn, n from 1 to " +
                                                     std::to_string(kMostDisplays) + " (not \"" +
                                                     Printable(words[1]) + "\")");
        return false;
      }
      if (!IsDeviceKey(words[2])) {
        *failure = base::Failure::Because(where, "a device key may not contain '&' or control characters");
        return false;
      }
      const bool board = words[3] == "board";
      entries.push_back(
          Entry{Device{base::Utf16FromUtf8(words[1]), base::Utf16FromUtf8(words[2]), board}, board});
    } else if (words.front() == "log") {
      if (words.size() != 2) {
        *failure = base::Failure::Because(where, "expected \"log FILE\"");
        return false;
      }
      if (!IsBareFileName(words[1])) {
        *failure = base::Failure::Because(
            where, "the log is a file beside the board file: a name without '/' (not \"" +
                       Printable(words[1]) + "\")");
        return false;
      }
      log = words[1];
    } else {
      *failure = base::Failure::Because(
          where, "unknown entry \"" + Printable(words.front()) + "\" (expected \"device\" or \"log\")");
      return false;
    }
  }
  *parsed = std::move(entries);
  *logPath = logFolder + "/" + log;
  return true;
}

void SimulatedBoard::Install(std::vector<Entry> entries, std::string logPath) {
  std::vector<SimulatedDevice> devices;
  for (const Entry& entry : entries) {
    const Device& device = entry.device;
    devices.push_back(device.board ? SimulatedDevice::Board(device.name, device.key)
                                   : SimulatedDevice::Other(device.name, device.key));
  }
  m_devices = std::make_unique<SimulatedDevices>(std::move(devices));
  m_entries = std::move(entries);
  m_logPath = std::move(logPath);
}

void SimulatedBoard::UseAdapters(const std::vector<std::u16string>& deviceKeys) {
  std::vector<Entry> entries;
  for (const std::u16string& key : deviceKeys) {
    const std::string name = "\\\\.\\DISPLAY" + std::to_string(entries.size() + 1);
    entries.push_back(Entry{Device{base::Utf16FromUtf8(name), key, true}, false});
  }
  Install(std::move(entries), std::string());
}

std::vector<SimulatedBoard::Device> SimulatedBoard::Listed() const {
  std::vector<Device> devices;
  for (const Entry& entry : m_entries) devices.push_back(entry.device);
  return devices;
}

std::u16string SimulatedBoard::DriverKeyPath(const std::u16string& deviceKey) {
  std::vector<std::u16string> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = deviceKey.find(u'\\', start);
    parts.push_back(deviceKey.substr(start, end == std::u16string::npos ? end : end - start));
    if (end == std::u16string::npos) break;
    start = end + 1;
  }
  std::size_t system = 0;
  while (system < parts.size() && !base::NamesEqual(parts[system], u"System")) ++system;
  if (system == parts.size()) return deviceKey;
  std::u16string path = u"System";
  for (std::size_t i = system + 1; i < parts.size(); ++i) {
    const bool controlSet = i == system + 1 && StartsWithFolded(parts[i], u"ControlSet");
    path += u"\\" + (controlSet ? std::u16string(u"CurrentControlSet") : parts[i]);
  }
  return path;
}

std::string SimulatedBoard::DescribeValues(const std::u16string& keyPath) {
  Registry& registry = GetRegistry();
  const std::u16string settings = DriverSettingsKeyPath(keyPath);
  std::ostringstream line;
  long long number = 0;
  auto text = [&](std::u16string_view name) { return ReadNumber(registry, settings, name, &number); };

  line << "anti-aliasing ";
  if (!text(u"QLDRV_SLI_AA_CONFIGURATION")) {
    line << "default";
  } else {
    line << Word(number, {{0, "single chip"},
                          {1, "2 samples on 1 chip"},
                          {2, "fastest on 2 chips"},
                          {3, "2 samples on 2 chips"},
                          {4, "4 samples on 2 chips"},
                          {5, "fastest on 4 chips"},
                          {6, "2 samples on 4 chips"},
                          {7, "4 samples on 4 chips"},
                          {8, "8 samples on 4 chips"}});
  }
  line << ", guard band clipping "
       << (text(u"QLDRV_GUARDBAND_CLIPPING") ? Word(number, {{0, "off"}, {1, "on"}}) : "off");
  if (text(u"QLDRV_LOD_BIAS")) {
    char bias[32];
    std::snprintf(bias, sizeof bias, "%+.2f", static_cast<double>(number) / 4);
    line << ", LOD bias " << bias;
  } else {
    line << ", LOD bias +0.00";
  }
  line << ", vsync " << (text(u"QLDRV_SWAPINTERVAL") ? Word(number, {{0, "off"}, {1, "on"}}) : "by software");
  line << ", 3D filter "
       << (text(u"QLDRV_OVERLAYMODE") ? Word(number, {{1, "automatic"}, {2, "normal"}, {3, "high"}})
                                      : "automatic");
  line << ", alpha blending "
       << (text(u"QLDRV_ALPHADITHERMODE") ? Word(number, {{1, "automatic"}, {2, "sharper"}, {3, "smoother"}})
                                          : "automatic");
  line << ", pending buffers ";
  if (!text(u"QLDRV_MAX_PENDING_BUFFERS") || number == 0) {
    line << "default";
  } else {
    line << number;
  }
  line << ", mip-map dithering "
       << (text(u"QLDRV_LOD_DITHER") ? Word(number, {{0, "off"}, {1, "on"}}) : "off");

  std::uint32_t raw = 0;
  line << ", triple buffering "
       << (ReadRaw(registry, keyPath, u"MaxTileBuffers", &raw) && raw == 3 ? "off" : "on");
  std::uint32_t dx8 = 0;
  std::uint32_t dx9 = 0;
  const bool hasDx8 = ReadRaw(registry, keyPath, u"DisableDX8", &dx8);
  const bool hasDx9 = ReadRaw(registry, keyPath, u"DisableDX9", &dx9);
  line << ", Direct3D " << (hasDx8 && dx8 != 0 ? 7 : hasDx9 && dx9 != 0 ? 8 : 9);
  line << ", command FIFO " << (ReadRaw(registry, keyPath, u"CmdFifoSize", &raw) ? raw / 1024 : 512) << "K";
  return line.str();
}

std::u16string SimulatedBoard::DeviceNameFor(const std::u16string& deviceKey) const {
  for (const Entry& entry : m_entries) {
    if (base::NamesEqual(entry.device.key, deviceKey)) return entry.device.name;
  }
  return {};
}

void SimulatedBoard::Reload() {
  for (const Entry& entry : m_entries) {
    if (!entry.reloads) continue;
    const std::string line = Timestamp() + " " + base::Utf8FromUtf16(entry.device.name) +
                             " reloaded: " + DescribeValues(DriverKeyPath(entry.device.key));
    const std::string record = line + "\n";
    // Never through a link (the folder beside a board file may be shared), never a terminal, and
    // only a plain file of this user's with no other name: a FIFO is opened without waiting and
    // then left alone.
    const base::Descriptor fd(
        open(m_logPath.c_str(),
             O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, 0600));
    struct stat log {};
    if (fd.Valid() && fstat(fd.Get(), &log) == 0 && S_ISREG(log.st_mode) && log.st_uid == geteuid() &&
        log.st_nlink == 1) {
      // One write per line, so lines of two programs never mix.
      if (write(fd.Get(), record.data(), record.size()) < 0) {
        // The log is a courtesy: the reload has happened whether or not it could be written.
      }
    }
    std::lock_guard lock(m_mutex);
    m_lastReload = line;
  }
}

std::string SimulatedBoard::LastReload() const {
  std::lock_guard lock(m_mutex);
  return m_lastReload;
}

}  // namespace platform
