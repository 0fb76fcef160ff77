// The scanner's steps for the usual nodes (text, start and end tags), inlined where
// nodes are scanned in a loop: the scanner itself and the document parser.
#pragma once

#include "xml/CharSearch.h"
#include "xml/NodeScanner.h"

namespace xml {

namespace scan_chars {

// Characters that open a start tag after '<': ':', '_', ASCII letters and everything
// above the grave accent (small letters, '{', '|', '}', '~' and all non-ASCII).
inline bool opensStartTag(char16_t c) { return c > 0x60 || (c >= u'A' && c <= u'Z') || c == u':' || c == u'_'; }

inline bool isQuote(char16_t c) { return c == u'"' || c == u'\''; }

}  // namespace scan_chars

[[gnu::always_inline]] inline NodeReport NodeScanner::node(int32_t kind, int32_t s, int32_t end, uint32_t flags) {
  offset_ = end;
  return NodeReport{kind, s, end - s, flags};
}

[[gnu::always_inline]] inline NodeReport NodeScanner::scanNode() {
  const int32_t s = offset_;
  if (s >= length_) {
    reachedEnd_ = true;
    return node(node_kind::kEnd, length_, length_);
  }
  const char16_t* p = text_ + s;
  if (*p != u'<') return scanText(s);
  if (s + 1 >= length_) return unterminated(s, u"tag");
  const char16_t c = p[1];
  if (c == u'/') return scanEndTag(s);
  if (c == u'?') return scanProcessingInstruction(s);
  if (scan_chars::opensStartTag(c)) return scanStartTag(s);
  if (c == u'!') return scanExclamation(s);
  return fault(s, s + 1, u"first_tag_syntax");
}

[[gnu::always_inline]] inline NodeReport NodeScanner::scanText(int32_t s) {
  const char16_t* p = text_ + s;
  const char16_t* end = text_ + length_;
  const char16_t* q = p + 1;  // the first character never ends a text, not even a '>'
  if (char_search::isSpace(*p)) {
    while (q < end && char_search::isSpace(*q)) ++q;
    if (q == end) {
      reachedEnd_ = true;
      return node(node_kind::kWhitespace, s, length_);
    }
    if (*q == u'<') return node(node_kind::kWhitespace, s, static_cast<int32_t>(q - text_));
  }
  q = char_search::findEither(q, end, u'<', u'>');
  if (q == end) {
    reachedEnd_ = true;
    return node(node_kind::kText, s, length_);
  }
  const int32_t stop = static_cast<int32_t>(q - text_) + (*q == u'>' ? 1 : 0);
  return node(node_kind::kText, s, stop);
}

[[gnu::always_inline]] inline NodeReport NodeScanner::scanStartTag(int32_t s) {
  const char16_t* p = text_ + s;
  const char16_t* end = text_ + length_;
  // The name runs to the first whitespace, '/' or '>'.
  // A '=' inside the name is rare: it stops the first loop, and the name then goes on
  // in a second one.
  const char16_t* q = char_search::skipHighUnits(p + 1, end);
  while (q < end && !char_search::stopsTagName(*q)) ++q;
  bool nameHasEquals = false;
  if (q < end && *q == u'=') {
    nameHasEquals = true;
    while (q < end && !char_search::endsTagName(*q)) ++q;
  }
  nameFirst_ = s + 1;
  nameLast_ = static_cast<int32_t>(q - text_) - 1;

  // The tag itself: only '=' changes the meaning of what follows. After it (and any
  // whitespace) a quote opens a value that may hold '>'; anything else opens an
  // unquoted value that runs to whitespace or '>', and a '/' at its end belongs to it.
  const char16_t* r = nameHasEquals ? p + 1 : q;
  bool valueEndsTag = false;
  for (;;) {
    r = char_search::findEither(r, end, u'>', u'=');
    if (r == end) return unterminated(s, u"start_tag");
    if (*r == u'>') break;
    ++r;
    while (r < end && char_search::isSpace(*r)) ++r;
    if (r == end) return unterminated(s, u"start_tag");
    const char16_t c = *r;
    if (c == u'>') break;
    if (c == u'=') continue;
    if (scan_chars::isQuote(c)) {
      const char16_t* close = char_search::find(r + 1, end, c);
      if (close == end) return unterminated(s, u"start_tag");
      r = close + 1;
      continue;
    }
    ++r;
    while (r < end && !char_search::isSpace(*r) && *r != u'>') ++r;
    if (r < end && *r == u'>') {
      valueEndsTag = true;
      break;
    }
  }
  const bool empty = !valueEndsTag && r[-1] == u'/';
  return node(node_kind::kStartTag, s, static_cast<int32_t>(r - text_) + 1, empty ? kEmptyElementTag : 0);
}

[[gnu::always_inline]] inline NodeReport NodeScanner::scanEndTag(int32_t s) {
  if (expectedName_ != nullptr) {
    // The usual end tag closes the innermost element and is written without spaces:
    // its name cannot hold a character that ends a name, so it ends at that '>'.
    const int32_t close = s + 2 + expectedLength_;
    if (close < length_ && text_[close] == u'>' &&
        char_search::sameUnits(text_ + s + 2, expectedName_, expectedLength_)) {
      nameFirst_ = s + 2;
      nameLast_ = close - 1;
      return node(node_kind::kEndTag, s, close + 1, kExpectedEndTag);
    }
  }
  const char16_t* end = text_ + length_;
  const char16_t* q = text_ + s + 2;
  while (q < end && !char_search::endsTagName(*q)) ++q;
  nameFirst_ = s + 2;
  nameLast_ = static_cast<int32_t>(q - text_) - 1;
  q = char_search::find(q, end, u'>');
  if (q == end) return unterminated(s, u"end_tag");
  return node(node_kind::kEndTag, s, static_cast<int32_t>(q - text_) + 1);
}

[[gnu::always_inline]] inline NodeReport NodeScanner::nextMarkupInText() {
  const char16_t* end = text_ + length_;
  const char16_t* p = char_search::find(text_ + offset_, end, u'<');
  offset_ = static_cast<int32_t>(p - text_);
  if (end - p >= 2) {
    // The usual nodes straight away; '?' and '!' do not open a start tag.
    const char16_t c = p[1];
    if (c == u'/') return scanEndTag(offset_);
    if (scan_chars::opensStartTag(c)) return scanStartTag(offset_);
  }
  return scanOnce();  // the end of the text and the rarer nodes, out of line
}

}  // namespace xml
