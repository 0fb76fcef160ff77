// The whole check against a real server on loopback and a real folder.
#include "update/CheckForUpdate.h"

#include "update/tests/LoopbackHttpServer.h"
#include "update/tests/RecordingEnvironment.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

namespace update {
namespace {

using namespace testing;  // the loopback server, the recording environment, folders
using Files = std::map<std::string, std::string>;

const std::string kDescriptionPath = "/derodoz/hollinzarek/zarekupdate.ini";
const std::string kOldProgram = "the running zarek";

// A whole program image for this machine, of about 16 KiB.
std::string ProgramBytes(const std::string& marker) { return testing::SmallProgram(marker, 16384); }

class CheckForUpdateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::WriteFile(folder.Path() / "zarek.exe", kOldProgram);
    // Left over from an earlier update and an interrupted check.
    testing::WriteFile(folder.Path() / "zarek_.exe", "the program before the last update");
    testing::WriteFile(folder.Path() / "zarekupdate.ini", "[LoginUpdate]\nVersionId=9999\n");
    options.stallTimeout = std::chrono::milliseconds(400);
  }

  void ServeDescription(const std::string& text) { server.Serve(kDescriptionPath, Reply{.body = text}); }

  // A description offering version 1002 at the given address.
  void OfferUpdate(const std::string& downloadUrl, const std::string& version = "1002") {
    ServeDescription("[LoginUpdate]\r\nVersionId=" + version + "\r\ndownloadUrl=" + downloadUrl + "\r\n");
  }

  UpdateOutcome Check() { return UpdateCheck(environment, server.Host(), 1001, options).Run(); }

  Files Contents() { return testing::FolderContents(folder.Path()); }

  // Nothing changed, nothing shown, and at most one warning that names
  // the cause (none when cause is empty).
  void ExpectNothingChangedAndNothingShown(const std::string& cause = {}) {
    EXPECT_EQ(Contents(), (Files{{"zarek.exe", kOldProgram}}));
    ExpectWarning(cause);
    EXPECT_TRUE(environment.messages.empty());
    EXPECT_TRUE(environment.startedPrograms.empty());
    EXPECT_EQ(environment.closesPosted, 0);
  }

  void ExpectWarning(const std::string& cause) {
    if (cause.empty()) {
      EXPECT_TRUE(environment.warnings.empty()) << environment.warnings[0];
      return;
    }
    ASSERT_EQ(environment.warnings.size(), 1u);
    EXPECT_NE(environment.warnings[0].find(cause), std::string::npos) << environment.warnings[0];
    environment.warnings.clear();
  }

  void ExpectDownloadFailureShownOnce() {
    EXPECT_EQ(Contents(), (Files{{"zarek.exe", kOldProgram}}));
    ASSERT_EQ(environment.messages.size(), 1u);
    EXPECT_EQ(environment.messages[0].first, u"无法下载文件。请检查网络后重试。");
    EXPECT_TRUE(environment.startedPrograms.empty());
    EXPECT_EQ(environment.closesPosted, 0);
  }

  void ExpectInstalled(const std::string& newProgram) {
    EXPECT_EQ(Contents(), (Files{{"zarek.exe", newProgram}, {"zarek_.exe", kOldProgram}}));
    ASSERT_EQ(environment.messages.size(), 1u);
    EXPECT_EQ(environment.messages[0].first, u"游戏已经更新完成，点击确定后将重新启动游戏");
    EXPECT_EQ(environment.messages[0].second, u"提示");
    EXPECT_EQ(environment.startedPrograms, std::vector<std::filesystem::path>{folder.Path() / "zarek.exe"});
    EXPECT_EQ(environment.closesPosted, 1);
    struct stat info {};
    ASSERT_EQ(::stat((folder.Path() / "zarek.exe").c_str(), &info), 0);
    EXPECT_NE(info.st_mode & S_IXUSR, 0u) << "the new program must be runnable";
  }

  TemporaryFolder folder;
  LoopbackHttpServer server;
  RecordingEnvironment environment{folder.Path()};
  DownloadOptions options;
  const std::string newProgram = ProgramBytes("version 1002");
};

