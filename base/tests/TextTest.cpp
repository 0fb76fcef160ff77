// UTF-16 and UTF-8 at the edges: surrogates, bad bytes, strict decoding and encoding.

#include <gtest/gtest.h>

#include "base/Text.h"

using base::DecodeUtf8;
using base::EncodeUtf8;
using base::FromUtf8;
using base::ToUtf8;

TEST(Text, RoundTripsEveryPlane) {
  const std::u16string text = u"a\u00e9\u4e2d\U0001F600z";
  EXPECT_EQ(ToUtf8(text), "a\xc3\xa9\xe4\xb8\xad\xf0\x9f\x98\x80z");
  EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
}

TEST(Text, UnpairedSurrogatesBecomeReplacementCharacters) {
  EXPECT_EQ(ToUtf8(std::u16string(1, char16_t(0xD800)) + u"x"), "\xef\xbf\xbdx");
  EXPECT_EQ(ToUtf8(std::u16string(1, char16_t(0xDC00))), "\xef\xbf\xbd");
}

TEST(Text, LenientDecodingReplacesEachBadByte) {
  EXPECT_EQ(FromUtf8("a\xff"
                     "b"),
            u"a\ufffdb");
  EXPECT_EQ(FromUtf8("\xc0\xaf"), u"\ufffd\ufffd");            // overlong
  EXPECT_EQ(FromUtf8("\xed\xa0\x80"), u"\ufffd\ufffd\ufffd");  // a surrogate
  EXPECT_EQ(FromUtf8("\xe4\xb8"), u"\ufffd\ufffd");            // cut at the end
  EXPECT_EQ(FromUtf8(std::string("\0x", 2)), std::u16string(u"\0x", 2));
}

TEST(Text, StrictDecodingRefusesAndLeavesTheOutputAlone) {
  std::u16string out = u"kept";
  EXPECT_FALSE(DecodeUtf8("ok\xf4\x90\x80\x80", out));  // past U+10FFFF
  EXPECT_FALSE(DecodeUtf8("\xe4\xb8", out));
  EXPECT_EQ(out, u"kept");
  EXPECT_TRUE(DecodeUtf8("\xe4\xb8\xad", out));
  EXPECT_EQ(out, u"\u4e2d");
  EXPECT_TRUE(DecodeUtf8("", out));
  EXPECT_EQ(out, u"");
}

TEST(Text, StrictEncodingRefusesUnpairedSurrogatesAndLeavesTheOutputAlone) {
  std::string out = "kept";
  for (const std::u16string& bad : {std::u16string(1, char16_t(0xD800)) + u"x",             // high, then no low
                                    u"x" + std::u16string(1, char16_t(0xDBFF)),             // high at the end
                                    std::u16string(1, char16_t(0xDC00)),                    // a lone low
                                    std::u16string{char16_t(0xDC00), char16_t(0xD800)}}) {  // reversed pair
    EXPECT_FALSE(EncodeUtf8(bad, out));
    EXPECT_EQ(out, "kept");
  }
  const std::u16string good = std::u16string(u"\0a\u00e9\u4e2d\U0010FFFF", 6);
  EXPECT_TRUE(EncodeUtf8(good, out));
  EXPECT_EQ(out, ToUtf8(good));
  EXPECT_EQ(out, std::string("\0a\xc3\xa9\xe4\xb8\xad\xf4\x8f\xbf\xbf", 11));
  EXPECT_TRUE(EncodeUtf8(u"", out));
  EXPECT_EQ(out, "");
}
