#include "xml/TextFileStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "xml/CodePages.h"
#include "xml/IconvCodec.h"
#include "xml/ResultLog.h"
#include "xml/TextEncoding.h"
#include "xml/UnicodeForms.h"
#include "xml/Utf8.h"

namespace xml {

namespace {

using namespace result_mode;

constexpr int32_t kLargestChunk = 1 << 30;
constexpr std::size_t kLongestText = INT32_MAX - 1;  // what a document can index
constexpr std::size_t kMessageLimit = 100;
// Bytes of a character cut off by the end of a chunk that are left for the
// next chunk; more than that is not a character but damage.
constexpr std::size_t kMostHeldBytes = 3;
// How much of a file's start is read to find the encoding it declares.
constexpr std::size_t kDeclarationPeek = 4096;

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

// The system's message for an error, in UTF-16, cut at the first line break
// and after 100 characters.
std::u16string errorMessage(int error) {
  char buffer[256];
  std::string message = strerror_r(error, buffer, sizeof buffer);
  message = message.substr(0, message.find_first_of("\r\n"));
  const int units = convertText(u"", u"UTF-16", message.data(), static_cast<int>(message.size()), nullptr, 0);
  std::u16string text(static_cast<std::size_t>(units), u'\0');
  convertText(u"", u"UTF-16", message.data(), static_cast<int>(message.size()), text.data(), units);
  if (text.size() > kMessageLimit) {
    text.resize(kMessageLimit);
    if (isHighSurrogate(text.back())) text.pop_back();
  }
  return text;
}

void addFileErrorTo(std::u16string& log, int error) {
  addResultRecord(log, kTextIsMsg | kNumberIsN, u"file_error", errorMessage(error).c_str(), error, -1);
}

// Removes zero units in place; returns how many there were.
template <typename Unit>
std::size_t removeZeros(Unit* units, std::size_t count) {
  Unit* kept = std::remove(units, units + count, Unit{0});
  return static_cast<std::size_t>(units + count - kept);
}

// A file's start read as Latin-1, enough to find a declaration in ASCII.
std::u16string widenBytes(const unsigned char* bytes, std::size_t count) {
  return std::u16string(bytes, bytes + count);
}

int codePageOf(const std::u16string& name) {
  return codepages::resolveAnsi(std::max(codePageForName(name.c_str()), 0));
}

bool isWideUnicode(int codePage) {
  return codePage == kCodePageUtf16 || codePage == kCodePageUtf16BE || codePage == kCodePageUtf32Table ||
         codePage == kCodePageUtf32BE || codePage == kCodePageUtf32;
}

}  // namespace

TextFileStream::TextFileStream(int fd, int64_t fileSize, int flags, std::u16string encoding, int32_t chunkSize)
    : fd_(fd),
      fileSize_(fileSize),
      flags_(flags),
      chunkSize_(std::clamp(chunkSize, 0, kLargestChunk)),
      unitSize_((flags & (kUtf16LittleEndian | kUtf16BigEndian)) ? 2 : 1) {
  setEncoding(std::move(encoding));
}

TextFileStream::~TextFileStream() {
  if (fd_ < 0) return;
  if (writing_)
    finishWriting();
  else
    ::close(fd_);
}

void TextFileStream::setEncoding(std::u16string encoding) {
  encoding_ = std::move(encoding);
  codePage_ = codePageOf(encoding_);
  decoder_.reset();
  decoderMissing_ = false;
}

void TextFileStream::addRecord(uint32_t mode, const char16_t* name, const char16_t* text, int32_t number) {
  addResultRecord(log_, mode, name, text, number, -1);
}

void TextFileStream::addFileError(int error) { addFileErrorTo(log_, error); }

// ---------------------------------------------------------------- opening

std::unique_ptr<TextFileStream> TextFileStream::openForReading(const std::string& path, const std::u16string& encoding,
                                                               int32_t chunkSize, std::u16string& log) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat info {};
  if (fd < 0 || ::fstat(fd, &info) != 0) {
    addFileErrorTo(log, errno);
    if (fd >= 0) ::close(fd);
    return nullptr;
  }
  unsigned char head[kDeclarationPeek];
  ssize_t got;
  do {
    got = ::pread(fd, head, sizeof head, 0);
  } while (got < 0 && errno == EINTR);
  if (got < 0) {
    addFileErrorTo(log, errno);  // a directory, for one
    ::close(fd);
    return nullptr;
  }
  const auto n = static_cast<std::size_t>(got);