TEST_F(CheckForUpdateTest, NewerVersionIsSwappedInAnnouncedAndRestarted) {
  OfferUpdate(server.Address("/files/zarek.exe"));
  server.Serve("/files/zarek.exe", Reply{.body = newProgram});

  EXPECT_EQ(Check(), UpdateOutcome::Installed);
  ExpectInstalled(newProgram);
  EXPECT_EQ(environment.events,
            (std::vector<std::string>{"rename zarek.exe->zarek_.exe", "rename zarek_new.exe->zarek.exe", "message",
                                      "start", "close"}));
  // Both requests carry the tick suffix, and nothing else is fetched.
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].target, kDescriptionPath + "?4321");
  EXPECT_EQ(requests[1].target, "/files/zarek.exe?4321");
  for (const auto& request : requests) {
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.headers.at("user-agent"), "Tessary/1001");
  }
}

TEST_F(CheckForUpdateTest, SameVersionLeavesEverythingAlone) {
  OfferUpdate(server.Address("/files/zarek.exe"), "1001");
  server.Serve("/files/zarek.exe", Reply{.body = newProgram});

  EXPECT_EQ(Check(), UpdateOutcome::UpToDate);
  ExpectNothingChangedAndNothingShown();
  EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(CheckForUpdateTest, UnusableVersionNumbersGiveNoUpdate) {
  const std::string url = "downloadUrl=" + server.Address("/files/zarek.exe") + "\n";
  const std::vector<std::string> descriptions = {
      "[OtherSection]\nVersionId=1002\n" + url,       // no such section
      "[LoginUpdate]\nVersionId=newer\n" + url,       // not a number
      "[LoginUpdate]\nVersionId=-1002\n" + url,       // negative reads as 0
      "[LoginUpdate]\nVersionId=3000000000\n" + url,  // negative as a signed number
      "[LoginUpdate]\n" + url,                        // no version at all
      "",                                             // empty description
  };
  server.Serve("/files/zarek.exe", Reply{.body = newProgram});
  for (const std::string& description : descriptions) {
    SCOPED_TRACE(description);
    ServeDescription(description);
    EXPECT_EQ(Check(), UpdateOutcome::UpToDate);
    ExpectNothingChangedAndNothingShown();
  }
}

TEST_F(CheckForUpdateTest, AddressMustNameExeAfterItsFirstCharacter) {
  server.Serve("/files/zarek.exe", Reply{.body = newProgram});
  OfferUpdate(".exe" + server.Address("/files/zarek.exe"));
  EXPECT_EQ(Check(), UpdateOutcome::UpToDate);
  OfferUpdate(server.Address("/files/zarek"));
  EXPECT_EQ(Check(), UpdateOutcome::UpToDate);
  OfferUpdate("");
  EXPECT_EQ(Check(), UpdateOutcome::UpToDate);
  ExpectNothingChangedAndNothingShown();
  EXPECT_EQ(server.Requests().size(), 3u) << "only the descriptions were fetched";
}

TEST_F(CheckForUpdateTest, AddressEndingInExeTxtPassesTheNameTest) {
  OfferUpdate(server.Address("/files/zarek.exe.txt"));
  server.Serve("/files/zarek.exe.txt", Reply{.body = newProgram});

  EXPECT_EQ(Check(), UpdateOutcome::Installed);
  ExpectInstalled(newProgram);
}

TEST_F(CheckForUpdateTest, AddressWithQueryGetsASecondQuestionMark) {
  OfferUpdate(server.Address("/files/zarek.exe?channel=7"));
  server.Serve("/files/zarek.exe", Reply{.body = newProgram});

  EXPECT_EQ(Check(), UpdateOutcome::Installed);
  ASSERT_EQ(server.Requests().size(), 2u);
  EXPECT_EQ(server.Requests()[1].target, "/files/zarek.exe?channel=7?4321");
}

TEST_F(CheckForUpdateTest, TickCountPastTwentyFourDaysPrintsNegative) {
  environment.tickCount = 0x80000005u;
  OfferUpdate(server.Address("/files/zarek.exe"));
  server.Serve("/files/zarek.exe", Reply{.body = newProgram});

  EXPECT_EQ(Check(), UpdateOutcome::Installed);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].target, kDescriptionPath + "?-2147483643");
  EXPECT_EQ(requests[1].target, "/files/zarek.exe?-2147483643");
}

TEST_F(CheckForUpdateTest, NoServerEndsQuietly) {
  RefusingPort nobody;
  EXPECT_EQ(UpdateCheck(environment, nobody.Host(), 1001, options).Run(), UpdateOutcome::DescriptionFailed);
  ExpectNothingChangedAndNothingShown();
}

TEST_F(CheckForUpdateTest, UnknownExecutableFolderTouchesNothing) {
  RecordingEnvironment nowhere{std::filesystem::path()};
  OfferUpdate(server.Address("/files/zarek.exe"));
  EXPECT_EQ(UpdateCheck(nowhere, server.Host(), 1001, options).Run(), UpdateOutcome::NoFolder);
  EXPECT_TRUE(server.Requests().empty());
  EXPECT_EQ(Contents().size(), 3u);
}

