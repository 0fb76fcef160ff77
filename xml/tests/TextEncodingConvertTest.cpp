#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "xml/TextEncoding.h"

namespace xml {

namespace {

// Converts bytes to UTF-16 the way callers do: ask for the length, then fill.
std::u16string toUtf16(const char16_t* encoding, const std::string& bytes, bool* loss = nullptr) {
  const int needed = convertText(encoding, u"UTF-16", bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::u16string out(static_cast<std::size_t>(needed), u'\0');
  const int written =
      convertText(encoding, u"UTF-16", bytes.data(), static_cast<int>(bytes.size()), out.data(), needed, loss);
  EXPECT_EQ(written, needed);
  return out;
}

std::string fromUtf16(const char16_t* encoding, const std::u16string& text, bool* loss = nullptr) {
  const int needed = convertText(u"UTF-16", encoding, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::string out(static_cast<std::size_t>(needed), '\0');
  const int written =
      convertText(u"UTF-16", encoding, text.data(), static_cast<int>(text.size()), out.data(), needed, loss);
  EXPECT_EQ(written, needed);
  return out;
}

TEST(ConvertUtf8, DecodesToUtf16WithSurrogatePairs) {
  bool loss = true;
  EXPECT_EQ(toUtf16(u"UTF-8", "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80", &loss), u"a\u00E9\u4E2D\U0001F600");
  EXPECT_FALSE(loss);
}

TEST(ConvertUtf8, InvalidSequencesBecomeQuestionMarks) {
  bool loss = false;
  // 0xFF, a lead cut short by 'b', and a lead cut by the end of the data.
  EXPECT_EQ(toUtf16(u"utf-8",
                    "a\xFF"
                    "\xE4\xB8"
                    "b\xE4",
                    &loss),
            u"a??b?");
  EXPECT_TRUE(loss);
  // A stray continuation byte takes the next one with it.
  EXPECT_EQ(toUtf16(u"utf-8", "\x85\x90z"), u"\u0150z");
  // Beyond the last code point.
  EXPECT_EQ(toUtf16(u"utf-8", "\xF7\xBF\xBF\xBF"), u"?");
}

TEST(ConvertUtf8, ToUtf32DecodesEachSequence) {
  const std::string bytes = "A\xE4\xB8\xAD\xF0\x9F\x98\x80\xFF";
  char32_t out[8] = {};
  const int n = convertText(u"UTF-8", u"UTF-32", bytes.data(), static_cast<int>(bytes.size()), out, 8);
  ASSERT_EQ(n, 4);
  EXPECT_EQ(std::u32string(out, 4), U"A\u4E2D\U0001F600?");
}

TEST(ConvertUtf16, ToUtf8AndBack) {
  const std::u16string text = u"<a x=\"\u00E9\">\u4E2D\U0001F600</a>";
  const std::string bytes = fromUtf16(u"UTF-8", text);
  EXPECT_EQ(bytes, "<a x=\"\xC3\xA9\">\xE4\xB8\xAD\xF0\x9F\x98\x80</a>");
  EXPECT_EQ(toUtf16(u"UTF-8", bytes), text);
}

TEST(ConvertUtf16, UnpairedSurrogatesToUtf8AreReplacedWithoutLossFlag) {
  bool loss = true;
  // UTF-8 never reports loss.
  EXPECT_EQ(fromUtf16(u"UTF-8", std::u16string(u"a") + char16_t(0xD800) + u"b", &loss), "a?b");
  EXPECT_FALSE(loss);
}

TEST(ConvertUtf16, ToUtf32PairsOnlyRealSurrogatePairs) {
  const std::u16string text =
      std::u16string(u"\U0001F600") + char16_t(0xD800) + u"A" + char16_t(0xDC00) + u"B" + char16_t(0xD83D);
  char32_t out[16] = {};
  const int n = convertText(u"UTF-16", u"UTF-32", text.data(), static_cast<int>(text.size()), out, 16);
  // A lone surrogate does not swallow the character after it.
  EXPECT_EQ(std::u32string(out, static_cast<std::size_t>(n)), U"\U0001F600?A?B?");
}

TEST(ConvertUtf32, ToUtf8AndUtf16Only) {
  const char32_t text[] = {U'a', 0x4E2D, 0x1F600, 0x110000, 0xDC00};
  unsigned char bytes[32];
  int n = convertText(u"UTF-32", u"UTF-8", text, 5, bytes, 32);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), static_cast<std::size_t>(n)),
            "a\xE4\xB8\xAD\xF0\x9F\x98\x80??");
  char16_t units[16];
  n = convertText(u"UTF-32LE", u"UTF-16", text, 5, units, 16);
  EXPECT_EQ(std::u16string(units, static_cast<std::size_t>(n)), u"a\u4E2D\U0001F600??");
  EXPECT_EQ(convertText(u"UTF-32", u"GB2312", text, 5, bytes, 32), 0);
  EXPECT_EQ(convertText(u"UTF-32", u"UTF-32", text, 5, units, 16), 0);
  // Only the table's spelling "utf-32" is iconv's UTF-32LE, counted in bytes.
  EXPECT_EQ(convertText(u"utf-32", u"UTF-16", "a\0\0\0", 4, units, 16), 1);
}

TEST(ConvertCodePages, KnownCharactersOfCommonCodePages) {
  EXPECT_EQ(fromUtf16(u"windows-1252", u"\u20AC\u00E9"), "\x80\xE9");
  EXPECT_EQ(fromUtf16(u"GB2312", u"\u4E2D\u6587"), "\xD6\xD0\xCE\xC4");
  EXPECT_EQ(fromUtf16(u"Shift_JIS", u"\u65E5\u672C\uFF71"), "\x93\xFA\x96\x7B\xB1");
  EXPECT_EQ(fromUtf16(u"euc-kr", u"\uD55C"), "\xC7\xD1");
  EXPECT_EQ(fromUtf16(u"big5", u"\u4E2D"), "\xA4\xA4");
  EXPECT_EQ(fromUtf16(u"koi8-r", u"\u0416"), "\xF6");
  EXPECT_EQ(fromUtf16(u"ebcdic-cp-be", u"A?"), "\xC1\x6F");
  EXPECT_EQ(toUtf16(u"gb18030", "\x90\x30\x81\x30\x95\x32\x82\x36"), u"\U00010000\U00020000");
  EXPECT_EQ(toUtf16(u"iso-8859-15", "\xA4"), u"\u20AC");
  EXPECT_EQ(toUtf16(u"UTF-16BE", std::string("\x4E\x2D", 2)), u"\u4E2D");
}

TEST(ConvertCodePages, UnmappableCharactersSetTheLossFlag) {
  bool loss = false;
  EXPECT_EQ(fromUtf16(u"windows-1252", u"a\u03A9b\U0001F600c", &loss), "a?b?c");
  EXPECT_TRUE(loss);
  // The target's own question mark.
  EXPECT_EQ(fromUtf16(u"cp500", u"\u4E2D", &loss), "\x6F");
  EXPECT_TRUE(loss);
  loss = false;
  EXPECT_EQ(fromUtf16(u"windows-1252", u"plain", &loss), "plain");
  EXPECT_FALSE(loss);
}

TEST(ConvertCodePages, CodePagesThatNeverReportLoss) {
  bool loss = true;
  // Stateful: the '?' is written in ASCII mode, and the text ends there too.
  EXPECT_EQ(fromUtf16(u"iso-2022-jp", u"\u65E5\u0416\u00E9", &loss), "\x1B$BF|'(\x1B(B?");
  EXPECT_FALSE(loss);
  EXPECT_EQ(fromUtf16(u"gb18030", std::u16string(1, char16_t(0xDC00)), &loss), "?");
  EXPECT_FALSE(loss);
  EXPECT_EQ(fromUtf16(u"utf-7", u"a\u00E9", &loss), "a+AOk-");
  EXPECT_FALSE(loss);
}

TEST(ConvertCodePages, InvalidBytesBecomeQuestionMarks) {
  bool loss = false;
  EXPECT_EQ(toUtf16(u"Shift_JIS", "a\x82", &loss), u"a?");  // lead byte at the end
  EXPECT_TRUE(loss);
  EXPECT_EQ(toUtf16(u"windows-1252", "\x81z"), u"?z");  // a hole of the code page
  EXPECT_EQ(toUtf16(u"euc-jp", "\xA4\x41z"), u"?Az");
}

TEST(ConvertCodePages, ByteToByteGoesByWayOfUtf16) {
  bool loss = true;
  const std::string gb = "\xC8\xD5\xB1\xBE";  // "Japan" in GB2312
  EXPECT_EQ(std::string("\x93\xFA\x96\x7B"), [&] {
    char out[16];
    const int n = convertText(u"gb2312", u"shift_jis", gb.data(), 4, out, 16, &loss);
    return std::string(out, static_cast<std::size_t>(n));
  }());
  EXPECT_FALSE(loss);
  char out[16];
  EXPECT_EQ(convertText(u"gb2312", u"windows-1252", gb.data(), 4, out, 16, &loss), 2);
  EXPECT_TRUE(loss);
  EXPECT_EQ(convertText(u"gb2312", u"windows-1252", gb.data(), 4, nullptr, 0), 2);
}

TEST(ConvertCodePages, CodePagesIconvLacksConvertToNothing) {
  char16_t units[8];
  char bytes[8];
  EXPECT_EQ(convertText(u"x-mac-japanese", u"UTF-16", "abc", 3, units, 8), 0);
  EXPECT_EQ(convertText(u"UTF-16", u"x-iscii-de", u"abc", 3, bytes, 8), 0);
  EXPECT_EQ(convertText(u"hz-gb-2312", u"UTF-16", "abc", 3, nullptr, 0), 0);
}

// Only whole characters are counted, and nothing is written past the capacity.
TEST(ConvertCapacity, NeverWritesPartOfACharacter) {
  char16_t units[4] = {u'#', u'#', u'#', u'#'};
  // "a" then a pair: only "a" fits in two units... with room for one more.
  EXPECT_EQ(convertText(u"UTF-8", u"UTF-16", "a\xF0\x9F\x98\x80", 5, units, 2), 1);
  EXPECT_EQ(units[1], u'#');
  unsigned char bytes[4] = {'#', '#', '#', '#'};
  EXPECT_EQ(convertText(u"UTF-16", u"UTF-8", u"a\u4E2D", 2, bytes, 3), 1);
  EXPECT_EQ(bytes[1], '#');
  EXPECT_EQ(convertText(u"UTF-16", u"Shift_JIS", u"a\u65E5", 2, bytes, 2), 1);
  EXPECT_EQ(bytes[2], '#');
  EXPECT_EQ(convertText(u"Shift_JIS", u"UTF-16", "\x93\xFA\x93\xFA", 4, units, 1), 1);
  EXPECT_EQ(units[1], u'#');
}

// glibc stops some conversions short of the end of an exact buffer (it wants
// room for its longest character); the whole text must fit all the same.
TEST(ConvertCapacity, AnExactBufferTakesTheWholeConversion) {
  const char arabic[] = "A\xF7=\xBF\xC3Q\xBF\xBF\xC3Q\0\0\x01\0\x17\xFD";
  char out[64];
  const int needed = convertText(u"cp1256", u"euc-jp", arabic, 16, nullptr, 0);
  EXPECT_EQ(convertText(u"cp1256", u"euc-jp", arabic, 16, out, needed), needed);
  const std::u16string text = u"a\u00E9\u4E2D\u0416\u65E5\U0001F600\uFF71z";
  for (const char16_t* target : {u"euc-jp", u"shift_jis", u"gb2312", u"big5", u"euc-kr", u"gb18030", u"iso-2022-jp",
                                 u"iso-2022-kr", u"johab", u"koi8-r", u"utf-7"}) {
    const int size = convertText(u"UTF-16", target, text.data(), 8, nullptr, 0);
    std::string exact(static_cast<std::size_t>(size), '\0');
    EXPECT_EQ(convertText(u"UTF-16", target, text.data(), 8, exact.data(), size), size);
    const int units = convertText(target, u"UTF-16", exact.data(), size, nullptr, 0);
    std::u16string back(static_cast<std::size_t>(units), u'\0');
    EXPECT_EQ(convertText(target, u"UTF-16", exact.data(), size, back.data(), units), units);
  }
}

TEST(ConvertCapacity, EmptyOrNegativeInputAndNoRoom) {
  char16_t units[4];
  EXPECT_EQ(convertText(u"UTF-8", u"UTF-16", "abc", 0, units, 4), 0);
  EXPECT_EQ(convertText(u"UTF-8", u"UTF-16", "abc", -5, units, 4), 0);
  EXPECT_EQ(convertText(u"UTF-8", u"UTF-16", nullptr, 3, units, 4), 0);
  EXPECT_EQ(convertText(u"UTF-8", u"UTF-16", "abc", 3, units, 0), 0);
  EXPECT_EQ(convertText(u"UTF-16", u"UTF-16", u"abc", 3, units, 4), 3);
}

// The empty name, and a name the table does not know, stand for the user's
// locale encoding.
class LocaleEncoding : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("LC_ALL");
    saved_ = old ? old : "";
    hadValue_ = old != nullptr;
  }
  void TearDown() override {
    if (hadValue_)
      setenv("LC_ALL", saved_.c_str(), 1);
    else
      unsetenv("LC_ALL");
  }

 private:
  std::string saved_;
  bool hadValue_ = false;
};

TEST_F(LocaleEncoding, EmptyAndUnknownNamesFollowTheLocale) {
  setenv("LC_ALL", "C.UTF-8", 1);
  EXPECT_EQ(toUtf16(u"", "\xC3\xA9"), u"\u00E9");
  EXPECT_EQ(toUtf16(u"no-such-encoding", "\xC3\xA9"), u"\u00E9");
  EXPECT_EQ(fromUtf16(nullptr, u"\u00E9"), "\xC3\xA9");
  setenv("LC_ALL", "C", 1);
  EXPECT_EQ(toUtf16(u"", "\xC3\xA9z"), u"??z");
  // A locale that does not exist reads as plain ASCII.
  setenv("LC_ALL", "xx_NOWHERE.KOI8-R", 1);
  EXPECT_EQ(toUtf16(u"", "a\xF6"), u"a?");
}

}  // namespace

}  // namespace xml
