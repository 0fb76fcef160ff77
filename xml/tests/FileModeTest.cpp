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
#include "xml/TextFileStream.h"
#include "xml/tests/ScratchFolderTest.h"
#include "xml/tests/WellFormedCorpus.h"

namespace xml {

namespace {

class FileModeTest : public testing::ScratchFolderTest {
 protected:
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
};

std::string encode(const char16_t* encoding, const std::u16string& text) {
  if (codePageForName(encoding) == 1200) {  // counted in 16-bit units, not bytes
    std::string bytes;
    for (char16_t c : text) bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    return bytes;
  }
  const int n = convertText(u"UTF-16", encoding, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::string bytes(static_cast<std::size_t>(n * unitSizeOf(encoding)), '\0');
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
    for (const auto& [attribute, value] : attributes) ASSERT_TRUE(to.setAttribute(attribute.c_str(), value.c_str()));
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
  std::vector<Encoding> written = encodings();
  // Four bytes a unit, written through convertText's UTF-32 form. Read-file mode takes
  // zero bytes out of byte encodings, so these files are read back here by hand.
  written.push_back({u"UTF-32", kAscii + U"\u00E9\u4E2D\U0001F600"});
  for (const Encoding& encoding : written) {
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

      if (codePageForName(encoding.name) == 65005) {
        const std::string bytes = contents(file);
        std::u16string text(bytes.size() / 2, u'\0');
        text.resize(
            static_cast<std::size_t>(convertText(u"UTF-32", u"UTF-16", bytes.data(), static_cast<int>(bytes.size() / 4),
                                                 text.data(), static_cast<int>(text.size()))));
        TagDocument reader;
        reader.loadString(std::u16string_view(text));
        EXPECT_EQ(dump(reader), expected);
        continue;
      }
      for (int32_t chunk : {3, 7, 16}) {
        TagDocument reader;
        // UTF-16 files name themselves with their byte-order mark.
        const bool marked = codePageForName(encoding.name) == 1200 || codePageForName(encoding.name) == 1201;
        EXPECT_TRUE(reader.openFile(file.c_str(), TagDocument::kReadFileMode, marked ? nullptr : encoding.name, chunk));
        EXPECT_EQ(dump(reader), expected) << "chunk " << chunk;
        reader.closeFile();
      }
    }
  }
}

// Reading a file in chunks indexes exactly what loadString indexes.
// (Record 0 holds the length of the whole text; the read document holds only a window.)
void expectSameIndex(const TagDocument& read, const TagDocument& loaded) {
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

// Records the file layer adds to the log in front of each chunk, taken out.
std::u16string parseRecords(const std::u16string& log) {
  static const std::u16string kChunkRecords[] = {u"<read ", u"<utf8_detection", u"<converted_to ", u"<nulls_removed ",
                                                 u"<endian_swap"};
  std::u16string kept;
  for (std::size_t from = 0; from < log.size();) {
    const std::size_t end = std::min(log.find(u"/>", from), log.size() - 2) + 2;
    const std::u16string record = log.substr(from, end - from);
    bool chunk = false;
    for (const std::u16string& name : kChunkRecords) chunk = chunk || record.starts_with(name);
    if (!chunk) kept += record;
    from = end;
  }
  return kept;
}

// Every test document, streamed through read-file mode in chunks from one unit up (the
// scanner drops what it is done with and the walk reads chunks again), walks like the
// same text given to loadString: the same index, names, attributes and texts, and the
// same fault records at the same offsets of the whole text.
TEST_F(FileModeTest, ReadFileModeWalksLikeLoadStringOverEveryTestDocument) {
  std::vector<std::string> documents = well_formed_corpus::handWritten();
  for (unsigned seed = 1; seed <= 3; ++seed) documents.push_back(well_formed_corpus::generated(seed));
  documents.push_back(well_formed_corpus::deeplyNested(40));
  for (const char* faulty : {
           "<!DOCTYPE r [<!x><!ENTITY e '>'>]><r><a>x</b><c><1></r><tail/>",
           "<r><![x></r></r><!-x><q a='1>2'>t<![CDATA[c]]>u</q><open>",
           "<r>\xC3\xA9t\xC3\xA9 &amp; &#x1F600;<x/></r><r2 a=\"",
       })
    documents.push_back(faulty);
  for (std::size_t d = 0; d < documents.size(); ++d) {
    const std::string& bytes = documents[d];
    std::u16string text(bytes.size(), u'\0');
    text.resize(static_cast<std::size_t>(convertText(u"UTF-8", u"UTF-16", bytes.data(), static_cast<int>(bytes.size()),
                                                     text.data(), static_cast<int>(text.size()))));
    TagDocument loaded;
    loaded.loadString(std::u16string_view(text));
    // Read-file mode asks no more than that no fault was found.
    const bool wellFormed = (loaded.record(0).flags & element_flags::kNotWellFormed) == 0;
    const std::u16string expected = dump(loaded);
    const std::u16string records = loaded.resultLog();
    // The same text as UTF-8 bytes and as UTF-16 units.
    const std::u16string utf8 = path("doc.xml");
    writeBytes(utf8, bytes);
    const std::u16string utf16 = path("doc16.xml");
    writeBytes(utf16, "\xFF\xFE" + encode(u"UTF-16", text));
    for (int32_t chunk = 1; chunk <= static_cast<int32_t>(bytes.size() * 2 + 4);
         chunk = chunk < 8 ? chunk + 1 : chunk * 3 / 2) {
      for (const std::u16string* file : {&utf8, &utf16}) {
        SCOPED_TRACE("document " + std::to_string(d) + " chunk " + std::to_string(chunk) +
                     (file == &utf8 ? " UTF-8" : " UTF-16"));
        TagDocument read;
        EXPECT_EQ(read.openFile(file->c_str(), TagDocument::kReadFileMode, file == &utf8 ? u"UTF-8" : nullptr, chunk),
                  wellFormed);
        expectSameIndex(read, loaded);
        EXPECT_EQ(read.record(0).length, static_cast<int32_t>(text.size()));
        // The log holds 1,000 characters or a little more: the parse's records may be cut.
        const std::u16string found = parseRecords(read.resultLog());
        EXPECT_EQ(records.substr(0, found.size()), found);
        if (chunk > static_cast<int32_t>(bytes.size()) * 2) {
          EXPECT_EQ(found, records);
        }
        EXPECT_EQ(dump(read), expected);
        read.closeFile();
      }
    }
  }
}

// The text held is what the scanner still needs; the chunk grows only for a node longer
// than half of what was loaded.
TEST_F(FileModeTest, ReadFileModeHoldsAWindowAndGrowsTheChunkForLongNodes) {
  std::string small = "<r>";
  for (int i = 0; i < 2000; ++i) small += "<i a=\"" + std::to_string(i % 10) + "\">t</i>";
  small += "</r>";
  // A long start tag (a long text is not needed: the scanner skips it).
  const std::string large = "<r><t a=\"" + std::string(20000, 'x') + "\">t</t></r>";
  struct Case {
    const std::string* bytes;
    int32_t smallestChunk;  // the chunk size after the read
    int32_t largestChunk;
    std::size_t mostHeld;  // units of text held after the read
  };
  for (const Case& c : {Case{&small, 64, 64, 64}, Case{&large, 8192, 65536, 40000}}) {
    const std::u16string file = path("window.xml");
    writeBytes(file, *c.bytes);
    TagDocument document;
    ASSERT_TRUE(document.openFile(file.c_str(), TagDocument::kReadFileMode, u"UTF-8", 64));
    const auto* stream = static_cast<const TextFileStream*>(document.fileStream());
    EXPECT_GE(stream->chunkSize(), c.smallestChunk);
    EXPECT_LE(stream->chunkSize(), c.largestChunk);
    EXPECT_LE(document.text().size(), c.mostHeld);
    EXPECT_EQ(document.record(0).length, static_cast<int32_t>(c.bytes->size()));
    // Walking back to the first element reads its chunk again.
    ASSERT_TRUE(document.findNextElement());
    ASSERT_TRUE(document.enterElement());
    ASSERT_TRUE(document.findNextElement());
    EXPECT_EQ(document.currentName(), c.bytes == &small ? u"i" : u"t");
    EXPECT_EQ(document.currentText(), u"t");
    EXPECT_EQ(document.attributeValue(u"a").size(), c.bytes == &small ? 1u : 20000u);
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
  // The text was dropped as it was read: the document is left empty, with its log.
  EXPECT_EQ(document.innerMarkup(), u"");
  EXPECT_FALSE(document.findNextElement());
  EXPECT_NE(document.resultLog().find(u"<read encoding="), std::u16string::npos);
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
  for (int i = 0; i < 50; ++i) expected += "<item>a&lt;b<leaf i=\"" + std::to_string(i) + "\"/></item>";
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
    ASSERT_TRUE(
        document.appendElement(u"a", nullptr, TagDocument::kAppendStartTagOnly | TagDocument::kAppendNoLineBreak));
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
  EXPECT_NE(document.resultLog().find(u"<file_error msg=\"No space left on device\" n=\"28\"/>"), std::u16string::npos);
  EXPECT_FALSE(document.closeFile());
  EXPECT_FALSE(document.openFile(path("no/such/dir.xml").c_str(), TagDocument::kWriteFileMode));
  EXPECT_EQ(document.resultLog(), u"<file_error msg=\"No such file or directory\" n=\"2\"/>");
}

}  // namespace

}  // namespace xml
