#include "xml/TagDocument.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace xml {

namespace {

// Loads a single start tag and positions on it.
TagDocument& at(TagDocument& document, const char16_t* text) {
  document.loadString(text);
  document.rewind();
  document.findNextElement();
  return document;
}

std::vector<std::u16string> names(TagDocument& document) {
  std::vector<std::u16string> result;
  for (int n = 0;; ++n) {
    std::u16string name = document.attributeNameAt(n);
    if (name.empty()) return result;
    result.push_back(name);
  }
}

TEST(Attributes, QuotedUnquotedAndBare) {
  TagDocument document;
  at(document, u"<e a=\"1\" b='2' c=3 d e = 'five' f/>");
  EXPECT_EQ(names(document), (std::vector<std::u16string>{u"a", u"b", u"c", u"d", u"e", u"f"}));
  EXPECT_EQ(document.attributeValue(u"a"), u"1");
  EXPECT_EQ(document.attributeValue(u"b"), u"2");
  EXPECT_EQ(document.attributeValue(u"c"), u"3");
  EXPECT_EQ(document.attributeValue(u"d"), u"d");  // a bare name is its own value
  EXPECT_EQ(document.attributeValue(u"e"), u"five");
  EXPECT_EQ(document.attributeValue(u"f"), u"f");
  EXPECT_EQ(document.attributeValue(u"g"), u"");
  EXPECT_EQ(document.attributeNameAt(-1), u"");
}

TEST(Attributes, SingleQuotedValueKeepsDoubleQuotesAndTheOtherWayRound) {
  TagDocument document;
  at(document, u"<e a='say \"hi\"' b=\"it's\"/>");
  EXPECT_EQ(document.attributeValue(u"a"), u"say \"hi\"");
  EXPECT_EQ(document.attributeValue(u"b"), u"it's");
}

TEST(Attributes, ValuesAreDecodedNamesAreNot) {
  TagDocument document;
  at(document, u"<e a='&lt;&#65;&quot;&apos;&bogus;' b=\"x&amp;y\" c='&#x10437;'/>");
  EXPECT_EQ(document.attributeValue(u"a"), u"<A\"'&bogus;");
  EXPECT_EQ(document.attributeValue(u"b"), u"x&y");
  EXPECT_EQ(document.attributeValue(u"c"), u"\U00010437");
}

TEST(Attributes, ValuesMayHoldMarkupCharacters) {
  TagDocument document;
  at(document, u"<e a='x>y' b='/' c='?'/>");
  EXPECT_EQ(names(document), (std::vector<std::u16string>{u"a", u"b", u"c"}));
  EXPECT_EQ(document.attributeValue(u"a"), u"x>y");
  EXPECT_EQ(document.attributeValue(u"c"), u"?");
}

TEST(Attributes, UnquotedValueRunsToWhitespaceOrGreaterThan) {
  TagDocument document;
  at(document, u"<e a=x/y b=p=q>t</e>");
  EXPECT_EQ(document.attributeValue(u"a"), u"x/y");
  EXPECT_EQ(document.attributeValue(u"b"), u"p=q");
  at(document, u"<e a=v/>");
  EXPECT_EQ(document.attributeValue(u"a"), u"v/");
  at(document, u"<e a=>t</e>");
  EXPECT_EQ(names(document), (std::vector<std::u16string>{u"a"}));
  EXPECT_EQ(document.attributeValue(u"a"), u"");
}

TEST(Attributes, TheTagNameIsNeverAnAttribute) {
  TagDocument document;
  at(document, u"<e x='1'/>");
  EXPECT_EQ(document.attributeValue(u"e"), u"");
  at(document, u"<e/>");
  EXPECT_EQ(document.attributeNameAt(0), u"");
}

TEST(Attributes, NamesMatchWholeAndMayBeFollowedByPathCharacters) {
  TagDocument document;
  at(document, u"<e ab='1' a='2' abc='3'/>");
  EXPECT_EQ(document.attributeValue(u"a"), u"2");
  EXPECT_EQ(document.attributeValue(u"abc"), u"3");
  EXPECT_EQ(document.attributeValue(u"a]"), u"2");
  EXPECT_EQ(document.attributeValue(u"A"), u"");
  EXPECT_EQ(document.attributeValue(u""), u"");
  EXPECT_EQ(document.attributeValue(nullptr), u"");
}

TEST(Attributes, FirstOfTwoEqualNamesWins) {
  TagDocument document;
  at(document, u"<e a='1' a='2'/>");
  EXPECT_EQ(document.attributeValue(u"a"), u"1");
  EXPECT_EQ(names(document), (std::vector<std::u16string>{u"a", u"a"}));
}

TEST(Attributes, TrimmedWithOptions) {
  TagDocument document;
  at(document, u"<e a='  x   y  '/>");
  document.setOptions(TagDocument::kTrimText);
  EXPECT_EQ(document.attributeValue(u"a"), u"x   y");
  document.setOptions(TagDocument::kCollapseWhitespace);
  EXPECT_EQ(document.attributeValue(u"a"), u"x y");
}

TEST(Attributes, ReadOnlyFromTheStartTagItself) {
  TagDocument document;
  // The stray quote does not reach into the content.
  at(document, u"<e 'x>y' z='no'</e>");
  EXPECT_EQ(document.attributeValue(u"z"), u"");
  EXPECT_EQ(document.attributeNameAt(0), u"");
}

TEST(Attributes, ManyAttributesAreReadInLinearTime) {
  std::u16string text = u"<e";
  for (int i = 0; i < 20000; ++i) text += u" a" + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) + u"='v'";
  text += u"/>";
  TagDocument document;
  at(document, text.c_str());
  int count = 0;
  while (!document.attributeNameAt(count).empty()) ++count;
  EXPECT_EQ(count, 20000);
}

}  // namespace

}  // namespace xml
