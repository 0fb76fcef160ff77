#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "xml/ElementTable.h"
#include "xml/TagDocument.h"
#include "xml/TextEncoding.h"

namespace {

class FileModeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tessary-files-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    const char* locale = std::getenv("LC_ALL");
    savedLocale_ = locale ? std::optional<std::string>(locale) : std::nullopt;
    setenv("LC_ALL", "C.UTF-8", 1);
  }
  void TearDown() override {
    std::system(("rm -rf '" + folder_ + "'").c_str());
    if (savedLocale_)
      setenv("LC_ALL", savedLocale_->c_str(), 1);
    else
      unsetenv("LC_ALL");
  }

  std::u16string path(const std::string& name) const {
    const std::string p = folder_ + "/" + name;
    return std::u16string(p.begin(), p.end());
  }
  static std::string narrow(const std::u16string& p) { return std::string(p.begin(), p.end()); }
  void writeBytes(const std::u16string& file, const std::string& bytes) {
    std::ofstream(narrow(file), std::ios::binary) << bytes;
  }
  static std::string contents(const std::u16string& file) {
    std::ifstream in(narrow(file), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  std::string folder_;
  std::optional<std::string> savedLocale_;
};

std::string encode(const char16_t* encoding, const std::u16string& text) {
  if (codePageForName(encoding) == 1200) {  // counted in 16-bit units, not bytes
    std::string bytes;
    for (char16_t c : text) bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    return bytes;
  }
  const int n = convertText(u"UTF-16", encoding, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::string bytes(static_cast<std::size_t>(n), '\0');
  convertText(u"UTF-16", encoding, text.data(), static_cast<int>(text.size()), bytes.data(), n);
  return bytes;
}

// The tree as the reading operations see it: names, attributes, text.
void dumpLevel(TagDocument& document, std::u16string& out) {
  while (document.findNextElement()) {
    out += u"<" + document.currentName();
    for (int i = 0;; ++i) {
      const std::u16string name = document.attributeNameAt(i);
      if (name.empty()) break;
      out += u" " + name + u"=[" + document.attributeValue(name.c_str()) + u"]";
    }
    out += u">" + document.currentText();
    if (document.enterElement()) {
      dumpLevel(document, out);
      document.leaveElement();
    }
    out += u"</>";
  }
}

std::u16string dump(TagDocument& document) {
  document.rewind();
  std::u16string out;
  dumpLevel(document, out);
  return out;
}

// Writes the elements of one level of `from` through the writing operations.
void copyLevel(TagDocument& from, TagDocument& to) {
  constexpr uint32_t kPlain = TagDocument::kAppendNoLineBreak;
  while (from.findNextElement()) {
    const std::u16string name = from.currentName();
    std::vector<std::pair<std::u16string, std::u16string>> attributes;
    for (int i = 0;; ++i) {
      const std::u16string attribute = from.attributeNameAt(i);
      if (attribute.empty()) break;
      attributes.emplace_back(attribute, from.attributeValue(attribute.c_str()));
    }
    const std::u16string text = from.currentText();
    ASSERT_TRUE(from.enterElement());
    const bool hasChildren = from.findNextElement();
    from.rewind();
    if (hasChildren) {
      ASSERT_TRUE(to.appendElement(name.c_str(), nullptr, kPlain | TagDocument::kAppendStartTagOnly));
    } else {
      ASSERT_TRUE(to.appendElement(name.c_str(), text.empty() ? nullptr : text.c_str(), kPlain));
    }
    for (const auto& [attribute, value] : attributes)
      ASSERT_TRUE(to.setAttribute(attribute.c_str(), value.c_str()));
    if (hasChildren) {
      copyLevel(from, to);
      ASSERT_TRUE(to.appendElement((u"/" + name).c_str(), nullptr, kPlain));
    }
    from.leaveElement();
  }
}

// A random document of elements, attributes and text drawn from `alphabet`.
std::u16string randomDocument(std::mt19937& random, const std::u32string& alphabet, int depth = 0) {
  static const char16_t* const kNames[] = {u"item", u"a", u"list", u"name-x", u"k_1", u"v"};
  auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
  auto someText = [&](std::size_t most) {
    std::u16string text;
    const std::size_t n = pick(most);
    for (std::size_t i = 0; i < n; ++i) {
      switch (pick(12)) {
        case 0: text += u"&amp;"; break;
        case 1: text += u"&lt;"; break;
        case 2: text += u"&#x41;"; break;
        default: {
          const char32_t c = alphabet[pick(alphabet.size())];
          if (c < 0x10000) {
            text += static_cast<char16_t>(c);
          } else {
            text += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            text += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
          }
        }
      }
    }
    return text;
  };
  const std::u16string name = kNames[pick(std::size(kNames))];
  std::u16string element = u"<" + name;
  const std::size_t attributes = pick(3);
  for (std::size_t i = 0; i < attributes; ++i)
    element += u" at" + std::u16string(1, char16_t(u'0' + i)) + u"=\"" + someText(8) + u"\"";
  const std::size_t children = depth < 3 ? pick(4) : 0;
  if (children == 0 && pick(4) == 0) return element + u"/>";
  element += u">";
  if (children == 0) element += someText(30);
  for (std::size_t i = 0; i < children; ++i) {
    if (pick(2)) element += u"\n  ";
    element += randomDocument(random, alphabet, depth + 1);
  }
  return element + u"</" + name + u">";
}

struct Encoding {
  const char16_t* name;
  std::u32string alphabet;  // characters the encoding holds
};

// No double quote: the attribute values of the made-up documents are quoted with it.
const std::u32string kAscii = U"abcdefXYZ0123 .,;:!?-_'\n>";

std::vector<Encoding> encodings() {
  return {
      {u"UTF-8", kAscii + U"\u00E9\u4E2D\u6587\U0001F600\u0416"},
      {u"UTF-16", kAscii + U"\u00E9\u4E2D\u6587\U0001F600\u0416"},
      {u"UTF-16BE", kAscii + U"\u00E9\u4E2D\u6587\U0001F600\u0416"},
      {u"GB2312", kAscii + U"\u4E2D\u6587\u6C49\u5B57\u6D4B\u8BD5\u03B1\u3002"},
      {u"Shift_JIS", kAscii + U"\u65E5\u672C\u8A9E\u30C6\u30B9\u30C8\uFF71\uFF72"},
      {u"windows-1252", kAscii + U"\u00E9\u00FC\u00DF\u20AC\u00A9"},
  };
}

TEST_F(FileModeTest, WrittenFilesReadBackAsTheSameTree) {
  std::mt19937 random(11);
  for (const Encoding& encoding : encodings()) {
    for (int round = 0; round < 4; ++round) {
      const std::u16string original = randomDocument(random, encoding.alphabet);
      const std::u16string file = path("round.xml");
      SCOPED_TRACE(std::string(encoding.name, encoding.name + std::char_traits<char16_t>::length(encoding.name)) +
                   " round " + std::to_string(round));
      TagDocument source;
      source.loadString(original.c_str());
      const std::u16string expected = dump(source);

      TagDocument writer;
      ASSERT_TRUE(writer.openFile(file.c_str(), TagDocument::kWriteFileMode, encoding.name, 24));
      source.rewind();
      copyLevel(source, writer);
      ASSERT_TRUE(writer.closeFile());
      EXPECT_NE(writer.resultLog().find(u"<write encoding=\""), std::u16string::npos);

      for (int32_t chunk : {3, 7, 16}) {
        TagDocument reader;
        // UTF-16 files name themselves with their byte-order mark.
        const bool marked = codePageForName(encoding.name) == 1200 || codePageForName(encoding.name) == 1201;
        EXPECT_TRUE(reader.openFile(file.c_str(), TagDocument::kReadFileMode,
                                    marked ? nullptr : encoding.name, chunk));
        EXPECT_EQ(dump(reader), expected) << "chunk " << chunk;
        reader.closeFile();
      }
    }
  }
}

// Reading a file in chunks indexes exactly what loadString indexes.
void expectSameIndex(const TagDocument& read, const TagDocument& loaded) {
  ASSERT_EQ(read.text(), loaded.text());
  ASSERT_EQ(read.nextFreeIndex(), loaded.nextFreeIndex());
  for (int32_t i = 0; i < loaded.nextFreeIndex(); ++i) {
    const ElementRecord& a = read.record(i);
    const ElementRecord& b = loaded.record(i);
    EXPECT_EQ(a.start, b.start) << i;
    EXPECT_EQ(a.length, b.length) << i;
    EXPECT_EQ(read.startTagLength(i), loaded.startTagLength(i)) << i;
    EXPECT_EQ(read.endTagLength(i), loaded.endTagLength(i)) << i;
    EXPECT_EQ(a.flags, b.flags) << i;
    EXPECT_EQ(a.parent, b.parent) << i;
    EXPECT_EQ(a.firstChild, b.firstChild) << i;
    EXPECT_EQ(a.nextSibling, b.nextSibling) << i;
    EXPECT_EQ(a.prevSibling, b.prevSibling) << i;
  }
}

TEST_F(FileModeTest, ReadFileModeIndexesLikeLoadStringAtEveryChunkSize) {
  std::mt19937 random(5);
  for (const Encoding& encoding : encodings()) {
    std::u16string original = u"<?xml version=\"1.0\"?>\n<!-- made up --><root>";
    for (int i = 0; i < 3; ++i) original += randomDocument(random, encoding.alphabet);
    original += u"<![CDATA[ <x> ]]><open><lone/></wrong></root>";  // faults too
    const bool wide = codePageForName(encoding.name) == 1200 || codePageForName(encoding.name) == 1201;
    std::string bytes = encode(encoding.name, original);
    if (codePageForName(encoding.name) == 1200) bytes = "\xFF\xFE" + bytes;
    if (codePageForName(encoding.name) == 1201) bytes = "\xFE\xFF" + bytes;
    const std::u16string file = path("raw.xml");
    writeBytes(file, bytes);
    TagDocument loaded;
    const bool wellFormed = loaded.loadString(original.c_str());
    for (int32_t chunk = 1; chunk <= 17; chunk += 2) {
      SCOPED_TRACE(narrow(encoding.name) + " chunk " + std::to_string(chunk));
      TagDocument read;
      EXPECT_EQ(read.openFile(file.c_str(), TagDocument::kReadFileMode, wide ? nullptr : encoding.name, chunk),
                wellFormed);
      expectSameIndex(read, loaded);
      EXPECT_EQ(read.resultLog().find(u"truncation_error"), std::u16string::npos);
      // The parse's own records follow the chunks' records.
      EXPECT_NE(read.resultLog().find(u"<read encoding="), std::u16string::npos);
    }
  }
}

TEST_F(FileModeTest, ReadFileModeLogAndLimits) {
  const std::u16string file = path("a.xml");
  writeBytes(file, "<root><a x=\"1\">\xC3\xA9t\xC3\xA9</a><b/></root>");
  TagDocument document;
  ASSERT_TRUE(document.openFile(file.c_str(), TagDocument::kReadFileMode, nullptr, 1000));
  EXPECT_EQ(document.resultLog(),
            u"<read encoding=\"UTF-8\" length=\"35\"/><utf8_detection/>"
            u"<converted_to encoding=\"UTF-16\" length=\"33\"/>");
  EXPECT_FALSE(document.loadString(u"<x/>"));
  EXPECT_FALSE(document.openFile(file.c_str(), TagDocument::kReadFileMode));
  ASSERT_TRUE(document.findNextElement());
  ASSERT_TRUE(document.enterElement());
  ASSERT_TRUE(document.findNextElement(u"a"));
  EXPECT_EQ(document.currentText(), u"\u00E9t\u00E9");
  EXPECT_EQ(document.attributeValue(u"x"), u"1");
  EXPECT_EQ(document.innerMarkup(), u"");  // not in a file mode
  ASSERT_TRUE(document.closeFile());
  EXPECT_EQ(document.innerMarkup(), u"\u00E9t\u00E9");  // the document stays
  EXPECT_FALSE(document.closeFile());
}

TEST_F(FileModeTest, FilesThatCannotBeReadOrEndBadly) {
  TagDocument document;
  EXPECT_FALSE(document.openFile(path("missing.xml").c_str(), TagDocument::kReadFileMode));
  EXPECT_EQ(document.resultLog(), u"<file_error msg=\"No such file or directory\" n=\"2\"/>");
  EXPECT_FALSE(document.findNextElement());
  EXPECT_FALSE(document.openFile(path("").c_str(), TagDocument::kReadFileMode));
  EXPECT_EQ(document.resultLog(), u"<file_error msg=\"Is a directory\" n=\"21\"/>");
  EXPECT_FALSE(document.openFile(nullptr, TagDocument::kReadFileMode));
  EXPECT_FALSE(document.openFile(path("x").c_str(), 0x30));

  // A file cut inside a character and inside a tag.
  const std::u16string cut = path("cut.xml");
  writeBytes(cut, "<a><b>\xE4\xB8</b><c x=\"1");
  EXPECT_FALSE(document.openFile(cut.c_str(), TagDocument::kReadFileMode, u"UTF-8", 4));
  EXPECT_NE(document.resultLog().find(u"<unterminated_tag_syntax type=\"start_tag\""), std::u16string::npos);
  // <a> has no end tag, so <b> follows it as a sibling.
  ASSERT_TRUE(document.findNextElement(u"a"));
  ASSERT_TRUE(document.findNextElement(u"b"));
  EXPECT_EQ(document.currentText(), u"?");
  document.closeFile();

  // NULs, and a file that claims one encoding and holds another.
  const std::u16string lying = path("lying.xml");
  const char raw[] = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><a>\xC3\xA9\0\x82</a>";
  writeBytes(lying, std::string(raw, sizeof raw - 1));
  EXPECT_TRUE(document.openFile(lying.c_str(), TagDocument::kReadFileMode));
  EXPECT_NE(document.resultLog().find(u"<nulls_removed count=\"1\"/>"), std::u16string::npos);
  ASSERT_TRUE(document.findNextElement());
  EXPECT_EQ(document.currentName(), u"a");
  document.closeFile();
}

TEST_F(FileModeTest, WriteFileModeWritesStructureAndFlushesFinishedElements) {
  const std::u16string file = path("w.xml");
  TagDocument document;
  ASSERT_TRUE(document.openFile(file.c_str(), TagDocument::kWriteFileMode, u"UTF-8", 40));
  EXPECT_FALSE(document.loadString(u"<x/>"));
  constexpr uint32_t kPlain = TagDocument::kAppendNoLineBreak;
  ASSERT_TRUE(document.appendElement(u"root", nullptr, kPlain | TagDocument::kAppendStartTagOnly));
  ASSERT_TRUE(document.setAttribute(u"n", 7));
  for (int i = 0; i < 50; ++i) {
    // Into the innermost open element; "as a child" needs it to be the current one.
    const uint32_t child = i == 0 ? TagDocument::kAppendAsChild : 0;
    ASSERT_TRUE(document.appendElement(u"item", u"a<b", kPlain | child | TagDocument::kAppendStartTagOnly));
    ASSERT_TRUE(document.appendElement(u"leaf", nullptr, kPlain));
    ASSERT_TRUE(document.setAttribute(u"i", i));
    // A finished element takes no children.
    EXPECT_FALSE(document.appendElement(u"no", nullptr, kPlain | TagDocument::kAppendAsChild));
    ASSERT_TRUE(document.leaveElement());  // </item>
    // Finished elements have gone to the file; their records are used again.
    EXPECT_LT(document.text().size(), 80u);
    EXPECT_LT(document.nextFreeIndex(), 10);
  }
  EXPECT_FALSE(document.findNextElement());
  ASSERT_TRUE(document.appendElement(u"deep", nullptr, kPlain | TagDocument::kAppendStartTagOnly));
  ASSERT_TRUE(document.appendElement(u"deeper", nullptr, kPlain | TagDocument::kAppendStartTagOnly));
  EXPECT_FALSE(document.appendElement(u"/nothing", nullptr, kPlain));
  ASSERT_TRUE(document.appendElement(u"/deep", nullptr, kPlain));  // closes </deeper> too
  ASSERT_TRUE(document.appendElement(u"tail", u"\u00E9", kPlain));
  ASSERT_TRUE(document.closeFile());  // and </root>
  EXPECT_EQ(document.resultLog().substr(0, 16), u"<converted_from ");
  EXPECT_NE(document.resultLog().find(u"<write encoding=\"UTF-8\" length="), std::u16string::npos);

  std::string expected = "<root n=\"7\">";
  for (int i = 0; i < 50; ++i)
    expected += "<item>a&lt;b<leaf i=\"" + std::to_string(i) + "\"/></item>";
  expected += "<deep><deeper></deeper></deep><tail>\xC3\xA9</tail></root>";
  EXPECT_EQ(contents(file), expected);
}

TEST_F(FileModeTest, WriteFileModeLineBreaksAndAttributesOfWrittenElements) {
  const std::u16string file = path("breaks.xml");
  TagDocument document;
  ASSERT_TRUE(document.openFile(file.c_str(), TagDocument::kWriteFileMode, u"windows-1252", 1));
  ASSERT_TRUE(document.appendElement(u"r", nullptr, TagDocument::kAppendStartTagOnly));
  ASSERT_TRUE(document.appendElement(u"c", u"\u20AC\u4E2D"));
  EXPECT_EQ(document.resultLog(),
            u"<converted_from encoding=\"UTF-16\" length=\"5\"/>"
            u"<write encoding=\"windows-1252\" length=\"5\"/>");
  ASSERT_TRUE(document.leaveElement());
  // </r> closed an element whose start tag is in the file: no attributes now.
  EXPECT_FALSE(document.setAttribute(u"late", u"x"));
  ASSERT_TRUE(document.closeFile());
  EXPECT_EQ(contents(file), "<r>\r\n<c>\x80?</c></r>");
}

TEST_F(FileModeTest, ADocumentLeftInWriteFileModeStillFinishesItsFile) {
  const std::u16string file = path("left.xml");
  {
    TagDocument document;
    ASSERT_TRUE(document.openFile(file.c_str(), TagDocument::kWriteFileMode, u"GB2312"));
    ASSERT_TRUE(document.appendElement(u"a", nullptr, TagDocument::kAppendStartTagOnly |
                                                          TagDocument::kAppendNoLineBreak));
    ASSERT_TRUE(document.appendElement(u"b", u"\u4E2D"));
  }
  EXPECT_EQ(contents(file), "<a><b>\xD6\xD0</b></a>");

  // The mode bits without a file: nothing to write to, and no harm done.
  TagDocument bare;
  bare.setOptions(TagDocument::kWriteFileMode);
  EXPECT_FALSE(bare.appendElement(u"a"));
  EXPECT_FALSE(bare.leaveElement());
  EXPECT_FALSE(bare.closeFile());
}

TEST_F(FileModeTest, AFailedWriteIsReported) {
  TagDocument document;
  ASSERT_TRUE(document.openFile(u"/dev/full", TagDocument::kWriteFileMode, u"UTF-8", 1));
  EXPECT_TRUE(document.appendElement(u"a"));  // the current element waits in memory
  EXPECT_FALSE(document.appendElement(u"b"));
  EXPECT_NE(document.resultLog().find(u"<file_error msg=\"No space left on device\" n=\"28\"/>"),
            std::u16string::npos);
  EXPECT_FALSE(document.closeFile());
  EXPECT_FALSE(document.openFile(path("no/such/dir.xml").c_str(), TagDocument::kWriteFileMode));
  EXPECT_EQ(document.resultLog(), u"<file_error msg=\"No such file or directory\" n=\"2\"/>");
}

}  // namespace
