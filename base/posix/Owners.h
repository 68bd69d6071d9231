#pragma once
// Owners of what POSIX code opens: a file descriptor and a folder listing, each closed when its
// owner goes out of scope. Where the result of closing matters (a file just
// written), CloseNow() closes early and gives the error, if any.
#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <utility>

#include "base/posix/FileOps.h"

namespace base {

// A file descriptor (-1: none). Closing also releases any flock held through it.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : m_fd(fd) {}
  ~Descriptor() {
    if (m_fd >= 0) close(m_fd);
  }
  Descriptor(Descriptor&& other) noexcept : m_fd(other.Release()) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    if (this != &other) {
      if (m_fd >= 0) close(m_fd);
      m_fd = other.Release();
    }
    return *this;
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int Get() const { return m_fd; }
  bool Valid() const { return m_fd >= 0; }
  int Release() { return std::exchange(m_fd, -1); }
  // Closes ahead of the destructor; 0, or the errno of close(2)'s error (EBADF when there was
  // nothing open).
  int CloseNow() {
    if (m_fd < 0) return EBADF;
    return ops::Close(Release()) == 0 ? 0 : errno;
  }

 private:
  int m_fd;
};

struct FolderListingCloser {
  void operator()(DIR* folder) const { closedir(folder); }
};
// A folder listing from opendir or fdopendir (null: none); closing it closes its descriptor.
using FolderListing = std::unique_ptr<DIR, FolderListingCloser>;

}  // namespace base
