#include "xml/AttributeScanner.h"

#include "xml/CharSearch.h"

namespace xml {

using char_search::isSpace;

namespace {

bool endsNameToken(char16_t c) { return isSpace(c) || c == u'/' || c == u'=' || c == u'>' || c == u'?'; }

}  // namespace

void AttributeScanner::scan(std::vector<AttributeToken>& attributes, int32_t& tagNameEnd) {
  attributes.clear();
  tagNameEnd = pos_;
  bool seenTagName = false;
  bool valueExpected = false;
  AttributeToken* current = nullptr;  // the attribute the next value belongs to

  while (pos_ < end_) {
    const char16_t c = text_[pos_];
    if (isSpace(c)) {
      ++pos_;
      continue;
    }
    if (c == u'"' || c == u'\'') {
      // Quoted value: to the next equal quote (or the end), quotes excluded.
      int32_t close = pos_ + 1;
      while (close < end_ && text_[close] != c) ++close;
      const int32_t after = close < end_ ? close + 1 : end_;
      if (valueExpected && current != nullptr) {
        current->hasValue = true;
        current->valueTokenStart = pos_;
        current->valueStart = pos_ + 1;
        current->valueLength = close - pos_ - 1;
        current->tokenEnd = after;
      }
      valueExpected = false;  // a quoted value after no '=' belongs to nothing
      pos_ = after;
      continue;
    }
    if (valueExpected) {
      // Unquoted value: to the next whitespace or '>'.
      int32_t stop = pos_;
      while (stop < end_ && !isSpace(text_[stop]) && text_[stop] != u'>') ++stop;
      if (current != nullptr) {
        current->hasValue = true;
        current->valueTokenStart = pos_;
        current->valueStart = pos_;
        current->valueLength = stop - pos_;
        current->tokenEnd = stop;
      }
      valueExpected = false;
      pos_ = stop;
      continue;
    }
    if (c == u'/' || c == u'>' || c == u'?') return;  // the tag ends here
    if (c == u'=') {
      valueExpected = true;
      ++pos_;
      continue;
    }
    int32_t stop = pos_ + 1;
    while (stop < end_ && !endsNameToken(text_[stop])) ++stop;
    if (!seenTagName) {
      seenTagName = true;
      tagNameEnd = stop;
      current = nullptr;
    } else {
      AttributeToken token;
      token.nameStart = pos_;
      token.nameLength = stop - pos_;
      token.valueStart = pos_;
      token.valueLength = stop - pos_;
      token.tokenEnd = stop;
      token.valueTokenStart = stop;
      attributes.push_back(token);
      current = &attributes.back();
    }
    pos_ = stop;
  }
}

}  // namespace xml
