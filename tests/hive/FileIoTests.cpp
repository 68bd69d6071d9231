// The POSIX file helpers that every reader and writer of whole files goes through: the size
// limit on files and pipes alike, and one errno mapping for reads and writes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <set>

#include "base/posix/FileIo.h"
#include "base/posix/Owners.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "platform/Status.h"
#include "tests/hive/HiveTestSupport.h"

namespace {

std::vector<std::uint8_t> Pattern(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
  return bytes;
}

// A regular file's size is known before reading; a pipe's only by reading it, one byte past the limit.
TEST(FileIoTest, ReadsWholeUpToTheLimitFromFilesAndPipes) {
  struct Case {
    std::size_t size;
    std::size_t limit;
    int error;
  };
  for (const bool pipeInput : {false, true}) {
    for (const Case c : {Case{0, 0, 0}, Case{1000, 1000, 0}, Case{1001, 1000, EFBIG}, Case{5000, 0, EFBIG},
                         Case{40000, base::kNoSizeLimit, 0}}) {
      SCOPED_TRACE((pipeInput ? "pipe, size " : "file, size ") + std::to_string(c.size) + ", limit " +
                   std::to_string(c.limit));
      const std::vector<std::uint8_t> content = Pattern(c.size);
      hivetest::TempFolder folder;
      int ends[2] = {-1, -1};
      if (pipeInput) {
        ASSERT_EQ(pipe(ends), 0);
        ASSERT_EQ(base::WriteAll(ends[1], content), 0);  // below the pipe's buffer
        close(ends[1]);
      } else {
        ASSERT_EQ(base::WriteFileBytes(folder / "f", content), 0);
        ends[0] = open((folder / "f").c_str(), O_RDONLY | O_CLOEXEC);
      }
      const base::Descriptor input(ends[0]);
      std::vector<std::uint8_t> bytes{1, 2, 3};
      ASSERT_EQ(base::ReadToEnd(input.Get(), &bytes, c.limit, 1U << 20), c.error);
      if (c.error == 0) {
        EXPECT_EQ(bytes, content);
      }
    }
  }
}

TEST(FileIoTest, ErrnoMapsToOneStatusForReadsAndWrites) {
  const struct {
    int error;
    long status;
  } cases[] = {
      {ENOENT, platform::kFileNotFound}, {ENOTDIR, platform::kFileNotFound},
      {EACCES, platform::kAccessDenied}, {EPERM, platform::kAccessDenied},
      {EROFS, platform::kAccessDenied},  {ENOSPC, platform::kDiskFull},
      {EDQUOT, platform::kDiskFull},     {EIO, platform::kWriteFault},
      {EISDIR, platform::kWriteFault},
  };
  for (const auto& c : cases)
    EXPECT_EQ(base::StatusFromErrno(c.error, platform::kWriteFault), c.status) << std::strerror(c.error);
  EXPECT_EQ(base::StatusFromErrno(EIO, platform::kReadFault), platform::kReadFault);
}

TEST(FileIoTest, MissingFileAndFolderAreToldApart) {
  hivetest::TempFolder folder;
  std::vector<std::uint8_t> bytes;
  bool created = true;
  EXPECT_EQ(base::ReadFileBytes(folder / "none", &bytes), ENOENT);
  EXPECT_EQ(base::ReadFileBytes(folder.Path(), &bytes), EISDIR);
  EXPECT_EQ(base::WriteFileBytes(folder / "none/x", Pattern(3), &created), ENOENT);
  EXPECT_FALSE(created);
}

// The names in a folder: a replaced file leaves no temporary file behind.
std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename());
  return names;
}

