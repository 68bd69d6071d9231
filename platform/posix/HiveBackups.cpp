#include "platform/posix/HiveBackups.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <utility>

#include "platform/posix/Owners.h"

namespace platform {
namespace {

constexpr char kPathFile[] = "hive-path";
constexpr char kNewPrefix[] = ".new-";
constexpr char kOldPrefix[] = ".old-";
constexpr std::size_t kBufferSize = 1 << 20;

std::string NameOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// FNV-1a: stable across runs and builds, which std::hash is not.
std::uint64_t PathHash(const std::string& text) {
  std::uint64_t hash = 14695981039346656037ULL;
  for (const unsigned char c : text) hash = (hash ^ c) * 1099511628211ULL;
  return hash;
}

Failure Errno(std::string what) { return Failure::FromErrno(std::move(what), errno); }

int OpenFolder(int at, const char* name) { return openat(at, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC); }

// Copies what is left of from (from its position) to to (at its position) without holding the
// file in memory: in the kernel when it can (copy_file_range, then sendfile), else a buffer at a
// time. False with errno set.
bool CopyContents(int from, int to) {
  enum class How { kRange, kSend, kBuffer } how = How::kRange;
  struct stat status {};
  if (fstat(from, &status) != 0) return false;
  std::vector<char> buffer;
  constexpr std::size_t kChunk = 64 << 20;
  for (;;) {
    ssize_t copied = 0;
    if (how == How::kRange) {
      copied = copy_file_range(from, nullptr, to, nullptr, kChunk, 0);
    } else if (how == How::kSend) {
      copied = sendfile(to, from, nullptr, kChunk);
    } else {
      buffer.resize(kBufferSize);
      copied = read(from, buffer.data(), buffer.size());
      for (ssize_t done = 0; copied > 0 && done < copied;) {
        const ssize_t put = write(to, buffer.data() + done, static_cast<std::size_t>(copied - done));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
          if (put == 0) errno = EIO;
          return false;
        }
        done += put;
      }
    }
    if (copied < 0 && errno == EINTR) continue;
    // Copies in the kernel are not offered between every two file systems (FUSE, older
    // kernels): the next way on, from where the last one stopped.
    const bool notOffered = copied < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL ||
                                           errno == EOPNOTSUPP || errno == ENOTSUP);
    // Some file systems answer 0 bytes where there are more: believe only a plain read.
    const bool stoppedEarly = copied == 0 && lseek(from, 0, SEEK_CUR) < status.st_size;
    if (how != How::kBuffer && (notOffered || stoppedEarly)) {
      how = how == How::kRange ? How::kSend : How::kBuffer;
      continue;
    }
    if (copied < 0) return false;
    if (copied == 0) return true;
  }
}

