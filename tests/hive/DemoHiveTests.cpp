// The demo data the program makes for itself: the demo folder, made once and never overwritten.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/posix/FileIo.h"
#include "base/posix/Owners.h"
#include "hive/HiveCheck.h"
#include "tests/hive/StoreTestSupport.h"

namespace {

using base::Failure;
using base::HiveProblem;
using hivetest::Hivexget;
using hivetest::kSettingsKey;
using hivetest::kSettingsPath;
using hivetest::LoadOrFail;
using hivetest::QueryValue;
using hivetest::SetValue;
using hivetest::Utf16;
using platform::HiveStore;

// The demo hive, made by the engine's own key and value edits, is sound to the last field.
TEST(HiveFiles, TheDemoHivePassesTheCheck) {
  hivetest::TempFolder folder;
  const std::string path = hivetest::DemoHive(folder);
  std::vector<std::uint8_t> bytes;
  ASSERT_EQ(base::ReadFileBytes(path, &bytes), 0);
  const hive::HiveCheckReport report = hive::CheckHive(bytes);
  EXPECT_TRUE(report.findings.empty()) << report.findings.front().text;
  EXPECT_GT(report.keys, 10U);
}

TEST(HiveFiles, TheDemoFolderIsMadeOnceAndNeverOverwritten) {
  hivetest::TempFolder folder;
  const std::string data = folder / "share/configurator";
  Failure failure;
  ASSERT_EQ(platform::EnsureDemoFolder(data, &failure), platform::DemoFolder::kCreated) << failure.Text();
  EXPECT_NE(Hivexget(data + "/SYSTEM", "Select").find("\"Current\"=dword:00000001"), std::string::npos);
  EXPECT_NE(hivetest::ReadFile(data + "/board").find(" board\n"), std::string::npos);

  hivetest::WriteFile(data + "/SYSTEM", "mine");
  EXPECT_EQ(platform::EnsureDemoFolder(data, &failure), platform::DemoFolder::kExisting);
  EXPECT_EQ(hivetest::ReadFile(data + "/SYSTEM"), "mine");

  const std::string empty = folder / "empty";
  mkdir(empty.c_str(), 0755);
  EXPECT_EQ(platform::EnsureDemoFolder(empty, &failure), platform::DemoFolder::kExisting);
  EXPECT_EQ(hivetest::Run("ls -A " + hivetest::Quote(empty)), "");
  EXPECT_EQ(hivetest::Run("ls -A " + hivetest::Quote(folder / "share")), "configurator\n") << "no leftovers";
}

// A data folder that exists but is not the user's own is refused in words: it would hold the
// hive that the program saves and its backups. Folders above it may be anyone's.
TEST(HiveFiles, ADataFolderNotTheUsersOwnIsRefused) {
  hivetest::TempFolder folder;
  const std::string shared = folder / "shared";
  mkdir(shared.c_str(), 0700);
  chmod(shared.c_str(), 01777);
  Failure failure;
  EXPECT_EQ(platform::EnsureDemoFolder(shared + "/deep/configurator", &failure),
            platform::DemoFolder::kCreated)
      << failure.Text();
  mkdir((folder / "real").c_str(), 0700);
  struct Row {
    const char* name;
    std::string folder;
    std::string why;
  } rows[] = {
      {"a link", folder / "link", "it is a symbolic link"},
      {"others may write", shared, "users other than its owner may write to it (mode 1777)"},
      {"another user's", folder / "theirs", "it belongs to another user"},
  };
  ASSERT_EQ(symlink((folder / "real").c_str(), (folder / "link").c_str()), 0);
  mkdir((folder / "theirs").c_str(), 0700);
  const bool root = geteuid() == 0;
  if (root)
    ASSERT_EQ(chown((folder / "theirs").c_str(), 12345, 12345), 0);
  else
    std::printf("skipped: a data folder of another user (chown needs root)\n");
  for (const Row& row : rows) {
    if (row.folder == folder / "theirs" && !root) continue;
    failure = {};
    EXPECT_EQ(platform::EnsureDemoFolder(row.folder, &failure), platform::DemoFolder::kFailed) << row.name;
    EXPECT_EQ(failure.Text().rfind("cannot use data folder " + row.folder + ": " + row.why, 0), 0u)
        << row.name << ": " << failure.Text();
    EXPECT_NE(failure.Text().find("set XDG_DATA_HOME to a folder of your own"), std::string::npos)
        << row.name;
  }
}

}  // namespace
