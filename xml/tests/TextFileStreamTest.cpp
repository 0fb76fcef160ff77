#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "xml/NodeScanner.h"
#include "xml/TextEncoding.h"
#include "xml/TextFileStream.h"
#include "xml/tests/ScratchFolderTest.h"

namespace xml {

namespace {

// A scratch folder of its own for every test.
class TextFileStreamTest : public testing::ScratchFolderTest {
 protected:
  std::string file(const std::string& name, const std::string& bytes) {
    const std::string path = folder_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  static std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
};

std::string utf16le(const std::u16string& text) {
  std::string bytes;
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

std::string utf16be(const std::u16string& text) {
  std::string bytes;
  for (char16_t c : text) {
    bytes += static_cast<char>(c >> 8);
    bytes += static_cast<char>(c & 0xFF);
  }
  return bytes;
}

std::string encode(const char16_t* encoding, const std::u16string& text) {
  const int n = convertText(u"UTF-16", encoding, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::string bytes(static_cast<std::size_t>(n), '\0');
  convertText(u"UTF-16", encoding, text.data(), static_cast<int>(text.size()), bytes.data(), n);
  return bytes;
}

// Reads a whole file chunk by chunk; the logs of the chunks are collected.
std::u16string readAll(TextFileStream& stream, std::vector<std::u16string>* logs = nullptr) {
  std::u16string text;
  for (int guard = 0; !stream.atEnd() && guard < 100000; ++guard) {
    EXPECT_TRUE(stream.readChunk(text));
    if (logs) logs->push_back(stream.chunkLog());
  }
  return text;
}

const std::u16string kSample =
    u"<?xml version=\"1.0\"?><doc a=\"\u00E9\u4E2D\"><p>\u65E5\u672C\u8A9E \U0001F600 "
    u"\u00FC\u00DF\u20AC</p><q>\u4E2D\u6587\u3002\u30A2</q></doc>";

TEST_F(TextFileStreamTest, ByteOrderMarksChooseTheEncoding) {
  std::u16string log;
  auto utf8 = TextFileStream::openForReading(file("a", "\xEF\xBB\xBF<a>\xC3\xA9</a>"), u"", 100, log);
  ASSERT_TRUE(utf8);
  EXPECT_EQ(utf8->flags(), TextFileStream::kUtf8ByteOrderMark);
  std::vector<std::u16string> logs;
  EXPECT_EQ(readAll(*utf8, &logs), u"<a>\u00E9</a>");
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(logs[0], u"<read encoding=\"UTF-8\" length=\"9\"/><converted_to encoding=\"UTF-16\" length=\"8\"/>");

  auto le =
      TextFileStream::openForReading(file("b", "\xFF\xFE" + utf16le(u"<a>\U0001F600</a>")), u"windows-1252", 100, log);
  ASSERT_TRUE(le);
  EXPECT_EQ(le->flags(), TextFileStream::kUtf16LittleEndian);
  logs.clear();
  EXPECT_EQ(readAll(*le, &logs), u"<a>\U0001F600</a>");
  EXPECT_EQ(logs[0], u"<read encoding=\"UTF-16\" length=\"9\"/>");

  auto be = TextFileStream::openForReading(file("c", "\xFE\xFF" + utf16be(u"<a>\u4E2D</a>")), u"", 100, log);
  ASSERT_TRUE(be);
  logs.clear();
  EXPECT_EQ(readAll(*be, &logs), u"<a>\u4E2D</a>");
  EXPECT_EQ(logs[0], u"<read encoding=\"UTF-16BE\" length=\"8\"/><endian_swap/>");
  EXPECT_EQ(log, u"");
}

TEST_F(TextFileStreamTest, DeclarationOrGivenNameChoosesTheEncoding) {
  std::u16string log;
  const std::u16string text = u"<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><a>\u65E5\u672C</a>";
  auto declared = TextFileStream::openForReading(file("a", encode(u"Shift_JIS", text)), u"", 7, log);
  ASSERT_TRUE(declared);
  EXPECT_EQ(declared->encoding(), u"Shift_JIS");
  EXPECT_EQ(readAll(*declared), text);

  // A given name wins over the declaration.
  auto given = TextFileStream::openForReading(file("b", encode(u"koi8-r", u"<?xml encoding=\"gb2312\"?>\u0416")),
                                              u"koi8-r", 100, log);
  ASSERT_TRUE(given);
  EXPECT_EQ(readAll(*given), u"<?xml encoding=\"gb2312\"?>\u0416");

  // A UTF-16 declaration written in single bytes is not believed.
  auto lying = TextFileStream::openForReading(file("c", "<?xml encoding=\"UTF-16\"?><a/>"), u"", 100, log);
  ASSERT_TRUE(lying);
  EXPECT_EQ(lying->flags(), 0);
  EXPECT_EQ(readAll(*lying), u"<?xml encoding=\"UTF-16\"?><a/>");

  // UTF-16 without a mark, known by its "<?".
  auto bare = TextFileStream::openForReading(file("d", utf16le(u"<?xml?><a/>")), u"", 100, log);
  ASSERT_TRUE(bare);
  EXPECT_EQ(readAll(*bare), u"<?xml?><a/>");
  EXPECT_EQ(log, u"");
}

TEST_F(TextFileStreamTest, ChunkEndingInsideAUtf8SequenceHoldsItsBytesBack) {
  std::u16string log;
  auto stream = TextFileStream::openForReading(file("a",
                                                    "abcd\xE4\xB8\xAD"
                                                    "ef"),
                                               u"", 5, log);
  ASSERT_TRUE(stream);
  std::u16string text;
  ASSERT_TRUE(stream->readChunk(text));
  EXPECT_EQ(text, u"abcd");
  EXPECT_EQ(stream->filePosition(), 4);
  EXPECT_EQ(stream->chunkLog(),
            u"<read encoding=\"UTF-8\" length=\"4\"/><utf8_detection/>"
            u"<converted_to encoding=\"UTF-16\" length=\"4\"/>");
  ASSERT_TRUE(stream->readChunk(text));
  EXPECT_EQ(text, u"abcd\u4E2Def");
  EXPECT_TRUE(stream->atEnd());
}

TEST_F(TextFileStreamTest, EveryChunkSizeReadsTheSameText) {
  struct Case {
    const char16_t* encoding;
    std::u16string text;
  };
  const std::vector<Case> cases = {
      {u"UTF-8", kSample},
      {u"Shift_JIS", u"<a x=\"\uFF71\">\u65E5\u672C\u8A9E\u30A2\u30A4abc\u3002</a>"},
      {u"GB2312", u"<a>\u4E2D\u6587\u3002\u4E2Da\u6587b</a>"},
      {u"gb18030", u"<a>\U0001F600\u4E2D\u00E9\U00020000</a>"},
      {u"euc-jp", u"<a>\u65E5\uFF71\u4E02\u672C</a>"},  // two and three bytes
      {u"iso-2022-jp", u"<a>\u65E5\u672C abc \u8A9E</a>"},
      {u"big5", u"<a>\u4E2D\u6587</a>"},
      {u"windows-1252", u"<a>\u00E9\u20AC\u00FC</a>"},
      {u"utf-7", u"<a>\u00E9\u4E2D x</a>"},
  };
  for (const Case& c : cases) {
    const std::string bytes = encode(c.encoding, c.text);
    const std::string path = file("f", bytes);
    for (int32_t chunk = 1; chunk <= 9; ++chunk) {
      SCOPED_TRACE(std::string(c.encoding, c.encoding + std::char_traits<char16_t>::length(c.encoding)) + " chunk " +
                   std::to_string(chunk));
      std::u16string log;
      auto stream = TextFileStream::openForReading(path, c.encoding, chunk, log);
      ASSERT_TRUE(stream);
      std::vector<std::u16string> logs;
      EXPECT_EQ(readAll(*stream, &logs), c.text);
      for (const std::u16string& l : logs) EXPECT_EQ(l.find(u"truncation_error"), std::u16string::npos);
    }
  }
  for (const std::string& bytes : {"\xFF\xFE" + utf16le(kSample), "\xFE\xFF" + utf16be(kSample)}) {
    const std::string path = file("w", bytes);
    for (int32_t chunk = 1; chunk <= 9; ++chunk) {
      std::u16string log;
      auto stream = TextFileStream::openForReading(path, u"", chunk, log);
      ASSERT_TRUE(stream);
      EXPECT_EQ(readAll(*stream), kSample) << chunk;
    }
  }
}

TEST_F(TextFileStreamTest, NulsAreRemovedAndCounted) {
  std::u16string log;
  auto stream = TextFileStream::openForReading(file("a", std::string("<a>\0b\0\0</a>", 11)), u"UTF-8", 100, log);
  ASSERT_TRUE(stream);
  std::u16string text;
  ASSERT_TRUE(stream->readChunk(text));
  EXPECT_EQ(text, u"<a>b</a>");
  EXPECT_EQ(stream->chunkLog(),
            u"<read encoding=\"UTF-8\" length=\"11\"/><nulls_removed count=\"3\"/>"
            u"<converted_to encoding=\"UTF-16\" length=\"8\"/>");

  // A NUL inside a character cut by the end of the chunk: the bytes read again
  // start where the character did.
  auto cut = TextFileStream::openForReading(file("b", std::string("ab\xE4\0\xB8\xAD", 6)), u"UTF-8", 4, log);
  ASSERT_TRUE(cut);
  EXPECT_EQ(readAll(*cut), u"ab\u4E2D");

  auto wide =
      TextFileStream::openForReading(file("c", "\xFF\xFE" + utf16le(std::u16string(u"a\0b", 3))), u"", 100, log);
  ASSERT_TRUE(wide);
  std::u16string wideText;
  ASSERT_TRUE(wide->readChunk(wideText));
  EXPECT_EQ(wideText, u"ab");
  EXPECT_EQ(wide->chunkLog(), u"<read encoding=\"UTF-16\" length=\"3\"/><nulls_removed count=\"1\"/>");
}

TEST_F(TextFileStreamTest, Utf16FilesEndingMidCharacter) {
  std::u16string log;
  // An odd last byte cannot be read; a surrogate cut by the end of the file
  // stays as it is.
  auto odd = TextFileStream::openForReading(file("a", "\xFF\xFE" + utf16le(u"ab") + "c"), u"", 100, log);
  ASSERT_TRUE(odd);
  std::u16string text;
  ASSERT_TRUE(odd->readChunk(text));
  EXPECT_EQ(text, u"ab");
  EXPECT_EQ(odd->chunkLog(), u"<read encoding=\"UTF-16\" length=\"2\"/><truncation_error encoding=\"UTF-16\"/>");
  // A high surrogate at the end of a chunk waits for its partner.
  auto pair = TextFileStream::openForReading(file("b", "\xFF\xFE" + utf16le(u"a\U0001F600")), u"", 4, log);
  ASSERT_TRUE(pair);
  std::u16string first;
  ASSERT_TRUE(pair->readChunk(first));
  EXPECT_EQ(first, u"a");
  EXPECT_EQ(pair->chunkLog(), u"<read encoding=\"UTF-16\" length=\"1\"/>");
  // A low surrogate at the end completes its pair: nothing is held back.
  auto whole = TextFileStream::openForReading(file("c", "\xFF\xFE" + utf16le(u"a\U0001F600b")), u"", 6, log);
  ASSERT_TRUE(whole);
  std::u16string both;
  ASSERT_TRUE(whole->readChunk(both));
  EXPECT_EQ(both, u"a\U0001F600");
  EXPECT_EQ(whole->chunkLog(), u"<read encoding=\"UTF-16\" length=\"3\"/>");
}

TEST_F(TextFileStreamTest, UndetectedTextIsReadInTheLocaleEncoding) {
  setenv("LC_ALL", "C", 1);
  std::u16string log;
  auto stream = TextFileStream::openForReading(file("a", "<a>caf\xE9</a>"), u"", 100, log);
  ASSERT_TRUE(stream);
  std::u16string text;
  ASSERT_TRUE(stream->readChunk(text));
  EXPECT_EQ(text, u"<a>caf?</a>");
  EXPECT_EQ(stream->encoding(), u"");
  EXPECT_EQ(stream->chunkLog(),
            u"<read encoding=\"\" length=\"11\"/><utf8_detection/>"
            u"<converted_to encoding=\"UTF-16\" length=\"11\"/>");
}

TEST_F(TextFileStreamTest, CutSequenceCountsAsUtf8OnlyWhileMoreChunksFollow) {
  std::u16string log;
  auto stream = TextFileStream::openForReading(file("a", "ab\xE4\xB8"), u"", 3, log);
  ASSERT_TRUE(stream);
  std::u16string text;
  ASSERT_TRUE(stream->readChunk(text));
  EXPECT_EQ(stream->encoding(), u"UTF-8");
  EXPECT_EQ(text, u"ab");
  ASSERT_TRUE(stream->readChunk(text));
  EXPECT_EQ(text, u"ab?");  // the file ends inside the character
  EXPECT_TRUE(stream->atEnd());
}

TEST_F(TextFileStreamTest, EncodingsThatCannotBeConverted) {
  std::u16string log;
  // A multi-byte code page iconv lacks: its chunk ends cannot be judged.
  auto mac = TextFileStream::openForReading(file("a", "<a>abcdef</a>"), u"x-mac-japanese", 4, log);
  ASSERT_TRUE(mac);
  std::u16string text;
  ASSERT_TRUE(mac->readChunk(text));
  EXPECT_EQ(text, u"");
  EXPECT_EQ(mac->chunkLog(),
            u"<read encoding=\"x-mac-japanese\" length=\"4\"/>"
            u"<truncation_error encoding=\"x-mac-japanese\"/>"
            u"<converted_to encoding=\"UTF-16\" length=\"0\"/>");
  // A name that does not exist reads as the locale's encoding.
  auto bogus = TextFileStream::openForReading(file("b", "<?xml encoding=\"no-such\"?><a>\xC3\xA9</a>"), u"", 100, log);
  ASSERT_TRUE(bogus);
  EXPECT_EQ(bogus->encoding(), u"no-such");
  std::vector<std::u16string> logs;
  EXPECT_EQ(readAll(*bogus, &logs), u"<?xml encoding=\"no-such\"?><a>\u00E9</a>");
  EXPECT_EQ(logs[0].substr(0, 41), u"<read encoding=\"no-such\" length=\"35\"/><co");
}

TEST_F(TextFileStreamTest, FilesThatCannotBeOpenedOrRead) {
  std::u16string log;
  EXPECT_FALSE(TextFileStream::openForReading(folder_ + "/missing.xml", u"", 100, log));
  EXPECT_EQ(log, u"<file_error msg=\"No such file or directory\" n=\"2\"/>");
  log.clear();
  EXPECT_FALSE(TextFileStream::openForReading(folder_, u"", 100, log));
  EXPECT_EQ(log, u"<file_error msg=\"Is a directory\" n=\"21\"/>");
  log.clear();
  EXPECT_FALSE(TextFileStream::openForWriting(folder_ + "/no/such/folder.xml", u"UTF-8", log));
  EXPECT_EQ(log, u"<file_error msg=\"No such file or directory\" n=\"2\"/>");
  if (geteuid() != 0) {
    const std::string locked = file("locked", "<a/>");
    chmod(locked.c_str(), 0);
    log.clear();
    EXPECT_FALSE(TextFileStream::openForReading(locked, u"", 100, log));
    EXPECT_EQ(log, u"<file_error msg=\"Permission denied\" n=\"13\"/>");
  }
}

TEST_F(TextFileStreamTest, AFileThatShrinksWhileRead) {
  std::u16string log;
  const std::string path = file("a", std::string(100, 'x'));
  auto stream = TextFileStream::openForReading(path, u"UTF-8", 30, log);
  ASSERT_TRUE(stream);
  std::u16string text;
  ASSERT_TRUE(stream->readChunk(text));
  ASSERT_EQ(truncate(path.c_str(), 40), 0);
  EXPECT_EQ(readAll(*stream), std::u16string(10, u'x'));
  EXPECT_TRUE(stream->atEnd());
  unlink(path.c_str());  // a vanished file reads no further either
  EXPECT_TRUE(stream->readChunk(text));
}

TEST_F(TextFileStreamTest, ChunkSizeZeroReadsNothing) {
  std::u16string log;
  auto stream = TextFileStream::openForReading(file("a", "<a/>"), u"UTF-8", 0, log);
  ASSERT_TRUE(stream);
  std::u16string text;
  EXPECT_TRUE(stream->readChunk(text));
  EXPECT_EQ(text, u"");
  EXPECT_EQ(stream->chunkLog(), u"<read encoding=\"UTF-8\" length=\"0\"/>");
  EXPECT_FALSE(stream->atEnd());
}

// The scanner, refilled from the file, finds the same nodes as over the whole
// text, while the text it holds stays small.
TEST_F(TextFileStreamTest, RefillDropsWhatTheScannerNoLongerNeeds) {
  std::u16string whole;
  for (int i = 0; i < 300; ++i)
    whole += u"<item n=\"" + std::u16string(1, char16_t(u'a' + i % 26)) + u"\">\u4E2D\u6587 " +
             std::u16string(static_cast<std::size_t>(i % 7), u'x') + u"</item><!-- c -->";
  std::vector<std::u16string> expected;
  NodeScanner plain(whole.data(), static_cast<int32_t>(whole.size()));
  for (NodeReport node = plain.next(); node.kind != node_kind::kEnd; node = plain.next())
    expected.push_back(whole.substr(static_cast<std::size_t>(node.offset), static_cast<std::size_t>(node.length)));

  std::u16string log;
  auto stream = TextFileStream::openForReading(file("a", encode(u"UTF-8", whole)), u"UTF-8", 16, log);
  ASSERT_TRUE(stream);
  std::u16string window, documentLog;
  stream->feed(&window, &documentLog, false);
  NodeScanner scanner(window.data(), 0);
  scanner.setRefill(stream.get());
  std::vector<std::u16string> found;
  std::size_t largestWindow = 0;
  for (NodeReport node = scanner.next(); node.kind != node_kind::kEnd; node = scanner.next()) {
    found.push_back(window.substr(static_cast<std::size_t>(node.offset), static_cast<std::size_t>(node.length)));
    largestWindow = std::max(largestWindow, window.size());
  }
  EXPECT_EQ(found, expected);
  EXPECT_LT(largestWindow, 200u);
  EXPECT_GT(stream->chunkSize(), 16);  // nodes longer than half a window doubled it
  EXPECT_EQ(documentLog.substr(0, 20), u"<read encoding=\"UTF-");
  EXPECT_LE(documentLog.size(), 1100u);
}

TEST_F(TextFileStreamTest, RetainedTextKeepsEverything) {
  std::u16string log;
  const std::u16string whole = u"<a>" + std::u16string(500, u'y') + u"</a>";
  auto stream = TextFileStream::openForReading(file("a", encode(u"UTF-8", whole)), u"UTF-8", 8, log);
  ASSERT_TRUE(stream);
  std::u16string window;
  stream->feed(&window, nullptr, true);
  NodeScanner scanner(window.data(), 0);
  scanner.setRefill(stream.get());
  int nodes = 0;
  for (NodeReport node = scanner.next(); node.kind != node_kind::kEnd; node = scanner.next()) ++nodes;
  EXPECT_EQ(nodes, 3);
  EXPECT_EQ(window, whole);
}

TEST_F(TextFileStreamTest, WritingConvertsAndRecordsEachChunk) {
  std::u16string log;
  const std::string path = folder_ + "/out.xml";
  auto stream = TextFileStream::openForWriting(path, u"windows-1252", log);
  ASSERT_TRUE(stream);
  ASSERT_TRUE(stream->writeChunk(u"<a>\u00E9\u20AC", -1));
  EXPECT_EQ(stream->chunkLog(),
            u"<converted_from encoding=\"UTF-16\" length=\"5\"/>"
            u"<write encoding=\"windows-1252\" length=\"5\"/>");
  ASSERT_TRUE(stream->writeChunk(u"\u4E2D</a>", 5));
  EXPECT_EQ(stream->chunkLog(),
            u"<converted_from encoding=\"UTF-16\" length=\"5\"/><conversion_loss/>"
            u"<write encoding=\"windows-1252\" length=\"5\"/>");
  ASSERT_TRUE(stream->writeChunk(u"", 0));
  EXPECT_EQ(stream->chunkLog(), u"<write encoding=\"windows-1252\" length=\"0\"/>");
  ASSERT_TRUE(stream->finishWriting());
  EXPECT_EQ(contents(path), "<a>\xE9\x80?</a>");
}

TEST_F(TextFileStreamTest, WritingUtf16AndSplitSurrogatePairs) {
  std::u16string log;
  const std::string be = folder_ + "/be.xml";
  auto stream = TextFileStream::openForWriting(be, u"UTF-16BE", log);
  ASSERT_TRUE(stream);
  ASSERT_TRUE(stream->writeChunk(u"<a>\u4E2D", -1));
  EXPECT_EQ(stream->chunkLog(), u"<endian_swap/><write encoding=\"UTF-16BE\" length=\"4\"/>");
  ASSERT_TRUE(stream->finishWriting());
  EXPECT_EQ(contents(be), "\xFE\xFF" + utf16be(u"<a>\u4E2D"));

  const std::string utf8 = folder_ + "/pair.xml";
  auto split = TextFileStream::openForWriting(utf8, u"UTF-8", log);
  const std::u16string text = u"x\U0001F600y";
  ASSERT_TRUE(split->writeChunk(text.data(), 2));
  ASSERT_TRUE(split->writeChunk(text.data() + 2, 2));
  ASSERT_TRUE(split->finishWriting());
  EXPECT_EQ(contents(utf8), "x\xF0\x9F\x98\x80y");
  EXPECT_EQ(log, u"");
}

TEST_F(TextFileStreamTest, AnUnnamedEncodingIsSettledByTheFirstWrite) {
  std::u16string log;
  const std::string declared = folder_ + "/gb.xml";
  auto stream = TextFileStream::openForWriting(declared, u"", log);
  ASSERT_TRUE(stream->writeChunk(u"<?xml version=\"1.0\" encoding=\"GB2312\"?><a>\u4E2D</a>", -1));
  EXPECT_EQ(stream->encoding(), u"GB2312");
  ASSERT_TRUE(stream->finishWriting());
  EXPECT_EQ(contents(declared), "<?xml version=\"1.0\" encoding=\"GB2312\"?><a>\xD6\xD0</a>");

  const std::string plain = folder_ + "/plain.xml";
  auto utf8 = TextFileStream::openForWriting(plain, u"", log);
  ASSERT_TRUE(utf8->writeChunk(u"<a>\u00E9</a>", -1));
  EXPECT_EQ(utf8->encoding(), u"UTF-8");
  ASSERT_TRUE(utf8->finishWriting());
  EXPECT_EQ(contents(plain), "<a>\xC3\xA9</a>");

  const std::string wide = folder_ + "/wide.xml";
  auto utf16 = TextFileStream::openForWriting(wide, u"", log);
  ASSERT_TRUE(utf16->writeChunk(u"<?xml encoding=\"UTF-16\"?><a/>", -1));
  ASSERT_TRUE(utf16->finishWriting());
  EXPECT_EQ(contents(wide), "\xFF\xFE" + utf16le(u"<?xml encoding=\"UTF-16\"?><a/>"));

  // UTF-32 units are four bytes each, little-endian, without a mark.
  const std::string utf32 = folder_ + "/utf32.xml";
  auto wider = TextFileStream::openForWriting(utf32, u"", log);
  const std::u16string declaring = u"<?xml encoding=\"UTF-32\"?><a>\U0001F600</a>";
  ASSERT_TRUE(wider->writeChunk(declaring.c_str(), -1));
  ASSERT_TRUE(wider->finishWriting());
  std::string expected;
  for (char32_t c : std::u32string(U"<?xml encoding=\"UTF-32\"?><a>\U0001F600</a>"))
    for (int shift = 0; shift < 32; shift += 8) expected += static_cast<char>((c >> shift) & 0xFF);
  EXPECT_EQ(contents(utf32), expected);
}

TEST_F(TextFileStreamTest, AFailedWriteIsAFileError) {
  std::u16string log;
  auto stream = TextFileStream::openForWriting("/dev/full", u"UTF-8", log);
  ASSERT_TRUE(stream);
  EXPECT_FALSE(stream->writeChunk(u"<a/>", -1));
  EXPECT_EQ(stream->chunkLog(),
            u"<converted_from encoding=\"UTF-16\" length=\"4\"/>"
            u"<file_error msg=\"No space left on device\" n=\"28\"/>");
}

}  // namespace

}  // namespace xml