  int flags = 0;
  int64_t skip = 0;
  std::u16string name = encoding;
  if (n >= 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) {
    flags = kUtf8ByteOrderMark;
    skip = 3;
    name = u"UTF-8";
  } else if (n >= 2 && head[0] == 0xFF && head[1] == 0xFE) {
    flags = kUtf16LittleEndian;
    skip = 2;
    name = u"UTF-16";
  } else if (n >= 2 && head[0] == 0xFE && head[1] == 0xFF) {
    flags = kUtf16BigEndian;
    skip = 2;
    name = u"UTF-16BE";
  } else if (!name.empty()) {
    const int codePage = codePageOf(name);
    if (codePage == kCodePageUtf16) flags = kUtf16LittleEndian;
    if (codePage == kCodePageUtf16BE) flags = kUtf16BigEndian;
  } else if (n >= 4 && head[0] == '<' && head[1] == 0 && head[2] == '?' && head[3] == 0) {
    flags = kUtf16LittleEndian;  // "<?" of a declaration in UTF-16 without a mark
    name = u"UTF-16";
  } else if (n >= 4 && head[0] == 0 && head[1] == '<' && head[2] == 0 && head[3] == '?') {
    flags = kUtf16BigEndian;
    name = u"UTF-16BE";
  } else {
    // A declaration read from single bytes cannot truly name UTF-16 or UTF-32.
    name = detectDeclaredEncoding(widenBytes(head, n));
    if (isWideUnicode(codePageOf(name))) name.clear();
  }

  std::unique_ptr<TextFileStream> stream(
      new TextFileStream(fd, static_cast<int64_t>(info.st_size), flags, name, chunkSize));
  stream->filePosition_ = std::min<int64_t>(skip, stream->fileSize_);
  return stream;
}

std::unique_ptr<TextFileStream> TextFileStream::openForWriting(const std::string& path, const std::u16string& encoding,
                                                               std::u16string& log) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    addFileErrorTo(log, errno);
    return nullptr;
  }
  int flags = 0;
  const int codePage = codePageOf(encoding);
  if (!encoding.empty() && codePage == kCodePageUtf16) flags = kUtf16LittleEndian;
  if (codePage == kCodePageUtf16BE) flags = kUtf16BigEndian;
  std::unique_ptr<TextFileStream> stream(new TextFileStream(fd, 0, flags, encoding, kDefaultChunkSize));
  stream->writing_ = true;
  stream->encodingSettled_ = !encoding.empty();
  return stream;
}

// ---------------------------------------------------------------- reading

