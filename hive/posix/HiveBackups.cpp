#include "hive/posix/HiveBackups.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
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
#include <tuple>
#include <utility>

#include "base/posix/FileIo.h"
#include "base/posix/FileOps.h"
#include "base/posix/Owners.h"

namespace hive {
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

base::Failure Errno(std::string what) { return base::Failure::FromErrno(std::move(what), errno); }

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
      copied = base::ops::CopyRange(from, to, kChunk);
    } else if (how == How::kSend) {
      copied = base::ops::SendFile(to, from, kChunk);
    } else {
      buffer.resize(kBufferSize);
      copied = read(from, buffer.data(), buffer.size());
      for (ssize_t done = 0; copied > 0 && done < copied;) {
        const ssize_t put =
            base::ops::Write(to, buffer.data() + done, static_cast<std::size_t>(copied - done));
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

// A file to back up: its name, how the user is told of it, and the file open for reading.
struct Source {
  std::string name;
  std::string shown;
  base::Descriptor file;
};

// Opens the file name in the folder at for reading, never through a link; a regular file or a
// failure naming it (shown).
base::Failure OpenSource(int at, const std::string& name, const std::string& shown,
                         base::Descriptor* opened) {
  base::Descriptor file(openat(at, name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW));
  struct stat status {};
  if (!file.Valid()) {
    const int error = errno;
    if (fstatat(at, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(status.st_mode))
      return base::Failure::Because(
          "cannot copy " + shown,
          "it is a symbolic link, which backups do not follow; put the file itself there");
    return base::Failure::FromErrno("cannot copy " + shown, error);
  }
  if (fstat(file.Get(), &status) != 0) return base::Failure::FromErrno("cannot copy " + shown, errno);
  if (!S_ISREG(status.st_mode)) return base::Failure::Because("cannot copy " + shown, "not a regular file");
  *opened = std::move(file);
  return {};
}

// Copies the open file into a new file name in the folder at, stamped with the time made, and
// makes it durable.
bool CopyFileInto(int source, int at, const std::string& name, std::time_t made) {
  base::Descriptor copy(
      base::ops::Open(at, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  const timespec times[2] = {{made, 0}, {made, 0}};
  if (!copy.Valid() || !CopyContents(source, copy.Get()) || base::ops::SetTimes(copy.Get(), times) != 0 ||
      base::ops::Sync(copy.Get()) != 0)
    return false;
  if (const int error = copy.CloseNow(); error != 0) {
    errno = error;
    return false;
  }
  return true;
}

// Whether two open files hold the same bytes (read at offsets: their positions stay).
bool SameContents(int a, int b) {
  struct stat statusA {
  }, statusB{};
  if (fstat(a, &statusA) != 0 || fstat(b, &statusB) != 0 || statusA.st_size != statusB.st_size) return false;
  // The base block first: every save changes its sequence numbers and time.
  std::vector<char> bufferA(kBufferSize), bufferB(kBufferSize);
  for (off_t at = 0; at < statusA.st_size;) {
    const std::size_t want = at == 0 ? 4096 : kBufferSize;
    const ssize_t gotA = pread(a, bufferA.data(), want, at);
    const ssize_t gotB = pread(b, bufferB.data(), want, at);
    if (gotA <= 0 || gotA != gotB || std::memcmp(bufferA.data(), bufferB.data(), gotA) != 0) return false;
    at += gotA;
  }
  return true;
}

bool IsFolder(int at, const std::string& name) {
  struct stat status {};
  return fstatat(at, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(status.st_mode);
}

// Removes the folder name in at and the files in it (a backup holds no folders). A link in its
// place is not followed, and one in it is removed itself.
void RemoveFolder(int at, const std::string& name) {
  const base::Descriptor folder(openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (folder.Valid()) {
    for (const std::string& entry : base::FolderNames(folder.Get()))
      base::ops::Unlink(folder.Get(), entry.c_str(), 0);
  }
  base::ops::Unlink(at, name.c_str(), AT_REMOVEDIR);
}

// A backup's number, from its name ("000012-20261210-211530": six digits or more, the date and
// the time); 0 for any other name.
std::uint64_t BackupNumber(const std::string& name) {
  const std::size_t dash = name.find('-');
  if (dash == std::string::npos || dash < 6 || dash > 19 || name.size() != dash + 16 || name[dash + 9] != '-')
    return 0;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (i != dash && i != dash + 9 && (name[i] < '0' || name[i] > '9')) return 0;
  }
  return std::strtoull(name.c_str(), nullptr, 10);
}

// The backups in the folder at, oldest first: real folders with a backup's name.
std::vector<std::pair<std::uint64_t, std::string>> Backups(int at) {
  std::vector<std::pair<std::uint64_t, std::string>> backups;
  for (std::string& name : base::FolderNames(at)) {
    if (const std::uint64_t number = BackupNumber(name); number != 0 && IsFolder(at, name))
      backups.emplace_back(number, std::move(name));
  }
  std::sort(backups.begin(), backups.end());
  return backups;
}

// Whether the backup name in the folder at holds exactly these files (by name) with the same
// bytes.
bool HoldsTheSame(int at, const std::string& backup, const std::vector<Source>& files) {
  const base::Descriptor folder(openat(at, backup.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!folder.Valid()) return false;
  std::vector<std::string> held = base::FolderNames(folder.Get()), wanted;
  for (const Source& file : files) wanted.push_back(file.name);
  std::sort(held.begin(), held.end());
  std::sort(wanted.begin(), wanted.end());
  if (held != wanted) return false;
  for (const Source& file : files) {
    const base::Descriptor copy(
        openat(folder.Get(), file.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    if (!copy.Valid() || !SameContents(file.file.Get(), copy.Get())) return false;
  }
  return true;
}

// Writes the hive's real path into the hive's backup folder, once: under a temporary name,
// then renamed, so it is never seen half written.
bool WritePathFile(int at, const std::string& hive) {
  if (faccessat(at, kPathFile, F_OK, AT_SYMLINK_NOFOLLOW) == 0) return true;
  const std::string temporary = std::string(kNewPrefix) + kPathFile;
  base::ops::Unlink(at, temporary.c_str(), 0);
  base::Descriptor file(
      base::ops::Open(at, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  const std::string line = hive + "\n";
  if (!file.Valid() ||
      base::WriteAll(file.Get(), {reinterpret_cast<const std::uint8_t*>(line.data()), line.size()}) != 0 ||
      base::ops::Sync(file.Get()) != 0 || file.CloseNow() != 0)
    return false;
  return base::ops::Rename(at, temporary.c_str(), at, kPathFile) == 0;
}

// The files to back up, opened first: a backup that cannot be whole is not begun. The hive
// comes last.
base::Failure OpenSources(int hiveFolder, const std::string& hive, const std::vector<std::string>& logs,
                          std::vector<Source>* files) {
  const std::string hiveName = NameOf(hive);
  const std::string hiveFolderPath = hive.substr(0, hive.size() - hiveName.size());
  for (const std::string& log : logs) {
    struct stat status {};
    const bool here = fstatat(hiveFolder, log.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0;
    if ((!here && errno == ENOENT) || (here && S_ISREG(status.st_mode) && status.st_size == 0)) continue;
    Source source{log, hiveFolderPath + log, base::Descriptor()};
    if (base::Failure failure = OpenSource(hiveFolder, log, source.shown, &source.file); failure.Failed())
      return failure;
    if (fstat(source.file.Get(), &status) == 0 && status.st_size == 0) continue;
    files->push_back(std::move(source));
  }
  files->push_back(Source{hiveName, hive, base::Descriptor()});
  return OpenSource(hiveFolder, hiveName, hive, &files->back().file);
}

// A beside backup's number: its name, six to eight digits; 0 for any other name.
std::uint64_t BesideNumber(const std::string& name) {
  if (name.size() < 6 || name.size() > 8 || name.find_first_not_of("0123456789") != std::string::npos)
    return 0;
  return std::strtoull(name.c_str(), nullptr, 10);
}

// Whether the backup name in the open folder at holds a file hiveName.
bool HoldsHive(int at, const std::string& name, const std::string& hiveName) {
  const base::Descriptor folder(openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat status {};
  return folder.Valid() && fstatat(folder.Get(), hiveName.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
         S_ISREG(status.st_mode);
}

// Backs files up into the open folder of ours (shown names it), locked here. beside: backups
// named by number alone, shared by the hives of the folder; otherwise one hive's, named by
// number, date and time.
base::Failure BackUpInto(int folder, const std::string& shown, bool beside, int keepNewest,
                         const std::vector<Source>& files, std::string* where) {
  const std::string& hiveName = files.back().name;
  base::Descriptor lock;
  if (base::Failure failure = base::LockFolder(folder, shown, &lock); failure.Failed()) return failure;
  // What killed runs left: a backup never finished, or one never fully removed.
  for (const std::string& name : base::FolderNames(folder)) {
    if (name.rfind(kNewPrefix, 0) == 0 || name.rfind(kOldPrefix, 0) == 0) {
      if (IsFolder(folder, name))
        RemoveFolder(folder, name);
      else
        base::ops::Unlink(folder, name.c_str(), 0);
    }
  }

  std::vector<std::pair<std::uint64_t, std::string>> existing;
  std::uint64_t highest = 0;
  if (beside) {
    for (std::string& name : base::FolderNames(folder)) {
      const std::uint64_t number = BesideNumber(name);
      if (number == 0 || !IsFolder(folder, name)) continue;
      highest = std::max(highest, number);
      if (HoldsHive(folder, name, hiveName)) existing.emplace_back(number, std::move(name));
    }
    std::sort(existing.begin(), existing.end());
  } else {
    existing = Backups(folder);
    if (!existing.empty()) highest = existing.back().first;
  }
  if (!existing.empty() && HoldsTheSame(folder, existing.back().second, files)) {
    *where = shown + "/" + existing.back().second;
  } else {
    const std::uint64_t number = highest + 1;
    if (beside && number > 99999999)
      return base::Failure::Because("cannot back up into " + shown,
                                    "it holds the most backups it can number");
    std::string temporaryName;
    for (int attempt = 0; temporaryName.empty(); ++attempt) {
      const std::string name = base::RandomName(kNewPrefix);
      if (base::ops::MakeFolder(folder, name.c_str(), 0700) == 0)
        temporaryName = name;
      else if (errno != EEXIST || attempt == 100)
        return Errno("cannot create a folder in " + shown);
    }
    const base::Descriptor parts(
        openat(folder, temporaryName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    // The copies carry the backup's time, which the listing shows.
    const std::time_t now = std::time(nullptr);
    for (const Source& file : files) {
      if (!parts.Valid() || !CopyFileInto(file.file.Get(), parts.Get(), file.name, now)) {
        const int error = errno;
        RemoveFolder(folder, temporaryName);
        return base::Failure::FromErrno("cannot copy " + file.shown + " into " + shown, error);
      }
    }
    if (base::ops::Sync(parts.Get()) != 0) {
      const int error = errno;
      RemoveFolder(folder, temporaryName);
      return base::Failure::FromErrno("cannot write " + shown, error);
    }
    char name[64] = {};
    if (beside) {
      std::snprintf(name, sizeof name, "%06" PRIu64, number);
    } else {
      std::tm local{};
      char stamp[32] = {};
      std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", localtime_r(&now, &local));
      std::snprintf(name, sizeof name, "%06" PRIu64 "-%s", number, stamp);
    }
    if (base::ops::Rename(folder, temporaryName.c_str(), folder, name) != 0) {
      const int error = errno;
      RemoveFolder(folder, temporaryName);
      return base::Failure::FromErrno("cannot write " + shown, error);
    }
    if (base::ops::Sync(folder) != 0) return Errno("cannot write " + shown);
    existing.emplace_back(number, name);
    *where = shown + "/" + name;
  }

  // The first and the newest keepNewest stay; each other one leaves its real name first.
  const std::size_t keep = static_cast<std::size_t>(std::max(keepNewest, 1));
  bool removed = false;
  for (std::size_t i = 1; i + keep < existing.size(); ++i) {
    const std::string old = kOldPrefix + existing[i].second;
    if (base::ops::Rename(folder, existing[i].second.c_str(), folder, old.c_str()) == 0) {
      RemoveFolder(folder, old);
      removed = true;
    }
  }
  if (removed) base::ops::Sync(folder);
  return {};
}

// The files of the backup name in the open folder at, the hive's (hiveName) first, then the
// logs in name order; empty when it holds no regular file hiveName.
std::vector<std::pair<std::string, std::uint64_t>> BackupFiles(int at, const std::string& name,
                                                               const std::string& hiveName,
                                                               std::int64_t* time) {
  std::vector<std::pair<std::string, std::uint64_t>> files;
  const base::Descriptor folder(openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!folder.Valid()) return files;
  std::vector<std::string> names = base::FolderNames(folder.Get());
  std::sort(names.begin(), names.end());
  for (const std::string& file : names) {
    struct stat status {};
    if (fstatat(folder.Get(), file.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(status.st_mode))
      continue;
    const auto size = static_cast<std::uint64_t>(status.st_size);
    if (file == hiveName) {
      files.insert(files.begin(), {file, size});
      *time = status.st_mtim.tv_sec;
    } else {
      files.emplace_back(file, size);
    }
  }
  if (files.empty() || files.front().first != hiveName) files.clear();
  return files;
}

// The folder name in at when it exists and is the user's own, open for reading.
base::Descriptor OpenOwnFolder(int at, const std::string& name) {
  base::Descriptor folder(openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat status {};
  if (!folder.Valid() || fstat(folder.Get(), &status) != 0 || !base::WhyNotOwnFolder(status).empty())
    return base::Descriptor();
  return folder;
}

}  // namespace

std::string HiveBackupFolder(const std::string& root, const std::string& hive) {
  char hash[17] = {};
  std::snprintf(hash, sizeof hash, "%016" PRIx64, PathHash(hive));
  return root + "/" + NameOf(hive) + "-" + hash;
}

base::Failure BackUpHive(const std::string& root, int keepNewest, int hiveFolder, const std::string& hive,
                         const std::vector<std::string>& logs, std::string* where) {
  const std::string backups = HiveBackupFolder(root, hive);
  std::vector<Source> files;
  if (base::Failure failure = OpenSources(hiveFolder, hive, logs, &files); failure.Failed()) return failure;
  base::Descriptor rootFolder, folder;
  base::Failure failure = base::MakePrivateFolders(root, &rootFolder);
  if (!failure.Failed())
    failure = base::OpenPrivateFolder(rootFolder.Get(), NameOf(backups), backups, &folder);
  if (failure.Failed()) {
    // A folder that is not the user's own.
    if (failure.error == 0) failure.why += "; keep backups in a folder of your own";
    return failure;
  }
  if (!WritePathFile(folder.Get(), hive)) return Errno("cannot write " + backups + "/" + kPathFile);
  return BackUpInto(folder.Get(), backups, false, keepNewest, files, where);
}

base::Failure BackUpHiveBeside(int keepNewest, int hiveFolder, const std::string& hive,
                               const std::vector<std::string>& logs, std::string* where) {
  const std::string shown = hive.substr(0, hive.size() - NameOf(hive).size()) + kBesideBackupFolder;
  std::vector<Source> files;
  if (base::Failure failure = OpenSources(hiveFolder, hive, logs, &files); failure.Failed()) return failure;
  struct stat status {};
  const bool existed = fstatat(hiveFolder, kBesideBackupFolder, &status, AT_SYMLINK_NOFOLLOW) == 0;
  base::Descriptor folder;
  if (base::Failure failure = base::OpenPrivateFolder(hiveFolder, kBesideBackupFolder, shown, &folder);
      failure.Failed())
    return failure;
  base::Failure failure = BackUpInto(folder.Get(), shown, true, keepNewest, files, where);
  // Nothing of ours is left beside the hive for a backup that did not happen (a full disk).
  if (failure.Failed() && !existed) base::ops::Unlink(hiveFolder, kBesideBackupFolder, AT_REMOVEDIR);
  return failure;
}

base::Failure BackUpHiveTo(const BackupPlaces& places, int hiveFolder, const std::string& hive,
                           const std::vector<std::string>& logs, std::string* where, std::string* note) {
  note->clear();
  if (!places.beside) return BackUpHive(places.root, places.keep, hiveFolder, hive, logs, where);
  base::Failure beside = BackUpHiveBeside(places.keep, hiveFolder, hive, logs, where);
  // The hive's own files could not be opened ("cannot copy FILE", not "... into FOLDER"): no
  // other folder helps.
  const bool source =
      beside.what.rfind("cannot copy ", 0) == 0 && beside.what.find(" into ") == std::string::npos;
  if (!beside.Failed() || places.root.empty() || source) return beside;
  if (beside.error == EWOULDBLOCK) return beside;  // locked by another program: try again later
  if (base::Failure failure = BackUpHive(places.root, places.keep, hiveFolder, hive, logs, where);
      failure.Failed())
    return failure;
  *note = "the hive's folder could not take the backup (" + beside.Text() + "), so it went to " + *where;
  return {};
}

std::vector<HiveBackup> ListHiveBackups(int hiveFolder, const std::string& hive, const std::string& root) {
  const std::string hiveName = NameOf(hive);
  std::vector<HiveBackup> found;
  auto add = [&](int at, const std::string& shown, const std::string& name, std::uint64_t number,
                 bool beside) {
    HiveBackup backup{shown + "/" + name, beside, number, 0, {}};
    backup.files = BackupFiles(at, name, hiveName, &backup.time);
    if (!backup.files.empty()) found.push_back(std::move(backup));
  };
  if (const base::Descriptor folder = OpenOwnFolder(hiveFolder, kBesideBackupFolder); folder.Valid()) {
    const std::string shown = hive.substr(0, hive.size() - hiveName.size()) + kBesideBackupFolder;
    for (const std::string& name : base::FolderNames(folder.Get()))
      if (const std::uint64_t number = BesideNumber(name); number != 0 && IsFolder(folder.Get(), name))
        add(folder.Get(), shown, name, number, true);
  }
  if (!root.empty()) {
    const std::string backups = HiveBackupFolder(root, hive);
    const base::Descriptor rootFolder(open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    const base::Descriptor folder =
        rootFolder.Valid() ? OpenOwnFolder(rootFolder.Get(), NameOf(backups)) : base::Descriptor();
    if (folder.Valid())
      for (const auto& [number, name] : Backups(folder.Get()))
        add(folder.Get(), backups, name, number, false);
  }
  // By time; within a second, a folder's own order, those elsewhere before those beside.
  std::sort(found.begin(), found.end(), [](const HiveBackup& a, const HiveBackup& b) {
    return std::tie(a.time, a.beside, a.number) < std::tie(b.time, b.beside, b.number);
  });
  return found;
}

bool IsShortName(const std::string& name) {
  static constexpr char kAllowed[] = "!#$%&'()-@^_`{}~";
  const std::size_t dot = name.find('.');
  const std::string base = name.substr(0, dot);
  const std::string extension = dot == std::string::npos ? std::string() : name.substr(dot + 1);
  if (base.empty() || base.size() > 8 || extension.size() > 3) return false;
  if (dot != std::string::npos && extension.empty()) return false;
  for (const std::string* part : {&base, &extension})
    for (const char c : *part)
      if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            std::strchr(kAllowed, c) != nullptr))
        return false;
  return true;
}

}  // namespace hive
