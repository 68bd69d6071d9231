#pragma once
// An adapter of the test's own in the real registry, under a fresh GUID: its hardware
// information in the device key under ControlSet001, and its current device key with the D3D
// subkey under CurrentControlSet. The key is Control\Video\{GUID}\0000 as XP and later name it,
// or the display driver service's Services\qel<part of the GUID>\Device0 as Windows 2000 does.
// Wine's CurrentControlSet is a key of its own (no link to ControlSet001), and below its
// Control\Video only volatile keys can be made: they live as long as the wine server, which the
// test run keeps alive while the program under test runs. Wine's own adapter key is never
// touched. The keys are removed when the object goes.
#include <windows.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

// Values as stored: path below HKEY_LOCAL_MACHINE and name, type, bytes; sorted.
using Stored = std::vector<std::tuple<std::wstring, DWORD, std::vector<BYTE>>>;

class SeededAdapter {
 public:
  enum class Shape { kVideo, kDriverService };

  explicit SeededAdapter(Shape shape = Shape::kVideo);
  ~SeededAdapter();
  SeededAdapter(const SeededAdapter&) = delete;
  SeededAdapter& operator=(const SeededAdapter&) = delete;

  // The four hardware-information values, as a driver stores them: three texts and the memory
  // size in bytes as 4 raw bytes.
  bool SeedHardware(const std::u16string& adapter, const std::u16string& bios, const std::u16string& chipType,
                    std::uint32_t memoryBytes);
  // The current device key, and its D3D subkey when asked for.
  bool CreateCurrentKeys(bool driverSettings);

  // The command-line argument naming this adapter, as discovery hands over a device.
  std::wstring HandOff() const;
  // Paths relative to HKEY_LOCAL_MACHINE.
  const std::wstring& DeviceKey() const { return m_deviceKey; }
  const std::wstring& CurrentKey() const { return m_currentKey; }
  std::wstring DriverSettingsKey() const { return m_currentKey + L"\\D3D"; }
  // Every value of both tuning keys (the current key and its D3D subkey), as stored.
  Stored TuningValues() const;

 private:
  std::wstring m_parent;  // below ControlSet001 or CurrentControlSet: what the object removes
  std::wstring m_deviceKey;
  std::wstring m_currentKey;
};
