#include "xml/ElementTable.h"
#include "xml/TagDocument.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace xml {

namespace {

using namespace element_flags;

// Checks every link of the index: rings closed, parents right, first-child bits only on
// first children, and every element inside its parent.
void expectSoundIndex(const TagDocument& document) {
  const int32_t count = document.nextFreeIndex();
  std::vector<int> seen(static_cast<size_t>(count), 0);
  std::vector<int32_t> parents{0};
  while (!parents.empty()) {
    const int32_t parent = parents.back();
    parents.pop_back();
    const int32_t first = document.record(parent).firstChild;
    if (first == 0) continue;
    int32_t previous = document.record(first).prevSibling;
    for (int32_t child = first; child != 0; child = document.record(child).nextSibling) {
      ASSERT_GT(child, 0);
      ASSERT_LT(child, count);
      ASSERT_EQ(seen[static_cast<size_t>(child)]++, 0) << "record " << child << " linked twice";
      const ElementRecord& r = document.record(child);
      ASSERT_EQ(r.parent, parent);
      ASSERT_EQ((r.flags & kFirstChild) != 0, child == first);
      if (child != first) {
        ASSERT_EQ(r.prevSibling, previous);
      }
      if (r.nextSibling == 0) {
        ASSERT_EQ(document.record(first).prevSibling, child);
      }
      ASSERT_GE(r.start, 0);
      ASSERT_LE(static_cast<int64_t>(r.start) + r.length, static_cast<int64_t>(document.text().size()));
      previous = child;
      parents.push_back(child);
    }
  }
  for (int32_t i = 1; i < count; ++i) ASSERT_EQ(seen[static_cast<size_t>(i)], 1) << "record " << i << " unreachable";
}

// Walks the whole tree with every read operation, without recursion. The inner markup
// of every element of a deep nest together is quadratic in size, so it can be left out.
int walkEverything(TagDocument& document, bool readMarkup = true) {
  int elements = 0;
  document.rewind();
  for (;;) {
    if (document.findNextElement()) {
      ++elements;
      document.currentName();
      document.currentText();
      if (readMarkup) document.innerMarkup();
      for (int n = 0; !document.attributeNameAt(n).empty() && n < 50; ++n)
        document.attributeValue(document.attributeNameAt(n).c_str());
      if (document.enterElement()) continue;
    }
    if (!document.leaveElement()) return elements;
  }
}

TEST(BadInput, UnpairedSurrogatesAndNulsAreOrdinaryCharacters) {
  const std::u16string text{u'<',  0xD800, u'a', u' ',   u'x', u'=', u'\'',  0xDC00, 0,
                            u'\'', u'>',   0,    0xDFFF, u'<', u'/', 0xD800, u'a',   u'>'};
  TagDocument document;
  EXPECT_TRUE(document.loadString(std::u16string_view(text)));
  ASSERT_TRUE(document.findNextElement());
  EXPECT_EQ(document.currentName(), (std::u16string{0xD800, u'a'}));
  EXPECT_EQ(document.attributeValue(u"x"), (std::u16string{0xDC00, 0}));
  EXPECT_EQ(document.currentText(), (std::u16string{0, 0xDFFF}));
  expectSoundIndex(document);
}

TEST(BadInput, UnterminatedEverything) {
  for (const char16_t* text : {u"<",
                               u"<a",
                               u"<a b",
                               u"<a b=",
                               u"<a b='",
                               u"<a b=\"x",
                               u"<a></",
                               u"<a></a",
                               u"<?",
                               u"<?x",
                               u"<!",
                               u"<!-",
                               u"<!--",
                               u"<!-- -",
                               u"<![",
                               u"<![C",
                               u"<![CDATA[",
                               u"<![CDATA[]]",
                               u"<!D",
                               u"<!DOCTYPE [",
                               u"<!DOCTYPE [<!E",
                               u"<!DOCTYPE [<!ENTITY '",
                               u"<!DOCTYPE [<!--",
                               u"<!DOCTYPE [<?",
                               u"<!DOCTYPE [<a",
                               u"<a>&",
                               u"<a>&#",
                               u"<a>&amp",
                               u"<a b='&#x"}) {
    TagDocument document;
    EXPECT_FALSE(document.loadString(text));
    EXPECT_FALSE(document.resultLog().empty());
    expectSoundIndex(document);
    walkEverything(document);
  }
}

TEST(BadInput, AMillionNestedElementsWithEndTags) {
  const int depth = 1000000;
  std::u16string text;
  text.reserve(depth * 7);
  for (int i = 0; i < depth; ++i) text += u"<a>";
  for (int i = 0; i < depth; ++i) text += u"</a>";
  TagDocument document;
  EXPECT_TRUE(document.loadString(std::u16string_view(text)));
  EXPECT_EQ(document.nextFreeIndex(), depth + 1);
  // Levels stop at the 16-bit maximum; no other flag bit is touched.
  EXPECT_EQ(document.record(0xFFFF + 1).flags, kFirstChild | 0xFFFF);
  EXPECT_EQ(document.record(depth).flags, kFirstChild | 0xFFFF);
  EXPECT_EQ(document.record(0xFFFF).flags, kFirstChild | 0xFFFE);
  EXPECT_EQ(document.record(depth).parent, depth - 1);
  EXPECT_EQ(walkEverything(document, false), depth);
}

TEST(BadInput, AMillionNestedElementsWithoutEndTagsEndAsSiblings) {
  const int depth = 1000000;
  std::u16string text;
  for (int i = 0; i < depth; ++i) text += u"<a>";
  TagDocument document;
  EXPECT_FALSE(document.loadString(std::u16string_view(text)));
  EXPECT_GE(document.resultLog().size(), 1000u);
  EXPECT_LT(document.resultLog().size(), 1100u);
  // Every element was handed up to the top level, in document order.
  int32_t count = 0;
  for (int32_t i = document.record(0).firstChild; i != 0; i = document.record(i).nextSibling) {
    ASSERT_EQ(i, count + 1);
    ++count;
  }
  EXPECT_EQ(count, depth);
  EXPECT_EQ(document.record(1).prevSibling, depth);
  expectSoundIndex(document);
}

TEST(BadInput, StartTagLongerThanItsField) {
  const std::u16string value(5000000, u'v');
  const std::u16string text = u"<a b='" + value + u"'>text<i/></a>";
  TagDocument document;
  EXPECT_TRUE(document.loadString(std::u16string_view(text)));
  EXPECT_EQ(document.startTagLength(1), 5000008);
  EXPECT_EQ(tag_lengths::startField(document.record(1).tagLengths), tag_lengths::kStartMax);
  document.findNextElement();
  EXPECT_EQ(document.innerMarkup(), u"text<i/>");
  EXPECT_EQ(document.attributeValue(u"b").size(), value.size());
  document.enterElement();
  ASSERT_TRUE(document.findNextElement());
  EXPECT_EQ(document.record(2).start, 5000012);
}

TEST(BadInput, EndTagLongerThanItsField) {
  const std::u16string text =
      u"<a>t<b>u</b  " + std::u16string(3000, u' ') + u"></a" + std::u16string(1100, u'\n') + u">";
  TagDocument document;
  EXPECT_TRUE(document.loadString(std::u16string_view(text)));
  EXPECT_EQ(document.endTagLength(2), 3006);
  EXPECT_EQ(document.endTagLength(1), 1104);
  EXPECT_EQ(tag_lengths::endField(document.record(1).tagLengths), tag_lengths::kEndMax);
  document.findNextElement();
  EXPECT_EQ(document.innerMarkup(), u"t<b>u</b  " + std::u16string(3000, u' ') + u">");
  document.enterElement();
  document.findNextElement();
  EXPECT_EQ(document.currentText(), u"u");
}

TEST(BadInput, LongTagsDoNotLeakIntoTheNextLoad) {
  TagDocument document;
  document.loadString(std::u16string_view(u"<a b='" + std::u16string(4200000, u'v') + u"'/>"));
  EXPECT_EQ(document.startTagLength(1), 4200009);
  document.loadString(u"<x/>");
  EXPECT_EQ(document.startTagLength(1), 4);
}

TEST(BadInput, ManyFaultsKeepTheLogShortAndTheIndexSound) {
  std::u16string text = u"<r>";
  for (int i = 0; i < 100000; ++i) text += u"<1></x><!x><a><![q>";
  TagDocument document;
  EXPECT_FALSE(document.loadString(std::u16string_view(text)));
  EXPECT_LT(document.resultLog().size(), 1100u);
  EXPECT_EQ(document.nextFreeIndex(), 100002);
  expectSoundIndex(document);
}

TEST(BadInput, GarbageFromEveryCharacterClass) {
  // A fixed pseudo-random mix of markup characters.
  const char16_t alphabet[] = u"<>/!?-[]CDA='\" a&;#x\u00e9\xd800\0";
  uint32_t state = 12345;
  for (int round = 0; round < 300; ++round) {
    std::u16string text;
    for (int i = 0; i < 200; ++i) {
      state = state * 1103515245 + 12345;
      text += alphabet[(state >> 16) % (sizeof alphabet / sizeof alphabet[0] - 1)];
    }
    TagDocument document;
    document.loadString(std::u16string_view(text));
    expectSoundIndex(document);
    walkEverything(document);
  }
}

}  // namespace

