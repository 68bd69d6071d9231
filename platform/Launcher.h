#pragma once
// What the per-game launcher needs from the system: the restore record's file, which a running
// launcher holds open so that every other start can tell it is alive, and the start of a program
// with a wait for it and every process it starts. Status codes as the registry's; *why (when
// given) says what failed in the system's words.
//
// On Windows the record lives in the user's application data folder; the POSIX program has no
// launcher, so its store never holds a record and its starter starts nothing.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/Status.h"

namespace platform {

class RecordStore {
 public:
  enum class Found {
    kNone,    // there is no record
    kHeld,    // a running launcher holds it
    kOpened,  // its launcher is gone: it is read and now held here
  };

  virtual ~RecordStore() = default;

  // Where the record lives, as the user reads it.
  virtual std::u16string Location() = 0;
  // Looks for a record; when one is opened, *bytes holds it.
  virtual long Find(Found* found, std::vector<std::uint8_t>* bytes, std::u16string* why) = 0;
  // Writes a new record whole and durably before it appears under its name, and holds it. A
  // record that appears meanwhile (another launcher's) is left alone: *held is then true and
  // nothing is written.
  virtual long Create(std::span<const std::uint8_t> bytes, bool* held, std::u16string* why) = 0;
  // Deletes the record held here.
  virtual long Remove(std::u16string* why) = 0;
  // Lets the record held here go, leaving it in place.
  virtual void Release() = 0;
};

class ProcessStarter {
 public:
  virtual ~ProcessStarter() = default;

  // Starts a command line as typed (its program first), with the program's own folder as the
  // working folder. A program that cannot be found is kFileNotFound.
  virtual long Start(const std::u16string& commandLine, std::u16string* why) = 0;
  // Waits until the program and every process it started have ended; *status is the program's
  // own exit status. Where only the program itself can be waited for, *note says so.
  virtual long Wait(std::uint32_t* status, std::u16string* note, std::u16string* why) = 0;
};

// The services the program uses (base/Service.h): the system's unless one is installed.
RecordStore& GetRecordStore();
RecordStore* SetRecordStore(RecordStore* store);
ProcessStarter& GetProcessStarter();
ProcessStarter* SetProcessStarter(ProcessStarter* starter);

// Writes a key's values through to the disk (RegFlushKey on Windows); nothing where the store
// commits by itself.
long FlushRegistryKey(const std::u16string& path);

}  // namespace platform
