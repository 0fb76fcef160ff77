// DownloadToFile against a real server on loopback.
#include "update/DownloadToFile.h"

#include "update/tests/LoopbackHttpServer.h"
#include "update/tests/RecordingEnvironment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace update {
namespace {

using namespace testing;  // the loopback server, the recording environment, folders

std::u16string Utf16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

class DownloadToFileTest : public ::testing::Test {
 protected:
  void SetUp() override { options.stallTimeout = std::chrono::milliseconds(400); }

  DownloadResult Fetch(const std::string& address) { return Download(Utf16(address), target, environment, options); }

  bool TargetExists() const { return std::filesystem::exists(target); }

  TemporaryFolder folder;
  LoopbackHttpServer server;
  RecordingEnvironment environment{folder.Path()};
  DownloadOptions options;
  const std::filesystem::path target = folder.Path() / "download";
};

TEST_F(DownloadToFileTest, WholeBodyIsWrittenWithAPlainGet) {
  std::string body;
  for (int i = 0; i < 300000; ++i) body += static_cast<char>(i * 7 % 251);
  server.Serve("/big", Reply{.body = body});

  EXPECT_EQ(Fetch(server.Address("/big?1")), DownloadResult::Complete);
  EXPECT_EQ(testing::ReadFile(target), body);
  EXPECT_TRUE(environment.messages.empty());
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].target, "/big?1");
  EXPECT_EQ(requests[0].headers.count("content-length"), 0u);
  EXPECT_EQ(requests[0].headers.count("transfer-encoding"), 0u);
  EXPECT_EQ(requests[0].headers.at("user-agent"), "Tessary/1001");
}

TEST_F(DownloadToFileTest, EmptyBodyGivesAnEmptyFile) {
  testing::WriteFile(target, "older content");
  server.Serve("/empty", Reply{});
  EXPECT_EQ(Fetch(server.Address("/empty")), DownloadResult::Complete);
  ASSERT_TRUE(TargetExists());
  EXPECT_EQ(testing::ReadFile(target), "");
}

TEST_F(DownloadToFileTest, ErrorStatusLeavesTheTargetAloneAndTellsTheUser) {
  testing::WriteFile(target, "older content");
  for (int status : {404, 500}) {
    server.Serve("/file", Reply{.status = status, .body = "<html>sorry</html>"});
    EXPECT_EQ(Fetch(server.Address("/file")), DownloadResult::StatusNotOk);
  }
  server.Serve("/file", Reply{.status = 500});  // without a body
  EXPECT_EQ(Fetch(server.Address("/file")), DownloadResult::StatusNotOk);

  EXPECT_EQ(testing::ReadFile(target), "older content");
  ASSERT_EQ(environment.messages.size(), 3u);
  for (const auto& [text, caption] : environment.messages) {
    EXPECT_EQ(text, u"无法下载文件。请检查网络后重试。");
    EXPECT_EQ(caption, u"zarek");
  }
}

TEST_F(DownloadToFileTest, NoServerFailsWithoutAMessage) {
  RefusingPort nobody;
  const std::u16string address = u"http://" + nobody.Host() + u"/file";
  EXPECT_EQ(Download(address, target, environment, options), DownloadResult::ConnectFailed);
  EXPECT_FALSE(TargetExists());
  EXPECT_TRUE(environment.messages.empty());
}

TEST_F(DownloadToFileTest, OnlyHttpAddressesAreFetched) {
  testing::WriteFile(folder.Path() / "secret", "local file");
  server.Serve("/file", Reply{.body = "content"});
  for (const std::string& address :
       {"file://" + (folder.Path() / "secret").string(), std::string("ftp://127.0.0.1/x"),
        std::string("not an address"), std::string(""), server.Address("/file").substr(7)}) {
    SCOPED_TRACE(address);
    EXPECT_EQ(Fetch(address), DownloadResult::ConnectFailed);
    EXPECT_FALSE(TargetExists());
  }
  EXPECT_TRUE(environment.messages.empty());
}

TEST_F(DownloadToFileTest, BrokenTransfersRemoveThePartialFile) {
  using Ending = Reply::Ending;
  const struct {
    Ending ending;
    DownloadResult result;
  } cases[] = {
      {Ending::CutShort, DownloadResult::TransferFailed},
      {Ending::ResetMidBody, DownloadResult::TransferFailed},
      {Ending::CloseWithoutAnswer, DownloadResult::TransferFailed},
      {Ending::StallMidBody, DownloadResult::Stalled},
      {Ending::StallBeforeAnswer, DownloadResult::Stalled},
  };
  for (const auto& example : cases) {
    SCOPED_TRACE(static_cast<int>(example.ending));
    server.Serve("/file", Reply{.body = std::string(200000, 'b'), .ending = example.ending});
    EXPECT_EQ(Fetch(server.Address("/file")), example.result);
    EXPECT_FALSE(TargetExists());
  }
  EXPECT_TRUE(environment.messages.empty());
}

TEST_F(DownloadToFileTest, SlowButSteadyTransferIsNotAStall) {
  // Every byte arrives well within the stall time, the whole body does not.
  options.stallTimeout = std::chrono::milliseconds(600);
  server.Serve(
      "/slow",
      Reply{.body = "0123456789", .ending = Reply::Ending::Trickle, .tricklePause = std::chrono::milliseconds(100)});
  EXPECT_EQ(Fetch(server.Address("/slow")), DownloadResult::Complete);
  EXPECT_EQ(testing::ReadFile(target), "0123456789");
}

TEST_F(DownloadToFileTest, TargetThatCannotBeCreatedFailsWithoutAMessage) {
  server.Serve("/file", Reply{.body = "content"});
  EXPECT_EQ(Download(Utf16(server.Address("/file")), folder.Path() / "missing" / "download", environment, options),
            DownloadResult::FileFailed);
  server.Serve("/empty", Reply{});
  EXPECT_EQ(Download(Utf16(server.Address("/empty")), folder.Path() / "missing" / "download", environment, options),
            DownloadResult::FileFailed);
  EXPECT_TRUE(environment.messages.empty());
}

// Sets an environment variable for one test and restores it afterwards.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  }
  ~ScopedVariable() {
    if (old_)
      ::setenv(name_, old_->c_str(), 1);
    else
      ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST_F(DownloadToFileTest, ProxyIsTakenFromTheEnvironment) {
  // The test server plays the proxy: it sees the absolute address.
  const std::string proxy = server.Address("");
  ScopedVariable httpProxy("http_proxy", proxy.c_str());
  ScopedVariable noProxy("no_proxy", nullptr);
  ScopedVariable noProxyUpper("NO_PROXY", nullptr);
  server.Serve("/zarekupdate.ini", Reply{.body = "[LoginUpdate]"});

  EXPECT_EQ(Fetch("http://updates.example/zarekupdate.ini?5"), DownloadResult::Complete);
  EXPECT_EQ(testing::ReadFile(target), "[LoginUpdate]");
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].target, "http://updates.example/zarekupdate.ini?5");
}

}  // namespace
}  // namespace update
