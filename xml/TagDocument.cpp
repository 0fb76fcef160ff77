#include "xml/TagDocument.h"

#include "xml/AttributeScanner.h"
#include "xml/CharSearch.h"
#include "xml/DocumentParser.h"
#include "xml/ElementTable.h"
#include "xml/EntityCodec.h"
#include "xml/FileModeStream.h"
#include "xml/NameMatch.h"
#include "xml/NodeScanner.h"
#include "xml/ResultLog.h"
#include "xml/SavedPositions.h"
#include "xml/TextFileStream.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <functional>

#include <sys/mman.h>

namespace xml {

using namespace element_flags;

namespace {

// A large text is written once from front to back: asking for huge pages spares a page
// fault (and its kernel entry) every 4 KiB. Only whole 2 MiB pages inside the block.
void adviseHugePages(void* block, size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr uintptr_t kHugePage = 2u << 20;
  const uintptr_t from = (reinterpret_cast<uintptr_t>(block) + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t to = (reinterpret_cast<uintptr_t>(block) + bytes) & ~(kHugePage - 1);
  if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);  // advice only
#else
  (void)block;
  (void)bytes;
#endif
}

// Offsets are 32-bit: a longer text is not indexed.
constexpr size_t kLongestText = INT32_MAX - 1;

std::u16string numberText(int32_t value) {
  char digits[16];
  const int n = std::snprintf(digits, sizeof digits, "%d", value);
  return std::u16string(digits, digits + n);
}

}  // namespace

TagDocument::TagDocument()
    : savedPositions_(std::make_unique<SavedPositions>()), elements_(std::make_unique<ElementTable>()) {
  loadString(nullptr);
}

TagDocument::TagDocument(QuietLog)
    : savedPositions_(std::make_unique<SavedPositions>()),
      elements_(std::make_unique<ElementTable>()),
      keepsResultLog_(false) {
  loadString(nullptr);
}

TagDocument::~TagDocument() {
  if (fileMode()) closeFile();  // TagDocumentFiles.cpp: what waits to be written is not lost
}

std::unique_ptr<TagDocument> TagDocument::forResultLog() {
  return std::unique_ptr<TagDocument>(new TagDocument(QuietLog{}));
}

const ElementRecord& TagDocument::record(int32_t index) const { return elements_->at(index); }
int32_t TagDocument::startTagLength(int32_t index) const { return elements_->startTagLength(index); }
int32_t TagDocument::endTagLength(int32_t index) const { return elements_->endTagLength(index); }

// ---------------------------------------------------------------- loading

bool TagDocument::loadString(const char16_t* text) {
  if (fileMode()) return false;
  if (text == nullptr) {
    text_.clear();
    elements_->release();
    resultLog_.clear();
    return indexText();
  }
  return loadText(std::u16string_view(text));
}

bool TagDocument::loadString(std::u16string_view text) {
  if (fileMode()) return false;
  return loadText(text);
}

bool TagDocument::loadText(std::u16string_view text) {
  if (text.size() > kLongestText) text = {};
  // The text is copied whole before anything changes: it may be the document's own text
  // or lie in its result log, which is emptied next.
  const std::less<const char16_t*> before;
  const bool inText =
      !text.empty() && !before(text.data(), text_.data()) && before(text.data(), text_.data() + text_.capacity() + 1);
  if (inText) {
    text_.assign(text);  // copes with its own characters
  } else {
    text_.clear();
    text_.reserve(text.size());
    adviseHugePages(text_.data(), text_.capacity() * sizeof(char16_t));
    text_.assign(text);
  }
  resultLog_.clear();
  return indexText();
}

void TagDocument::resetPosition() {
  parentIndex_ = 0;
  currentIndex_ = 0;
  childIndex_ = 0;
  nodeKind_ = 0;
  nodeOffset_ = 0;
  nodeLength_ = 0;
}

bool TagDocument::indexText() {
  if (text_.size() > kLongestText) std::u16string().swap(text_);
  forgetAttributes();
  resetPosition();
  windowStart_ = 0;
  savedPositions_->clear();
  nextFreeIndex_ = 1;
  elements_->reserveForText(static_cast<int64_t>(text_.size()));
  elements_->forgetLongTags();
  elements_->at(0) = ElementRecord{};

  const int32_t first = parseDocument(*this);

  resetPosition();
  ElementRecord& document = elements_->at(0);
  document.length = static_cast<int32_t>(text_.size());
  if (first == 0) {
    if (keepsResultLog_) addResultRecord(resultLog_, 0, u"no_root_element", nullptr, -1, -1);
  } else {
    document.firstChild = first;
    if (elements_->at(first).nextSibling != 0 && keepsResultLog_)
      addResultRecord(resultLog_, 0, u"root_has_sibling", nullptr, -1, -1);
  }

  const ElementRecord& root = elements_->at(0);
  const bool notWellFormed = (root.flags & kNotWellFormed) != 0;
  if (options_ & kWriteFileMode) return true;
  if (options_ & kReadFileMode) return !notWellFormed;
  return !notWellFormed && root.firstChild != 0 && elements_->at(root.firstChild).nextSibling == 0;
}

// ---------------------------------------------------------------- walking

void TagDocument::rewind() {
  currentIndex_ = 0;
  childIndex_ = 0;
  nodeKind_ = 0;
  nodeOffset_ = 0;
  nodeLength_ = 0;
}

bool TagDocument::findNextElement(const char16_t* name) {
  if ((options_ & kWriteFileMode) != 0 || elements_->capacity() == 0) return false;
  const std::u16string_view given = name_match::argument(name);
  if (!given.empty() && given.front() == u'/') return false;
  int32_t candidate =
      currentIndex_ != 0 ? elements_->at(currentIndex_).nextSibling : elements_->at(parentIndex_).firstChild;
  if (!given.empty()) {
    while (candidate != 0) {
      const std::u16string_view candidateName = elementName(candidate);
      if (name_match::matches(candidateName.data(), static_cast<int32_t>(candidateName.size()), given, ignoreCase()))
        break;
      candidate = elements_->at(candidate).nextSibling;
    }
  }
  if (candidate == 0) return false;
  parentIndex_ = elements_->at(candidate).parent;
  currentIndex_ = candidate;
  childIndex_ = 0;
  nodeOffset_ = 0;
  nodeLength_ = 0;
  nodeKind_ = node_kind::kElement;
  return true;
}

bool TagDocument::enterElement() {
  if (currentIndex_ == 0 || nodeKind_ != node_kind::kElement) return false;
  parentIndex_ = currentIndex_;
  currentIndex_ = childIndex_;
  childIndex_ = 0;
  nodeOffset_ = 0;
  nodeLength_ = 0;
  nodeKind_ = currentIndex_ != 0 ? node_kind::kElement : 0;
  return true;
}

bool TagDocument::leaveElement() {
  if (options_ & kWriteFileMode) return closeElementsInFile(-1);  // TagDocumentFiles.cpp: writes the end tag
  if (parentIndex_ == 0) return false;
  childIndex_ = currentIndex_;
  currentIndex_ = parentIndex_;
  parentIndex_ = elements_->at(currentIndex_).parent;
  nodeOffset_ = 0;
  nodeLength_ = 0;
  nodeKind_ = node_kind::kElement;
  return true;
}

void TagDocument::selectNode(int32_t kind, int32_t offset, int32_t length) {
  const int32_t size = static_cast<int32_t>(text_.size());
  offset = std::clamp(offset, 0, size);
  length = std::clamp(length, 0, size - offset);
  nodeKind_ = kind;
  nodeOffset_ = offset;
  nodeLength_ = length;
}

// ---------------------------------------------------------------- reading

int32_t TagDocument::startInText(int32_t index, int64_t span) const {
  const int64_t start = elements_->at(index).start;
  const int64_t end = start + std::max<int64_t>(span, 0);
  const int64_t loaded = windowStart_ + static_cast<int64_t>(text_.size());
  if (start >= windowStart_ && end <= loaded) return static_cast<int32_t>(start - windowStart_);
  if ((options_ & kReadFileMode) == 0 || !fileStream_)
    return start < windowStart_ ? -1 : static_cast<int32_t>(start - windowStart_);
  int64_t from = 0;
  forgetAttributes();
  if (!static_cast<TextFileStream*>(fileStream_.get())->reread(start, end, text_, from)) {
    text_.clear();
    windowStart_ = 0;
    return -1;
  }
  windowStart_ = static_cast<int32_t>(from);
  return static_cast<int32_t>(start - from);
}

std::u16string_view TagDocument::elementName(int32_t index) const {
  const int32_t at = startInText(index, elements_->startTagLength(index));
  const size_t size = text_.size();
  const size_t from = static_cast<size_t>(at) + 1;
  if (at < 0 || from >= size) return {};
  if (name_match::endsName(text_[from])) return std::u16string_view(text_).substr(from, 1);
  size_t to = from;
  while (to < size && !name_match::endsName(text_[to])) ++to;
  return std::u16string_view(text_).substr(from, to - from);
}

bool TagDocument::elementContent(int32_t index, int32_t& from, int32_t& to) const {
  const ElementRecord& element = elements_->at(index);
  const int32_t at = startInText(index, element.length);
  if (at < 0) return false;
  const int64_t size = static_cast<int64_t>(text_.size());
  const int64_t begin = static_cast<int64_t>(at) + elements_->startTagLength(index);
  const int64_t end = static_cast<int64_t>(at) + element.length - elements_->endTagLength(index);
  if (end <= begin || begin < 0 || end > size) return false;
  from = static_cast<int32_t>(begin);
  to = static_cast<int32_t>(end);
  return true;
}

std::u16string TagDocument::currentName() const {
  if (atElement()) return std::u16string(elementName(currentIndex_));
  if (nodeLength_ != 0) return nameOfNode();
  return {};
}

std::u16string TagDocument::nameOfNode() const {
  const int32_t end = nodeOffset_ + nodeLength_;
  // The run of name characters at `from` (inside the node).
  const auto nameAt = [&](int32_t from) {
    int32_t to = from;
    while (to < end && !name_match::endsName(text_[to])) ++to;
    return std::u16string(text_, static_cast<size_t>(from), static_cast<size_t>(to - from));
  };
  switch (nodeKind_) {
    case node_kind::kText:
    case node_kind::kWhitespace: return u"#text";
    case node_kind::kCdata: return u"#cdata-section";
    case node_kind::kComment: return u"#comment";
    case node_kind::kProcessingInstruction:
    case node_kind::kLoneEndTag: return nameAt(std::min(nodeOffset_ + 2, end));
    case node_kind::kDocumentType: {
      // The name that follows the keyword after "<!".
      int32_t at = std::min(nodeOffset_ + 2, end);
      while (at < end && !name_match::endsName(text_[at])) ++at;
      while (at < end && char_search::isSpace(text_[at])) ++at;
      return nameAt(at);
    }
    default: return {};
  }
}

const std::vector<AttributeToken>* TagDocument::currentAttributes(int32_t* tagNameEnd) const {
  int32_t from = 0;
  int32_t end = 0;
  if (atElement()) {
    const int32_t tagLength = elements_->startTagLength(currentIndex_);
    const int32_t at = startInText(currentIndex_, tagLength);
    if (at < 0) return nullptr;
    from = at + 1;
    end = at + tagLength;
  } else if (nodeKind_ == node_kind::kProcessingInstruction && nodeLength_ != 0) {
    from = nodeOffset_ + 2;
    end = nodeOffset_ + nodeLength_;
  } else {
    return nullptr;
  }
  end = std::min(end, static_cast<int32_t>(text_.size()));
  from = std::min(from, end);
  if (attributesOf_ != from) {
    // Only the tag itself is read, so a stray quote cannot run into the content.
    AttributeScanner(text_.data(), from, end).scan(attributes_, attributesTagNameEnd_);
    attributesOf_ = from;
  }
  if (tagNameEnd != nullptr) *tagNameEnd = attributesTagNameEnd_;
  return &attributes_;
}

std::u16string TagDocument::attributeNameAt(int index) const {
  const std::vector<AttributeToken>* attributes = currentAttributes();
  if (attributes == nullptr || index < 0 || static_cast<size_t>(index) >= attributes->size()) return {};
  const AttributeToken& attribute = (*attributes)[static_cast<size_t>(index)];
  return text_.substr(static_cast<size_t>(attribute.nameStart), static_cast<size_t>(attribute.nameLength));
}

std::u16string TagDocument::attributeValue(const char16_t* name) const {
  const std::vector<AttributeToken>* attributes = currentAttributes();
  if (attributes == nullptr || name == nullptr) return {};
  const std::u16string_view given(name);
  for (const AttributeToken& attribute : *attributes) {
    if (name_match::matches(text_.data() + attribute.nameStart, attribute.nameLength, given, ignoreCase()))
      return decodeEntities(text_.data() + attribute.valueStart, attribute.valueLength, options_);
  }
  return {};
}

std::u16string TagDocument::currentText() const {
  if (!atElement()) return nodeLength_ != 0 ? textOfNode() : std::u16string();
  int32_t from = 0;
  int32_t to = 0;
  if (elements_->at(currentIndex_).firstChild != 0 || !elementContent(currentIndex_, from, to)) return {};
  const std::u16string_view content(text_.data() + from, static_cast<size_t>(to - from));
  if (content.find(u'<') == std::u16string_view::npos) return decodeEntities(content, options_);
  return textOfElementContent(from, to);
}

std::u16string TagDocument::textOfElementContent(int32_t from, int32_t to) const {
  // Text nodes decoded and CDATA sections raw, in order; everything else adds nothing.
  std::u16string result;
  NodeScanner scanner(text_.data(), to, from);
  scanner.setRecordFaults(false);
  for (;;) {
    const NodeReport node = scanner.next();
    if (node.kind == node_kind::kEnd) break;
    if (node.kind == node_kind::kText) {
      result += decodeEntities(text_.data() + node.offset, node.length, options_);
    } else if (node.kind == node_kind::kCdata && node.length >= 12) {
      result.append(text_, static_cast<size_t>(node.offset) + 9, static_cast<size_t>(node.length) - 12);
    }
  }
  return result;
}

std::u16string TagDocument::textOfNode() const {
  const size_t offset = static_cast<size_t>(nodeOffset_);
  const size_t length = static_cast<size_t>(nodeLength_);
  // The node without `head` characters at the front and `tail` at the back.
  const auto inner = [&](size_t head, size_t tail) {
    if (length < head + tail) return std::u16string();
    return text_.substr(offset + head, length - head - tail);
  };
  switch (nodeKind_) {
    case node_kind::kText: return decodeEntities(text_.data() + offset, nodeLength_, options_);
    case node_kind::kCdata: return inner(9, 3);
    case node_kind::kProcessingInstruction: return inner(2, 2);
    case node_kind::kComment: return inner(4, 3);
    case node_kind::kLoneEndTag: return inner(2, text_[offset + length - 1] == u'>' ? 1 : 0);
    case node_kind::kWhitespace:
    case node_kind::kDocumentType: return text_.substr(offset, length);
    default: return {};
  }
}

std::u16string TagDocument::innerMarkup() const {
  int32_t from = 0;
  int32_t to = 0;
  if (fileMode() || currentIndex_ == 0 || !elementContent(currentIndex_, from, to)) return {};
  return text_.substr(static_cast<size_t>(from), static_cast<size_t>(to - from));
}

// ---------------------------------------------------------------- writing

int32_t TagDocument::allocateRecord() {
  if (nextFreeIndex_ >= elements_->capacity()) {
    if (elements_->capacity() == 0)
      elements_->growTo(8);
    else
      elements_->growByHalf();
    if (nextFreeIndex_ >= elements_->capacity()) return 0;
  }
  return nextFreeIndex_++;
}

bool TagDocument::appendElement(const char16_t* name, const char16_t* text, uint32_t mode) {
  if (options_ & kWriteFileMode) return appendElementToFile(name, text, mode);  // TagDocumentFiles.cpp
  if (fileMode() || parentIndex_ != 0 || name == nullptr || name[0] == 0) return false;
  if (elements_->capacity() == 0) elements_->growTo(8);
  const std::u16string_view tagName(name);
  std::u16string element = u"<";
  element += tagName;
  int32_t startTag = 0;
  int32_t endTag = 0;
  if (text == nullptr) {
    element += (mode & kAppendSpaceBeforeSlash) ? u" />" : u"/>";
    startTag = static_cast<int32_t>(element.size());
  } else {
    element += u'>';
    startTag = static_cast<int32_t>(element.size());
    element += (mode & kAppendAsCdata) ? wrapCdata(text) : encodeEntities(text, 0);
    const size_t endStart = element.size();
    element += u"</";
    element += tagName;
    element += u'>';
    endTag = static_cast<int32_t>(element.size() - endStart);
  }
  if (text_.size() + element.size() + 2 > kLongestText) return false;
  const int32_t index = allocateRecord();
  if (index == 0) return false;

  ElementRecord& document = elements_->at(0);
  ElementRecord& record = elements_->at(index);
  record = ElementRecord{};
  record.start = static_cast<int32_t>(text_.size());
  record.length = static_cast<int32_t>(element.size());
  record.flags = document.flags & kLevelMask;
  elements_->setTagLengths(index, startTag, endTag);
  if (document.firstChild == 0) {
    document.firstChild = index;
    record.prevSibling = index;
    record.flags |= kFirstChild;
  } else {
    ElementRecord& first = elements_->at(document.firstChild);
    elements_->at(first.prevSibling).nextSibling = index;
    record.prevSibling = first.prevSibling;
    first.prevSibling = index;
  }
  text_ += element;
  if ((mode & kAppendNoLineBreak) == 0) text_ += u"\r\n";
  document.length = static_cast<int32_t>(text_.size());

  forgetAttributes();
  parentIndex_ = 0;
  currentIndex_ = index;
  childIndex_ = 0;
  nodeKind_ = node_kind::kElement;
  nodeOffset_ = 0;
  nodeLength_ = 0;
  return true;
}

bool TagDocument::setAttribute(const char16_t* name, int32_t value) {
  return setAttribute(name, numberText(value).c_str());
}

bool TagDocument::setAttribute(const char16_t* name, const char16_t* value) {
  if ((options_ & kReadFileMode) != 0 || name == nullptr || name[0] == 0) return false;
  int32_t tagNameEnd = 0;
  const std::vector<AttributeToken>* attributes = currentAttributes(&tagNameEnd);
  if (attributes == nullptr) return false;
  const std::u16string_view given(name);
  const std::u16string quoted = u"\"" + encodeEntities(name_match::argument(value), entity_mode::kAttribute) + u"\"";

  int32_t editAt = 0;
  int32_t removed = 0;
  std::u16string inserted;
  const AttributeToken* existing = nullptr;
  for (const AttributeToken& attribute : *attributes) {
    if (name_match::matches(text_.data() + attribute.nameStart, attribute.nameLength, given, ignoreCase())) {
      existing = &attribute;
      break;
    }
  }
  if (existing != nullptr && existing->hasValue) {
    editAt = existing->valueTokenStart;
    removed = existing->tokenEnd - existing->valueTokenStart;
    inserted = quoted;
  } else if (existing != nullptr) {
    editAt = existing->tokenEnd;  // a bare name gets its value
    inserted = u"=" + quoted;
  } else {
    editAt = attributes->empty() ? tagNameEnd : attributes->back().tokenEnd;
    inserted = u" ";
    inserted += given;
    inserted += u"=";
    inserted += quoted;
  }
  const int64_t delta = static_cast<int64_t>(inserted.size()) - removed;
  if (static_cast<int64_t>(text_.size()) + delta > static_cast<int64_t>(kLongestText)) return false;
  text_.replace(static_cast<size_t>(editAt), static_cast<size_t>(removed), inserted);
  shiftAfterEdit(atElement() ? currentIndex_ : 0, editAt, static_cast<int32_t>(delta));
  forgetAttributes();
  return true;
}

void TagDocument::shiftAfterEdit(int32_t editedIndex, int32_t editOffset, int32_t delta) {
  if (delta == 0) return;
  for (int32_t i = 1; i < nextFreeIndex_; ++i) {
    ElementRecord& element = elements_->at(i);
    if (element.start >= editOffset)
      element.start += delta;  // follows the edit
    else if (static_cast<int64_t>(element.start) + element.length > editOffset)
      element.length += delta;  // encloses it
  }
  if (editedIndex != 0)
    elements_->setStartTagLength(editedIndex, elements_->startTagLength(editedIndex) + delta);
  else
    nodeLength_ += delta;  // a processing-instruction node
  elements_->at(0).length = static_cast<int32_t>(text_.size());
}

}  // namespace xml
