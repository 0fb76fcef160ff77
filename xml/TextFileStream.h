// A text file read or written in chunks, converted to and from UTF-16.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <vector>

#include "xml/FileModeStream.h"
#include "xml/WrittenTagStack.h"

namespace xml {

class IconvCodec;

// A text file read or written in chunks, converted between the file's encoding
// and UTF-16. Each chunk writes its result records ("read", "nulls_removed",
// "endian_swap", "utf8_detection", "truncation_error", "converted_to",
// "write", "converted_from", "conversion_loss", "file_error") into the
// stream's own log, which is emptied at the start of the next chunk.
class TextFileStream : public FileModeStream {
 public:
  // Encoding flags.
  static constexpr int kUtf16LittleEndian = 0x01;
  static constexpr int kUtf8ByteOrderMark = 0x04;
  static constexpr int kUtf16BigEndian = 0x80;

  static constexpr int32_t kDefaultChunkSize = 64 * 1024;

  // Opens a file to read. Its encoding is taken from a byte-order mark, else
  // from `encoding`, else from the declaration at the start of the text; when
  // none of them names one, each chunk is tested for UTF-8 (and otherwise
  // read in the locale's encoding). Null when the file cannot be opened, with
  // a "file_error" record in `log`.
  static std::unique_ptr<TextFileStream> openForReading(const std::string& path, const std::u16string& encoding,
                                                        int32_t chunkSize, std::u16string& log);

  // Opens (creates or empties) a file to write in `encoding`: UTF-16 files
  // ("UTF-16", "UTF-16BE" ...) start with a byte-order mark; an empty name is
  // settled at the first write, from the text's declaration or as UTF-8.
  static std::unique_ptr<TextFileStream> openForWriting(const std::string& path, const std::u16string& encoding,
                                                        std::u16string& log);

  ~TextFileStream() override;
  TextFileStream(const TextFileStream&) = delete;
  TextFileStream& operator=(const TextFileStream&) = delete;

  // Reads the next chunk and appends its UTF-16 text to `text`. False when
  // the read failed ("file_error"); true otherwise, also at the end.
  bool readChunk(std::u16string& text);
  bool atEnd() const { return failed_ || filePosition_ >= fileSize_; }

  // Read-file mode: refill() appends chunks to `text`, and each chunk's
  // records are added to `documentLog` while it has room. With `retainText`
  // nothing is dropped from the front of the text (the document's index
  // refers to all of it); otherwise the text before the scanner's oldest
  // needed offset is dropped when the next chunk comes in.
  void feed(std::u16string* text, std::u16string* documentLog, bool retainText);
  bool refill(const char16_t*& text, int32_t& length, int32_t keepFrom, int32_t& dropped) override;
  // Reads the next chunk into the fed text and log; false when the read failed.
  bool readInto();
  // Units dropped from the front of the fed text so far: the fed text starts at this
  // offset of the file's whole text.
  int64_t droppedUnits() const { return droppedUnits_; }
  // Reads again the chunks that hold units [from, to) of the file's whole text, as
  // they were read the first time, into `text`; `start` is the offset of its first
  // unit. False when the range was never read or the file cannot be read again.
  bool reread(int64_t from, int64_t to, std::u16string& text, int64_t& start);

  // Converts and writes `count` units of text (-1: up to the first NUL). A
  // high surrogate at the very end waits for the next chunk. False when the
  // write failed.
  bool writeChunk(const char16_t* text, int32_t count) override;
  // Writes what still waits and closes the file; false when that failed.
  bool finishWriting();

  // Write-file mode's bookkeeping, kept here with the file: the elements left
  // open, and the records whose text has not been written yet, in order.
  WrittenTagStack& openTags() { return openTags_; }
  std::vector<int32_t>& unwrittenRecords() { return unwrittenRecords_; }

  const std::u16string& chunkLog() const override { return log_; }
  int flags() const { return flags_; }
  const std::u16string& encoding() const { return encoding_; }
  int64_t filePosition() const { return filePosition_; }
  int64_t fileSize() const { return fileSize_; }
  int32_t chunkSize() const { return chunkSize_; }
  void setChunkSize(int32_t bytes) { chunkSize_ = bytes < 0 ? 0 : bytes; }

 private:
  TextFileStream(int fd, int64_t fileSize, int flags, std::u16string encoding, int32_t chunkSize);

  bool isUtf16() const { return (flags_ & (kUtf16LittleEndian | kUtf16BigEndian)) != 0; }
  void setEncoding(std::u16string encoding);
  void addRecord(uint32_t mode, const char16_t* name, const char16_t* text, int32_t number);
  void addFileError(int error);
  bool readBytes(char* into, int64_t count, int64_t& got);
  bool readUtf16Chunk(std::u16string& text, int64_t bytes, bool last);
  bool readByteChunk(std::u16string& text, int64_t bytes, bool last);
  // Moves the file position back over the last `rawUnits` units of the chunk
  // just read, for the next chunk to read again, and records the new length.
  void holdBack(int64_t rawUnits);
  bool decodeBytes(std::u16string& text, const unsigned char* bytes, std::size_t count, bool last);
  void appendToDocumentLog();
  bool writeBytes(const char* bytes, std::size_t count);
  bool writeByteOrderMark();
  void settleWriteEncoding(const char16_t* text, int32_t count);

  int fd_;
  int64_t fileSize_;
  int64_t filePosition_ = 0;
  int flags_;
  std::u16string encoding_;
  int codePage_ = 0;  // encoding_ resolved (0: the locale's, unknown to the table)
  int32_t chunkSize_;
  int unitSize_;
  bool failed_ = false;  // a read failed; nothing more comes from this file
  std::u16string log_;

  // Reading.
  std::unique_ptr<IconvCodec> decoder_;  // keeps the shift state from chunk to chunk
  bool decoderMissing_ = false;
  std::string bytes_;       // the current chunk of a byte encoding
  std::string rawBytes_;    // the chunk as read, kept when NULs were removed
  int64_t chunkUnits_ = 0;  // units of the current chunk as read
  std::u16string* text_ = nullptr;
  std::u16string* documentLog_ = nullptr;
  bool retainText_ = true;
  int64_t droppedUnits_ = 0;
  bool rereading_ = false;  // the chunk's end is known to be a character's end
  // Where each chunk read into the fed text began, for reading it again.
  struct ChunkStart {
    int64_t unit;      // offset in the file's whole text
    int64_t byte;      // file position
    int encodingName;  // index into chunkEncodings_
  };
  std::vector<ChunkStart> chunks_;
  std::vector<std::u16string> chunkEncodings_;
  void noteChunk(int64_t unit, int64_t byte);

  // Writing.
  bool writing_ = false;
  bool finishing_ = false;  // the last write: nothing waits any longer
  bool encodingSettled_ = false;
  bool byteOrderMarkWritten_ = false;
  std::u16string waiting_;  // a high surrogate whose partner comes with the next chunk
  WrittenTagStack openTags_;
  std::vector<int32_t> unwrittenRecords_;
};

}  // namespace xml
