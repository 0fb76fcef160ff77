#include "xml/DocumentParser.h"

#include "xml/ElementTable.h"
#include "xml/FileModeStream.h"
#include "xml/NameMatch.h"
#include "xml/NodeScanner.h"
#include "xml/NodeScannerLoop.h"
#include "xml/OpenTagIndex.h"
#include "xml/OpenTagStack.h"
#include "xml/ResultLog.h"
#include "xml/TagDocument.h"

#include <algorithm>
#include <string>
#include <vector>

namespace xml {

namespace {

using namespace element_flags;

class Parser {
 public:
  Parser(ElementTable& table, int32_t& nextFreeIndex, std::u16string* resultLog, bool ignoreCase)
      : table_(table),
        nextFreeIndex_(nextFreeIndex),
        resultLog_(resultLog),
        ignoreCase_(ignoreCase),
        index_(ignoreCase) {}

  // kWindow: the scanner reads a file through a window it refills (read-file mode).
  template <bool kWindow>
  int32_t run(NodeScanner& scanner);
  void shareText(const char16_t* text) { stack_.shareText(text); }

 private:
  void startTag(const NodeReport& node, NodeScanner& scanner);
  void endTag(const NodeReport& node, NodeScanner& scanner);
  void faultyNode(NodeScanner& scanner);
  // Closes the element on top of the stack as an unended start tag.
  void closeUnended(int32_t offset2);
  // Points the first child of `parent` (the current element) back at its last child.
  void closeRing(int32_t parent) {
    const int32_t firstChild = table_.at(parent).firstChild;
    if (firstChild != 0) table_.at(firstChild).prevSibling = lastChild_;
  }
  void fixMovedParents();
  // Innermost open element the end tag closes (its depth), or 0 for a lone end tag.
  int32_t matchingDepth(std::u16string_view endTagName);
  void popEntry();
  // Tells the scanner the name of the innermost open element after the stack changed.
  void expectTop(NodeScanner& scanner) {
    const OpenTagStack::Entry& top = stack_.top();
    scanner.expectEndTag(stack_.depth() > 0 ? stack_.nameOf(top) : nullptr, top.nameLength);
  }
  bool logging() const { return resultLog_ != nullptr && resultLog_->size() < kResultLogLimit; }

