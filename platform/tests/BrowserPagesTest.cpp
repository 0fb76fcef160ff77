// Which addresses leave for the user's browser, and the failure pages.

#include <gtest/gtest.h>

#include "platform/BrowserPages.h"

namespace {

TEST(BrowserPages, OnlyHttpAndHttpsAddressesLeaveTheProgram) {
  const struct {
    const char* address;
    bool leaves;
  } cases[] = {
      {"http://portal.test/register", true},
      {"HTTPS://portal.test/", true},
      {"hTtP://x", true},
      {"http://", false},
      {"", false},
      {"about:blank", false},
      {"javascript:alert(1)", false},
      {"file:///etc/passwd", false},
      {"res://zarek.exe/208", false},
      {"ftp://host/file", false},
      {" http://leading.space", false},
      {"httpx://host", false},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::IsWebAddress(c.address), c.leaves) << c.address;
}

TEST(BrowserPages, FailurePagesSayWhatFailedAndRetryOnlyWebAddressesSafely) {
  using platform::LoadFailure;
  const std::string refused =
      platform::LoadFailurePage(LoadFailure::NoConnection, "http://h:1/lander/zarek?a=1&b=\"2\"<x>");
  EXPECT_NE(refused.find("无法连接到服务器"), std::string::npos);
  EXPECT_NE(refused.find("href=\"http://h:1/lander/zarek?a=1&amp;b=&quot;2&quot;&lt;x&gt;\""), std::string::npos);
  EXPECT_EQ(refused.find("<x>"), std::string::npos);
  EXPECT_NE(refused.find("#473321"), std::string::npos);  // the skin's brown

  const std::string missing = platform::LoadFailurePage(LoadFailure::NotFound, "javascript:alert(1)");
  EXPECT_NE(missing.find("找不到页面"), std::string::npos);
  EXPECT_EQ(missing.find("href"), std::string::npos);
  EXPECT_EQ(missing.find("javascript"), std::string::npos);
}

}  // namespace
