#include "xml/NodeScanner.h"

#include "xml/CharSearch.h"
#include "xml/NodeScannerLoop.h"
#include "xml/ResultLog.h"

namespace xml {

using char_search::find;
using char_search::findEither;
using char_search::isSpace;
using scan_chars::isQuote;
using scan_chars::opensStartTag;

void NodeScanner::reset(const char16_t* text, int32_t length, int32_t offset) {
  text_ = text;
  length_ = text == nullptr ? 0 : length;
  offset_ = offset;
  base_ = 0;
  nameFirst_ = 0;
  nameLast_ = -1;
  reachedEnd_ = false;
}

void NodeScanner::skipText() {
  for (;;) {
    const char16_t* end = text_ + length_;
    const char16_t* next = find(text_ + offset_, end, u'<');
    offset_ = static_cast<int32_t>(next - text_);
    if (next != end || refill_ == nullptr) return;
    int32_t dropped = 0;
    if (!refill_->refill(text_, length_, offset_, dropped)) return;
    offset_ -= dropped;
    base_ += dropped;
  }
}

NodeReport NodeScanner::unterminated(int32_t s, const char16_t* typeWord) {
  reachedEnd_ = true;
  if (recordFaults_)
    addResultRecord(log_, result_mode::kTextIsType, u"unterminated_tag_syntax", typeWord, base_ + s, -1);
  return node(node_kind::kFaulty, s, length_);
}

NodeReport NodeScanner::fault(int32_t s, int32_t at, const char16_t* recordName) {
  if (recordFaults_) addResultRecord(log_, 0, recordName, nullptr, base_ + s, -1);
  // The faulty node runs to the next '>' (included) or up to the next '<'.
  const char16_t* end = text_ + length_;
  const char16_t* q = findEither(text_ + at, end, u'>', u'<');
  if (q == end) return unterminated(s, u"tag");
  const int32_t stop = static_cast<int32_t>(q - text_) + (*q == u'>' ? 1 : 0);
  return node(node_kind::kFaulty, s, stop);
}

NodeReport NodeScanner::scanProcessingInstruction(int32_t s) {
  const char16_t* end = text_ + length_;
  const char16_t* q = text_ + s + 2;
  while (q < end && !isSpace(*q) && *q != u'?' && *q != u'/' && *q != u'>') ++q;
  nameFirst_ = s + 2;
  nameLast_ = static_cast<int32_t>(q - text_) - 1;
  // "<?>" is already whole: the '?' of the opener completes the terminator.
  return finishAtTerminator(s, s + 2, node_kind::kProcessingInstruction, u"?", 1, u"processing_instruction");
}

NodeReport NodeScanner::finishAtTerminator(int32_t s, int32_t from, int32_t kind, const char16_t* tail, int tailLength,
                                           const char16_t* typeWord) {
  const char16_t* end = text_ + length_;
  const char16_t* q = text_ + from;
  for (;;) {
    q = find(q, end, u'>');
    if (q == end) return unterminated(s, typeWord);
    bool complete = true;
    for (int i = 0; i < tailLength; ++i) complete &= (q[i - tailLength] == tail[i]);
    if (complete) return node(kind, s, static_cast<int32_t>(q - text_) + 1);
    ++q;
  }
}

NodeReport NodeScanner::scanExclamation(int32_t s) {
  if (s + 2 >= length_) return unterminated(s, u"tag");
  const char16_t c = text_[s + 2];
  if (c == u'-') {
    if (s + 3 >= length_) return unterminated(s, u"tag");
    if (text_[s + 3] != u'-') return fault(s, s + 3, u"comment_tag_syntax");
    // "<!-->" is already whole: the opener's dashes complete the terminator.
    return finishAtTerminator(s, s + 4, node_kind::kComment, u"--", 2, u"comment");
  }
  if (c == u'[') {
    if (s + 3 >= length_) return unterminated(s, u"tag");
    if (text_[s + 3] != u'C') return fault(s, s + 3, u"cdata_section_syntax");
    return finishAtTerminator(s, s + 4, node_kind::kCdata, u"]]", 2, u"cdata_section");
  }
  if (c == u'D') return scanDocumentType(s);
  return fault(s, s + 2, u"exclamation_tag_syntax");
}

NodeReport NodeScanner::scanDocumentType(int32_t s) {
  const char16_t* const begin = text_;
  const char16_t* end = text_ + length_;
  const char16_t* r = text_ + s + 3;
  const auto at = [begin](const char16_t* ptr) { return static_cast<int32_t>(ptr - begin); };
  bool faulty = false;  // a faulty nested node: the declaration is reported faulty as a whole
  while (r < end) {
    const char16_t c = *r;
    if (c == u'>') return node(faulty ? node_kind::kFaulty : node_kind::kDocumentType, s, at(r) + 1);
    if (c != u'<') {
      ++r;
      continue;
    }
    // A nested node of the internal subset.
    if (r + 1 == end) break;
    const char16_t c1 = r[1];
    if (c1 == u'!') {
      if (r + 2 == end) break;
      const char16_t c2 = r[2];
      if (c2 == u'A' || c2 == u'E' || c2 == u'N') {
        // Markup declaration: quoted literals may hold '>'.
        const char16_t* q = r + 3;
        while (q < end && *q != u'>') {
          if (isQuote(*q)) {
            q = find(q + 1, end, *q);
            if (q == end) break;
          }
          ++q;
        }
        if (q >= end) break;
        r = q + 1;
        continue;
      }
      if (c2 == u'-' && r + 3 < end && r[3] == u'-') {
        const char16_t* q = r + 4;
        for (;;) {
          q = find(q, end, u'>');
          if (q == end || (q[-1] == u'-' && q[-2] == u'-')) break;
          ++q;
        }
        if (q == end) break;
        r = q + 1;
        continue;
      }
      if (c2 == u'-' && r + 3 == end) break;
      // A faulty nested node runs to the next '>' (included) or up to the next '<'; the
      // declaration goes on after it, so its internal subset is not read as markup.
      if (recordFaults_) addResultRecord(log_, 0, u"doctype_tag_syntax", nullptr, base_ + s, -1);
      faulty = true;
      const char16_t* q = findEither(r + 2, end, u'>', u'<');
      if (q == end) break;
      r = *q == u'>' ? q + 1 : q;
      continue;
    }
    if (c1 == u'?') {
      const char16_t* q = r + 2;
      for (;;) {
        q = find(q, end, u'>');
        if (q == end || q[-1] == u'?') break;
        ++q;
      }
      if (q == end) break;
      r = q + 1;
      continue;
    }
    if (opensStartTag(c1)) {
      const char16_t* q = find(r + 1, end, u'>');
      if (q == end) break;
      r = q + 1;
      continue;
    }
    ++r;  // a '<' that opens nothing is an ordinary character here
  }
  return unterminated(s, u"document_type");
}

NodeReport NodeScanner::scanOnce() { return scanNode(); }

NodeReport NodeScanner::nextMarkup() {
  if (refill_ != nullptr) {
    skipText();
    return nextWithRefill();
  }
  return nextMarkupInText();
}

NodeReport NodeScanner::nextWithRefill() {
  for (;;) {
    const size_t logSize = log_.size();
    const int32_t start = offset_;
    reachedEnd_ = false;
    NodeReport report = scanNode();
    if (!reachedEnd_) return report;
    // The node ran into the end of the loaded text: with more text it may end elsewhere.
    int32_t dropped = 0;
    if (!refill_->refill(text_, length_, start, dropped)) return report;
    log_.resize(logSize);
    offset_ = start - dropped;
    base_ += dropped;
  }
}

}  // namespace xml
