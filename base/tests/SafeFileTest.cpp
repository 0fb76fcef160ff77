// Safe replacement: the new file whole with its mode, or the old one
// untouched, and never a temporary file left behind.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/SafeFile.h"
#include "base/tests/FolderTest.h"

namespace fs = std::filesystem;

namespace {

using base::testing::ReadAll;

class SafeFileTest : public base::testing::FolderTest {
 protected:
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(SafeFileTest, ReplacesWithTheContentsAndModeGiven) {
  const fs::path file = folder / "registry.ini";
  const std::string binary("a\0b\r\n\xff", 6);
  ASSERT_TRUE(base::ReplaceFile(file, binary, 0640));  // new
  EXPECT_EQ(ReadAll(file), binary);
  struct stat info {};
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);

  ASSERT_TRUE(base::ReplaceFile(file, "", 0600));  // replaced, now empty
  EXPECT_EQ(ReadAll(file), "");
  ASSERT_EQ(::stat(file.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  EXPECT_EQ(Names(), std::vector<std::string>{"registry.ini"});
}

TEST_F(SafeFileTest, AFailureKeepsTheOldFileAndLeavesNoTemporary) {
  const fs::path file = folder / "store";
  ASSERT_TRUE(base::ReplaceFile(file, "old", 0600));

  // Writing fails part-way: the file size limit stands in for a full disk.
  struct sigaction ignore {
  }, previous{};
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(sigaction(SIGXFSZ, &ignore, &previous), 0);
  rlimit limit{}, saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  limit = saved;
  limit.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  const bool replaced = base::ReplaceFile(file, std::string(100000, 'x'), 0600);
  setrlimit(RLIMIT_FSIZE, &saved);
  sigaction(SIGXFSZ, &previous, nullptr);
  EXPECT_FALSE(replaced);
  EXPECT_EQ(ReadAll(file), "old");
  EXPECT_EQ(Names(), std::vector<std::string>{"store"});

  // The rename fails: a folder stands where the file should go.
  const fs::path occupied = folder / "occupied";
  fs::create_directories(occupied / "inside");
  EXPECT_FALSE(base::ReplaceFile(occupied, "new", 0600));
  EXPECT_TRUE(fs::is_directory(occupied / "inside"));
  EXPECT_EQ(Names(), (std::vector<std::string>{"occupied", "store"}));

  // No folder to write the temporary file in.
  EXPECT_FALSE(base::ReplaceFile(folder / "missing" / "store", "new", 0600));
  EXPECT_FALSE(fs::exists(folder / "missing"));
}

TEST_F(SafeFileTest, RenameDurablyReplacesTheTargetOrLeavesBothAlone) {
  ASSERT_TRUE(base::ReplaceFile(folder / "zarek_new.exe", "new", 0755));
  ASSERT_TRUE(base::ReplaceFile(folder / "zarek.exe", "old", 0755));
  EXPECT_FALSE(base::RenameDurably(folder / "absent", folder / "zarek.exe"));
  EXPECT_EQ(ReadAll(folder / "zarek.exe"), "old");

  ASSERT_TRUE(base::RenameDurably(folder / "zarek_new.exe", folder / "zarek.exe"));
  EXPECT_EQ(ReadAll(folder / "zarek.exe"), "new");
  EXPECT_EQ(Names(), std::vector<std::string>{"zarek.exe"});

  // A program only its owner may run (not read) still moves.
  fs::permissions(folder / "zarek.exe", fs::perms::owner_exec);
  EXPECT_TRUE(base::RenameDurably(folder / "zarek.exe", folder / "zarek_.exe"));
  EXPECT_EQ(Names(), std::vector<std::string>{"zarek_.exe"});
}

TEST(WriteAll, WritesEverythingOrSaysWhy) {
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  EXPECT_TRUE(base::WriteAll(pipeFds[1], "ping"));
  char buffer[8] = {};
  EXPECT_EQ(::read(pipeFds[0], buffer, sizeof buffer), 4);
  EXPECT_STREQ(buffer, "ping");
  ::close(pipeFds[0]);
  struct sigaction ignore {
  }, previous{};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, &previous);
  errno = 0;
  EXPECT_FALSE(base::WriteAll(pipeFds[1], "nobody reads"));
  EXPECT_EQ(errno, EPIPE);
  sigaction(SIGPIPE, &previous, nullptr);
  ::close(pipeFds[1]);
}

}  // namespace
