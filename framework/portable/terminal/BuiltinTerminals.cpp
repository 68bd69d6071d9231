#include "framework/portable/terminal/BuiltinTerminals.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace portable::terminal {
namespace {

constexpr const char* kLinuxName = "configurator-linux";
constexpr const char* kVtName = "configurator-vt100";

struct Entry {
  const char* name;
  std::span<const std::uint8_t> (*bytes)();
};
constexpr Entry kEntries[] = {{kLinuxName, LinuxConsoleDescription}, {kVtName, VtDescription}};

// terminfo's layout: a folder per first letter of the name.
constexpr const char* kLetterFolder = "c";

bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes = bytes.subspan(static_cast<std::size_t>(written));
  }
  return true;
}

}  // namespace

const char* BuiltinTerminalName(std::string_view term) {
  return term == "linux" || term.starts_with("linux-") ? kLinuxName : kVtName;
}

BuiltinTerminfo::BuiltinTerminfo() {
  const char* tmp = std::getenv("TMPDIR");
  std::string folder =
      std::string(tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp") + "/configurator-terminfo.XXXXXX";
  if (mkdtemp(folder.data()) == nullptr) {
    m_failure = "cannot create a folder for them in " + folder.substr(0, folder.rfind('/')) + ": " +
                std::strerror(errno);
    return;
  }
  m_folder = folder;
  const std::string letters = m_folder + "/" + kLetterFolder;
  if (mkdir(letters.c_str(), 0700) != 0) {
    m_failure = "cannot create " + letters + ": " + std::strerror(errno);
    return;
  }
  for (const Entry& entry : kEntries) {
    const std::string path = letters + "/" + entry.name;
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    const bool written = fd >= 0 && WriteAll(fd, entry.bytes());
    const int error = errno;
    if (fd >= 0) close(fd);
    if (!written) {
      m_failure = "cannot write " + path + ": " + std::strerror(error);
      return;
    }
  }
  if (const char* old = std::getenv("TERMINFO"); old != nullptr) {
    m_hadTerminfo = true;
    m_oldTerminfo = old;
  }
  setenv("TERMINFO", m_folder.c_str(), 1);
}

BuiltinTerminfo::~BuiltinTerminfo() {
  if (m_folder.empty()) return;
  for (const Entry& entry : kEntries) unlink((m_folder + "/" + kLetterFolder + "/" + entry.name).c_str());
  rmdir((m_folder + "/" + kLetterFolder).c_str());
  rmdir(m_folder.c_str());
  if (!m_failure.empty()) return;  // TERMINFO was never changed
  if (m_hadTerminfo)
    setenv("TERMINFO", m_oldTerminfo.c_str(), 1);
  else
    unsetenv("TERMINFO");
}

}  // namespace portable::terminal
