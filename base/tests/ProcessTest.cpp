// The running program and others: its own file, the tick count, and starting
// a program (arguments as given, a session of its own, nothing of this
// program's descriptors or signal settings; failures reported).

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "base/Process.h"
#include "base/tests/FolderTest.h"

namespace fs = std::filesystem;

namespace {

using base::testing::ReadAll;

class ProcessTest : public base::testing::FolderTest {
 protected:
  // Waits for the started program to write its report (a guard against a
  // program that never ran, not a measure of time).
  bool WaitFor(const fs::path& file) {
    for (int i = 0; i < 1000 && !fs::exists(file); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return fs::exists(file);
  }
};

TEST_F(ProcessTest, StartsWithItsArgumentsInASessionOfItsOwnWithNothingInherited) {
  // What this program holds that the new one must not get: a descriptor
  // without close-on-exec, a blocked signal and an ignored one.
  const int leaked = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(leaked, 0);
  ASSERT_EQ(::dup2(leaked, 100), 100);
  sigset_t usr1, previousMask;
  sigemptyset(&usr1);
  sigaddset(&usr1, SIGUSR1);
  ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &usr1, &previousMask), 0);
  struct sigaction ignore {
  }, previousPipe{};
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(sigaction(SIGPIPE, &ignore, &previousPipe), 0);

  const std::string script =
      "out=$1; shift\n"
      "printf '%s|' \"$#\" \"$@\" > \"$out/args\"\n"
      "cut -d' ' -f6 /proc/$$/stat > \"$out/session\"\n"
      "if [ -e /proc/$$/fd/100 ]; then echo open; else echo closed; fi > \"$out/fd\"\n"
      "echo $$ > \"$out/pid.tmp\" && mv \"$out/pid.tmp\" \"$out/pid\"\n";
  const bool started = base::StartProgram(
      "/bin/sh", {"-c", script, "sh", folder.string(), "two words", "中文 ü", "", "$HOME", "a\"b'c\\"});
  // The shell clears its signal mask itself: grep reports its own settings,
  // on the standard output it inherits.
  fflush(stdout);
  const int savedOutput = ::dup(1);
  const int signalsFile = ::open((folder / "signals.tmp").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ::dup2(signalsFile, 1);
  ::close(signalsFile);
  const bool grepStarted = base::StartProgram("/bin/grep", {"-E", "^Sig(Blk|Ign)", "/proc/self/status"});
  ::dup2(savedOutput, 1);
  ::close(savedOutput);

  sigaction(SIGPIPE, &previousPipe, nullptr);
  pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
  ::close(100);
  ::close(leaked);

  ASSERT_TRUE(started);
  ASSERT_TRUE(grepStarted);
  ASSERT_TRUE(WaitFor(folder / "pid"));
  EXPECT_EQ(ReadAll(folder / "args"), "5|two words|中文 ü||$HOME|a\"b'c\\|");
  const std::string pid = ReadAll(folder / "pid");
  EXPECT_EQ(ReadAll(folder / "session"), pid) << "the program leads a session of its own";
  EXPECT_NE(std::to_string(getsid(0)) + "\n", pid);
  // Signals 1 to 31 by their bits; the C library's own (32 and 33) are its business.
  unsigned long long blocked = ~0ull, ignored = ~0ull;
  for (int i = 0; i < 1000 && ReadAll(folder / "signals.tmp").size() < 50; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_EQ(std::sscanf(ReadAll(folder / "signals.tmp").c_str(), "SigBlk: %llx SigIgn: %llx", &blocked, &ignored), 2);
  EXPECT_EQ(blocked & 0x7fffffffu, 0u);
  EXPECT_EQ(ignored & 0x7fffffffu, 0u);
  EXPECT_EQ(ReadAll(folder / "fd"), "closed\n");
}

TEST_F(ProcessTest, AProgramThatCannotStartIsReported) {
  const fs::path notRunnable = folder / "program";
  std::ofstream(notRunnable) << "#!/bin/sh\necho ran > \"" << (folder / "ran").string() << "\"\n";
  fs::permissions(notRunnable, fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_FALSE(base::StartProgram(folder / "missing"));
  EXPECT_FALSE(base::StartProgram(folder));       // a folder
  EXPECT_FALSE(base::StartProgram(notRunnable));  // without an execute bit, even for root

  fs::permissions(notRunnable, fs::perms::owner_exec, fs::perm_options::add);
  EXPECT_TRUE(base::StartProgram(notRunnable));
  EXPECT_TRUE(WaitFor(folder / "ran"));
}

TEST_F(ProcessTest, ExecutablePathIgnoresTheCurrentDirectory) {
  const fs::path before = fs::current_path();
  fs::current_path(folder);
  const fs::path found = base::ExecutablePath();
  fs::current_path(before);
  // The test program's own file, not something in the working directory.
  EXPECT_NE(found.parent_path(), folder);
  EXPECT_TRUE(found.is_absolute());
  EXPECT_EQ(found.filename(), fs::path(program_invocation_name).filename());
  EXPECT_TRUE(fs::equivalent(found, "/proc/self/exe"));
  EXPECT_EQ(base::ExecutableFolder(), found.parent_path());
}

TEST(TickCount, IsTimeSinceBoot) {
  std::ifstream uptimeFile("/proc/uptime");
  double uptime = 0;
  uptimeFile >> uptime;
  const auto expected = static_cast<std::uint32_t>(static_cast<std::uint64_t>(uptime * 1000));
  const std::uint32_t difference = base::TickCount() - expected;  // modulo 2^32
  EXPECT_LT(difference, 2000u);
}

}  // namespace
