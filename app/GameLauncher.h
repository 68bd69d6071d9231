#pragma once
// The per-game launcher: apply a profile and sets, start a program, wait until it and every
// process it started have ended, and put back exactly what was changed.
//
// Before any value changes, the values the change touches (before and as written, absent ones as
// absent) go into a restore record that the store makes durable and holds while the launcher
// runs. Every start of the programs first looks for a record whose launcher is gone and restores
// from it: a setting only where it still holds what the launcher wrote, so that one the user has
// changed since is kept (and named). A record held by a running launcher makes a second launcher
// refuse (75) and is left alone by every other start.
#include <string>
#include <vector>

#include "app/ExitStatus.h"
#include "app/RestoreRecord.h"
#include "app/TuningCommands.h"

// The record is the user's own file, which any program of the user's can write, and restoring it
// writes to the registry with the rights of whoever starts the program next. So a record is put
// back only when every value it names is one of the board's tuning values, in the adapter's key or
// its D3D subkey, of the type and size the setting stores, and the adapter's key has an adapter
// key's shape and the board's chip type. Fails (65) saying what is wrong, with *line the record's
// line that holds it. A record is checked the same way before it is written.
Outcome UntrustedIn(const RestoreRecord& record, int* line);

// Something the launcher tells the user. The GUI program, having no console, shows in a message
// box only those that ask for one.
struct LauncherMessage {
  std::u16string text;  // one line or more, without the program's name
  bool box = false;
};

// What the start found of a record left by a launcher.
enum class LeftRecord {
  kNone,      // none
  kHeld,      // a running launcher holds it: left alone
  kRestored,  // restored (a setting changed since was kept) and deleted
  kFailed,    // not all of it could be put back, or it is damaged: it is kept
};

// Restores from a record whose launcher is gone, refreshing the display mode once when a value
// was put back; tells what it did in *messages.
LeftRecord RestoreLeftRecord(std::vector<LauncherMessage>* messages);

struct LauncherResult {
  int status = sysexits::kOk;  // the program's own once it started, else one of sysexits
  bool started = false;
  std::u16string output;  // what the other actions print (a query)
  std::vector<LauncherMessage> messages;
};

// Runs the actions of commands (a profile, sets) on the adapter of the hand-off string, then the
// command line (the program and its arguments as typed), and restores when it has ended.
LauncherResult RunGame(TuningCommands commands, const std::u16string& handOff,
                       const std::u16string& commandLine);