std::span<const std::uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// A write cut short (here by the file size limit) leaves the file that was there whole.
TEST(WholeFileTest, AFailedWriteLeavesTheOldFileAsItWas) {
  hivetest::TempFolder folder;
  const std::string path = folder / "profile.reg";
  hivetest::WriteFile(path, "the old profile\n");
  const std::string large(100000, 'x');
  std::u16string why;
  bool created = false;
  struct rlimit limit {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
  const struct rlimit small = {4096, limit.rlim_max};
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const long status =
      platform::WriteWholeFile(std::u16string(path.begin(), path.end()), Bytes(large), &why, &created);
  setrlimit(RLIMIT_FSIZE, &limit);
  std::signal(SIGXFSZ, previous);
  EXPECT_NE(status, platform::kSuccess);
  EXPECT_TRUE(created) << "made, not written whole";
  EXPECT_EQ(why, u"File too large");
  EXPECT_EQ(hivetest::ReadFile(path), "the old profile\n");
  EXPECT_EQ(Names(folder.Path()), std::set<std::string>{"profile.reg"});
}

// A link at the name, as another user could plant in a shared folder, is replaced by the file;
// what it points to is never written.
TEST(WholeFileTest, ReplacesALinkAndNeverWhatItPointsTo) {
  hivetest::TempFolder folder;
  const std::string target = folder / "target";
  hivetest::WriteFile(target, "keep\n");
  for (const char* pointsTo : {"target", "missing"}) {
    const std::string link = folder / "profile.reg";
    ASSERT_EQ(symlink(pointsTo, link.c_str()), 0);
    bool created = false;
    EXPECT_EQ(
        platform::WriteWholeFile(std::u16string(link.begin(), link.end()), Bytes("new\n"), nullptr, &created),
        platform::kSuccess);
    struct stat made {};
    ASSERT_EQ(lstat(link.c_str(), &made), 0);
    EXPECT_TRUE(S_ISREG(made.st_mode)) << pointsTo;
    EXPECT_EQ(hivetest::ReadFile(link), "new\n");
    EXPECT_EQ(hivetest::ReadFile(target), "keep\n");
    EXPECT_EQ(Names(folder.Path()), (std::set<std::string>{"profile.reg", "target"})) << pointsTo;
    ASSERT_EQ(unlink(link.c_str()), 0);
  }
}

// A new file gets the umask's mode, a replaced one keeps its own; a device is written in place;
// what cannot be made is told as such, and leaves nothing behind.
TEST(WholeFileTest, ModesAndPlaces) {
  hivetest::TempFolder folder;
  const mode_t umaskBefore = umask(027);
  struct Case {
    std::string path;
    int oldMode;  // -1: no file there before
    long status;
    bool created;
    int mode;  // of the file afterwards; -1: not checked
  } cases[] = {
      {folder / "new.reg", -1, platform::kSuccess, false, 0640},
      {folder / "private.reg", 0600, platform::kSuccess, false, 0600},
      {folder / "shared.reg", 0664, platform::kSuccess, false, 0664},
      {"/dev/null", -1, platform::kSuccess, true, -1},
      {folder / "none/x.reg", -1, platform::kFileNotFound, false, -1},
      {folder.Path(), -1, platform::kWriteFault, false, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    if (c.oldMode >= 0) {
      hivetest::WriteFile(c.path, "old");
      ASSERT_EQ(chmod(c.path.c_str(), static_cast<mode_t>(c.oldMode)), 0);
    }
    bool created = !c.created;
    EXPECT_EQ(platform::WriteWholeFile(std::u16string(c.path.begin(), c.path.end()), Bytes("new"), nullptr,
                                       &created),
              c.status);
    EXPECT_EQ(created, c.created);
    if (c.mode >= 0) {
      struct stat made {};
      ASSERT_EQ(stat(c.path.c_str(), &made), 0);
      EXPECT_EQ(made.st_mode & 07777, static_cast<mode_t>(c.mode));
      EXPECT_EQ(hivetest::ReadFile(c.path), "new");
    }
  }
  umask(umaskBefore);
  EXPECT_EQ(Names(folder.Path()), (std::set<std::string>{"new.reg", "private.reg", "shared.reg"}));
}

}  // namespace
