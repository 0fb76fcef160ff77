// The loading page is stored in GB2312 and says exactly what the login
// dialog's browser must show while the login page loads.

#include <gtest/gtest.h>
#include <iconv.h>

#include <optional>
#include <string>

#include "res/Resources.h"

namespace res {
namespace {

// Whole-text conversion; nullopt when any byte is not valid in `from`.
std::optional<std::string> Convert(const std::string& text, const char* from, const char* to) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out(text.size() * 4 + 16, '\0');
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  const std::size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  if (result == static_cast<std::size_t>(-1) || inLeft != 0) return std::nullopt;
  out.resize(out.size() - outLeft);
  return out;
}

std::string PageBytes() {
  const auto bytes = FindResource(208, ResourceKind::Html);
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

TEST(LoadingPage, IsGb2312AndNotUtf8) {
  const std::string page = PageBytes();
  ASSERT_FALSE(page.empty());
  EXPECT_TRUE(Convert(page, "GB2312", "UTF-8").has_value());
  // "加载中" in GB2312.
  EXPECT_NE(page.find("\xBC\xD3\xD4\xD8\xD6\xD0"), std::string::npos);
  EXPECT_FALSE(Convert(page, "UTF-8", "UTF-16LE").has_value()) << "the page is stored as UTF-8";
}

TEST(LoadingPage, DeclaresItselfAsTheProductsXhtmlPage) {
  const std::string page = Convert(PageBytes(), "GB2312", "UTF-8").value_or("");
  EXPECT_EQ(page.rfind("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\"", 0), 0u);
  for (const char* part : {
           "content=\"text/html; charset=gb2312\"",
           "<meta name=\"keywords\" content=\"Tessary\"",
           "<meta name=\"description\" content=\"Tessary\"",
           "<title>Tessary</title>",
       }) {
    EXPECT_NE(page.find(part), std::string::npos) << part;
  }
}

TEST(LoadingPage, HasExactlyTheStyleRules) {
  const std::string page = Convert(PageBytes(), "GB2312", "UTF-8").value_or("");
  for (const char* rule : {
           "html{overflow:hidden;}",
           "*{margin:0;padding:0;}",
           ".load{width:608px;height:344px;line-height:344px;background-color:#473321;"
           "color:#de6a11;text-align:center;}",
           ".load p{height:20px;line-height:20px;}",
       }) {
    EXPECT_NE(page.find(rule), std::string::npos) << rule;
  }
}

TEST(LoadingPage, ShowsOnlyTheLoadingTextWithoutContextMenu) {
  const std::string page = Convert(PageBytes(), "GB2312", "UTF-8").value_or("");
  EXPECT_NE(page.find("<body oncontextmenu=\"return false;\">"), std::string::npos);
  EXPECT_NE(page.find("<div class=\"wrap\"><div class=\"load\">加载中,请稍等...</div></div>"), std::string::npos);
  EXPECT_EQ(page.find("<p"), std::string::npos) << "no other text block";
  EXPECT_EQ(page.find("<script"), std::string::npos);
}

}  // namespace
}  // namespace res
