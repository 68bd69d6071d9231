#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <string>

#include "base/Text.h"
#include "base/posix/FileIo.h"
#include "base/posix/Owners.h"
#include "platform/Registry.h"
#include "platform/Status.h"
#include "platform/StatusWords.h"

namespace platform {
namespace {

long Status(int error, long otherwise, std::u16string* why) {
  if (error == EFBIG) {
    if (why != nullptr) *why = StatusWords(kFileTooLarge);
    return kFileTooLarge;
  }
  if (why != nullptr) *why = base::Utf16FromUtf8(base::ErrnoWords(error));
  return base::StatusFromErrno(error, otherwise);
}

// Writes into a device or a FIFO that is already there (/dev/null, a pipe to a reader): there is
// nothing to replace. Never through a link, never as a controlling terminal.
int WriteInPlace(const std::string& path, std::span<const std::uint8_t> bytes, bool* created) {
  base::Descriptor fd(open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
  if (!fd.Valid()) return errno;
  *created = true;
  const int error = base::WriteAll(fd.Get(), bytes);
  const int closeError = fd.CloseNow();
  return error != 0 ? error : closeError;
}

// Makes a new file beside path, under a name no one else holds: its descriptor and name, or the
// errno. Created with mode 0666 and the umask, as the target would be.
int MakeTemporaryBeside(const std::string& path, base::Descriptor* fd, std::string* name) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  std::random_device random;
  constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  for (int attempt = 0; attempt < 100; ++attempt) {
    *name = folder + ".configurator-";
    for (int i = 0; i < 10; ++i) *name += kDigits[random() % 36];
    *fd = base::Descriptor(
        open(name->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666));
    if (fd->Valid()) return 0;
    if (errno != EEXIST) return errno;
  }
  return EEXIST;
}

// Replaces path whole: the bytes go to a new file beside it, which is flushed and then renamed
// over it, so path holds either its old bytes or all the new ones. A link at path is replaced
// itself, never followed: in a folder that others may write, it could point anywhere.
int ReplaceFile(const std::string& path, std::span<const std::uint8_t> bytes, bool* created) {
  *created = false;
  struct stat old {};
  const bool exists = lstat(path.c_str(), &old) == 0;
  if (exists &&
      (S_ISCHR(old.st_mode) || S_ISFIFO(old.st_mode) || S_ISSOCK(old.st_mode) || S_ISBLK(old.st_mode)))
    return WriteInPlace(path, bytes, created);
  if (exists && S_ISDIR(old.st_mode)) return EISDIR;

  base::Descriptor fd;
  std::string temporary;
  if (const int error = MakeTemporaryBeside(path, &fd, &temporary); error != 0) return error;
  // A file that was there keeps its permissions; a new one has the umask's.
  if (exists && S_ISREG(old.st_mode)) fchmod(fd.Get(), old.st_mode & 0777);
  int error = base::WriteAll(fd.Get(), bytes);
  if (error == 0 && fsync(fd.Get()) != 0) error = errno;
  if (const int closeError = fd.CloseNow(); error == 0) error = closeError;
  if (error != 0) {
    unlink(temporary.c_str());
    *created = true;  // made, but not written whole: path is as it was
    return error;
  }
  if (rename(temporary.c_str(), path.c_str()) != 0) {
    error = errno;
    unlink(temporary.c_str());
    return error;
  }
  // The new name is durable once the folder is.
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  if (const base::Descriptor folderFd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
      folderFd.Valid())
    fsync(folderFd.Get());
  return 0;
}

}  // namespace

long ReadWholeFile(const std::u16string& path, std::size_t limit, std::vector<std::uint8_t>* bytes,
                   std::u16string* why) {
  const int error = base::ReadFileBytes(base::Utf8FromUtf16(path), bytes, limit);
  return error == 0 ? kSuccess : Status(error, kReadFault, why);
}

long ReadStandardInput(std::size_t limit, std::vector<std::uint8_t>* bytes, std::u16string* why) {
  const int error = base::ReadToEnd(STDIN_FILENO, bytes, limit);
  return error == 0 ? kSuccess : Status(error, kReadFault, why);
}

long WriteWholeFile(const std::u16string& path, std::span<const std::uint8_t> bytes, std::u16string* why,
                    bool* created) {
  bool made = false;
  const int error = ReplaceFile(base::Utf8FromUtf16(path), bytes, &made);
  if (created != nullptr) *created = made;
  return error == 0 ? kSuccess : Status(error, kWriteFault, why);
}

}  // namespace platform
