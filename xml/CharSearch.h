// The scanner's search loops over UTF-16 text: character classes and SSE2 finds.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace xml {

// Small search loops the scanner spends most of its time in. Most runs inside markup
// are short, so the first units are looked at one by one; longer runs go on eight
// units at a time where SSE2 is there.
namespace char_search {

// Character classes below 64 as bit masks: one shift and test instead of a chain of
// comparisons in the scanner's shortest loops.
constexpr uint64_t kSpaceBits = (1ull << '\t') | (1ull << '\n') | (1ull << '\r') | (1ull << ' ');
constexpr uint64_t kTagNameEndBits = kSpaceBits | (1ull << '/') | (1ull << '>');

inline bool inClass(char16_t c, uint64_t bits) { return c < 64 && ((bits >> c) & 1) != 0; }

inline bool isSpace(char16_t c) { return inClass(c, kSpaceBits); }
// Whitespace, '/' or '>': the end of a start or end tag's name.
inline bool endsTagName(char16_t c) { return inClass(c, kTagNameEndBits); }

// First position in [p, end) holding `a`, or end.
constexpr long kUnitByUnit = 16;

inline const char16_t* find(const char16_t* p, const char16_t* end, char16_t a) {
  for (const char16_t* stop = end - p > kUnitByUnit ? p + kUnitByUnit : end; p < stop; ++p)
    if (*p == a) return p;
#if defined(__SSE2__)
  const __m128i wanted = _mm_set1_epi16(static_cast<short>(a));
  while (end - p >= 8) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(units, wanted));
    if (mask != 0) return p + (__builtin_ctz(static_cast<unsigned>(mask)) >> 1);
    p += 8;
  }
#endif
  while (p < end && *p != a) ++p;
  return p;
}

// First position in [p, end) holding `a` or `b`, or end.
inline const char16_t* findEither(const char16_t* p, const char16_t* end, char16_t a, char16_t b) {
  for (const char16_t* stop = end - p > kUnitByUnit ? p + kUnitByUnit : end; p < stop; ++p)
    if (*p == a || *p == b) return p;
#if defined(__SSE2__)
  const __m128i first = _mm_set1_epi16(static_cast<short>(a));
  const __m128i second = _mm_set1_epi16(static_cast<short>(b));
  while (end - p >= 8) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hits = _mm_or_si128(_mm_cmpeq_epi16(units, first), _mm_cmpeq_epi16(units, second));
    const int mask = _mm_movemask_epi8(hits);
    if (mask != 0) return p + (__builtin_ctz(static_cast<unsigned>(mask)) >> 1);
    p += 8;
  }
#endif
  while (p < end && *p != a && *p != b) ++p;
  return p;
}

}  // namespace char_search

}  // namespace xml
