#include "xml/ElementTable.h"
#include "xml/TagDocument.h"

#include <gtest/gtest.h>

#include <string>

namespace xml {

namespace {

using namespace element_flags;

struct Expected {
  int32_t start, length, startTag, endTag, flags, parent, firstChild, nextSibling, prevSibling;
};

void expectRecord(const TagDocument& document, int32_t index, const Expected& e) {
  SCOPED_TRACE("record " + std::to_string(index));
  const ElementRecord& r = document.record(index);
  EXPECT_EQ(r.start, e.start);
  EXPECT_EQ(r.length, e.length);
  EXPECT_EQ(document.startTagLength(index), e.startTag);
  EXPECT_EQ(document.endTagLength(index), e.endTag);
  EXPECT_EQ(r.flags, e.flags);
  EXPECT_EQ(r.parent, e.parent);
  EXPECT_EQ(r.firstChild, e.firstChild);
  EXPECT_EQ(r.nextSibling, e.nextSibling);
  EXPECT_EQ(r.prevSibling, e.prevSibling);
}

TEST(IndexLinks, ThreeLevelsWithRingsFirstChildBitsAndLevels) {
  // <r>0 <a>3 <b/>6 <c>10 t13 </c>14 </a>18 <d/>22 <e>26 <f/>29 </e>33 </r>37
  TagDocument document;
  ASSERT_TRUE(document.loadString(u"<r><a><b/><c>t</c></a><d/><e><f/></e></r>"));
  EXPECT_EQ(document.resultLog(), u"");
  EXPECT_EQ(document.nextFreeIndex(), 8);
  const ElementRecord& top = document.record(0);
  EXPECT_EQ(top.start, 0);
  EXPECT_EQ(top.length, 41);
  EXPECT_EQ(top.firstChild, 1);
  EXPECT_EQ(top.flags, 0);

  expectRecord(document, 1, {0, 41, 3, 4, kFirstChild | 0, 0, 2, 0, 1});
  expectRecord(document, 2, {3, 19, 3, 4, kFirstChild | 1, 1, 3, 5, 6});  // prev: last child e
  expectRecord(document, 3, {6, 4, 4, 0, kFirstChild | 2, 2, 0, 4, 4});
  expectRecord(document, 4, {10, 8, 3, 4, 2, 2, 0, 0, 3});
  expectRecord(document, 5, {22, 4, 4, 0, 1, 1, 0, 6, 2});
  expectRecord(document, 6, {26, 11, 3, 4, 1, 1, 7, 0, 5});
  expectRecord(document, 7, {29, 4, 4, 0, kFirstChild | 2, 6, 0, 0, 7});
}

TEST(IndexLinks, UnendedStartTagHandsItsChildrenToItsParent) {
  // <r>0 <a>3 <b/>6 x10 <c/>11 </r>15
  TagDocument document;
  EXPECT_FALSE(document.loadString(u"<r><a><b/>x<c/></r>"));
  EXPECT_EQ(document.resultLog(), u"<unended_start_tag tagname=\"a\" offset=\"3\" offset2=\"16\"/>");
  EXPECT_EQ(document.record(0).flags, kNotWellFormed);
  expectRecord(document, 1, {0, 19, 3, 4, kFirstChild, 0, 2, 0, 1});
  expectRecord(document, 2, {3, 3, 3, 0, kFirstChild | kNoEndTag | 1, 1, 0, 3, 4});
  expectRecord(document, 3, {6, 4, 4, 0, 2, 1, 0, 4, 2});  // keeps its level, loses 0x80000
  expectRecord(document, 4, {11, 4, 4, 0, 2, 1, 0, 0, 3});
}

TEST(IndexLinks, NestedUnendedTagsMoveTheirChildrenUpStepByStep) {
  // <r>0 <a>3 <b>6 <c/>9 </r>13
  TagDocument document;
  EXPECT_FALSE(document.loadString(u"<r><a><b><c/></r>"));
  EXPECT_EQ(document.resultLog(),
            u"<unended_start_tag tagname=\"b\" offset=\"6\" offset2=\"14\"/>"
            u"<unended_start_tag tagname=\"a\" offset=\"3\" offset2=\"14\"/>");
  expectRecord(document, 1, {0, 17, 3, 4, kFirstChild, 0, 2, 0, 1});
  expectRecord(document, 2, {3, 3, 3, 0, kFirstChild | kNoEndTag | 1, 1, 0, 3, 4});
  expectRecord(document, 3, {6, 3, 3, 0, kNoEndTag | 2, 1, 0, 4, 2});
  expectRecord(document, 4, {9, 4, 4, 0, 3, 1, 0, 0, 3});
}

TEST(IndexLinks, UnendedElementAmongSiblingsKeepsTheRingClosed) {
  // <r>0 <p/>3 <a>7 <b/>10 <c/>14 </r>18
  TagDocument document;
  document.loadString(u"<r><p/><a><b/><c/></r>");
  const ElementRecord& first = document.record(document.record(1).firstChild);
  EXPECT_EQ(document.record(1).firstChild, 2);
  EXPECT_EQ(first.prevSibling, 5);  // the ring now ends with c
  // Walk forwards and backwards over r's children.
  std::u16string forward;
  for (int32_t i = 2; i != 0; i = document.record(i).nextSibling) forward += static_cast<char16_t>(u'0' + i);
  EXPECT_EQ(forward, u"2345");
  std::u16string backward;
  for (int32_t i = first.prevSibling; i != 2; i = document.record(i).prevSibling)
    backward += static_cast<char16_t>(u'0' + i);
  EXPECT_EQ(backward, u"543");
  for (int32_t i = 2; i <= 5; ++i) EXPECT_EQ(document.record(i).parent, 1);
  EXPECT_EQ(document.record(2).flags & kFirstChild, kFirstChild);
  EXPECT_EQ(document.record(4).flags & kFirstChild, 0);
}

TEST(IndexLinks, EndOfTextClosesEverythingStillOpen) {
  TagDocument document;
  EXPECT_FALSE(document.loadString(u"<r><a>"));
  EXPECT_EQ(document.resultLog(),
            u"<unended_start_tag tagname=\"a\" offset=\"3\" offset2=\"6\"/>"
            u"<unended_start_tag tagname=\"r\" offset=\"0\" offset2=\"6\"/>"
            u"<root_has_sibling/>");
  // a followed r up to the top level.
  expectRecord(document, 1, {0, 3, 3, 0, kFirstChild | kNoEndTag, 0, 0, 2, 2});
  expectRecord(document, 2, {3, 3, 3, 0, kNoEndTag | 1, 0, 0, 0, 1});
}

TEST(IndexLinks, AnEndTagClosesTheInnermostMatchingOpenElement) {
  // <a>0 <a>3 </a>6 </a>10
  TagDocument document;
  EXPECT_TRUE(document.loadString(u"<a><a></a></a>"));
  expectRecord(document, 1, {0, 14, 3, 4, kFirstChild, 0, 2, 0, 1});
  expectRecord(document, 2, {3, 7, 3, 4, kFirstChild | 1, 1, 0, 0, 2});
}

TEST(IndexLinks, LoneEndTagMarksTheElementItIsIn) {
  // <r>0 <a/>3 </x>7 </r>11
  TagDocument document;
  EXPECT_FALSE(document.loadString(u"<r><a/></x></r>"));
  EXPECT_EQ(document.resultLog(), u"<lone_end_tag tagname=\"x\" offset=\"7\"/>");
  EXPECT_EQ(document.record(0).flags, kNotWellFormed);
  expectRecord(document, 1, {0, 15, 3, 4, kFirstChild | kHasError, 0, 2, 0, 1});
  expectRecord(document, 2, {3, 4, 4, 0, kFirstChild | 1, 1, 0, 0, 2});

  TagDocument topLevel;
  EXPECT_FALSE(topLevel.loadString(u"</x><r/>"));
  EXPECT_EQ(topLevel.record(0).flags, kNotWellFormed | kHasError);
}

TEST(IndexLinks, FaultBitMovesFromAnUnendedElementToItsParent) {
  TagDocument document;
  document.loadString(u"<r><a><1></r>");
  EXPECT_EQ(document.record(2).flags & kHasError, 0);
  EXPECT_EQ(document.record(1).flags & kHasError, kHasError);
  EXPECT_EQ(document.record(0).flags & kNotWellFormed, kNotWellFormed);
}

TEST(IndexLinks, EndTagNamesMatchIgnoringCaseOnlyWithOption) {
  TagDocument strict;
  EXPECT_FALSE(strict.loadString(u"<Ab></aB>"));
  EXPECT_EQ(strict.resultLog(),
            u"<lone_end_tag tagname=\"aB\" offset=\"4\"/>"
            u"<unended_start_tag tagname=\"Ab\" offset=\"0\" offset2=\"9\"/>");
  TagDocument loose;
  loose.setOptions(TagDocument::kIgnoreCase);
  EXPECT_TRUE(loose.loadString(u"<Ab></aB>"));
  EXPECT_EQ(loose.resultLog(), u"");
  // An end tag with more after its name still closes it.
  EXPECT_TRUE(strict.loadString(u"<a></a >"));
  EXPECT_TRUE(strict.loadString(u"<a\n></a\t\n>"));
}

TEST(IndexLinks, NothingButMarkupIsIndexed) {
  TagDocument document;
  EXPECT_TRUE(
      document.loadString(u"<?xml version=\"1.0\"?><!DOCTYPE r [<!ELEMENT r ANY><!ENTITY e 'x'>]>"
                          u"<!-- c --><r>t<![CDATA[<no/>]]><?pi <no/>?><!-- <no/> --></r>"));
  EXPECT_EQ(document.nextFreeIndex(), 2);
}

TEST(IndexLinks, WellFormednessResult) {
  TagDocument document;
  EXPECT_FALSE(document.loadString(u""));
  EXPECT_EQ(document.resultLog(), u"<no_root_element/>");
  EXPECT_FALSE(document.loadString(u"text only"));
  EXPECT_EQ(document.resultLog(), u"<no_root_element/>");
  EXPECT_FALSE(document.loadString(u"<a/><b/>"));
  EXPECT_EQ(document.resultLog(), u"<root_has_sibling/>");
  EXPECT_EQ(document.record(0).flags & kNotWellFormed, 0);  // neither record sets the bit
  EXPECT_EQ(document.record(1).nextSibling, 2);
  EXPECT_EQ(document.record(2).prevSibling, 1);
  EXPECT_EQ(document.record(1).prevSibling, 2);
  EXPECT_TRUE(document.loadString(u" <a/> "));
  EXPECT_EQ(document.resultLog(), u"");
}

}  // namespace

namespace {

std::u16string repeat(const char16_t* piece, int times) {
  std::u16string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

// Deep stacks find the element an end tag closes through a name index; it must give
// the same answers as the walk down the stack.
TEST(IndexLinks, StrayEndTagsInDeepNestingFindTheirElement) {
  // r=1, x=2..41, b[1]=42, y=43..82
  const std::u16string text =
      u"<r>" + repeat(u"<x>", 40) + u"<b[1]>" + repeat(u"<y>", 40) + u"</z></b></X>" + repeat(u"</x>", 40) + u"</r>";
  TagDocument strict;
  EXPECT_FALSE(strict.loadString(text.c_str()));
  EXPECT_EQ(strict.resultLog().rfind(u"<lone_end_tag tagname=\"z\"", 0), 0u);
  EXPECT_EQ(strict.record(42).flags & kNoEndTag, 0);
  EXPECT_EQ(strict.endTagLength(42), 4);
  for (int32_t y = 43; y <= 82; ++y) ASSERT_EQ(strict.record(y).flags & kNoEndTag, kNoEndTag);
  for (int32_t x = 2; x <= 41; ++x) ASSERT_EQ(strict.record(x).flags & kNoEndTag, 0);
  EXPECT_EQ(strict.record(41).flags & kHasError, kHasError);  // "</X>" is lone inside x
  EXPECT_EQ(strict.record(1).flags & kHasError, 0);

  TagDocument loose;
  loose.setOptions(TagDocument::kIgnoreCase);
  EXPECT_FALSE(loose.loadString(text.c_str()));
  for (int32_t x = 2; x <= 41; ++x) ASSERT_EQ(loose.record(x).flags & kNoEndTag, 0);
  // "</X>" closed the innermost x, so the last "</x>" is lone inside r.
  EXPECT_EQ(loose.record(1).flags & kHasError, kHasError);
  EXPECT_EQ(loose.record(41).flags & kHasError, 0);
  EXPECT_EQ(loose.record(41).length, static_cast<int32_t>(text.find(u"</X>") + 4) - loose.record(41).start);
}

TEST(IndexLinks, DeepAndShallowStacksAgreeOnEveryEndTag) {
  // The same stray end tags, once at depth 3 and once at depth 60.
  const std::u16string tail = u"<p=1><q></p><s></S></s></nope>";
  for (int depth : {3, 60}) {
    const std::u16string text = repeat(u"<d>", depth) + tail + repeat(u"</d>", depth);
    TagDocument document;
    document.loadString(text.c_str());
    const int32_t p = depth + 1;
    SCOPED_TRACE(depth);
    EXPECT_EQ(document.record(p).flags & kNoEndTag, 0);              // "</p>" closes "<p=1>"
    EXPECT_EQ(document.record(p + 1).flags & kNoEndTag, kNoEndTag);  // q unended
    EXPECT_EQ(document.record(p + 2).flags & kNoEndTag, 0);
    EXPECT_EQ(document.record(depth).flags & kHasError, kHasError);
    EXPECT_EQ(document.record(p + 2).flags & kHasError, kHasError);
  }
}

}  // namespace

}  // namespace xml
