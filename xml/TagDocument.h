// The XML document: loading, navigating, editing and writing its elements.
#pragma once

#include "xml/AttributeScanner.h"
#include "xml/ElementRecord.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace xml {

class ElementTable;
class FileModeStream;
struct SavedPositions;

// An XML document kept as one UTF-16 text plus an index of its elements. Navigation
// works on offsets into the text; only returned strings are allocated.
class TagDocument {
 public:
  // Bits of options().
  static constexpr uint32_t kIgnoreCase = 0x08;
  static constexpr uint32_t kReadFileMode = 0x10;
  static constexpr uint32_t kWriteFileMode = 0x20;
  static constexpr uint32_t kTrimText = 0x100;
  static constexpr uint32_t kCollapseWhitespace = 0x200;

  // Mode bits of appendElement.
  static constexpr uint32_t kAppendAsCdata = 0x01;
  static constexpr uint32_t kAppendNoLineBreak = 0x02;
  static constexpr uint32_t kAppendSpaceBeforeSlash = 0x04;

  TagDocument();
  ~TagDocument();
  TagDocument(const TagDocument&) = delete;
  TagDocument& operator=(const TagDocument&) = delete;

  // Copies the text (null: none) and indexes it. True when it is well formed.
  bool loadString(const char16_t* text);
  // The same for a text that may hold NUL characters.
  bool loadString(std::u16string_view text);

  void rewind();
  bool findNextElement(const char16_t* name = nullptr);
  bool enterElement();
  bool leaveElement();

  std::u16string currentName() const;
  std::u16string attributeNameAt(int index) const;
  std::u16string attributeValue(const char16_t* name) const;
  std::u16string currentText() const;
  std::u16string innerMarkup() const;

  // Writing, as the result log uses it: a new last top-level element that becomes the
  // current one, and attributes set on the current element.
  bool appendElement(const char16_t* name, const char16_t* text = nullptr, uint32_t mode = kAppendNoLineBreak);
  bool setAttribute(const char16_t* name, const char16_t* value);
  bool setAttribute(const char16_t* name, int32_t value);

  // The text; in read-file mode only the window of the file's text held at the moment.
  const std::u16string& text() const { return text_; }
  const std::u16string& resultLog() const { return resultLog_; }
  uint32_t options() const { return options_; }
  void setOptions(uint32_t options) { options_ = options; }

  // The walk state and the index, for the movie call code's tracing and for checks.
  int32_t parentIndex() const { return parentIndex_; }
  int32_t currentIndex() const { return currentIndex_; }
  int32_t childIndex() const { return childIndex_; }
  int32_t nextFreeIndex() const { return nextFreeIndex_; }
  int32_t nodeKind() const { return nodeKind_; }
  int32_t nodeOffset() const { return nodeOffset_; }
  int32_t nodeLength() const { return nodeLength_; }
  const ElementTable& elements() const { return *elements_; }
  const ElementRecord& record(int32_t index) const;
  int32_t startTagLength(int32_t index) const;
  int32_t endTagLength(int32_t index) const;

  // Node-by-node position: a non-element node (text, CDATA, comment, ...) at the
  // given offset and length inside the current level. The reading operations honour it.
  void selectNode(int32_t kind, int32_t offset, int32_t length);

  // The file layer's stream, which refills (read-file mode) or drains (write-file
  // mode) the text; null outside the file modes.
  FileModeStream* fileStream() const { return fileStream_.get(); }

  // A document that writes no result log of its own: the scratch document through
  // which records are written into a result log (records about it would recurse).
  static std::unique_ptr<TagDocument> forResultLog();