  ElementTable& table_;
  int32_t& nextFreeIndex_;
  std::u16string* resultLog_;  // null: faults are not recorded
  bool ignoreCase_;
  OpenTagStack stack_;
  OpenTagIndex index_;
  int32_t current_ = 0;
  // The current element's last child so far, or 0. A parent's ring (its first child's
  // prevSibling naming the last child) is closed once, when the parent closes, rather
  // than kept up to date at every child.
  int32_t lastChild_ = 0;
  int32_t first_ = 0;
  int32_t baseLevel_ = 0;
  std::vector<int32_t> movedParents_;  // parents that took over an unended element's children
};

template <bool kWindow>
int32_t Parser::run(NodeScanner& scanner) {
  baseLevel_ = table_.at(0).flags & kLevelMask;
  scanner.setRecordFaults(logging());
  for (;;) {
    // Text nodes are not indexed and cannot be faulty: skipped in the same call.
    const NodeReport node = kWindow ? scanner.nextMarkup() : scanner.nextMarkupInText();
    switch (node.kind) {
      case node_kind::kStartTag: startTag(node, scanner); break;
      case node_kind::kEndTag: endTag(node, scanner); break;
      case node_kind::kFaulty: faultyNode(scanner); break;
      case node_kind::kEnd:
        while (stack_.depth() > 0) closeUnended(scanner.base() + scanner.length());
        closeRing(0);
        stack_.release();
        fixMovedParents();
        return first_;
      default: break;  // text, whitespace, CDATA, PIs, comments and the doctype are not indexed
    }
  }
}

[[gnu::always_inline]] inline void Parser::startTag(const NodeReport& node, NodeScanner& scanner) {
  if (nextFreeIndex_ >= table_.capacity()) table_.growByHalf();
  const int32_t index = nextFreeIndex_++;
  if (first_ == 0) first_ = index;

  // Levels beyond the 16-bit field stay at its maximum.
  const int32_t level = std::min(baseLevel_ + stack_.depth(), kLevelMask);
  const int32_t last = lastChild_;
  int32_t flags = level;
  if (last != 0) {
    table_.at(last).nextSibling = index;
  } else {
    table_.at(current_).firstChild = index;
    flags |= kFirstChild;
  }
  // The record is written whole, once; tag lengths that do not fit their fields go to
  // the table's side tables afterwards.
  const int32_t start = scanner.base() + node.offset;  // in read-file mode the text is a window
  const bool shortTag = table_.fitsTagLengths(node.length, 0);
  table_.at(index) = ElementRecord{start,
                                   node.length,
                                   shortTag ? tag_lengths::pack(static_cast<uint32_t>(node.length), 0) : 0,
                                   flags,
                                   current_,
                                   0,
                                   0,
                                   last != 0 ? last : index};
  if (!shortTag) table_.setTagLengths(index, node.length, 0);

  if ((node.flags & kEmptyElementTag) == 0) {
    stack_.push(index, scanner.text() + scanner.nameFirst(), scanner.nameFirst(), scanner.nameLength());
    if (index_.active()) index_.pushed(stack_);
    expectTop(scanner);
    current_ = index;
    lastChild_ = 0;
  } else {
    lastChild_ = index;
  }
}

[[gnu::always_inline]] inline void Parser::endTag(const NodeReport& node, NodeScanner& scanner) {
  const char16_t* name = scanner.text() + scanner.nameFirst();
  const int32_t nameLength = scanner.nameLength();
  const int32_t matched = (node.flags & kExpectedEndTag) != 0
                              ? stack_.depth()
                              : matchingDepth(std::u16string_view(name, static_cast<size_t>(nameLength)));
  if (matched == 0) {
    table_.at(0).flags |= kNotWellFormed;
    table_.at(current_).flags |= kHasError;
    if (logging()) {
      const std::u16string tagName(name, static_cast<size_t>(nameLength));
      addResultRecord(*resultLog_, 0, u"lone_end_tag", tagName.c_str(), scanner.base() + node.offset, -1);
    }
    return;
  }
  while (stack_.depth() > matched) closeUnended(scanner.base() + node.offset + 1);  // offset2: the '/' of the end tag
  const int32_t index = stack_.top().record;
  ElementRecord& record = table_.at(index);
  record.length = scanner.base() + node.offset + node.length - record.start;
  table_.setEndTagLength(index, node.length);
  closeRing(index);
  lastChild_ = index;
  popEntry();
  expectTop(scanner);
  current_ = stack_.top().record;
}

int32_t Parser::matchingDepth(std::u16string_view endTagName) {
  const auto closes = [&](int32_t depth) {
    const OpenTagStack::Entry& entry = stack_.at(depth);
    return name_match::matches(endTagName.data(), static_cast<int32_t>(endTagName.size()),
                               std::u16string_view(stack_.nameOf(entry), entry.nameLength), ignoreCase_);
  };
  const int32_t depth = stack_.depth();
  if (depth == 0) return 0;
  if (closes(depth)) return depth;  // the usual case: the innermost element
  // Stray end tags in deep nesting would make a linear search quadratic.
  constexpr int32_t kLinearSearchDepth = 32;
  if (depth > kLinearSearchDepth || index_.active()) {
    if (!index_.active()) index_.build(stack_);
    return index_.find(stack_, endTagName);
  }
  for (int32_t d = depth - 1; d >= 1; --d)
    if (closes(d)) return d;
  return 0;
}

[[gnu::always_inline]] inline void Parser::popEntry() {
  if (index_.active()) index_.popping(stack_);
  stack_.pop();
}

void Parser::closeUnended(int32_t offset2) {
  const OpenTagStack::Entry& entry = stack_.top();
  const int32_t index = entry.record;
  const int32_t parentIndex = stack_.at(stack_.depth() - 1).record;
  table_.at(0).flags |= kNotWellFormed;

  ElementRecord& record = table_.at(index);
  record.flags |= kNoEndTag;
  record.length = table_.startTagLength(index);
  table_.setEndTagLength(index, 0);
  if ((record.flags & kHasError) != 0) {
    record.flags &= ~kHasError;
    table_.at(parentIndex).flags |= kHasError;
  }
  if (record.firstChild != 0) {
    // The former children follow the element as siblings: the element is the last child
    // of its parent (it is still open), so its children become the parent's last ones.
    // Their parent fields are set once at the end of the parse.
    const int32_t firstMoved = record.firstChild;
    ElementRecord& firstMovedRecord = table_.at(firstMoved);
    record.firstChild = 0;
    record.nextSibling = firstMoved;
    firstMovedRecord.prevSibling = index;
    firstMovedRecord.flags &= ~kFirstChild;
    movedParents_.push_back(parentIndex);
  } else {
    lastChild_ = index;
  }
  if (logging()) {
    const std::u16string tagName(stack_.nameOf(entry), static_cast<size_t>(entry.nameLength));
    addResultRecord(*resultLog_, 0, u"unended_start_tag", tagName.c_str(), table_.at(index).start, offset2);
  }
  popEntry();
  current_ = parentIndex;
}

void Parser::faultyNode(NodeScanner& scanner) {
  table_.at(0).flags |= kNotWellFormed;
  table_.at(current_).flags |= kHasError;
  std::u16string& records = scanner.log();
  if (logging()) {
    // Each record the scanner wrote since the last faulty node, in order.
    size_t from = 0;
    while (from < records.size() && logging()) {
      const size_t close = records.find(u"/>", from);
      const size_t end = close == std::u16string::npos ? records.size() : close + 2;
      resultLog_->append(records, from, end - from);
      from = end;
    }
  }
  records.clear();
  scanner.setRecordFaults(logging());
}

void Parser::fixMovedParents() {
  if (movedParents_.empty()) return;
  std::sort(movedParents_.begin(), movedParents_.end());
  movedParents_.erase(std::unique(movedParents_.begin(), movedParents_.end()), movedParents_.end());
  for (int32_t parent : movedParents_)
    for (int32_t child = table_.at(parent).firstChild; child != 0; child = table_.at(child).nextSibling)
      table_.at(child).parent = parent;
  std::vector<int32_t>().swap(movedParents_);
}

}  // namespace

int32_t parseDocument(TagDocument& document) {
  NodeScanner scanner(document.text_.data(), static_cast<int32_t>(document.text_.size()), 0);
  if ((document.options_ & TagDocument::kReadFileMode) != 0 && document.fileStream_)
    scanner.setRefill(document.fileStream_.get());
  Parser parser(*document.elements_, document.nextFreeIndex_, document.keepsResultLog_ ? &document.resultLog_ : nullptr,
                (document.options_ & TagDocument::kIgnoreCase) != 0);
  // A loaded string neither moves nor loses its front while it is parsed: open tags'
  // names are read there. A file's window does both.
  if ((document.options_ & TagDocument::kReadFileMode) == 0) parser.shareText(document.text_.data());
  return scanner.refills() ? parser.run<true>(scanner) : parser.run<false>(scanner);
}

}  // namespace xml
