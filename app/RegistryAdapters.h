#pragma once
// The display adapters that the registry holds, whether or not their driver runs: the Linux
// program's only way to find them in a hive, and the Windows programs' way when no display device
// answers as the board's (Safe Mode, or a fallback display driver, where the board's driver is
// not loaded but its keys are there).
//
// An adapter's key has one of two shapes (settings/AdapterKey.h):
//   System\<control set>\Control\Video\{GUID}\NNNN     Windows XP and later
//   System\<control set>\Services\<service>\DeviceN    Windows 2000: the display driver service's
// XP and later keep a service's DeviceN key too; it is not an adapter of its own when a
// Video\{GUID}\Video key names that service.
#include <optional>
#include <string>
#include <vector>

#include "app/ExitStatus.h"
#include "settings/HardwareInformation.h"

struct RegistryAdapter {
  std::u16string path;              // e.g. System\ControlSet001\Control\Video\{GUID}\0000
  HardwareInformation information;  // read as the main dialog reads it
};

struct RegistryAdapters {
  std::u16string controlSet;  // what CurrentControlSet stands for, e.g. ControlSet001
  std::u16string video;       // System\<the control set>\Control\Video
  std::u16string services;    // System\<the control set>\Services
  bool videoFound = false;
  // Every Video\{GUID}\NNNN key, by GUID, then by number; then every Services\<service>\DeviceN
  // key that holds hardware information, of a service that no Video key names, by service, then
  // by number. Names sort as the registry sorts them, without regard to case.
  std::vector<RegistryAdapter> adapters;
};

// The control set that CurrentControlSet stands for, as Windows links it at boot: the one that
// System\Select's Current names; CurrentControlSet itself when none is named.
std::u16string CurrentControlSetName();

// Reads the adapters of a control set through the program's registry.
RegistryAdapters FindRegistryAdapters(const std::u16string& controlSet);

// The board's adapters among them, numbered from 1 in this order: those whose chip type is the
// board's and whose key a hand-off string can name (no '&').
std::vector<const RegistryAdapter*> BoardAdapters(const RegistryAdapters& found);

// Every adapter, one a line, the board's with their numbers, for /list-adapters.
std::u16string RegistryAdaptersText(const RegistryAdapters& found);

// The board's adapter for the scripting switches when no display device answers: the one of
// that number, or the only one. Its hand-off string (no device name: no device stands for it) in
// *handOff; none when the registry holds no adapter of the board. Several without a number, or a
// number out of range: 64, saying which there are.
Outcome ChooseRegistryAdapter(const RegistryAdapters& found, std::optional<int> number,
                              std::u16string* handOff);