bool TextFileStream::readBytes(char* into, int64_t count, int64_t& got) {
  got = 0;
  while (got < count) {
    const ssize_t n =
        ::pread(fd_, into + got, static_cast<std::size_t>(count - got), static_cast<off_t>(filePosition_ + got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      addFileError(errno);
      return false;
    }
    if (n == 0) break;  // the file became shorter than it was
    got += n;
  }
  return true;
}

bool TextFileStream::readChunk(std::u16string& text) {
  for (;;) {
    log_.clear();
    if (chunkSize_ == 0) {
      addRecord(kTextIsEncoding | kNumberIsLength, u"read", encoding_.c_str(), 0);
      return true;
    }
    const int64_t left = std::max<int64_t>(fileSize_ - filePosition_, 0);
    int64_t bytes = std::min<int64_t>(chunkSize_, left);
    const bool last = bytes >= left;
    if (isUtf16() && !last && bytes % 2 != 0) bytes = bytes > 1 ? bytes - 1 : 2;  // whole units
    const bool read = isUtf16() ? readUtf16Chunk(text, bytes, last) : readByteChunk(text, bytes, last);
    // A chunk smaller than the character it began: read again, and more.
    if (!read || chunkUnits_ > 0 || bytes == 0 || chunkSize_ >= kLargestChunk) return read;
    chunkSize_ = std::min(chunkSize_ * 2, kLargestChunk);
  }
}

void TextFileStream::holdBack(int64_t rawUnits) {
  filePosition_ -= rawUnits * unitSize_;
  chunkUnits_ -= rawUnits;
  addRecord(kUpdateExisting | kNumberIsLength, u"read", nullptr, static_cast<int32_t>(chunkUnits_));
}

// Where the last `units` units of a chunk began in the chunk as read, counted
// from its end: the same unless NULs were taken out.
static int64_t rawTailLength(const std::string& raw, int unitSize, int64_t units) {
  if (raw.empty() || units == 0) return units;
  const int64_t total = static_cast<int64_t>(raw.size()) / unitSize;
  int64_t seen = 0;
  for (int64_t i = total - 1; i >= 0; --i) {
    bool zero = true;
    for (int b = 0; b < unitSize; ++b) zero = zero && raw[static_cast<std::size_t>(i * unitSize + b)] == 0;
    if (!zero && ++seen == units) return total - i;
  }
  return total;
}

bool TextFileStream::readUtf16Chunk(std::u16string& text, int64_t bytes, bool last) {
  last = last || rereading_;
  const std::size_t old = text.size();
  text.resize(old + static_cast<std::size_t>((bytes + 1) / 2));
  int64_t got = 0;
  if (!readBytes(reinterpret_cast<char*>(text.data() + old), bytes, got)) {
    text.resize(old);
    return false;
  }
  if (got < bytes) {
    fileSize_ = filePosition_ + got;
    last = true;
  }
  filePosition_ += got;
  const auto units = static_cast<std::size_t>(got / 2);
  text.resize(old + units);
  chunkUnits_ = static_cast<int64_t>(units);
  addRecord(kTextIsEncoding | kNumberIsLength, u"read", encoding_.c_str(), static_cast<int32_t>(units));

  rawBytes_.clear();
  char16_t* chunk = text.data() + old;
  if (std::find(chunk, chunk + units, u'\0') != chunk + units) {
    rawBytes_.assign(reinterpret_cast<const char*>(chunk), units * 2);
    const std::size_t removed = removeZeros(chunk, units);
    text.resize(text.size() - removed);
    addRecord(kNumberIsCount, u"nulls_removed", nullptr, static_cast<int32_t>(removed));
  }
  if (flags_ & kUtf16BigEndian) {
    for (std::size_t i = old; i < text.size(); ++i) text[i] = static_cast<char16_t>((text[i] >> 8) | (text[i] << 8));
    addRecord(0, u"endian_swap", nullptr, -1);
  }
  if (got % 2 != 0)  // a last byte with no partner
    addRecord(kTextIsEncoding, u"truncation_error", encoding_.c_str(), -1);
  if (!last && text.size() > old && isHighSurrogate(text.back())) {
    text.pop_back();
    holdBack(rawTailLength(rawBytes_, 2, 1));
  }
  return true;
}

bool TextFileStream::readByteChunk(std::u16string& text, int64_t bytes, bool last) {
  last = last || rereading_;
  bytes_.resize(static_cast<std::size_t>(bytes));
  int64_t got = 0;
  if (!readBytes(bytes_.data(), bytes, got)) return false;
  if (got < bytes) {
    fileSize_ = filePosition_ + got;
    last = true;
    bytes_.resize(static_cast<std::size_t>(got));
  }
  filePosition_ += got;
  chunkUnits_ = got;
  addRecord(kTextIsEncoding | kNumberIsLength, u"read", encoding_.c_str(), static_cast<int32_t>(got));

  rawBytes_.clear();
  if (bytes_.find('\0') != std::string::npos) {
    rawBytes_ = bytes_;
    const std::size_t removed = removeZeros(bytes_.data(), bytes_.size());
    bytes_.resize(bytes_.size() - removed);
    addRecord(kNumberIsCount, u"nulls_removed", nullptr, static_cast<int32_t>(removed));
  }

  const auto* data = reinterpret_cast<const unsigned char*>(bytes_.data());
  if (encoding_.empty() && !rereading_) {
    const utf8::Detection found = utf8::detect(data, bytes_.size());
    if (found == utf8::Detection::utf8 || (found == utf8::Detection::cutAtEnd && !last)) {
      setEncoding(u"UTF-8");
      addRecord(kUpdateExisting | kTextIsEncoding, u"read", u"UTF-8", -1);
    }
    addRecord(0, u"utf8_detection", nullptr, -1);
  }
  return decodeBytes(text, data, bytes_.size(), last);
}

bool TextFileStream::decodeBytes(std::u16string& text, const unsigned char* bytes, std::size_t count, bool last) {
  const std::size_t old = text.size();
  std::size_t held = 0;
  bool cannotTell = false;

  if (codePage_ == kCodePageUtf8) {
    if (!last) held = utf8::incompleteTail(bytes, count);
    text.resize(old + count - held);  // never more units than bytes
    const unicode::Converted r = unicode::utf8ToUtf16(bytes, count - held, text.data() + old, count - held);
    text.resize(old + r.produced);
  } else {
    if (!decoder_ && !decoderMissing_) {
      decoder_ = IconvCodec::open(
          codePage_ == kCodePageAnsi ? codepages::localeEncodingName().c_str() : codepages::iconvName(codePage_),
          IconvCodec::Direction::toUtf16);
      decoderMissing_ = !decoder_;
    }
    if (!decoder_) {
      // Nothing converts this code page; where its characters span bytes the
      // end of the chunk cannot be judged either.
      cannotTell = !last && codepages::maxIncompleteBytes(codePage_) > 0;
    } else {
      std::size_t consumed = 0;
      std::size_t produced = 0;
      bool endOfText = last;
      text.resize(old + count + 16);
      for (;;) {
        const IconvCodec::Result r = decoder_->convert(
            reinterpret_cast<const char*>(bytes) + consumed, count - consumed,
            reinterpret_cast<char*>(text.data() + old + produced), (text.size() - old - produced) * 2, endOfText);
        consumed += r.consumed;
        produced += r.produced / 2;
        if (r.outputFull) {
          text.resize(text.size() + (count - consumed) + 16);
          continue;
        }
        if (r.incomplete > kMostHeldBytes && !endOfText) {
          cannotTell = true;  // not a character cut short: read it as damage
          endOfText = true;
          continue;
        }
        held = r.incomplete;
        break;
      }
      text.resize(old + produced);
    }
  }

  if (held > 0) holdBack(rawTailLength(rawBytes_, 1, static_cast<int64_t>(held)));
  if (cannotTell) addRecord(kTextIsEncoding, u"truncation_error", encoding_.empty() ? u"ANSI" : encoding_.c_str(), -1);
  addRecord(kTextIsEncoding | kNumberIsLength, u"converted_to", u"UTF-16", static_cast<int32_t>(text.size() - old));
  return true;
}

void TextFileStream::feed(std::u16string* text, std::u16string* documentLog, bool retainText) {
  text_ = text;
  documentLog_ = documentLog;
  retainText_ = retainText;
}

void TextFileStream::appendToDocumentLog() {
  if (!documentLog_) return;
  std::size_t from = 0;
  while (from < log_.size() && documentLog_->size() < kResultLogLimit) {
    const std::size_t close = log_.find(u"/>", from);
    const std::size_t end = close == std::u16string::npos ? log_.size() : close + 2;
    documentLog_->append(log_, from, end - from);
    from = end;
  }
}

void TextFileStream::noteChunk(int64_t unit, int64_t byte) {
  // The encoding the chunk was decoded with: detection may have settled it on the way.
  if (chunkEncodings_.empty() || chunkEncodings_.back() != encoding_) chunkEncodings_.push_back(encoding_);
  const int name = static_cast<int>(chunkEncodings_.size()) - 1;
  if (!chunks_.empty() && chunks_.back().unit == unit) chunks_.pop_back();  // it gave nothing
  chunks_.push_back({unit, byte, name});
}

bool TextFileStream::readInto() {
  if (!text_ || atEnd()) return !failed_;
  const int64_t unit = droppedUnits_ + static_cast<int64_t>(text_->size());
  const int64_t byte = filePosition_;
  const bool read = readChunk(*text_);
  if (read) noteChunk(unit, byte);
  appendToDocumentLog();
  if (!read) failed_ = true;
  return read;
}

bool TextFileStream::refill(const char16_t*& text, int32_t& length, int32_t keepFrom, int32_t& dropped) {
  dropped = 0;
  if (!text_ || atEnd() || chunkSize_ == 0) return false;
  std::u16string& window = *text_;
  const std::size_t loaded = window.size();
  if (!retainText_ && keepFrom > 0) {
    dropped = static_cast<int32_t>(std::min<std::size_t>(static_cast<std::size_t>(keepFrom), loaded));
    window.erase(0, static_cast<std::size_t>(dropped));
    droppedUnits_ += dropped;
  }
  // Much of the text is still needed: the node is long, so read more at a time.
  if (window.size() * 2 > loaded) chunkSize_ = std::min(chunkSize_ * 2, kLargestChunk);

  const std::size_t before = window.size();
  while (window.size() == before && !atEnd()) {
    // Offsets into the whole text are 32-bit, dropped text included.
    if (static_cast<std::size_t>(droppedUnits_) + window.size() + static_cast<std::size_t>(chunkSize_) > kLongestText) {
      log_.clear();
      addFileError(EFBIG);
      appendToDocumentLog();
      failed_ = true;
      break;
    }
    const int64_t unit = droppedUnits_ + static_cast<int64_t>(window.size());
    const int64_t byte = filePosition_;
    if (readChunk(window))
      noteChunk(unit, byte);
    else
      failed_ = true;
    appendToDocumentLog();
    // A chunk that was all held back: take more next time.
    if (window.size() == before) chunkSize_ = std::min(chunkSize_ * 2, kLargestChunk);
  }
  text = window.data();
  length = static_cast<int32_t>(window.size());
  return window.size() > before;
}

bool TextFileStream::reread(int64_t from, int64_t to, std::u16string& text, int64_t& start) {
  text.clear();
  start = 0;
  if (fd_ < 0 || writing_ || chunks_.empty() || from < chunks_.front().unit || to < from) return false;
  const auto first = std::upper_bound(chunks_.begin(), chunks_.end(), from,
                                      [](int64_t unit, const ChunkStart& c) { return unit < c.unit; }) -
                     1;
  // The stream's reading state, given back afterwards.
  const int64_t position = filePosition_;
  const std::u16string encoding = encoding_;
  const std::u16string log = log_;
  const int64_t units = chunkUnits_;
  rereading_ = true;
  start = first->unit;
  bool ok = true;
  // A walk goes forward: a window of some size serves the elements that follow too.
  constexpr std::size_t kLeastWindow = 16384;
  for (auto chunk = first; ok && chunk != chunks_.end(); ++chunk) {
    if (start + static_cast<int64_t>(text.size()) >= to && text.size() >= kLeastWindow) break;
    const int64_t end = chunk + 1 != chunks_.end() ? (chunk + 1)->byte : position;
    filePosition_ = chunk->byte;
    // Chunks were cut at characters' ends, so each decodes on its own from the initial
    // state (a stateful encoding's shifts across a chunk's start are not kept).
    const std::u16string& name = chunkEncodings_[static_cast<std::size_t>(chunk->encodingName)];
    if (name != encoding_)
      setEncoding(name);
    else if (decoder_)
      decoder_->reset();
    log_.clear();
    const int64_t bytes = end - chunk->byte;
    ok = isUtf16() ? readUtf16Chunk(text, bytes, true) : readByteChunk(text, bytes, true);
  }
  rereading_ = false;
  filePosition_ = position;
  if (encoding != encoding_) setEncoding(encoding);
  log_ = log;
  chunkUnits_ = units;
  return ok && start + static_cast<int64_t>(text.size()) >= to;
}

// ---------------------------------------------------------------- writing

bool TextFileStream::writeBytes(const char* bytes, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(fd_, bytes + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      addFileError(errno);
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  filePosition_ += static_cast<int64_t>(count);
  fileSize_ = std::max(fileSize_, filePosition_);
  return true;
}

void TextFileStream::settleWriteEncoding(const char16_t* text, int32_t count) {
  if (encodingSettled_) return;
  encodingSettled_ = true;
  std::u16string declared = detectDeclaredEncoding(std::u16string(text, static_cast<std::size_t>(count)));
  setEncoding(declared.empty() ? std::u16string(u"UTF-8") : declared);
  if (codePage_ == kCodePageUtf16) flags_ = kUtf16LittleEndian;
  if (codePage_ == kCodePageUtf16BE) flags_ = kUtf16BigEndian;
  unitSize_ = isUtf16() ? 2 : 1;
}

bool TextFileStream::writeByteOrderMark() {
  if (byteOrderMarkWritten_) return true;
  byteOrderMarkWritten_ = true;
  if (flags_ & kUtf16LittleEndian) return writeBytes("\xFF\xFE", 2);
  if (flags_ & kUtf16BigEndian) return writeBytes("\xFE\xFF", 2);
  if (flags_ & kUtf8ByteOrderMark) return writeBytes("\xEF\xBB\xBF", 3);
  return true;
}

bool TextFileStream::writeChunk(const char16_t* text, int32_t count) {
  log_.clear();
  if (fd_ < 0 || !writing_) {
    addFileError(EBADF);
    return false;
  }
  if (text == nullptr) count = 0;
  if (count < 0) count = static_cast<int32_t>(std::char_traits<char16_t>::length(text));
  if (count == 0 && waiting_.empty()) {
    addRecord(kTextIsEncoding | kNumberIsLength, u"write", encoding_.c_str(), 0);
    return true;
  }
  settleWriteEncoding(text ? text : u"", count);
  if (!writeByteOrderMark()) return false;

  bool written;
  if (isUtf16()) {
    if (flags_ & kUtf16BigEndian) {
      std::u16string swapped(text, static_cast<std::size_t>(count));
      for (char16_t& unit : swapped) unit = static_cast<char16_t>((unit >> 8) | (unit << 8));
      addRecord(0, u"endian_swap", nullptr, -1);
      written = writeBytes(reinterpret_cast<const char*>(swapped.data()), swapped.size() * 2);
    } else {
      written = writeBytes(reinterpret_cast<const char*>(text), static_cast<std::size_t>(count) * 2);
    }
  } else {
    // A surrogate pair must not be cut in two by the end of a chunk.
    std::u16string units = std::move(waiting_);
    waiting_.clear();
    units.append(text ? text : u"", static_cast<std::size_t>(count));
    if (!finishing_ && !units.empty() && isHighSurrogate(units.back())) {
      waiting_.assign(1, units.back());
      units.pop_back();
    }
    bool loss = false;
    const int needed =
        convertText(u"UTF-16", encoding_.c_str(), units.data(), static_cast<int>(units.size()), nullptr, 0);
    // Units of the file's encoding: four bytes each for UTF-32.
    const auto unit = static_cast<std::size_t>(unitSizeOf(encoding_.c_str()));
    std::string bytes(static_cast<std::size_t>(needed) * unit, '\0');
    const int made = convertText(u"UTF-16", encoding_.c_str(), units.data(), static_cast<int>(units.size()),
                                 bytes.data(), needed, &loss);
    bytes.resize(static_cast<std::size_t>(std::max(made, 0)) * unit);
    addRecord(kTextIsEncoding | kNumberIsLength, u"converted_from", u"UTF-16", count);
    if (loss) addRecord(0, u"conversion_loss", nullptr, -1);
    written = writeBytes(bytes.data(), bytes.size());
  }
  if (!written) return false;
  addRecord(kTextIsEncoding | kNumberIsLength, u"write", encoding_.c_str(), count);
  return true;
}

bool TextFileStream::finishWriting() {
  if (fd_ < 0) return false;
  bool ok = true;
  if (writing_ && !waiting_.empty()) {
    finishing_ = true;
    ok = writeChunk(u"", 0);
  }
  if (::close(fd_) != 0) {
    addFileError(errno);
    ok = false;
  }
  fd_ = -1;
  return ok;
}

}  // namespace xml