TEST_F(CheckForUpdateTest, DescriptionErrorStatusIsShownOnce) {
  for (int status : {404, 500}) {
    SCOPED_TRACE(status);
    environment.messages.clear();
    server.Serve(kDescriptionPath, Reply{.status = status, .body = "<html>error</html>"});
    EXPECT_EQ(Check(), UpdateOutcome::DescriptionFailed);
    ExpectDownloadFailureShownOnce();
  }
}

TEST_F(CheckForUpdateTest, ProgramErrorStatusIsShownOnce) {
  for (int status : {404, 500}) {
    SCOPED_TRACE(status);
    environment.messages.clear();
    OfferUpdate(server.Address("/files/zarek.exe"));
    server.Serve("/files/zarek.exe", Reply{.status = status, .body = "<html>error</html>"});
    EXPECT_EQ(Check(), UpdateOutcome::DownloadFailed);
    ExpectDownloadFailureShownOnce();
    ExpectWarning("did not answer 200");
  }
}

TEST_F(CheckForUpdateTest, BrokenTransfersOfTheProgramChangeNothing) {
  using Ending = Reply::Ending;
  for (Ending ending : {Ending::CutShort, Ending::ResetMidBody, Ending::StallMidBody, Ending::StallBeforeAnswer,
                        Ending::CloseWithoutAnswer}) {
    SCOPED_TRACE(static_cast<int>(ending));
    OfferUpdate(server.Address("/files/zarek.exe"));
    server.Serve("/files/zarek.exe", Reply{.body = newProgram + std::string(100000, 'x'), .ending = ending});
    EXPECT_EQ(Check(), UpdateOutcome::DownloadFailed);
    ExpectNothingChangedAndNothingShown("the new program was not downloaded");
  }
}

TEST_F(CheckForUpdateTest, StalledDescriptionEndsQuietly) {
  server.Serve(kDescriptionPath,
               Reply{.body = "[LoginUpdate]\nVersionId=1002\n", .ending = Reply::Ending::StallMidBody});
  EXPECT_EQ(Check(), UpdateOutcome::DescriptionFailed);
  ExpectNothingChangedAndNothingShown();
}

TEST_F(CheckForUpdateTest, WhatIsNotAProgramIsNeverSwappedIn) {
  const std::vector<std::string> bodies = {
      "<html><head><title>Sign in to the network</title></head></html>", "", "MZ\x90\x00 a Windows program",
      newProgram.substr(0, 10),  // the header cut inside
  };
  for (const std::string& body : bodies) {
    SCOPED_TRACE(body);
    OfferUpdate(server.Address("/files/zarek.exe"));
    server.Serve("/files/zarek.exe", Reply{.body = body});
    EXPECT_EQ(Check(), UpdateOutcome::NotAProgram);
    ExpectNothingChangedAndNothingShown("not a whole program");
  }
}

TEST_F(CheckForUpdateTest, FailedFirstRenameKeepsTheOldProgram) {
  environment.failingRenames = {{"zarek.exe", "zarek_.exe"}};
  OfferUpdate(server.Address("/files/zarek.exe"));
  server.Serve("/files/zarek.exe", Reply{.body = newProgram});

  EXPECT_EQ(Check(), UpdateOutcome::SwapFailed);
  ExpectNothingChangedAndNothingShown("cannot rename");
}

TEST_F(CheckForUpdateTest, FailedSecondRenamePutsTheOldProgramBack) {
  environment.failingRenames = {{"zarek_new.exe", "zarek.exe"}};
  OfferUpdate(server.Address("/files/zarek.exe"));
  server.Serve("/files/zarek.exe", Reply{.body = newProgram});

  EXPECT_EQ(Check(), UpdateOutcome::SwapFailed);
  ExpectNothingChangedAndNothingShown("cannot rename");
  EXPECT_EQ(environment.events,
            (std::vector<std::string>{"rename zarek.exe->zarek_.exe", "rename zarek_new.exe->zarek.exe failed",
                                      "rename zarek_.exe->zarek.exe"}));
}

