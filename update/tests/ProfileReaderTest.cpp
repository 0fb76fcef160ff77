#include "update/ProfileReader.h"

#include "update/tests/RecordingEnvironment.h"

#include <gtest/gtest.h>

namespace update {
namespace {

std::u16string Value(const std::string& bytes, std::u16string_view section = u"LoginUpdate",
                     std::u16string_view key = u"downloadUrl", size_t buffer = 260) {
  return ProfileReader::FromBytes(bytes).GetString(section, key, u"(default)", buffer);
}

uint32_t Number(const std::string& bytes, int32_t defaultValue = 0) {
  return ProfileReader::FromBytes(bytes).GetInt(u"LoginUpdate", u"VersionId", defaultValue);
}

TEST(ProfileReaderTest, NamesMatchWithoutRegardToCaseOrSurroundingSpace) {
  const std::string text = "  [ loginupdate ]  \r\n\t DOWNLOADURL \t=  http://h/zarek.exe \t\r\n";
  EXPECT_EQ(Value(text), u"http://h/zarek.exe");
  EXPECT_EQ(Value(text, u" LOGINUPDATE ", u"downloadurl"), u"http://h/zarek.exe");
}

TEST(ProfileReaderTest, MissingSectionOrKeyGivesTheDefault) {
  const std::string text = "[Other]\ndownloadUrl=a\n[LoginUpdate]\nVersionId=5\n";
  EXPECT_EQ(Value(text), u"(default)");
  EXPECT_EQ(Value(text, u"Missing"), u"(default)");
  EXPECT_EQ(Value("downloadUrl=before any section\n"), u"(default)");
  EXPECT_EQ(Value(""), u"(default)");
}

TEST(ProfileReaderTest, KeysBelongToTheirOwnSection) {
  const std::string text = "[LoginUpdate]\nVersionId=5\n[Other]\ndownloadUrl=other\n";
  EXPECT_EQ(Value(text), u"(default)");
  EXPECT_EQ(Value(text, u"Other"), u"other");
}

TEST(ProfileReaderTest, FirstSectionAndFirstKeyOfANameWin) {
  EXPECT_EQ(Value("[LoginUpdate]\ndownloadUrl=one\ndownloadurl=two\n"), u"one");
  EXPECT_EQ(Value("[LoginUpdate]\ndownloadUrl=one\n[LOGINUPDATE]\ndownloadUrl=two\n"), u"one");
}

TEST(ProfileReaderTest, CommentLinesAreSkipped) {
  const std::string text =
      "; the update\n[LoginUpdate]\n;downloadUrl=old\n  ; VersionId=7\n"
      "downloadUrl=new ; not a comment here\n";
  EXPECT_EQ(Value(text), u"new ; not a comment here");
  EXPECT_EQ(Number(text), 0u);
}

TEST(ProfileReaderTest, ValuesKeepInnerEqualsSignsAndLoseMatchingQuotes) {
  EXPECT_EQ(Value("[LoginUpdate]\ndownloadUrl=http://h/a.exe?x=1&y=2\n"), u"http://h/a.exe?x=1&y=2");
  EXPECT_EQ(Value("[LoginUpdate]\ndownloadUrl=\"http://h/a.exe\"\n"), u"http://h/a.exe");
  EXPECT_EQ(Value("[LoginUpdate]\ndownloadUrl='http://h/a.exe'\n"), u"http://h/a.exe");
  EXPECT_EQ(Value("[LoginUpdate]\ndownloadUrl=\"http://h/a.exe'\n"), u"\"http://h/a.exe'");
  EXPECT_EQ(Value("[LoginUpdate]\ndownloadUrl=\"\n"), u"\"");
  EXPECT_EQ(Value("[LoginUpdate]\ndownloadUrl=\n"), u"");
  EXPECT_EQ(Value("[LoginUpdate]\ndownloadUrl\n"), u"");
}

TEST(ProfileReaderTest, BufferKeepsOneCharacterLessThanItsSize) {
  const std::string address(300, 'a');
  const std::string text = "[LoginUpdate]\ndownloadUrl=" + address + "\n";
  EXPECT_EQ(Value(text), std::u16string(259, u'a'));
  EXPECT_EQ(Value("[LoginUpdate]\ndownloadUrl=" + std::string(259, 'b')), std::u16string(259, u'b'));
  EXPECT_EQ(Value(text, u"LoginUpdate", u"downloadUrl", 1), u"");
  EXPECT_EQ(Value(text, u"LoginUpdate", u"downloadUrl", 0), u"");
}

TEST(ProfileReaderTest, NumbersAreReadFromTheirLeadingDigits) {
  EXPECT_EQ(Number("[LoginUpdate]\nVersionId=1002\n"), 1002u);
  EXPECT_EQ(Number("[LoginUpdate]\nVersionId = 1002abc\n"), 1002u);
  EXPECT_EQ(Number("[LoginUpdate]\nVersionId=+77\n"), 77u);
  EXPECT_EQ(Number("[LoginUpdate]\nVersionId=abc\n", 9), 0u);
  EXPECT_EQ(Number("[LoginUpdate]\nVersionId=0x3EA\n"), 0u);
  EXPECT_EQ(Number("[LoginUpdate]\nVersionId=4294967297\n"), 1u);  // wraps at 32 bits
  EXPECT_EQ(Number("[LoginUpdate]\nVersionId=3000000000\n"), 3000000000u);
}

TEST(ProfileReaderTest, NegativeNumbersReadAsZero) {
  EXPECT_EQ(Number("[LoginUpdate]\nVersionId=-5\n", 9), 0u);
  EXPECT_EQ(Number("[LoginUpdate]\nVersionId=-1002\n", 9), 0u);
}

TEST(ProfileReaderTest, AbsentOrEmptyNumberGivesTheDefault) {
  EXPECT_EQ(Number("[LoginUpdate]\n", 1001), 1001u);
  EXPECT_EQ(Number("[LoginUpdate]\nVersionId=\n", 1001), 1001u);
  EXPECT_EQ(Number("", -1), 0xFFFFFFFFu);
}

TEST(ProfileReaderTest, LineEndingsOfEveryKindSplitLines) {
  EXPECT_EQ(Value("[LoginUpdate]\rdownloadUrl=cr\r"), u"cr");
  EXPECT_EQ(Value("[LoginUpdate]\r\ndownloadUrl=crlf"), u"crlf");
}

TEST(ProfileReaderTest, TextEncodingsOfTheFile) {
  // UTF-8 with and without its byte order mark.
  EXPECT_EQ(Value("[LoginUpdate]\ndownloadUrl=http://h/\xE6\x9B\xB4.exe\n"), u"http://h/更.exe");
  EXPECT_EQ(Value("\xEF\xBB\xBF[LoginUpdate]\ndownloadUrl=x\n"), u"x");
  // UTF-16LE with its byte order mark.
  std::string utf16 = "\xFF\xFE";
  for (char16_t c : std::u16string(u"[LoginUpdate]\r\ndownloadUrl=更\r\n")) {
    utf16 += static_cast<char>(c & 0xFF);
    utf16 += static_cast<char>(c >> 8);
  }
  EXPECT_EQ(Value(utf16), u"更");
  // Bytes that are not UTF-8 come through one character each.
  EXPECT_EQ(Value("[LoginUpdate]\ndownloadUrl=caf\xE9\n"), u"caf\u00E9");
}

TEST(ProfileReaderTest, FileIsReadUpToItsSizeLimit) {
  testing::TemporaryFolder folder;
  const auto file = folder.Path() / "zarekupdate.ini";
  std::string text = "[LoginUpdate]\nVersionId=1002\n";
  text += std::string(ProfileReader::kMaxFileBytes - text.size() - 1, ';') + "\n";
  testing::WriteFile(file, text + "downloadUrl=http://h/late.exe\n");
  const ProfileReader profile = ProfileReader::FromFile(file);
  EXPECT_EQ(profile.GetInt(u"LoginUpdate", u"VersionId", 0), 1002u);
  EXPECT_EQ(profile.GetString(u"LoginUpdate", u"downloadUrl", u"", 260), u"");
}

TEST(ProfileReaderTest, UnreadableFileIsAnEmptyProfile) {
  const ProfileReader profile = ProfileReader::FromFile("/nonexistent/zarekupdate.ini");
  EXPECT_EQ(profile.GetInt(u"LoginUpdate", u"VersionId", 0), 0u);
  EXPECT_EQ(profile.GetString(u"LoginUpdate", u"downloadUrl", u"", 260), u"");
}

}  // namespace
}  // namespace update
