// The two file modes of TagDocument: reading a file in chunks into the index,
// and writing elements to a file as they are finished.

#include <string>

#include "xml/ElementTable.h"
#include "xml/EntityCodec.h"
#include "xml/NodeScanner.h"
#include "xml/TagDocument.h"
#include "xml/TextEncoding.h"
#include "xml/TextFileStream.h"

namespace xml {

namespace {

using namespace element_flags;

// File names are handed to the C library in UTF-8.
std::string utf8Path(const char16_t* path) {
  const int length = static_cast<int>(std::char_traits<char16_t>::length(path));
  const int bytes = convertText(u"UTF-16", u"UTF-8", path, length, nullptr, 0);
  std::string converted(static_cast<std::size_t>(bytes), '\0');
  convertText(u"UTF-16", u"UTF-8", path, length, converted.data(), bytes);
  return converted;
}

// The document's stream in a file mode is always a text file stream.
TextFileStream& fileOf(FileModeStream* stream) { return *static_cast<TextFileStream*>(stream); }

}  // namespace

bool TagDocument::openFile(const char16_t* path, uint32_t mode, const char16_t* encoding, int32_t chunkSize) {
  if (fileMode() || path == nullptr || path[0] == 0 || (mode != kReadFileMode && mode != kWriteFileMode)) return false;
  loadString(nullptr);  // an empty document, positions reset, table released
  resultLog_.clear();
  const std::string file = utf8Path(path);
  const std::u16string name = encoding ? encoding : u"";
  const int32_t chunk = chunkSize > 0 ? chunkSize : TextFileStream::kDefaultChunkSize;

  if (mode == kReadFileMode) {
    std::unique_ptr<TextFileStream> stream = TextFileStream::openForReading(file, name, chunk, resultLog_);
    if (!stream) return false;
    // The scanner drops the text it is done with; the index keeps offsets into the whole
    // text, and reading an element later reads its chunks again.
    stream->feed(&text_, &resultLog_, false);
    stream->readInto();
    TextFileStream& reader = *stream;
    fileStream_ = std::move(stream);
    options_ |= kReadFileMode;
    const bool wellFormed = indexText();
    windowStart_ = static_cast<int32_t>(reader.droppedUnits());
    elements_->at(0).length = windowStart_ + static_cast<int32_t>(text_.size());
    return wellFormed;
  }

  std::unique_ptr<TextFileStream> stream = TextFileStream::openForWriting(file, name, resultLog_);
  if (!stream) return false;
  stream->setChunkSize(chunk);
  stream->openTags().reset(ignoreCase());
  fileStream_ = std::move(stream);
  options_ |= kWriteFileMode;
  return true;
}

bool TagDocument::closeFile() {
  if (!fileMode() || !fileStream_) return false;
  bool written = true;
  if (options_ & kWriteFileMode) {
    TextFileStream& file = fileOf(fileStream_.get());
    if (file.openTags().depth() > 0) written = closeElementsInFile(1);
    currentIndex_ = 0;
    written = writeFinishedText(true) && written;
    if (!file.finishWriting()) {
      resultLog_ = file.chunkLog();
      written = false;
    }
  }
  fileStream_.reset();
  options_ &= ~(kReadFileMode | kWriteFileMode);
  {
    // The text went to the file, or was read and dropped chunk by chunk: the index would
    // describe a text the document no longer holds. What stays is the log.
    const std::u16string log = resultLog_;
    loadString(nullptr);
    resultLog_ = log;
    freeListHead_ = 0;
  }
  return written;
}

int32_t TagDocument::takeRecordForFile() {
  if (freeListHead_ != 0) {
    const int32_t index = freeListHead_;
    freeListHead_ = elements_->at(index).nextSibling;
    return index;
  }
  return allocateRecord();
}

bool TagDocument::appendElementToFile(const char16_t* name, const char16_t* text, uint32_t mode) {
  if (name == nullptr || name[0] == 0 || !fileStream_) return false;
  TextFileStream& file = fileOf(fileStream_.get());
  WrittenTagStack& open = file.openTags();
  if (name[0] == u'/') {
    const int32_t depth = open.find(name + 1);
    return depth != 0 && closeElementsInFile(depth);
  }
  // Children can only go into an element whose end tag is still to come.
  if ((mode & kAppendAsChild) && (currentIndex_ == 0 || open.top().record != currentIndex_)) return false;

  const std::u16string_view tagName(name);
  const bool startTagOnly = (mode & kAppendStartTagOnly) != 0;
  std::u16string element = u"<";
  element += tagName;
  int32_t startTag = 0;
  int32_t endTag = 0;
  if (text == nullptr && !startTagOnly) {
    element += (mode & kAppendSpaceBeforeSlash) ? u" />" : u"/>";
    startTag = static_cast<int32_t>(element.size());
  } else {
    element += u'>';
    startTag = static_cast<int32_t>(element.size());
    if (text != nullptr) element += (mode & kAppendAsCdata) ? wrapCdata(text) : encodeEntities(text, 0);
    if (!startTagOnly) {
      const std::size_t endStart = element.size();
      element += u"</";
      element += tagName;
      element += u'>';
      endTag = static_cast<int32_t>(element.size() - endStart);
    }
  }
  if (text_.size() + element.size() + 2 > static_cast<std::size_t>(INT32_MAX - 1)) return false;
  const int32_t index = takeRecordForFile();
  if (index == 0) return false;

  WrittenTagStack::Entry& parentEntry = open.top();
  const int32_t parent = parentEntry.record;
  ElementRecord& record = elements_->at(index);
  record = ElementRecord{};
  record.start = static_cast<int32_t>(text_.size());
  record.length = static_cast<int32_t>(element.size());
  record.flags = ((elements_->at(0).flags & kLevelMask) + open.depth()) & kLevelMask;
  if (startTagOnly) record.flags |= kNoEndTag;  // until its end tag is written
  record.parent = parent;
  elements_->setTagLengths(index, startTag, endTag);
  ElementRecord& parentRecord = elements_->at(parent);
  if (parentRecord.firstChild == 0) {
    parentRecord.firstChild = index;
    record.prevSibling = index;
    record.flags |= kFirstChild;
  } else {
    elements_->at(parentEntry.lastChild).nextSibling = index;
    record.prevSibling = parentEntry.lastChild;
    elements_->at(parentRecord.firstChild).prevSibling = index;
  }
  parentEntry.lastChild = index;

  text_ += element;
  if ((mode & kAppendNoLineBreak) == 0) text_ += u"\r\n";
  file.unwrittenRecords().push_back(index);
  if (startTagOnly) open.push(index, tagName);

  forgetAttributes();
  parentIndex_ = parent;
  currentIndex_ = index;
  childIndex_ = 0;
  nodeKind_ = node_kind::kElement;
  nodeOffset_ = 0;
  nodeLength_ = 0;
  return writeFinishedText(false);
}

// Writes the end tags of the open elements from the innermost one out to the
// one at `depth` (-1: the innermost only).
bool TagDocument::closeElementsInFile(int32_t depth) {
  if (!fileStream_) return false;
  TextFileStream& file = fileOf(fileStream_.get());
  WrittenTagStack& open = file.openTags();
  if (depth < 0) depth = open.depth();
  if (depth < 1 || depth > open.depth()) return false;
  int32_t closed = 0;
  while (open.depth() >= depth) {
    const WrittenTagStack::Entry& entry = open.top();
    closed = entry.record;
    const std::u16string endTag = u"</" + entry.name + u">";
    text_ += endTag;
    ElementRecord& record = elements_->at(closed);
    record.flags &= ~kNoEndTag;
    record.length = static_cast<int32_t>(text_.size()) - record.start;
    elements_->setEndTagLength(closed, static_cast<int32_t>(endTag.size()));
    open.pop();
  }
  // The closed element stays current while its start tag is still in memory
  // (attributes can be set on it); otherwise the position is after it.
  forgetAttributes();
  const ElementRecord& record = elements_->at(closed);
  parentIndex_ = record.parent;
  currentIndex_ = (record.flags & kWrittenOut) ? 0 : closed;
  childIndex_ = 0;
  nodeKind_ = currentIndex_ != 0 ? node_kind::kElement : 0;
  nodeOffset_ = 0;
  nodeLength_ = 0;
  return writeFinishedText(false);
}

// Finished text is everything before the current element (which may still get
// attributes). It goes to the file once a chunk's worth has gathered, or all
// of it when the file is closed; its records then return to the free list.
bool TagDocument::writeFinishedText(bool everything) {
  if (!fileStream_) return false;
  TextFileStream& file = fileOf(fileStream_.get());
  std::size_t finished = text_.size();
  if (!everything && currentIndex_ != 0) finished = static_cast<std::size_t>(elements_->at(currentIndex_).start);
  if (finished == 0 || (!everything && finished < static_cast<std::size_t>(file.chunkSize()))) return true;
  const bool written = file.writeChunk(text_.data(), static_cast<int32_t>(finished));
  resultLog_ = file.chunkLog();
  if (!written) return false;  // the text stays, for a later write to try again

  text_.erase(0, finished);
  forgetAttributes();
  const auto shift = static_cast<int32_t>(finished);
  WrittenTagStack& open = file.openTags();
  std::vector<int32_t>& unwritten = file.unwrittenRecords();
  std::size_t kept = 0;
  for (const int32_t index : unwritten) {
    ElementRecord& record = elements_->at(index);
    record.start -= shift;
    if (record.start < 0) record.flags |= kWrittenOut;
    // A record is done with once the element is closed and all of it, end
    // tag included, is in the file (its children are then done with too).
    if (open.depthOf(index) != 0 || record.start + record.length > 0) {
      unwritten[kept++] = index;
      continue;
    }
    // A written child leaves its parent's list of children; children are
    // written in order, so it is the first one.
    ElementRecord& parent = elements_->at(record.parent);
    if (parent.firstChild == index) {
      parent.firstChild = record.nextSibling;
      if (parent.firstChild != 0) {
        ElementRecord& first = elements_->at(parent.firstChild);
        first.prevSibling = record.prevSibling;  // the last child
        first.flags |= kFirstChild;
      }
    }
    const int32_t parentDepth = open.depthOf(record.parent);
    if ((parentDepth != 0 || record.parent == 0) && parent.firstChild == 0) open.at(parentDepth).lastChild = 0;
    record.nextSibling = freeListHead_;
    freeListHead_ = index;
  }
  unwritten.resize(kept);
  return true;
}

}  // namespace xml