namespace {

// Every string the document hands out can be loaded back into the same document: the
// text is taken before the load empties the log or refills the text.
TEST(BadInput, LoadingTheDocumentsOwnStrings) {
  static const char16_t* kSource = u"<top a=\"&lt;m/&gt;\"><t>&lt;n&gt;x&lt;/n&gt;</t><i><o>y</o></i></top></extra>";
  // Walks to a string and returns it: held by the document (log, text) or returned by
  // value and kept in the second argument.
  using Pick = const char16_t* (*)(TagDocument&, std::u16string&);
  struct Case {
    const char* what;
    Pick pick;
    const char16_t* root;  // name of the root element after loading the string
  };
  const Case cases[] = {
      {"result log", [](TagDocument& d, std::u16string&) { return d.resultLog().c_str(); }, u"lone_end_tag"},
      {"whole text", [](TagDocument& d, std::u16string&) { return d.text().c_str(); }, u"top"},
      {"attribute value",
       [](TagDocument& d, std::u16string& s) {
         d.findNextElement();
         return (s = d.attributeValue(u"a")).c_str();
       },
       u"m"},
      {"current text",
       [](TagDocument& d, std::u16string& s) {
         d.findNextElement();
         d.enterElement();
         d.findNextElement(u"t");
         return (s = d.currentText()).c_str();
       },
       u"n"},
      {"inner markup",
       [](TagDocument& d, std::u16string& s) {
         d.findNextElement();
         d.enterElement();
         d.findNextElement(u"i");
         return (s = d.innerMarkup()).c_str();
       },
       u"o"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TagDocument document;
    document.loadString(kSource);
    std::u16string held;
    const std::u16string expected = c.pick(document, held);
    ASSERT_FALSE(expected.empty());
    document.loadString(kSource);
    document.loadString(c.pick(document, held));
    EXPECT_EQ(document.text(), expected);
    ASSERT_TRUE(document.findNextElement());
    EXPECT_EQ(document.currentName(), c.root);
    EXPECT_EQ(document.resultLog().find(u"no_root_element"), std::u16string::npos);
  }
  // A view into the middle of the log and of the text.
  TagDocument document;
  for (int own = 0; own < 2; ++own) {
    document.loadString(kSource);
    const std::u16string& held = own == 0 ? document.resultLog() : document.text();
    const std::u16string expected = held.substr(5);
    document.loadString(std::u16string_view(held).substr(5));
    EXPECT_EQ(document.text(), expected) << own;
  }
}

}  // namespace

}  // namespace xml
