#pragma once
// The simulated board: the display devices of a small text file, and for the devices driven by
// the board's driver, that driver's two duties: answering the identification escape (see
// SimulatedDevices) and reloading its tuning values on every full-screen mode set.
//
// The board file, one entry a line ('#' starts a comment, fields are separated by blanks):
//
//   device NAME DEVICE-KEY DRIVER   a display device, in enumeration order. NAME is
//                                   \\.\DISPLAYn (n from 1 to 99); DEVICE-KEY holds no '&' and
//                                   no control character; DRIVER is "board" (the board's
//                                   driver) or "plain" (a driver that knows no private escape).
//                                   Example:
//     device \\.\DISPLAY1 \Registry\Machine\System\ControlSet001\Control\Video\{...}\0000 plain
//   log FILE                        the reload log: a file name (no '/') beside the board file
//                                   (default "driver.log"). It is appended to, never through a
//                                   link, and only while it is a plain file of the user's.
//
// A board can also be made without a file, from adapters found elsewhere (UseAdapters): the
// program does so for a hive that comes with no board file, whose adapters of the board's chip
// type are then the board's devices.
//
// The reload: on a mode set after an exclusive full-screen cooperative level, each board device
// of a board file reads its values through platform::GetRegistry() as the driver does at a mode change, from
// its key through CurrentControlSet (the raw values) and its D3D subkey (the decimal texts),
// and appends one line to the log saying in words what it will now use, with the local time.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/Failure.h"
#include "platform/posix/DisplayDevices.h"
#include "platform/posix/DisplayMode.h"

namespace platform {

class SimulatedBoard {
 public:
  SimulatedBoard();
  SimulatedBoard(const SimulatedBoard&) = delete;
  SimulatedBoard& operator=(const SimulatedBoard&) = delete;

  // Reads a board file. false, with *failure naming the file (and line) and saying why, when it
  // cannot be used; the board is then unchanged. failure->error is the system's error when the
  // file cannot be read (missing, a folder, a read error), 0 when its text is not a board file.
  bool Load(const std::string& path, base::Failure* failure);
  // Reads board file text; logFolder is the folder of the log. On failure, *failure names the
  // line and the board is unchanged.
  bool Parse(const std::string& text, const std::string& logFolder, base::Failure* failure);

  // Makes the board of the given device keys, in the order given: each a device of the board's
  // driver, named \\.\DISPLAY1, \\.\DISPLAY2, ... They answer the identification escape but
  // reload nothing and keep no log: no driver runs on the installation they were found in.
  void UseAdapters(const std::vector<std::u16string>& deviceKeys);

  // A device of the board, as enumerated.
  struct Device {
    std::u16string name;
    std::u16string key;
    bool board = false;  // driven by the board's driver: it answers the identification escape
  };
  // Every device, in enumeration order.
  std::vector<Device> Listed() const;

  // The text of the demo data folder's board file: the demo's plain adapter, then its board.
  static std::string DemoFileText();

  // The services to install with platform::SetDisplayDevices and platform::SetDisplayMode.
  SimulatedDevices& Devices() { return *m_devices; }
  SimulatedDisplayMode& DisplayMode() { return m_displayMode; }

  // The name of the device with this device key (any case), or empty.
  std::u16string DeviceNameFor(const std::u16string& deviceKey) const;

  // The board devices reload their values now (as on a mode set).
  void Reload();
  // The line that the last reload appended to the log (without the newline); empty before the
  // first reload. For the terminal front end's status line.
  std::string LastReload() const;
  const std::string& LogPath() const { return m_logPath; }

  // The registry path (from "System" on, through CurrentControlSet) that the driver of a device
  // key reads; exposed for tests.
  static std::u16string DriverKeyPath(const std::u16string& deviceKey);
  // One reload line, without time: the values read from the registry under keyPath, in words.
  static std::string DescribeValues(const std::u16string& keyPath);

 private:
  struct Entry {
    Device device;
    bool reloads = false;  // a board device whose driver reloads its values on a mode set
  };
  static bool ParseEntries(const std::string& text, const std::string& logFolder, base::Failure* failure,
                           std::vector<Entry>* entries, std::string* logPath);
  void Install(std::vector<Entry> entries, std::string logPath);

  std::unique_ptr<SimulatedDevices> m_devices;
  SimulatedDisplayMode m_displayMode;
  std::vector<Entry> m_entries;
  std::string m_logPath;
  mutable std::mutex m_mutex;
  std::string m_lastReload;
};

}  // namespace platform
