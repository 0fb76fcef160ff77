#include "xml/NodeScanner.h"
#include "xml/TagDocument.h"

#include <gtest/gtest.h>

#include <string>

namespace xml {

namespace {

TEST(Navigation, WalksARootWithAnEmptyElementAndAnElementWithText) {
  TagDocument document;
  ASSERT_TRUE(document.loadString(u"<root><empty/><full>some text</full></root>"));
  document.rewind();
  ASSERT_TRUE(document.findNextElement());
  EXPECT_EQ(document.currentName(), u"root");
  ASSERT_TRUE(document.enterElement());
  ASSERT_TRUE(document.findNextElement());
  EXPECT_EQ(document.currentName(), u"empty");
  EXPECT_EQ(document.currentText(), u"");
  ASSERT_TRUE(document.findNextElement());
  EXPECT_EQ(document.currentName(), u"full");
  EXPECT_EQ(document.currentText(), u"some text");
  EXPECT_FALSE(document.findNextElement());  // a failed search keeps the position
  EXPECT_EQ(document.currentName(), u"full");
  ASSERT_TRUE(document.leaveElement());
  EXPECT_EQ(document.currentName(), u"root");
  EXPECT_FALSE(document.findNextElement());
  EXPECT_FALSE(document.leaveElement());  // already at the document level
}

TEST(Navigation, TheMovieCallExample) {
  TagDocument document;
  document.loadString(
      u"<invoke name=\"flashSetting\" returntype=\"xml\"><arguments><string>display"
      u"</string></arguments></invoke>");
  document.rewind();
  ASSERT_TRUE(document.findNextElement(nullptr));
  EXPECT_EQ(document.currentName(), u"invoke");
  EXPECT_EQ(document.attributeNameAt(0), u"name");
  EXPECT_EQ(document.attributeNameAt(1), u"returntype");
  EXPECT_EQ(document.attributeNameAt(2), u"");
  EXPECT_EQ(document.attributeValue(u"name"), u"flashSetting");
  EXPECT_EQ(document.innerMarkup(), u"<arguments><string>display</string></arguments>");
  EXPECT_EQ(document.currentText(), u"");
  ASSERT_TRUE(document.enterElement());
  ASSERT_TRUE(document.findNextElement());
  EXPECT_EQ(document.currentName(), u"arguments");
  ASSERT_TRUE(document.enterElement());
  ASSERT_TRUE(document.findNextElement());
  EXPECT_EQ(document.currentText(), u"display");
}

TEST(Navigation, EnteringAndLeavingReturnsToTheElementAndGoesOnWithItsSibling) {
  TagDocument document;
  document.loadString(u"<r><a><x/><y/></a><b/></r>");
  document.findNextElement();
  document.enterElement();
  document.findNextElement();  // a
  ASSERT_TRUE(document.enterElement());
  document.findNextElement();  // x
  document.findNextElement();  // y
  EXPECT_EQ(document.currentName(), u"y");
  ASSERT_TRUE(document.leaveElement());
  EXPECT_EQ(document.currentName(), u"a");
  EXPECT_EQ(document.childIndex(), 4);  // y remembered
  ASSERT_TRUE(document.findNextElement());
  EXPECT_EQ(document.currentName(), u"b");
  // Entering b (no children) succeeds; there is nothing to find; leaving comes back.
  ASSERT_TRUE(document.enterElement());
  EXPECT_EQ(document.nodeKind(), 0);
  EXPECT_FALSE(document.findNextElement());
  ASSERT_TRUE(document.leaveElement());
  EXPECT_EQ(document.currentName(), u"b");
}

TEST(Navigation, EnterAfterLeaveGoesBackToTheRememberedChild) {
  TagDocument document;
  document.loadString(u"<r><a/><b/><c/></r>");
  document.findNextElement();
  document.enterElement();
  document.findNextElement();
  document.findNextElement();  // b
  document.leaveElement();
  ASSERT_TRUE(document.enterElement());
  EXPECT_EQ(document.currentName(), u"b");
  ASSERT_TRUE(document.findNextElement());
  EXPECT_EQ(document.currentName(), u"c");
}

TEST(Navigation, EnterNeedsACurrentElement) {
  TagDocument document;
  document.loadString(u"<r/>");
  EXPECT_FALSE(document.enterElement());
  EXPECT_EQ(document.parentIndex(), 0);
  EXPECT_EQ(document.currentName(), u"");
  EXPECT_EQ(document.currentText(), u"");
  EXPECT_EQ(document.innerMarkup(), u"");
  EXPECT_EQ(document.attributeNameAt(0), u"");
}

TEST(Navigation, RewindStartsAgainAtTheFirstChildOfTheSameParent) {
  TagDocument document;
  document.loadString(u"<r><a/><b/></r>");
  document.findNextElement();
  document.enterElement();
  document.findNextElement();
  document.findNextElement();
  document.rewind();
  EXPECT_EQ(document.parentIndex(), 1);
  ASSERT_TRUE(document.findNextElement());
  EXPECT_EQ(document.currentName(), u"a");
}

TEST(Navigation, SearchByNameMatchesWholeNamesOnly) {
  TagDocument document;
  document.loadString(u"<r><ab/><a/><abc/><b x='1'/><a:b/></r>");
  document.findNextElement();
  document.enterElement();
  ASSERT_TRUE(document.findNextElement(u"a"));
  EXPECT_EQ(document.currentIndex(), 3);
  document.rewind();
  ASSERT_TRUE(document.findNextElement(u"abc"));
  EXPECT_EQ(document.currentIndex(), 4);
  EXPECT_FALSE(document.findNextElement(u"ab"));  // nothing after abc
  EXPECT_EQ(document.currentIndex(), 4);
  document.rewind();
  // The given text may go on after the name with ' ', '/', '=', '[' or ']'.
  for (const char16_t* name : {u"b[1]", u"b/c", u"b x", u"b=1", u"b]"}) {
    document.rewind();
    ASSERT_TRUE(document.findNextElement(name)) << static_cast<int>(name[1]);
    EXPECT_EQ(document.currentIndex(), 5);
  }
  document.rewind();
  EXPECT_FALSE(document.findNextElement(u"b-"));
  EXPECT_FALSE(document.findNextElement(u"B"));
  EXPECT_FALSE(document.findNextElement(u"/r"));
  EXPECT_FALSE(document.findNextElement(u"zz"));
  ASSERT_TRUE(document.findNextElement(u"a:b"));
  EXPECT_EQ(document.currentIndex(), 6);
}

TEST(Navigation, SearchIgnoresAsciiCaseWithOption) {
  TagDocument document;
  document.setOptions(TagDocument::kIgnoreCase);
  document.loadString(u"<Root><ITEM Key='v'/></Root>");
  ASSERT_TRUE(document.findNextElement(u"rOOT"));
  document.enterElement();
  ASSERT_TRUE(document.findNextElement(u"item"));
  EXPECT_EQ(document.attributeValue(u"KEY"), u"v");
  EXPECT_EQ(document.currentName(), u"ITEM");
}

TEST(Navigation, EmptyNameSearchesLikeNoName) {
  TagDocument document;
  document.loadString(u"<r/>");
  ASSERT_TRUE(document.findNextElement(u""));
  EXPECT_EQ(document.currentName(), u"r");
}

TEST(Navigation, CurrentNameStopsAtNameEndingCharacters) {
  TagDocument document;
  for (const char16_t* text : {u"<a;b/>", u"<a\\b/>", u"<a?b/>", u"<a!b/>", u"<a\"b/>"}) {
    document.loadString(text);
    document.findNextElement();
    EXPECT_EQ(document.currentName(), u"a");
  }
  document.loadString(u"<\u00e9l\u00e9ment:x-y.z attr='1'/>");
  document.findNextElement();
  EXPECT_EQ(document.currentName(), u"\u00e9l\u00e9ment:x-y.z");
}

TEST(CurrentText, EmptyForElementsWithChildrenEvenWithTextBeside) {
  TagDocument document;
  document.loadString(u"<r>before<a/>after</r>");
  document.findNextElement();
  EXPECT_EQ(document.currentText(), u"");
  EXPECT_EQ(document.innerMarkup(), u"before<a/>after");
}

TEST(CurrentText, JoinsTextNodesAndCdataSkippingCommentsAndInstructions) {
  TagDocument document;
  document.loadString(u"<r>one &amp; <!-- no --><![CDATA[two &amp; <x>]]><?pi no?> three</r>");
  document.findNextElement();
  EXPECT_EQ(document.currentText(), u"one & two &amp; <x> three");
}

TEST(CurrentText, WhitespaceOnlyNodesAddNothingButTextKeepsItsSpaces) {
  TagDocument document;
  document.loadString(u"<r> <!--c--> a <![CDATA[ b ]]>\n</r>");
  document.findNextElement();
  EXPECT_EQ(document.currentText(), u" a  b ");
}

TEST(CurrentText, DecodesContentWithoutMarkupWhole) {
  TagDocument document;
  document.loadString(u"<r>a &lt; b &#x263A; &#128512;</r>");
  document.findNextElement();
  EXPECT_EQ(document.currentText(), u"a < b \u263A \U0001F600");
}

TEST(CurrentText, TrimsAndCollapsesWithOptions) {
  TagDocument document;
  document.loadString(u"<r>\n  a \t b  \n</r>");
  document.findNextElement();
  EXPECT_EQ(document.currentText(), u"\n  a \t b  \n");
  document.setOptions(TagDocument::kTrimText);
  EXPECT_EQ(document.currentText(), u"a \t b");
  document.setOptions(TagDocument::kCollapseWhitespace);
  EXPECT_EQ(document.currentText(), u"a b");
}

TEST(CurrentText, TextBesideALoneEndTagStillCounts) {
  TagDocument document;
  document.loadString(u"<r>x</q>y</r>");
  document.findNextElement();
  EXPECT_EQ(document.currentText(), u"xy");
}

TEST(CurrentText, UnendedAndEmptyElementsHaveNone) {
  TagDocument document;
  document.loadString(u"<r><a>text<b/></r>");
  document.findNextElement();
  document.enterElement();
  document.findNextElement();
  EXPECT_EQ(document.currentName(), u"a");
  EXPECT_EQ(document.currentText(), u"");
  EXPECT_EQ(document.innerMarkup(), u"");
  document.loadString(u"<r></r>");
  document.findNextElement();
  EXPECT_EQ(document.currentText(), u"");
  EXPECT_EQ(document.innerMarkup(), u"");
}

TEST(InnerMarkup, IsRawIncludingReferencesAndComments) {
  TagDocument document;
  document.loadString(u"<r a='1'>&amp;<!-- c --><b>x</b></r >");
  document.findNextElement();
  EXPECT_EQ(document.innerMarkup(), u"&amp;<!-- c --><b>x</b>");
}

// Node-by-node positions are not produced by the walk but are honoured by the reads.
TEST(NodePosition, NamesAndTextsOfEveryNodeKind) {
  const std::u16string text =
      u"<!DOCTYPE  root SYSTEM 'r'><root>a&amp;b<![CDATA[c]]><?tgt x='1'?><!--com--></end>"
      u"  </root>";
  TagDocument document;
  document.loadString(text.c_str());
  struct Case {
    int32_t kind;
    std::u16string node;
    std::u16string name;
    std::u16string value;
  };
  const Case cases[] = {
      {node_kind::kDocumentType, u"<!DOCTYPE  root SYSTEM 'r'>", u"root", u"<!DOCTYPE  root SYSTEM 'r'>"},
      {node_kind::kText, u"a&amp;b", u"#text", u"a&b"},
      {node_kind::kCdata, u"<![CDATA[c]]>", u"#cdata-section", u"c"},
      {node_kind::kProcessingInstruction, u"<?tgt x='1'?>", u"tgt", u"tgt x='1'"},
      {node_kind::kComment, u"<!--com-->", u"#comment", u"com"},
      {node_kind::kLoneEndTag, u"</end>", u"end", u"end"},
      {node_kind::kWhitespace, u"  ", u"#text", u"  "},
  };
  for (const Case& c : cases) {
    const size_t at = text.rfind(c.node);
    ASSERT_NE(at, std::u16string::npos);
    document.selectNode(c.kind, static_cast<int32_t>(at), static_cast<int32_t>(c.node.size()));
    EXPECT_EQ(document.currentName(), c.name) << c.kind;
    EXPECT_EQ(document.currentText(), c.value) << c.kind;
  }
}

TEST(NodePosition, ShortNodesGiveEmptyContents) {
  TagDocument document;
  document.loadString(u"<!--><?><r/>");
  document.selectNode(node_kind::kComment, 0, 5);
  EXPECT_EQ(document.currentText(), u"");
  document.selectNode(node_kind::kProcessingInstruction, 5, 3);
  EXPECT_EQ(document.currentText(), u"");
  EXPECT_EQ(document.currentName(), u"");
  document.selectNode(node_kind::kCdata, 0, 5);
  EXPECT_EQ(document.currentText(), u"");
}

TEST(NodePosition, ProcessingInstructionAttributes) {
  TagDocument document;
  document.loadString(u"<?xml version=\"1.0\" encoding='gb2312'?><r/>");
  document.selectNode(node_kind::kProcessingInstruction, 0, 39);
  EXPECT_EQ(document.attributeNameAt(0), u"version");
  EXPECT_EQ(document.attributeNameAt(1), u"encoding");
  EXPECT_EQ(document.attributeValue(u"encoding"), u"gb2312");
  document.selectNode(node_kind::kComment, 0, 39);
  EXPECT_EQ(document.attributeNameAt(0), u"");
}

}  // namespace

}  // namespace xml
