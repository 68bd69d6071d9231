#pragma once
// The calls that change what is on disk, for the hive engine's saves, backups and restores and
// for the whole-file helpers beneath them: creating, writing, copying, syncing, renaming,
// truncating and removing files and folders, and giving a new file its owner, mode, times and
// extended attributes. Each is the system call of the same name and meaning: same arguments,
// same result, errno set the same way. Reading goes to the system directly.
//
// They are one seam so that tests can count them and make any one of them fail or end the
// process, and so check every point at which a save can be cut short. Unless a test arms that
// hook, each call is the system call and a test of one flag.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace base::ops {

// openat; counted only when it may create or change a file (O_CREAT, O_TRUNC, for writing).
int Open(int at, const char* name, int flags, mode_t mode = 0);
ssize_t Write(int fd, const void* data, std::size_t size);
// copy_file_range and sendfile from the current position of from to that of to.
ssize_t CopyRange(int from, int to, std::size_t size);
ssize_t SendFile(int to, int from, std::size_t size);
int Sync(int fd);  // fsync, of a file or of an open folder
int Rename(int fromAt, const char* from, int toAt, const char* to);
int Truncate(int fd, off_t size);
int Unlink(int at, const char* name, int flags);
int MakeFolder(int at, const char* name, mode_t mode);
int ChangeOwner(int fd, uid_t owner, gid_t group);
int ChangeMode(int fd, mode_t mode);
int SetTimes(int fd, const timespec times[2]);
int SetAttribute(int fd, const char* name, const void* value, std::size_t size, int flags);
// close, for a file whose close must succeed (one just written). The descriptor is closed
// whatever the result.
int Close(int fd);

// --- For tests ---------------------------------------------------------------------------------

// What the hook does at the operation it is aimed at. A write or copy that it hits puts down
// the first half of its bytes first, as a full disk or a power cut part way through would.
enum class Fault {
  kFail,  // the operation fails with error and does nothing more; the caller goes on
  kEnd,   // the process ends there (_exit with kEndedByFault), as at a power cut after every
          // operation before it completed: what it wrote to a file since that file was last
          // synced is lost (every byte of such a file reads as rubbish)
};
struct FaultPlan {
  std::uint64_t at = 0;  // the operation, counted from 1, that the fault hits; 0: none, only count
  Fault fault = Fault::kFail;
  int error = 0;  // kFail: the errno
};
inline constexpr int kEndedByFault = 86;

// Counts the operations from here on, from 0, and applies the plan; with trace, also records
// each one in words ("fsync /tmp/x/CFGBAK") for Traced().
void StartCounting(FaultPlan plan = {}, bool trace = false);
// Back to plain system calls.
void StopCounting();
std::uint64_t Counted();
const std::vector<std::string>& Traced();

}  // namespace base::ops
