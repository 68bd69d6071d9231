// The POSIX file helpers that every reader and writer of whole files goes through: the size
// limit on files and pipes alike, and one errno mapping for reads and writes. (The program's
// whole-file writes on top of them: WholeFileTests.cpp.)
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/Status.h"
#include "base/posix/FileIo.h"
#include "base/posix/Owners.h"
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
      {ENOENT, base::kFileNotFound}, {ENOTDIR, base::kFileNotFound}, {EACCES, base::kAccessDenied},
      {EPERM, base::kAccessDenied},  {EROFS, base::kAccessDenied},   {ENOSPC, base::kDiskFull},
      {EDQUOT, base::kDiskFull},     {EIO, base::kWriteFault},       {EISDIR, base::kWriteFault},
  };
  for (const auto& c : cases)
    EXPECT_EQ(base::StatusFromErrno(c.error, base::kWriteFault), c.status) << std::strerror(c.error);
  EXPECT_EQ(base::StatusFromErrno(EIO, base::kReadFault), base::kReadFault);
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

}  // namespace
