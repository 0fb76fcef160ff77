#include "xml/ResultLog.h"
#include "xml/TagDocument.h"

#include <gtest/gtest.h>

#include <string>

namespace xml {

namespace {

std::u16string logOf(const char16_t* text) {
  TagDocument document;
  document.loadString(text);
  return document.resultLog();
}

TEST(ResultLogFromParse, EveryFaultKindWithItsExactText) {
  EXPECT_EQ(logOf(u"<r><1></r>"), u"<first_tag_syntax offset=\"3\"/>");
  EXPECT_EQ(logOf(u"<r><!x></r>"), u"<exclamation_tag_syntax offset=\"3\"/>");
  EXPECT_EQ(logOf(u"<r><!-x></r>"), u"<comment_tag_syntax offset=\"3\"/>");
  EXPECT_EQ(logOf(u"<r><![x></r>"), u"<cdata_section_syntax offset=\"3\"/>");
  EXPECT_EQ(logOf(u"<!DOCTYPE r [<!x><!ELEMENT r ANY><!y>]><r/>"),
            u"<doctype_tag_syntax offset=\"0\"/><doctype_tag_syntax offset=\"0\"/>");
  EXPECT_EQ(logOf(u"<r></x></r>"), u"<lone_end_tag tagname=\"x\" offset=\"3\"/>");
  EXPECT_EQ(logOf(u"<r><x></r>"), u"<unended_start_tag tagname=\"x\" offset=\"3\" offset2=\"7\"/>");
  EXPECT_EQ(logOf(u""), u"<no_root_element/>");
  EXPECT_EQ(logOf(u"<a/><b/>"), u"<root_has_sibling/>");
  EXPECT_EQ(logOf(u"<r><a b='"),
            u"<unterminated_tag_syntax type=\"start_tag\" offset=\"3\"/>"
            u"<unended_start_tag tagname=\"r\" offset=\"0\" offset2=\"9\"/>");
}

TEST(ResultLogFromParse, RecordsComeInTheOrderTheirFaultsAreMet) {
  EXPECT_EQ(logOf(u"</x><r><1><a></r><b/>"),
            u"<lone_end_tag tagname=\"x\" offset=\"0\"/>"
            u"<first_tag_syntax offset=\"7\"/>"
            u"<unended_start_tag tagname=\"a\" offset=\"10\" offset2=\"14\"/>"
            u"<root_has_sibling/>");
}

TEST(ResultLogFromParse, NamesAreEscapedInAttributeMode) {
  EXPECT_EQ(logOf(u"<r></a\"&'<b></r>"), u"<lone_end_tag tagname=\"a&quot;&amp;&apos;&lt;b\" offset=\"3\"/>");
  EXPECT_EQ(logOf(u"<r><x&y></r>"), u"<unended_start_tag tagname=\"x&amp;y\" offset=\"3\" offset2=\"9\"/>");
}

TEST(ResultLogFromParse, StopsAfterTheRecordThatReachesAThousandCharacters) {
  std::u16string text = u"<r>";
  for (int i = 0; i < 200; ++i) text += u"<1>";
  text += u"</r>";
  const std::u16string log = logOf(text.c_str());
  // Offsets 3, 6, 9 give records of 30 characters, then 31 each: 90 + 29 x 31 = 989
  // is still short of the limit, so the 33rd record is the last one.
  EXPECT_EQ(log.size(), 1020u);
  EXPECT_EQ(log.substr(989), u"<first_tag_syntax offset=\"99\"/>");
  EXPECT_EQ(log.find(u"no_root"), std::u16string::npos);
}

TEST(AddResultRecord, AttributeNamesFollowTheModeBits) {
  std::u16string log;
  addResultRecord(log, result_mode::kTextIsMsg | result_mode::kNumberIsN, u"file_error", u"Access is denied.", 5, -1);
  addResultRecord(log, result_mode::kTextIsEncoding | result_mode::kNumberIsLength, u"read", u"UTF-8", 1234, -1);
  addResultRecord(log, result_mode::kNumberIsCount, u"nulls_removed", nullptr, 3, -1);
  addResultRecord(log, 0, u"endian_swap", nullptr, -1, -1);
  addResultRecord(log, result_mode::kTextIsType, u"unterminated_tag_syntax", u"tag", 0, -1);
  EXPECT_EQ(log,
            u"<file_error msg=\"Access is denied.\" n=\"5\"/>"
            u"<read encoding=\"UTF-8\" length=\"1234\"/>"
            u"<nulls_removed count=\"3\"/>"
            u"<endian_swap/>"
            u"<unterminated_tag_syntax type=\"tag\" offset=\"0\"/>");
}

TEST(AddResultRecord, NumbersUsePercentD) {
  std::u16string log;
  addResultRecord(log, 0, u"x", nullptr, -5, -1);
  addResultRecord(log, result_mode::kNumberIsCount, u"y", nullptr, -1, -1);
  addResultRecord(log, 0, u"z", nullptr, -1, 2147483647);
  addResultRecord(log, 0, u"w", nullptr, INT32_MIN, -2);
  EXPECT_EQ(log,
            u"<x offset=\"-5\"/><y count=\"-1\"/><z offset2=\"2147483647\"/>"
            u"<w offset=\"-2147483648\" offset2=\"-2\"/>");
}

TEST(AddResultRecord, UpdateSetsAttributesOfTheFirstRecordOfThatName) {
  std::u16string log = u"<read encoding=\"\" length=\"10\"/><read length=\"7\"/><converted_to/>";
  addResultRecord(log, result_mode::kUpdateExisting | result_mode::kTextIsEncoding, u"read", u"UTF-8", -1, -1);
  EXPECT_EQ(log, u"<read encoding=\"UTF-8\" length=\"10\"/><read length=\"7\"/><converted_to/>");
  addResultRecord(log, result_mode::kUpdateExisting | result_mode::kNumberIsLength, u"read", nullptr, 8, -1);
  EXPECT_EQ(log, u"<read encoding=\"UTF-8\" length=\"8\"/><read length=\"7\"/><converted_to/>");
  // A missing attribute is added at the end of the record.
  addResultRecord(log, result_mode::kUpdateExisting | result_mode::kNumberIsCount, u"converted_to", nullptr, 4, -1);
  EXPECT_EQ(log, u"<read encoding=\"UTF-8\" length=\"8\"/><read length=\"7\"/><converted_to count=\"4\"/>");
}

TEST(AddResultRecord, UpdateOfAMissingRecordChangesNothing) {
  std::u16string log = u"<reader length=\"1\"/>";
  addResultRecord(log, result_mode::kUpdateExisting | result_mode::kNumberIsLength, u"read", nullptr, 2, -1);
  EXPECT_EQ(log, u"<reader length=\"1\"/>");
  std::u16string empty;
  addResultRecord(empty, result_mode::kUpdateExisting, u"read", nullptr, 2, -1);
  EXPECT_EQ(empty, u"");
}

TEST(AddResultRecord, NewRecordsStopAtAThousandCharacters) {
  std::u16string log;
  int added = 0;
  while (log.size() < kResultLogLimit) {
    addResultRecord(log, result_mode::kNumberIsCount, u"nulls_removed", nullptr, added, -1);
    ++added;
  }
  const std::u16string full = log;
  addResultRecord(log, 0, u"conversion_loss", nullptr, -1, -1);
  EXPECT_EQ(log, full);
  EXPECT_LT(full.rfind(u"<nulls_removed"), kResultLogLimit);
}

}  // namespace

}  // namespace xml
