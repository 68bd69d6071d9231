#pragma once
// Folders that the POSIX program keeps its own files in, and exclusive locks on folders.
//
// A folder of ours (the data folder, a backup folder, a hive's folder of backups) holds copies
// of hives, which hold secrets, and the program removes old backups from it. So one that exists
// already is used only when it is a real folder (not a symbolic link), of the user the program
// runs as, that no one else may write to: another user could otherwise make it first, read what
// goes in, or plant links that make the program remove files elsewhere. The folders above it
// may be anyone's (/tmp, a mount point); each is opened once and the work goes on relative to
// the open folder, so a folder above that is swapped later changes nothing.
//
// Locks are flocks, waited for a bounded time (10 s, or CONFIGURATOR_LOCK_WAIT_MS milliseconds,
// which tests set), so that another program holding one cannot hang this one.
#include <sys/stat.h>

#include <string>
#include <vector>

#include "base/Failure.h"
#include "base/posix/Owners.h"

namespace base {

// Why a folder, as fstat or lstat gave it, may not hold the program's private files, in words;
// empty when it may (see above).
std::string WhyNotOwnFolder(const struct stat& status);

// Makes folder and every missing folder above it, each one private (0700) as the XDG rules ask;
// folders that exist keep their mode. When own, the folder itself must pass WhyNotOwnFolder.
// The failure names the folder that could not be made or used. *opened (when given) receives
// the folder, open for reading.
Failure MakeFolders(const std::string& folder, bool own, Descriptor* opened = nullptr);
inline Failure MakePrivateFolders(const std::string& folder, Descriptor* opened = nullptr) {
  return MakeFolders(folder, true, opened);
}

// The folder name in the open folder at, made (0700) when missing, open for reading in
// *opened; refused when it is not the user's own (WhyNotOwnFolder). shown names it in failures.
Failure OpenPrivateFolder(int at, const std::string& name, const std::string& shown, Descriptor* opened);

// The names in the open folder, but "." and ".." (empty when it cannot be listed).
std::vector<std::string> FolderNames(int folder);

// prefix and six random letters or digits: a name for a new file or folder, made with O_EXCL
// or mkdirat, that another program cannot guess ahead.
std::string RandomName(const std::string& prefix);

// Takes an exclusive flock on the open folder through a descriptor of its own, *lock, which
// holds it until it is closed. When another program holds it, waits LockWaitMilliseconds() at
// most, then fails naming the folder (shown) and, when /proc/locks tells, the holder.
Failure LockFolder(int folder, const std::string& shown, Descriptor* lock);
long LockWaitMilliseconds();

}  // namespace base
