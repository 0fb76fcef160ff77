#include "xml/ElementTable.h"
#include "xml/NodeScanner.h"
#include "xml/TagDocument.h"

#include <gtest/gtest.h>

#include <string>

namespace xml {

namespace {

using namespace element_flags;

TEST(AppendElement, AddsTopLevelElementsLinkedAsARing) {
  TagDocument document;
  ASSERT_TRUE(document.appendElement(u"a"));
  ASSERT_TRUE(
      document.appendElement(u"b", nullptr, TagDocument::kAppendNoLineBreak | TagDocument::kAppendSpaceBeforeSlash));
  EXPECT_EQ(document.text(), u"<a/><b />");
  EXPECT_EQ(document.currentIndex(), 2);
  EXPECT_EQ(document.currentName(), u"b");
  const ElementRecord& a = document.record(1);
  const ElementRecord& b = document.record(2);
  EXPECT_EQ(document.record(0).firstChild, 1);
  EXPECT_EQ(document.record(0).length, 9);
  EXPECT_EQ(a.flags, kFirstChild);
  EXPECT_EQ(a.nextSibling, 2);
  EXPECT_EQ(a.prevSibling, 2);
  EXPECT_EQ(b.start, 4);
  EXPECT_EQ(b.length, 5);
  EXPECT_EQ(document.startTagLength(2), 5);
  EXPECT_EQ(b.prevSibling, 1);
  EXPECT_EQ(b.flags, 0);
}

TEST(AppendElement, WithTextEscapedOrAsCdata) {
  TagDocument document;
  document.appendElement(u"t", u"a<b&c");
  document.appendElement(u"c", u"x]]>y", TagDocument::kAppendAsCdata | TagDocument::kAppendNoLineBreak);
  EXPECT_EQ(document.text(), u"<t>a&lt;b&amp;c</t><c><![CDATA[x]]]]><![CDATA[>y]]></c>");
  EXPECT_EQ(document.startTagLength(1), 3);
  EXPECT_EQ(document.endTagLength(1), 4);
  EXPECT_EQ(document.record(1).length, 19);
  document.rewind();
  document.findNextElement(u"t");
  EXPECT_EQ(document.currentText(), u"a<b&c");
  document.findNextElement(u"c");
  EXPECT_EQ(document.currentText(), u"x]]>y");
}

TEST(AppendElement, WritesALineBreakWithoutBit02) {
  TagDocument document;
  document.appendElement(u"a", nullptr, 0);
  document.appendElement(u"b", nullptr, 0);
  EXPECT_EQ(document.text(), u"<a/>\r\n<b/>\r\n");
  EXPECT_EQ(document.record(2).start, 6);
  EXPECT_FALSE(document.loadString(document.text().c_str()));  // two top-level elements
  EXPECT_EQ(document.nextFreeIndex(), 3);
}

TEST(AppendElement, OnlyAtTheDocumentLevel) {
  TagDocument document;
  document.loadString(u"<r/>");
  document.findNextElement();
  document.enterElement();
  EXPECT_FALSE(document.appendElement(u"x"));
  EXPECT_EQ(document.text(), u"<r/>");
  document.leaveElement();
  EXPECT_FALSE(document.appendElement(u""));
  EXPECT_FALSE(document.appendElement(nullptr));
}

TEST(AppendElement, GrowsTheTableByHalfWhenFull) {
  TagDocument document;
  for (int i = 0; i < 8; ++i) ASSERT_TRUE(document.appendElement(u"e"));
  EXPECT_EQ(document.elements().capacity(), 12);
  EXPECT_EQ(document.record(0).firstChild, 1);
  EXPECT_EQ(document.record(1).prevSibling, 8);
}

TEST(SetAttribute, InsertsAfterTheLastAttribute) {
  TagDocument document;
  document.appendElement(u"a");
  document.setAttribute(u"x", u"1");
  document.setAttribute(u"y", 22);
  EXPECT_EQ(document.text(), u"<a x=\"1\" y=\"22\"/>");
  EXPECT_EQ(document.startTagLength(1), 17);
  EXPECT_EQ(document.record(1).length, 17);
  EXPECT_EQ(document.record(0).length, 17);

  document.loadString(u"<r><e k='v' >t</e></r>");
  document.findNextElement();
  document.enterElement();
  document.findNextElement();
  document.setAttribute(u"n", u"q\"<");
  EXPECT_EQ(document.text(), u"<r><e k='v' n=\"q&quot;&lt;\" >t</e></r>");
  EXPECT_EQ(document.currentText(), u"t");
  EXPECT_EQ(document.attributeValue(u"n"), u"q\"<");
}

TEST(SetAttribute, ReplacesAnExistingValueAndShiftsTheIndex) {
  // <r>0 <a x='1'>3 <c/>12 </a>16 <b/>20 </r>24
  TagDocument document;
  document.loadString(u"<r><a x='1'><c/></a><b/></r>");
  document.findNextElement();
  document.enterElement();
  document.findNextElement();
  ASSERT_TRUE(document.setAttribute(u"x", u"12345"));
  EXPECT_EQ(document.text(), u"<r><a x=\"12345\"><c/></a><b/></r>");
  EXPECT_EQ(document.record(1).length, 32);  // enclosing: grown
  EXPECT_EQ(document.record(2).length, 21);  // the element itself
  EXPECT_EQ(document.startTagLength(2), 13);
  EXPECT_EQ(document.record(3).start, 16);  // its child moved
  EXPECT_EQ(document.record(4).start, 24);  // the following sibling moved
  EXPECT_EQ(document.record(0).length, 32);
  EXPECT_EQ(document.innerMarkup(), u"<c/>");
  ASSERT_TRUE(document.setAttribute(u"x", u""));  // shrinking works the same way
  EXPECT_EQ(document.text(), u"<r><a x=\"\"><c/></a><b/></r>");
  EXPECT_EQ(document.record(4).start, 19);
  document.findNextElement();
  EXPECT_EQ(document.currentName(), u"b");
}

TEST(SetAttribute, GivesABareNameItsValue) {
  TagDocument document;
  document.loadString(u"<r flag other='1'/>");
  document.findNextElement();
  document.setAttribute(u"flag", u"on");
  EXPECT_EQ(document.text(), u"<r flag=\"on\" other='1'/>");
  EXPECT_EQ(document.attributeValue(u"flag"), u"on");
}

TEST(SetAttribute, OnAProcessingInstructionNode) {
  TagDocument document;
  document.loadString(u"<?xml version='1.0'?><r/>");
  document.selectNode(node_kind::kProcessingInstruction, 0, 21);
  ASSERT_TRUE(document.setAttribute(u"encoding", u"UTF-8"));
  EXPECT_EQ(document.text(), u"<?xml version='1.0' encoding=\"UTF-8\"?><r/>");
  EXPECT_EQ(document.nodeLength(), 38);
  EXPECT_EQ(document.record(1).start, 38);
  EXPECT_EQ(document.attributeValue(u"encoding"), u"UTF-8");
}

TEST(SetAttribute, NeedsAnElementOrInstruction) {
  TagDocument document;
  document.loadString(u"<r/>");
  EXPECT_FALSE(document.setAttribute(u"a", u"b"));
  document.findNextElement();
  EXPECT_FALSE(document.setAttribute(u"", u"b"));
  EXPECT_TRUE(document.setAttribute(u"a", nullptr));
  EXPECT_EQ(document.text(), u"<r a=\"\"/>");
}

}  // namespace

}  // namespace xml
