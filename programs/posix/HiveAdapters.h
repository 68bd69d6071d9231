#pragma once
// The display adapters of a hive and the choice among the board's: what --list-adapters prints,
// the board that a hive with no board file is given (its adapters of the board's chip type), and
// which adapter a run uses.
//
// The board's adapters are the simulated board's devices whose driver is the board's, in
// enumeration order, numbered from 1: discovery takes the first that answers, --adapter N names
// the Nth. The dialogs open the first of several and say so; the scripting actions, which write
// with no person looking, refuse to pick among several.
#include <optional>
#include <string>
#include <vector>

#include "platform/posix/HiveStore.h"
#include "platform/posix/SimulatedBoard.h"
#include "settings/HardwareInformation.h"

// An adapter's key has one of two shapes: System\<control set>\Control\Video\{GUID}\NNNN (Windows
// XP and later) or the display driver service's System\<control set>\Services\<service>\DeviceN
// (Windows 2000). XP and later keep a service's DeviceN key too; it is not an adapter of its own
// when a Video\{GUID}\Video key names that service.
struct HiveAdapter {
  std::u16string path;              // e.g. System\ControlSet001\Control\Video\{GUID}\0000
  std::u16string deviceKey;         // \Registry\Machine\ and the path, as the system reports it
  HardwareInformation information;  // read as the main dialog reads it
  bool board = false;               // its chip type is the board's
};

struct HiveAdapters {
  std::string hive;
  std::u16string controlSet;  // what CurrentControlSet stands for, e.g. ControlSet001
  std::u16string video;       // System\<the current control set>\Control\Video
  std::u16string services;    // System\<the current control set>\Services
  bool videoFound = false;
  // Every Video\{GUID}\NNNN key, by GUID, then by number; then every Services\<service>\DeviceN
  // key that holds hardware information, of a service that no Video key names, by service, then
  // by number.
  std::vector<HiveAdapter> adapters;

  // The device keys of the adapters whose chip type is the board's, in order.
  std::vector<std::u16string> BoardKeys() const;
  // What was looked at and why none of it is the board's, in words.
  std::string NoneFoundText() const;
};

// Reads the adapters of the hive, through the store (installed as the registry meanwhile).
HiveAdapters FindHiveAdapters(platform::HiveStore& store);

// Prints every adapter of the hive with its hardware information and a hand-off string,
// numbering the board's. Returns the exit status.
int ListAdapters(const HiveAdapters& found, const platform::SimulatedBoard& board);

struct AdapterChoice {
  int status = 0;                      // non-zero: end the run with it, after telling why
  std::string why;                     // why, for standard error
  std::vector<std::string> choices;    // the adapters to choose from, a line each, after why
  bool badCommandLine = false;         // the command line contradicts itself: --help is pointed to
  std::optional<std::string> handOff;  // the adapter the command line names, if any
  std::string note;                    // for the status line: which of several, or why none
};

// The adapter of a run: the hand-off string, --adapter N, or discovery's. boardFromHive says
// that the board was made of the hive's adapters, so that "none" can say what was looked at.
// Says nothing itself: a refusal comes back in words for the caller to tell.
AdapterChoice ChooseAdapter(std::optional<int> number, const std::optional<std::string>& handOff,
                            bool scripted, const platform::SimulatedBoard& board, const HiveAdapters& found,
                            bool boardFromHive);