TEST_F(CheckForUpdateTest, MissingRunningProgramIsNotReplaced) {
  // Without a "zarek.exe" to move aside there is nothing to swap.
  std::filesystem::remove(folder.Path() / "zarek.exe");
  OfferUpdate(server.Address("/files/zarek.exe"));
  server.Serve("/files/zarek.exe", Reply{.body = newProgram});

  EXPECT_EQ(Check(), UpdateOutcome::SwapFailed);
  EXPECT_EQ(Contents(), Files{});
  EXPECT_TRUE(environment.messages.empty());
  EXPECT_TRUE(environment.startedPrograms.empty());
}

TEST_F(CheckForUpdateTest, DescriptionThatCannotBeStoredIsLogged) {
  std::filesystem::remove(folder.Path() / "zarekupdate.ini");
  std::filesystem::create_directory(folder.Path() / "zarekupdate.ini");
  OfferUpdate(server.Address("/files/zarek.exe"));

  EXPECT_EQ(Check(), UpdateOutcome::DescriptionFailed);
  EXPECT_EQ(Contents(), (Files{{"zarek.exe", kOldProgram}, {"zarekupdate.ini", "<folder>"}}));
  EXPECT_TRUE(environment.messages.empty());
  ExpectWarning("update description cannot be stored");
}

TEST_F(CheckForUpdateTest, RedirectedDescriptionIsFollowed) {
  server.Serve(kDescriptionPath, Reply{.status = 302, .headers = {{"Location", "/mirror/zarekupdate.ini"}}});
  server.Serve(
      "/mirror/zarekupdate.ini",
      Reply{.body = "[LoginUpdate]\nVersionId=1002\ndownloadUrl=" + server.Address("/files/zarek.exe") + "\n"});
  server.Serve("/files/zarek.exe", Reply{.body = newProgram});

  EXPECT_EQ(Check(), UpdateOutcome::Installed);
  ExpectInstalled(newProgram);
}

// A body whose end is told only by the connection closing, or a chunked
// body whose last chunk never comes, cut at several points.
TEST_F(CheckForUpdateTest, CutBodiesAreNeverSwappedIn) {
  using Framing = Reply::Framing;
  const size_t size = newProgram.size();
  for (Framing framing : {Framing::CloseDelimited, Framing::Chunked, Framing::ContentLength}) {
    for (size_t cut : {size_t{64}, size_t{200}, size / 2, size - 1}) {
      SCOPED_TRACE(::testing::Message() << static_cast<int>(framing) << " cut at " << cut);
      OfferUpdate(server.Address("/files/zarek.exe"));
      server.Serve("/files/zarek.exe", Reply{.body = newProgram, .framing = framing, .cutAt = cut});
      const UpdateOutcome outcome = Check();
      EXPECT_TRUE(outcome == UpdateOutcome::NotAProgram || outcome == UpdateOutcome::DownloadFailed)
          << static_cast<int>(outcome);
      ExpectNothingChangedAndNothingShown(outcome == UpdateOutcome::NotAProgram ? "not a whole program"
                                                                                : "was not downloaded");
    }
  }
  // The same framings with the whole body install it.
  for (Framing framing : {Framing::CloseDelimited, Framing::Chunked}) {
    SetUp();
    environment.messages.clear();
    environment.startedPrograms.clear();
    environment.closesPosted = 0;
    OfferUpdate(server.Address("/files/zarek.exe"));
    server.Serve("/files/zarek.exe", Reply{.body = newProgram, .framing = framing});
    EXPECT_EQ(Check(), UpdateOutcome::Installed);
    ExpectInstalled(newProgram);
  }
}

// Installed under another name, the swap works on that file and keeps the
// side files' names.
TEST_F(CheckForUpdateTest, AnyInstallNameIsUpdatedInPlace) {
  for (const std::string name : {"zarek", "tessary", "Zarek Client"}) {
    SCOPED_TRACE(name);
    TemporaryFolder install;
    RecordingEnvironment installed(install.Path());
    installed.programName = name;
    testing::WriteFile(install.Path() / name, kOldProgram);
    testing::WriteFile(install.Path() / "zarek_.exe", "older");
    OfferUpdate(server.Address("/files/zarek.exe"));
    server.Serve("/files/zarek.exe", Reply{.body = newProgram});

    EXPECT_EQ(UpdateCheck(installed, server.Host(), 1001, options).Run(), UpdateOutcome::Installed);
    EXPECT_EQ(testing::FolderContents(install.Path()), (Files{{name, newProgram}, {"zarek_.exe", kOldProgram}}));
    EXPECT_EQ(installed.events,
              (std::vector<std::string>{"rename " + name + "->zarek_.exe", "rename zarek_new.exe->" + name, "message",
                                        "start", "close"}));
    EXPECT_EQ(installed.startedPrograms, std::vector<std::filesystem::path>{install.Path() / name});
    EXPECT_TRUE(installed.warnings.empty());
  }
}