  // ------------------------------------------------ file modes (TagDocumentFiles.cpp)
  // Read-file mode (kReadFileMode): the file is read in chunks, converted to UTF-16 and
  // indexed as it comes in, and text the scanner is done with is dropped; the document is
  // then walked as after loadString, reading an element's chunks again when it is read
  // (innerMarkup stays empty). closeFile leaves an empty document.
  // Write-file mode (kWriteFileMode): appendElement writes into the innermost element left
  // open (kAppendStartTagOnly), appendElement("/name") or leaveElement() writes its end
  // tag, and finished elements go to the file in chunks. encoding null or empty: the
  // file's byte-order mark or declaration decides (reading), the text's declaration or
  // UTF-8 (writing). chunkSize 0: 64 KiB. False when the file cannot be opened.
  static constexpr uint32_t kAppendStartTagOnly = 0x10;
  static constexpr uint32_t kAppendAsChild = 0x4000;
  bool openFile(const char16_t* path, uint32_t mode, const char16_t* encoding = nullptr, int32_t chunkSize = 0);
  // Ends the file mode; in write-file mode closes what is open and writes the rest.
  bool closeFile();

 protected:
  // Steps 4-6 of loadString: index the text held now and report well-formedness.
  // The file layer calls it after it has loaded the first chunk in read-file mode.
  bool indexText();

 private:
  friend int32_t parseDocument(TagDocument& document);
  struct QuietLog {};
  explicit TagDocument(QuietLog);

  void resetPosition();
  // Copies the text to index into text_ (safely when it lies in the document itself).
  bool loadText(std::u16string_view text);
  bool atElement() const { return currentIndex_ != 0 && nodeLength_ == 0; }
  bool fileMode() const { return (options_ & (kReadFileMode | kWriteFileMode)) != 0; }
  bool ignoreCase() const { return (options_ & kIgnoreCase) != 0; }
  // Where element `index` starts in text_, with its first `span` units loaded: in
  // read-file mode text_ is a window onto the file, moved by reading the file again.
  // -1 when that text cannot be had.
  int32_t startInText(int32_t index, int64_t span) const;
  std::u16string_view elementName(int32_t index) const;
  // Content of an element: from the end of its start tag to the start of its end tag.
  bool elementContent(int32_t index, int32_t& from, int32_t& to) const;
  std::u16string textOfElementContent(int32_t from, int32_t to) const;
  std::u16string textOfNode() const;
  std::u16string nameOfNode() const;
  // The attributes of the current element or processing-instruction node (cached).
  const std::vector<AttributeToken>* currentAttributes(int32_t* tagNameEnd = nullptr) const;
  void forgetAttributes() const { attributesOf_ = -1; }
  int32_t allocateRecord();
  // Write-file mode (TagDocumentFiles.cpp).
  bool appendElementToFile(const char16_t* name, const char16_t* text, uint32_t mode);
  bool closeElementsInFile(int32_t depth);
  bool writeFinishedText(bool everything);
  int32_t takeRecordForFile();
  void shiftAfterEdit(int32_t editedIndex, int32_t editOffset, int32_t delta);

  // The text; in read-file mode the window of the file's text that starts at
  // windowStart_ (reading operations move it, hence mutable).
  mutable std::u16string text_;
  mutable int32_t windowStart_ = 0;
  std::u16string resultLog_;
  int32_t parentIndex_ = 0;
  int32_t currentIndex_ = 0;
  int32_t childIndex_ = 0;
  int32_t nextFreeIndex_ = 1;
  int32_t freeListHead_ = 0;
  int32_t nodeKind_ = 0;
  int32_t nodeOffset_ = 0;
  int32_t nodeLength_ = 0;
  uint32_t options_ = 0;
  std::unique_ptr<FileModeStream> fileStream_;
  std::unique_ptr<SavedPositions> savedPositions_;
  std::unique_ptr<ElementTable> elements_;

  // Attributes of the tag last read, so reading attribute n of many stays linear.
  mutable std::vector<AttributeToken> attributes_;
  mutable int32_t attributesOf_ = -1;  // start offset of the tag they belong to
  mutable int32_t attributesTagNameEnd_ = 0;
  bool keepsResultLog_ = true;
};

}  // namespace xml
