#pragma once

// Small search loops the scanner spends most of its time in.
namespace char_search {

inline bool isSpace(char16_t c) { return c == u' ' || c == u'\n' || c == u'\t' || c == u'\r'; }

// First position in [p, end) holding `a`, or end.
inline const char16_t* find(const char16_t* p, const char16_t* end, char16_t a) {
  while (p < end && *p != a)
    ++p;
  return p;
}

// First position in [p, end) holding `a` or `b`, or end.
inline const char16_t* findEither(const char16_t* p, const char16_t* end, char16_t a, char16_t b) {
  while (p < end && *p != a && *p != b)
    ++p;
  return p;
}

} // namespace char_search
