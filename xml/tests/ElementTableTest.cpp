#include "xml/ElementTable.h"
#include "xml/TagDocument.h"

#include <gtest/gtest.h>

#include <string>

namespace xml {

namespace {

constexpr int32_t kSegment = ElementTable::kSegmentRecords;

TEST(ElementTable, FirstGrowthMakesOneExactSegmentAndAPointerArrayOfFour) {
  ElementTable table;
  EXPECT_EQ(table.capacity(), 0);
  table.growTo(8);
  EXPECT_EQ(table.capacity(), 8);
  EXPECT_EQ(table.pointerCapacity(), 4);  // 2 x 0 + 4
  EXPECT_EQ(table.segmentSize(0), 8);
  table.growByHalf();
  EXPECT_EQ(table.capacity(), 12);
  EXPECT_EQ(table.segmentSize(0), 12);
}

TEST(ElementTable, GrowthAddsAtMostOneSegmentPerStep) {
  ElementTable table;
  table.growTo(12);
  table.growTo(70000);  // segment 1 is only one beyond: kept
  EXPECT_EQ(table.capacity(), 70000);
  EXPECT_EQ(table.segmentSize(0), kSegment);  // widened when it stopped being the last
  EXPECT_EQ(table.segmentSize(1), 70000 - kSegment);

  table.growTo(1000000);  // would reach segment 15: cut to (1 + 2) segments
  EXPECT_EQ(table.capacity(), 3 * kSegment);
  EXPECT_EQ(table.segmentSize(1), kSegment);
  EXPECT_EQ(table.segmentSize(2), kSegment);
  EXPECT_EQ(table.pointerCapacity(), 4);

  table.growByHalf();  // 294912 reaches segment 4: cut to 4 segments
  EXPECT_EQ(table.capacity(), 4 * kSegment);
  EXPECT_EQ(table.pointerCapacity(), 4);
  table.growByHalf();  // needs segment 4: pointer array becomes 2 x 4 + 4
  EXPECT_EQ(table.capacity(), 5 * kSegment);
  EXPECT_EQ(table.pointerCapacity(), 12);
}

TEST(ElementTable, RecordsSurviveGrowthAndWidening) {
  ElementTable table;
  table.growTo(10);
  for (int32_t i = 0; i < 10; ++i) table.at(i).start = i * 7;
  table.growTo(kSegment + 5);
  table.at(kSegment + 4).start = 99;
  table.growTo(2 * kSegment + 1);
  for (int32_t i = 0; i < 10; ++i) EXPECT_EQ(table.at(i).start, i * 7);
  EXPECT_EQ(table.at(kSegment + 4).start, 99);
}

TEST(ElementTable, NeverShrinksAndReleaseFreesEverything) {
  ElementTable table;
  table.growTo(100);
  table.growTo(50);
  table.reserveForText(640);  // 640 / 64 + 8 = 18 < 100
  EXPECT_EQ(table.capacity(), 100);
  table.release();
  EXPECT_EQ(table.capacity(), 0);
  EXPECT_EQ(table.pointerCapacity(), 0);
  table.reserveForText(640);
  EXPECT_EQ(table.capacity(), 18);
}

TEST(ElementTable, TagLengthsUseTheirBitFieldsExactly) {
  ElementTable table;
  table.growTo(8);
  table.setTagLengths(1, 0x3FFFFE, 0x3FE);
  EXPECT_EQ(static_cast<uint32_t>(table.at(1).tagLengths), 0x3FFFFEu | (0x3FEu << 22));
  EXPECT_EQ(table.startTagLength(1), 0x3FFFFE);
  EXPECT_EQ(table.endTagLength(1), 0x3FE);
  table.setTagLengths(2, 5, 0);
  EXPECT_EQ(table.at(2).tagLengths, 5);
}

TEST(ElementTable, TagLengthsBeyondTheirFieldsAreKeptExactly) {
  ElementTable table;
  table.growTo(8);
  table.setTagLengths(3, 5000000, 2000);
  EXPECT_EQ(tag_lengths::startField(table.at(3).tagLengths), tag_lengths::kStartMax);
  EXPECT_EQ(tag_lengths::endField(table.at(3).tagLengths), tag_lengths::kEndMax);
  EXPECT_EQ(table.startTagLength(3), 5000000);
  EXPECT_EQ(table.endTagLength(3), 2000);
  table.setTagLengths(3, 10, 4);  // back in range: the side table forgets the record
  EXPECT_EQ(table.startTagLength(3), 10);
  EXPECT_EQ(table.endTagLength(3), 4);
  table.setTagLengths(4, 0x3FFFFF, 0x3FF);  // exactly the maximum is also kept aside
  EXPECT_EQ(table.startTagLength(4), 0x3FFFFF);
  EXPECT_EQ(table.endTagLength(4), 0x3FF);
}

TEST(ElementTableInDocument, NullAndEmptyTextsHaveRoomForEightRecords) {
  TagDocument fromNull;
  EXPECT_FALSE(fromNull.loadString(static_cast<const char16_t*>(nullptr)));
  EXPECT_EQ(fromNull.elements().capacity(), 8);
  EXPECT_FALSE(fromNull.findNextElement());

  TagDocument fromEmpty;
  EXPECT_FALSE(fromEmpty.loadString(u""));
  EXPECT_EQ(fromEmpty.elements().capacity(), 8);
  EXPECT_FALSE(fromEmpty.findNextElement());
}

TEST(ElementTableInDocument, SizedFromTheTextLengthAndGrownByHalfDuringTheParse) {
  TagDocument document;
  std::u16string text = u"<r>" + std::u16string(6400, u' ') + u"</r>";  // 6407 / 64 + 8
  document.loadString(text.c_str());
  EXPECT_EQ(document.elements().capacity(), 108);

  TagDocument small;  // 83 characters: 83 / 64 + 8 = 9 -> 13 -> 19 -> 28
  std::u16string many = u"<r>";
  for (int i = 0; i < 19; ++i) many += u"<a/>";
  many += u"</r>";
  small.loadString(many.c_str());
  EXPECT_EQ(small.nextFreeIndex(), 21);
  EXPECT_EQ(small.elements().capacity(), 28);
}

TEST(ElementTableInDocument, LoadingNullReleasesTheTableBeforeSizingItAgain) {
  TagDocument document;
  std::u16string text = u"<r>" + std::u16string(64000, u'x') + u"</r>";
  document.loadString(text.c_str());
  EXPECT_EQ(document.elements().capacity(), 64007 / 64 + 8);
  document.loadString(u"<a/>");  // a larger table is left as it is
  EXPECT_EQ(document.elements().capacity(), 64007 / 64 + 8);
  document.loadString(static_cast<const char16_t*>(nullptr));
  EXPECT_EQ(document.elements().capacity(), 8);
}

}  // namespace

}  // namespace xml
