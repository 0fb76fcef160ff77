#include "xml/EntityCodec.h"
#include "xml/EntityTable.h"

#include <gtest/gtest.h>

#include <string>

namespace xml {

namespace {

std::u16string decode(std::u16string_view text, uint32_t options = 0) { return decodeEntities(text, options); }

TEST(EntityTable, HoldsTwoHundredFiftyThreeNamesInOneHundredThirtyBuckets) {
  int total = 0;
  for (int b = 0; b < EntityTable::kBucketCount; ++b) total += EntityTable::bucketSize(b);
  EXPECT_EQ(total, 253);
  EXPECT_EQ(EntityTable::bucketSize(130), 0);
}

TEST(EntityTable, BucketIsTheFoldedCodeSumModulo130) {
  EXPECT_EQ(EntityTable::bucketOf(u"amp", 3), (97 + 109 + 112) % 130);
  EXPECT_EQ(EntityTable::bucketOf(u"AMP", 3), EntityTable::bucketOf(u"amp", 3));
  EXPECT_EQ(EntityTable::bucketOf(u"Aring", 5), EntityTable::bucketOf(u"aring", 5));
}

TEST(EntityTable, NamesMatchExactlyWithTheirCase) {
  EXPECT_EQ(EntityTable::lookup(u"Aring", 5), 197u);
  EXPECT_EQ(EntityTable::lookup(u"aring", 5), 229u);
  EXPECT_EQ(EntityTable::lookup(u"AMP", 3), 0u);
  EXPECT_EQ(EntityTable::lookup(u"Dagger", 6), 8225u);
  EXPECT_EQ(EntityTable::lookup(u"dagger", 6), 8224u);
  EXPECT_EQ(EntityTable::lookup(u"am", 2), 0u);
  EXPECT_EQ(EntityTable::lookup(u"ampx", 4), 0u);
}

TEST(EntityTable, SamplesFromEveryGroup) {
  struct Sample {
    const char16_t* name;
    char32_t code;
  };
  for (const Sample& s :
       {Sample{u"quot", 34}, Sample{u"amp", 38}, Sample{u"lt", 60}, Sample{u"gt", 62}, Sample{u"apos", 39},
        Sample{u"nbsp", 160}, Sample{u"yuml", 255}, Sample{u"OElig", 338}, Sample{u"Yuml", 376}, Sample{u"fnof", 402},
        Sample{u"Omega", 937}, Sample{u"thetasym", 977}, Sample{u"euro", 8364}, Sample{u"lang", 9001},
        Sample{u"rang", 9002}, Sample{u"diams", 9830}, Sample{u"zwnj", 8204}, Sample{u"trade", 8482}}) {
    std::u16string name(s.name);
    EXPECT_EQ(EntityTable::lookup(name.data(), static_cast<int32_t>(name.size())), s.code) << name.size();
  }
}

TEST(DecodeEntities, NamedAndCharacterReferences) {
  EXPECT_EQ(decode(u"&amp;"), u"&");
  EXPECT_EQ(decode(u"a&lt;b&gt;c"), u"a<b>c");
  EXPECT_EQ(decode(u"&#65;&#x42;&#X43;"), u"ABC");
  EXPECT_EQ(decode(u"&#x1F600;"), std::u16string({0xD83D, 0xDE00}));
  EXPECT_EQ(decode(u"&#65536;"), std::u16string({0xD800, 0xDC00}));
  EXPECT_EQ(decode(u"&#x10FFFF;"), std::u16string({0xDBFF, 0xDFFF}));
  EXPECT_EQ(decode(u"&euro;&Omega;"), u"\u20AC\u03A9");
}

TEST(DecodeEntities, UnresolvableReferencesAreCopiedUnchanged) {
  EXPECT_EQ(decode(u"&#0;"), u"&#0;");
  EXPECT_EQ(decode(u"&#x0;"), u"&#x0;");
  EXPECT_EQ(decode(u"&#;"), u"&#;");
  EXPECT_EQ(decode(u"&#x;"), u"&#x;");
  EXPECT_EQ(decode(u"&#abc;"), u"&#abc;");
  EXPECT_EQ(decode(u"&nosuch;"), u"&nosuch;");
  EXPECT_EQ(decode(u"&AMP;"), u"&AMP;");
  EXPECT_EQ(decode(u"&;"), u"&;");
  EXPECT_EQ(decode(u"&amp"), u"&amp");
  EXPECT_EQ(decode(u"&"), u"&");
  EXPECT_EQ(decode(u"& amp;"), u"& amp;");
  EXPECT_EQ(decode(u"&&amp;"), u"&&");
}

TEST(DecodeEntities, ReferenceNamesAreAtMostNineCharacters) {
  EXPECT_EQ(decode(u"&#00000065;"), u"A");              // nine characters
  EXPECT_EQ(decode(u"&#000000065;"), u"&#000000065;");  // ten
  EXPECT_EQ(decode(u"&thetasymxx;"), u"&thetasymxx;");
}

TEST(DecodeEntities, NulCharactersInsideANameDoNotMatchTheTable) {
  const std::u16string text{u'&', u'l', u't', 0, 0, u';', u'&', u'a', u'm', u'p', 0, u';'};
  EXPECT_EQ(decode(text), text);
  EXPECT_EQ(EntityTable::lookup(u"lt\0\0", 4), 0u);
}

TEST(DecodeEntities, ANonAsciiCharacterStopsTheName) {
  EXPECT_EQ(decode(u"&\u00e9;"), u"&\u00e9;");
  EXPECT_EQ(decode(u"&am\u00e9p;"), u"&am\u00e9p;");
}

TEST(DecodeEntities, CodePointsBeyondUnicodeStayUnchanged) {
  EXPECT_EQ(decode(u"&#x110000;"), u"&#x110000;");
  EXPECT_EQ(decode(u"&#99999999;"), u"&#99999999;");
}

TEST(DecodeEntities, LeadingDigitsGiveTheValue) {
  EXPECT_EQ(decode(u"&#65x;"), u"A");
  EXPECT_EQ(decode(u"&#x41g;"), u"A");
}

TEST(DecodeEntities, LengthLimitsTheReference) {
  EXPECT_EQ(decodeEntities(u"&amp;", 4, 0), u"&amp");
  EXPECT_EQ(decodeEntities(u"&amp;xyz", 5, 0), u"&");
  EXPECT_EQ(decodeEntities(u"ab\0cd", -1, 0), u"ab");
  EXPECT_EQ(decodeEntities(nullptr, -1, 0), u"");
}

TEST(DecodeEntities, TrimOptionDropsOuterWhitespaceOnly) {
  EXPECT_EQ(decode(u" \t\r\n a \n b \t", 0x100), u"a \n b");
  EXPECT_EQ(decode(u"   ", 0x100), u"");
  EXPECT_EQ(decode(u"", 0x100), u"");
  EXPECT_EQ(decode(u"x", 0x100), u"x");
}

TEST(DecodeEntities, CollapseOptionMakesEachInnerRunOneSpace) {
  EXPECT_EQ(decode(u"  a \t\n b\r\rc  ", 0x200), u"a b c");
  EXPECT_EQ(decode(u"  a  ", 0x300), u"a");
}

TEST(DecodeEntities, ResolvedReferencesCountAsContent) {
  EXPECT_EQ(decode(u" &#32;a&#32; ", 0x100), u" a ");
  EXPECT_EQ(decode(u"a &#9;  b", 0x200), u"a \t b");
  EXPECT_EQ(decode(u"  &nosuch  ", 0x200), u"&nosuch");
}

TEST(EncodeEntities, TextAndAttributeModes) {
  EXPECT_EQ(encodeEntities(u"a<b>&\"'", 0), u"a&lt;b&gt;&amp;\"'");
  EXPECT_EQ(encodeEntities(u"a<b>&\"'", entity_mode::kAttribute), u"a&lt;b&gt;&amp;&quot;&apos;");
  EXPECT_EQ(encodeEntities(u"", 0), u"");
}

TEST(EncodeEntities, KeepsWellFormedReferencesWithBit08) {
  EXPECT_EQ(encodeEntities(u"&amp; &x; &#12; &_a.b-c; &\u00e9t\u00e9;", 0x08),
            u"&amp; &x; &#12; &_a.b-c; &\u00e9t\u00e9;");
  EXPECT_EQ(encodeEntities(u"&1; & ; &a b; &a &", 0x08), u"&amp;1; &amp; ; &amp;a b; &amp;a &amp;");
  EXPECT_EQ(encodeEntities(u"&amp;", 0), u"&amp;amp;");
}

TEST(EncodeEntities, GrowsItsBufferForEveryExpansion) {
  const std::u16string text(5000, u'"');
  std::u16string expected;
  for (int i = 0; i < 5000; ++i) expected += u"&quot;";
  EXPECT_EQ(encodeEntities(text, entity_mode::kAttribute), expected);
  EXPECT_EQ(encodeEntities(u"<", 0), u"&lt;");
}

TEST(WrapCdata, SplitsEveryTerminatorInside) {
  EXPECT_EQ(wrapCdata(u"a]]>b"), u"<![CDATA[a]]]]><![CDATA[>b]]>");
  EXPECT_EQ(wrapCdata(u"]]>]]>"), u"<![CDATA[]]]]><![CDATA[>]]]]><![CDATA[>]]>");
  EXPECT_EQ(wrapCdata(u""), u"<![CDATA[]]>");
  EXPECT_EQ(wrapCdata(u"]] >"), u"<![CDATA[]] >]]>");
}

}  // namespace

}  // namespace xml
