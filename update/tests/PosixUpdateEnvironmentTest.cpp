#include "update/PosixUpdateEnvironment.h"

#include "update/tests/RecordingEnvironment.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace update {
namespace {

namespace fs = std::filesystem;
using testing::TemporaryFolder;

class PosixUpdateEnvironmentTest : public ::testing::Test {
 protected:
  TemporaryFolder folder;
  PosixUpdateEnvironment environment{nullptr, nullptr};
};

TEST_F(PosixUpdateEnvironmentTest, FolderWritableFollowsThePermissions) {
  EXPECT_TRUE(environment.FolderWritable(folder.Path()));
  EXPECT_FALSE(environment.FolderWritable(folder.Path() / "missing"));
  EXPECT_FALSE(environment.FolderWritable("/proc/self"));
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  ::chmod(folder.Path().c_str(), 0555);
  EXPECT_FALSE(environment.FolderWritable(folder.Path()));
  ::chmod(folder.Path().c_str(), 0755);
}

TEST_F(PosixUpdateEnvironmentTest, DeleteRemovesFilesOnly) {
  testing::WriteFile(folder.Path() / "zarek_.exe", "old");
  fs::create_directory(folder.Path() / "zarekupdate.ini");
  EXPECT_TRUE(environment.DeleteFile(folder.Path() / "zarek_.exe"));
  EXPECT_FALSE(environment.DeleteFile(folder.Path() / "zarek_.exe"));
  EXPECT_FALSE(environment.DeleteFile(folder.Path() / "zarekupdate.ini"));
  EXPECT_EQ(testing::FolderContents(folder.Path()),
            (std::map<std::string, std::string>{{"zarekupdate.ini", "<folder>"}}));
}

TEST_F(PosixUpdateEnvironmentTest, RenameMovesAndReportsFailure) {
  testing::WriteFile(folder.Path() / "zarek.exe", "program");
  EXPECT_TRUE(environment.RenameFile(folder.Path() / "zarek.exe", folder.Path() / "zarek_.exe"));
  EXPECT_FALSE(environment.RenameFile(folder.Path() / "zarek.exe", folder.Path() / "x"));
  EXPECT_EQ(testing::FolderContents(folder.Path()), (std::map<std::string, std::string>{{"zarek_.exe", "program"}}));
}

TEST_F(PosixUpdateEnvironmentTest, MakeExecutableFollowsTheReadPermissions) {
  const fs::path shared = folder.Path() / "shared";
  const fs::path own = folder.Path() / "own";
  testing::WriteFile(shared, "x");
  testing::WriteFile(own, "x");
  ::chmod(shared.c_str(), 0644);
  ::chmod(own.c_str(), 0600);
  EXPECT_TRUE(environment.MakeExecutable(shared));
  EXPECT_TRUE(environment.MakeExecutable(own));
  EXPECT_FALSE(environment.MakeExecutable(folder.Path() / "missing"));
  struct stat info {};
  ::stat(shared.c_str(), &info);
  EXPECT_EQ(info.st_mode & 07777, 0755u);
  ::stat(own.c_str(), &info);
  EXPECT_EQ(info.st_mode & 07777, 0700u);
}

}  // namespace
}  // namespace update