// Copies the file at from into a new file name in the folder at, and makes it durable.
bool CopyFileInto(const std::string& from, int at, const std::string& name) {
  const Descriptor source(open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
  if (!source.Valid()) return false;
  Descriptor copy(openat(at, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (!copy.Valid() || !CopyContents(source.Get(), copy.Get()) || fsync(copy.Get()) != 0) return false;
  if (const int error = copy.CloseNow(); error != 0) {
    errno = error;
    return false;
  }
  return true;
}

bool SameContents(const std::string& one, const std::string& other) {
  const Descriptor a(open(one.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
  const Descriptor b(open(other.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
  struct stat statusA {
  }, statusB{};
  if (!a.Valid() || !b.Valid() || fstat(a.Get(), &statusA) != 0 || fstat(b.Get(), &statusB) != 0 ||
      statusA.st_size != statusB.st_size)
    return false;
  // The base block first: every save changes its sequence numbers and time.
  std::vector<char> bufferA(kBufferSize), bufferB(kBufferSize);
  for (off_t at = 0; at < statusA.st_size;) {
    const std::size_t want = at == 0 ? 4096 : kBufferSize;
    const ssize_t gotA = pread(a.Get(), bufferA.data(), want, at);
    const ssize_t gotB = pread(b.Get(), bufferB.data(), want, at);
    if (gotA <= 0 || gotA != gotB || std::memcmp(bufferA.data(), bufferB.data(), gotA) != 0) return false;
    at += gotA;
  }
  return true;
}

// The names in the folder at, but "." and "..".
std::vector<std::string> Names(int at) {
  std::vector<std::string> names;
  Descriptor copy(dup(at));
  const FolderListing folder(copy.Valid() ? fdopendir(copy.Get()) : nullptr);
  if (!folder) return names;
  copy.Release();           // the listing owns it now
  rewinddir(folder.get());  // the copy shares its position with at, which an earlier listing moved
  while (const dirent* entry = readdir(folder.get())) {
    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
      names.emplace_back(entry->d_name);
  }
  return names;
}

// Removes the folder name in at and the files in it (a backup holds no folders).
void RemoveFolder(int at, const std::string& name) {
  const Descriptor folder(OpenFolder(at, name.c_str()));
  if (folder.Valid()) {
    for (const std::string& entry : Names(folder.Get())) unlinkat(folder.Get(), entry.c_str(), 0);
  }
  unlinkat(at, name.c_str(), AT_REMOVEDIR);
}

// A backup's number, from its name ("000012-20261210-211530"); 0 for any other name.
std::uint64_t BackupNumber(const std::string& name) {
  if (name.empty() || name[0] < '0' || name[0] > '9') return 0;
  char* end = nullptr;
  errno = 0;
  const unsigned long long number = std::strtoull(name.c_str(), &end, 10);
  return errno == 0 && *end == '-' ? number : 0;
}

// The backups in the folder at, oldest first.
std::vector<std::pair<std::uint64_t, std::string>> Backups(int at) {
  std::vector<std::pair<std::uint64_t, std::string>> backups;
  for (std::string& name : Names(at)) {
    if (const std::uint64_t number = BackupNumber(name); number != 0)
      backups.emplace_back(number, std::move(name));
  }
  std::sort(backups.begin(), backups.end());
  return backups;
}

// Whether the backup folder holds exactly these files (by name) with the same bytes.
bool HoldsTheSame(const std::string& backup, const std::vector<std::string>& files) {
  const Descriptor folder(OpenFolder(AT_FDCWD, backup.c_str()));
  if (!folder.Valid()) return false;
  std::vector<std::string> held = Names(folder.Get()), wanted;
  for (const std::string& file : files) wanted.push_back(NameOf(file));
  std::sort(held.begin(), held.end());
  std::sort(wanted.begin(), wanted.end());
  if (held != wanted) return false;
  for (const std::string& file : files) {
    if (!SameContents(file, backup + "/" + NameOf(file))) return false;
  }
  return true;
}

// Writes the hive's real path into the hive's backup folder, once: under a temporary name,
// then renamed, so it is never seen half written.
bool WritePathFile(int at, const std::string& hive) {
  if (faccessat(at, kPathFile, F_OK, AT_SYMLINK_NOFOLLOW) == 0) return true;
  const std::string temporary = std::string(kNewPrefix) + kPathFile;
  unlinkat(at, temporary.c_str(), 0);
  Descriptor file(openat(at, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  const std::string line = hive + "\n";
  if (!file.Valid() || write(file.Get(), line.data(), line.size()) != static_cast<ssize_t>(line.size()) ||
      fsync(file.Get()) != 0 || file.CloseNow() != 0)
    return false;
  return renameat(at, temporary.c_str(), at, kPathFile) == 0;
}

}  // namespace

Failure MakePrivateFolders(const std::string& folder) {
  if (folder.empty()) return Failure::FromErrno("cannot create folder", ENOENT);
  for (std::size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
    const std::string part = folder.substr(0, end);
    // "a//b" and a trailing "/" name no new folder.
    if (!part.empty() && part.back() != '/') {
      if (mkdir(part.c_str(), 0700) == 0) {
        chmod(part.c_str(), 0700);  // whatever the umask
      } else {
        const int error = errno;
        struct stat status {};
        if (error != EEXIST || stat(part.c_str(), &status) != 0)
          return Failure::FromErrno("cannot create folder " + part, error);
        if (!S_ISDIR(status.st_mode)) return Failure::FromErrno("cannot create folder " + part, ENOTDIR);
      }
    }
    if (end == std::string::npos) return {};
  }
}

std::string HiveBackupFolder(const std::string& root, const std::string& hive) {
  char hash[17] = {};
  std::snprintf(hash, sizeof hash, "%016" PRIx64, PathHash(hive));
  return root + "/" + NameOf(hive) + "-" + hash;
}

Failure BackUpHive(const std::string& root, int keepNewest, const std::string& hive,
                   const std::vector<std::string>& logs, std::string* where) {
  const std::string backups = HiveBackupFolder(root, hive);
  if (Failure failure = MakePrivateFolders(backups); failure.Failed()) return failure;
  const Descriptor folder(OpenFolder(AT_FDCWD, backups.c_str()));
  if (!folder.Valid()) return Errno("cannot open folder " + backups);
  while (flock(folder.Get(), LOCK_EX) != 0) {
    if (errno != EINTR) return Errno("cannot lock folder " + backups);
  }
  if (!WritePathFile(folder.Get(), hive)) return Errno("cannot write " + backups + "/" + kPathFile);
  // What killed runs left: a backup never finished, or one never fully removed.
  for (const std::string& name : Names(folder.Get())) {
    if (name.rfind(kNewPrefix, 0) == 0 || name.rfind(kOldPrefix, 0) == 0) {
      if (unlinkat(folder.Get(), name.c_str(), 0) != 0) RemoveFolder(folder.Get(), name);
    }
  }

  std::vector<std::string> files;
  for (const std::string& log : logs) {
    struct stat status {};
    if (stat(log.c_str(), &status) == 0 && status.st_size > 0) files.push_back(log);
  }
  files.push_back(hive);

  std::vector<std::pair<std::uint64_t, std::string>> existing = Backups(folder.Get());
  if (!existing.empty() && HoldsTheSame(backups + "/" + existing.back().second, files)) {
    *where = backups + "/" + existing.back().second;
  } else {
    std::string temporary = backups + "/" + kNewPrefix + "XXXXXX";
    if (mkdtemp(temporary.data()) == nullptr) return Errno("cannot create a folder in " + backups);
    const std::string temporaryName = NameOf(temporary);
    const Descriptor parts(OpenFolder(folder.Get(), temporaryName.c_str()));
    for (const std::string& file : files) {
      if (!parts.Valid() || !CopyFileInto(file, parts.Get(), NameOf(file))) {
        const int error = errno;
        RemoveFolder(folder.Get(), temporaryName);
        return Failure::FromErrno("cannot copy " + file + " into " + backups, error);
      }
    }
    if (fsync(parts.Get()) != 0) {
      const int error = errno;
      RemoveFolder(folder.Get(), temporaryName);
      return Failure::FromErrno("cannot write " + backups, error);
    }
    const std::uint64_t number = existing.empty() ? 1 : existing.back().first + 1;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char stamp[32] = {};
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", localtime_r(&now, &local));
    char name[64] = {};
    std::snprintf(name, sizeof name, "%06" PRIu64 "-%s", number, stamp);
    if (renameat(folder.Get(), temporaryName.c_str(), folder.Get(), name) != 0) {
      const int error = errno;
      RemoveFolder(folder.Get(), temporaryName);
      return Failure::FromErrno("cannot write " + backups, error);
    }
    if (fsync(folder.Get()) != 0) return Errno("cannot write " + backups);
    existing.emplace_back(number, name);
    *where = backups + "/" + name;
  }

  // The first and the newest keepNewest stay; each other one leaves its real name first.
  const std::size_t keep = static_cast<std::size_t>(std::max(keepNewest, 1));
  bool removed = false;
  for (std::size_t i = 1; i + keep < existing.size(); ++i) {
    const std::string old = kOldPrefix + existing[i].second;
    if (renameat(folder.Get(), existing[i].second.c_str(), folder.Get(), old.c_str()) == 0) {
      RemoveFolder(folder.Get(), old);
      removed = true;
    }
  }
  if (removed) fsync(folder.Get());
  return {};
}

}  // namespace platform