TEST_F(CheckForUpdateTest, ReadOnlyFolderFetchesNothingAndSaysWhy) {
  environment.folderWritable = false;
  OfferUpdate(server.Address("/files/zarek.exe"));
  server.Serve("/files/zarek.exe", Reply{.body = newProgram});

  EXPECT_EQ(Check(), UpdateOutcome::FolderNotWritable);
  EXPECT_TRUE(server.Requests().empty());
  ExpectNothingChangedAndNothingShown(folder.Path().string() + " is not writable");
}

// Limits the size of files this process writes, as a full disk would.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &old_);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
  }

 private:
  rlimit old_{};
  void (*oldHandler_)(int);
};

TEST_F(CheckForUpdateTest, FullDiskLeavesTheOldProgramAndSaysWhy) {
  const std::string program = testing::SmallProgram("large", 600 * 1024);
  server.Serve("/files/zarek.exe", Reply{.body = program});
  const struct {
    rlim_t limit;
    UpdateOutcome outcome;
    const char* cause;
  } cases[] = {
      {8, UpdateOutcome::DescriptionFailed, "update description cannot be stored"},
      {4096, UpdateOutcome::DownloadFailed, "zarek_new.exe cannot be written"},
      {300 * 1024, UpdateOutcome::DownloadFailed, "zarek_new.exe cannot be written"},
  };
  for (const auto& example : cases) {
    SCOPED_TRACE(example.limit);
    OfferUpdate(server.Address("/files/zarek.exe"));
    UpdateOutcome outcome;
    {
      FileSizeLimit full(example.limit);
      outcome = Check();
    }
    EXPECT_EQ(outcome, example.outcome);
    ExpectNothingChangedAndNothingShown(example.cause);
  }
}

// Progress goes to the environment while the program arrives; a close
// during the download cancels it and leaves everything as it was.
TEST_F(CheckForUpdateTest, ProgressIsReportedAndCancelLeavesNothing) {
  // The windows are asked to keep answering while nothing arrives, too.
  options.stallTimeout = std::chrono::seconds(10);
  server.Serve(kDescriptionPath, Reply{.ending = Reply::Ending::StallBeforeAnswer});
  environment.cancelAtAnswer = 3;
  EXPECT_EQ(Check(), UpdateOutcome::Cancelled);
  EXPECT_EQ(environment.answers, 3);
  ExpectNothingChangedAndNothingShown();
  environment.cancelAtAnswer = INT32_MAX;

  const std::string program = testing::SmallProgram("large", 1 << 20);
  OfferUpdate(server.Address("/files/zarek.exe"));
  server.Serve("/files/zarek.exe", Reply{.body = program, .bytesPerSecond = 4 << 20});
  environment.cancelAfter = 200 * 1024;
  EXPECT_EQ(Check(), UpdateOutcome::Cancelled);
  ExpectNothingChangedAndNothingShown();
  ASSERT_FALSE(environment.progress.empty());
  EXPECT_GE(environment.progress.back().first, 200u * 1024);
  EXPECT_LT(environment.progress.back().first, program.size());

  environment.progress.clear();
  environment.cancelAfter = UINT64_MAX;
  OfferUpdate(server.Address("/files/zarek.exe"));
  EXPECT_EQ(Check(), UpdateOutcome::Installed);
  ExpectInstalled(program);
  ASSERT_GE(environment.progress.size(), 2u);
  uint64_t last = 0;
  for (const auto& [received, total] : environment.progress) {
    EXPECT_GE(received, last);
    EXPECT_EQ(total, static_cast<int64_t>(program.size()));
    last = received;
  }
  EXPECT_EQ(last, program.size());
}

TEST(CheckForUpdateSettingsTest, BuiltInSettingsCarryTheProductLimits) {
  const UpdateSettings settings = BuiltInUpdateSettings();
  EXPECT_FALSE(settings.resourceHost.empty());
  EXPECT_EQ(settings.download.userAgent, "Tessary/" + std::to_string(settings.builtInVersion));
  EXPECT_EQ(settings.download.connectTimeout, std::chrono::milliseconds(2000));
  EXPECT_EQ(settings.download.connectRetries, 1);
  EXPECT_EQ(settings.download.stallTimeout, std::chrono::seconds(30));
  EXPECT_EQ(settings.download.chunkSize, 10240u);
}

}  // namespace
}  // namespace update
