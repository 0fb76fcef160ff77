#include "update/ProgressText.h"

#include <gtest/gtest.h>

namespace update {
namespace {

TEST(ProgressTextTest, PercentWhenTheSizeIsKnownMegabytesAlways) {
  const struct {
    uint64_t received;
    int64_t total;
    const char16_t* text;
  } cases[] = {
      {0, 1000, u"正在下载更新 0%，已下载 0.0 MB"},
      {512 * 1024, 1 << 20, u"正在下载更新 50%，已下载 0.5 MB"},
      {(1 << 20) - 1, 1 << 20, u"正在下载更新 99%，已下载 1.0 MB"},
      {2000, 1000, u"正在下载更新 100%，已下载 0.0 MB"},  // more than announced
      {3u << 20, -1, u"正在下载更新，已下载 3.0 MB"},
      {3u << 20, 0, u"正在下载更新，已下载 3.0 MB"},
      {uint64_t{400} << 20, int64_t{800} << 20, u"正在下载更新 50%，已下载 400.0 MB"},
  };
  for (const auto& example : cases) {
    SCOPED_TRACE(example.received);
    EXPECT_EQ(ProgressText(example.received, example.total), example.text);
  }
}

}  // namespace
}  // namespace update
