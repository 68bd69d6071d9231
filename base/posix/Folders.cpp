#include "base/posix/Folders.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <utility>

#include "base/posix/FileOps.h"

namespace base {
namespace {

constexpr long kDefaultLockWait = 10000;
constexpr auto kLockRetry = std::chrono::milliseconds(50);

std::string Octal(unsigned mode) {
  char text[8] = {};
  std::snprintf(text, sizeof text, "%04o", mode & 07777);
  return text;
}

// Who holds a flock on the open file, as " (pid N, NAME)" from /proc/locks; empty when that
// cannot be told.
std::string Holder(int fd) {
  struct stat status {};
  if (fstat(fd, &status) != 0) return {};
  char id[64] = {};
  std::snprintf(id, sizeof id, "%02x:%02x:%lu", major(status.st_dev), minor(status.st_dev),
                static_cast<unsigned long>(status.st_ino));
  std::ifstream locks("/proc/locks");
  for (std::string line; std::getline(locks, line);) {
    // "1: FLOCK  ADVISORY  WRITE 123 08:01:4567 0 EOF"; waiters' lines have "->" after the number.
    std::istringstream fields(line);
    std::string number, kind, mode, access, pid, file;
    if (!(fields >> number >> kind >> mode >> access >> pid >> file) || kind != "FLOCK" || file != id)
      continue;
    if (pid.empty() || pid[0] < '1' || pid[0] > '9') continue;
    std::string command;
    std::getline(std::ifstream("/proc/" + pid + "/comm"), command);
    return " (pid " + pid + (command.empty() ? "" : ", " + command) + ")";
  }
  return {};
}

}  // namespace

std::string WhyNotOwnFolder(const struct stat& status) {
  if (S_ISLNK(status.st_mode)) return "it is a symbolic link";
  if (!S_ISDIR(status.st_mode)) return "it is not a folder";
  if (status.st_uid != geteuid()) {
    const passwd* user = getpwuid(status.st_uid);
    return "it belongs to another user (" + (user != nullptr ? std::string(user->pw_name) + ", " : "") +
           "uid " + std::to_string(status.st_uid) + ")";
  }
  if ((status.st_mode & 022) != 0)
    return "users other than its owner may write to it (mode " + Octal(status.st_mode) + ")";
  return {};
}

Failure MakeFolders(const std::string& folder, bool own, Descriptor* opened) {
  if (folder.empty()) return Failure::FromErrno("cannot create folder", ENOENT);
  // Each part by its name in the one above, as the user wrote the path up to it (for the words).
  std::vector<std::pair<std::string, std::string>> parts;
  for (std::size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
    const std::string part = folder.substr(0, end);
    // "a//b" and a trailing "/" name no new folder.
    if (!part.empty() && part.back() != '/') {
      const std::size_t slash = part.rfind('/');
      parts.emplace_back(slash == std::string::npos ? part : part.substr(slash + 1), part);
    }
    if (end == std::string::npos) break;
  }
  Descriptor at(open(folder[0] == '/' ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!at.Valid()) return Failure::FromErrno("cannot create folder " + folder, errno);
  if (parts.empty()) {
    // "/" or ".": nothing to make.
    at = Descriptor(open(folder[0] == '/' ? "/" : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat status {};
    if (!at.Valid() || fstat(at.Get(), &status) != 0)
      return Failure::FromErrno("cannot use folder " + folder, errno);
    if (std::string why = own ? WhyNotOwnFolder(status) : std::string(); !why.empty())
      return Failure::Because("cannot use folder " + folder, why);
    if (opened != nullptr) *opened = std::move(at);
    return {};
  }
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const auto& [name, shown] = parts[i];
    const bool last = i + 1 == parts.size();
    const bool made = ops::MakeFolder(at.Get(), name.c_str(), 0700) == 0;
    if (!made && errno != EEXIST) return Failure::FromErrno("cannot create folder " + shown, errno);
    if (last && own) {
      struct stat status {};
      if (fstatat(at.Get(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return Failure::FromErrno("cannot use folder " + shown, errno);
      if (std::string why = WhyNotOwnFolder(status); !why.empty())
        return Failure::Because("cannot use folder " + shown, why);
    }
    // Folders of ours are never reached through a link; those above may be anyone's.
    const int flags = made || (last && own) ? O_RDONLY | O_NOFOLLOW : O_PATH;
    Descriptor next(openat(at.Get(), name.c_str(), flags | O_DIRECTORY | O_CLOEXEC));
    if (!next.Valid())
      return Failure::FromErrno((made ? "cannot use folder " : "cannot create folder ") + shown, errno);
    if (made) ops::ChangeMode(next.Get(), 0700);  // whatever the umask
    if (last && own) {
      // What was checked by name is what was opened.
      struct stat status {};
      if (fstat(next.Get(), &status) != 0) return Failure::FromErrno("cannot use folder " + shown, errno);
      if (std::string why = WhyNotOwnFolder(status); !why.empty())
        return Failure::Because("cannot use folder " + shown, why);
    }
    at = std::move(next);
  }
  if (opened != nullptr) {
    if (own) {
      *opened = std::move(at);
    } else {
      *opened = Descriptor(openat(at.Get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
      if (!opened->Valid()) return Failure::FromErrno("cannot open folder " + folder, errno);
    }
  }
  return {};
}

Failure OpenPrivateFolder(int at, const std::string& name, const std::string& shown, Descriptor* opened) {
  const bool made = ops::MakeFolder(at, name.c_str(), 0700) == 0;
  if (!made && errno != EEXIST) return Failure::FromErrno("cannot create folder " + shown, errno);
  struct stat status {};
  if (fstatat(at, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
    return Failure::FromErrno("cannot use folder " + shown, errno);
  if (std::string why = WhyNotOwnFolder(status); !why.empty())
    return Failure::Because("cannot use folder " + shown, why);
  Descriptor folder(openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!folder.Valid()) return Failure::FromErrno("cannot open folder " + shown, errno);
  if (fstat(folder.Get(), &status) != 0) return Failure::FromErrno("cannot use folder " + shown, errno);
  if (std::string why = WhyNotOwnFolder(status); !why.empty())
    return Failure::Because("cannot use folder " + shown, why);
  if (made) ops::ChangeMode(folder.Get(), 0700);  // whatever the umask
  *opened = std::move(folder);
  return {};
}

std::vector<std::string> FolderNames(int folder) {
  std::vector<std::string> names;
  // A description of its own: a listing through a copy of folder would move folder's position.
  Descriptor own(openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  const FolderListing listing(own.Valid() ? fdopendir(own.Get()) : nullptr);
  if (!listing) return names;
  own.Release();  // the listing owns it now
  while (const dirent* entry = readdir(listing.get())) {
    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
      names.emplace_back(entry->d_name);
  }
  return names;
}

std::string RandomName(const std::string& prefix) {
  static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char random[6] = {};
  if (getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
    // No entropy to be had: the time and the process still differ from run to run.
    const auto now =
        static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        (static_cast<unsigned long long>(getpid()) << 40);
    for (std::size_t i = 0; i < sizeof random; ++i) random[i] = static_cast<unsigned char>(now >> (i * 7));
  }
  std::string name = prefix;
  for (const unsigned char byte : random) name += kLetters[byte % (sizeof kLetters - 1)];
  return name;
}

long LockWaitMilliseconds() {
  const char* text = std::getenv("CONFIGURATOR_LOCK_WAIT_MS");
  if (text == nullptr || *text == '\0') return kDefaultLockWait;
  char* end = nullptr;
  errno = 0;
  const long wait = std::strtol(text, &end, 10);
  return errno == 0 && *end == '\0' && wait >= 0 ? wait : kDefaultLockWait;
}

Failure LockFolder(int folder, const std::string& shown, Descriptor* lock) {
  Descriptor fd(openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd.Valid()) return Failure::FromErrno("cannot lock folder " + shown, errno);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(LockWaitMilliseconds());
  for (;;) {
    if (flock(fd.Get(), LOCK_EX | LOCK_NB) == 0) {
      *lock = std::move(fd);
      return {};
    }
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) return Failure::FromErrno("cannot lock folder " + shown, errno);
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(kLockRetry);
  }
  Failure failure = Failure::Because({}, "the folder " + shown + " is locked by another program" +
                                             Holder(fd.Get()) + "; try again when it has ended");
  failure.error = EWOULDBLOCK;
  return failure;
}

}  // namespace base
