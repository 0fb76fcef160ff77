// Splits the document text into nodes (tags, text, comments, ...) one at a time.
#pragma once

#include <cstdint>
#include <string>

namespace xml {

// Kinds of node the scanner reports. The document's node-by-node position uses the
// same numbers (1 for an element, 128 for a lone end tag).
namespace node_kind {
inline constexpr int32_t kEndTag = 0;
inline constexpr int32_t kStartTag = 1;
inline constexpr int32_t kElement = 1;
inline constexpr int32_t kText = 2;
inline constexpr int32_t kWhitespace = 4;
inline constexpr int32_t kCdata = 8;
inline constexpr int32_t kProcessingInstruction = 16;
inline constexpr int32_t kComment = 32;
inline constexpr int32_t kDocumentType = 64;
inline constexpr int32_t kLoneEndTag = 128;
inline constexpr int32_t kFaulty = -1;
inline constexpr int32_t kEnd = -2;
}  // namespace node_kind

// Set on a start tag that ends with "/>".
inline constexpr uint32_t kEmptyElementTag = 0x10000;
// Set on an end tag that is exactly "</", the expected name and ">" (expectEndTag).
inline constexpr uint32_t kExpectedEndTag = 0x20000;

struct NodeReport {
  int32_t kind = node_kind::kEnd;
  int32_t offset = 0;
  int32_t length = 0;
  uint32_t flags = 0;
};

// In read-file mode the loaded text is only a window onto the file. When a node runs
// into the end of that window the scanner asks for more: the text before keepFrom may
// be dropped, the next chunk appended. The scanner then scans the node again.
class ScannerRefill {
 public:
  virtual ~ScannerRefill() = default;
  // Returns false when the file has no more text. Otherwise text and length describe
  // the new window and dropped is the number of units removed from its front.
  virtual bool refill(const char16_t*& text, int32_t& length, int32_t keepFrom, int32_t& dropped) = 0;
};

// Finds the next node of a UTF-16 text: one pass, no copying. Faults are written as
// result records into the scanner's own log; the node is then reported as faulty.
class NodeScanner {
 public:
  NodeScanner() = default;
  NodeScanner(const char16_t* text, int32_t length, int32_t offset = 0) { reset(text, length, offset); }

  void reset(const char16_t* text, int32_t length, int32_t offset = 0);
  // Reports the node at the current offset and moves the offset past it.
  NodeReport next() { return refill_ == nullptr ? scanOnce() : nextWithRefill(); }
  // Moves the offset over text and whitespace to the next '<' (or the end of the text):
  // for a reader that only wants the markup, the text nodes in between do not matter.
  void skipText();
  // skipText() and next() in one call: the next node that is not text or whitespace.
  NodeReport nextMarkup();
  // nextMarkup() inlined into a loop over a text that is never refilled
  // (NodeScannerLoop.h).
  NodeReport nextMarkupInText();

  int32_t offset() const { return offset_; }
  // Units dropped from the front of the text by refills so far: an offset into the text
  // plus base() is an offset into everything the scanner has been given.
  int32_t base() const { return base_; }
  const char16_t* text() const { return text_; }
  int32_t length() const { return length_; }

  // Name of the node last scanned (start tag, end tag, processing instruction):
  // offsets of its first and last character; last = first - 1 for an empty name.
  int32_t nameFirst() const { return nameFirst_; }
  int32_t nameLast() const { return nameLast_; }
  int32_t nameLength() const { return nameLast_ - nameFirst_ + 1; }

  // Fault records written so far (the reader of the log empties it as it consumes it).
  std::u16string& log() { return log_; }
  // Fault records are only worth writing while someone keeps them.
  void setRecordFaults(bool record) { recordFaults_ = record; }
  void setRefill(ScannerRefill* refill) { refill_ = refill; }
  bool refills() const { return refill_ != nullptr; }
  // The name the next end tag most likely has (the innermost open element's), or null.
  // An end tag that is exactly "</", that name and ">" is then taken in one comparison
  // and reported with kExpectedEndTag; any other end tag is scanned as usual.
  void expectEndTag(const char16_t* name, int32_t length) {
    expectedName_ = name;
    expectedLength_ = length;
  }

 private:
  NodeReport nextWithRefill();
  NodeReport scanOnce();
  NodeReport scanNode();  // scanOnce's body, inlined where nodes are scanned in a loop
  NodeReport scanStartTag(int32_t s);
  NodeReport scanEndTag(int32_t s);
  NodeReport scanProcessingInstruction(int32_t s);
  NodeReport scanExclamation(int32_t s);
  NodeReport scanDocumentType(int32_t s);
  NodeReport scanText(int32_t s);
  // Scans for '>' from `from`, accepting the one whose preceding characters are `tail`.
  NodeReport finishAtTerminator(int32_t s, int32_t from, int32_t kind, const char16_t* tail, int tailLength,
                                const char16_t* typeWord);
  NodeReport fault(int32_t s, int32_t at, const char16_t* recordName);
  NodeReport unterminated(int32_t s, const char16_t* typeWord);
  NodeReport node(int32_t kind, int32_t s, int32_t end, uint32_t flags = 0);

  const char16_t* text_ = nullptr;
  int32_t length_ = 0;
  int32_t offset_ = 0;
  int32_t base_ = 0;
  int32_t nameFirst_ = 0;
  int32_t nameLast_ = -1;
  bool reachedEnd_ = false;  // the last scan ran into the end of the text
  bool recordFaults_ = true;
  ScannerRefill* refill_ = nullptr;
  const char16_t* expectedName_ = nullptr;
  int32_t expectedLength_ = 0;
  std::u16string log_;
};

}  // namespace xml
