// The scanner's search loops over UTF-16 text: character classes and SSE2 finds.
#pragma once

#include <cstdint>
#include <cstring>

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
constexpr uint64_t kTagNameStopBits = kTagNameEndBits | (1ull << '=');

inline bool inClass(char16_t c, uint64_t bits) { return c < 64 && ((bits >> c) & 1) != 0; }

inline bool isSpace(char16_t c) { return inClass(c, kSpaceBits); }
// Whitespace, '/' or '>': the end of a start or end tag's name.
inline bool endsTagName(char16_t c) { return inClass(c, kTagNameEndBits); }
// endsTagName or '='.
inline bool stopsTagName(char16_t c) { return inClass(c, kTagNameStopBits); }

// Skips units that are all at or above 64 four at a time: no character below 64 can
// stop a name there, and names are mostly letters. Stops before the first group of
// four that holds a unit below 64 (or fewer than four units before end).
inline const char16_t* skipHighUnits(const char16_t* p, const char16_t* end) {
  constexpr uint64_t kAbove63 = 0xFFC0FFC0FFC0FFC0ull;  // the bits of a unit at or above 64
  constexpr uint64_t kOnes = 0x0001000100010001ull;
  constexpr uint64_t kTops = 0x8000800080008000ull;
  while (end - p >= 4) {
    uint64_t units;
    std::memcpy(&units, p, sizeof units);
    const uint64_t high = units & kAbove63;
    if (((high - kOnes) & ~high & kTops) != 0) break;  // some unit is below 64
    p += 4;
  }
  return p;
}

// First position in [p, end) holding `a`, or end.
constexpr long kUnitByUnit = 16;

// Units of a run of `units` searched four at a time before the vector loop: up to
// kUnitByUnit, a multiple of four.
inline long prefixUnits(long units) { return units > kUnitByUnit ? kUnitByUnit : units & ~3L; }

inline const char16_t* find(const char16_t* p, const char16_t* end, char16_t a) {
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  // Four units per step over the first units: a unit equal to `a` is a zero unit of
  // units ^ pattern, and the lowest zero unit (the first in the text) is found exactly.
  const uint64_t pattern = 0x0001000100010001ull * a;
  for (const char16_t* stop = p + prefixUnits(end - p); p < stop; p += 4) {
    uint64_t units;
    std::memcpy(&units, p, sizeof units);
    const uint64_t x = units ^ pattern;
    const uint64_t zeros = (x - 0x0001000100010001ull) & ~x & 0x8000800080008000ull;
    if (zeros != 0) return p + (__builtin_ctzll(zeros) >> 4);
  }
#else
  for (const char16_t* stop = p + prefixUnits(end - p); p < stop; p += 4) {
    if (p[0] == a) return p;
    if (p[1] == a) return p + 1;
    if (p[2] == a) return p + 2;
    if (p[3] == a) return p + 3;
  }
#endif
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
  for (const char16_t* stop = p + prefixUnits(end - p); p < stop; p += 4) {
    if (p[0] == a || p[0] == b) return p;
    if (p[1] == a || p[1] == b) return p + 1;
    if (p[2] == a || p[2] == b) return p + 2;
    if (p[3] == a || p[3] == b) return p + 3;
  }
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

// True when the `count` units at a and b are the same, four units per comparison.
inline bool sameUnits(const char16_t* a, const char16_t* b, int32_t count) {
  int32_t i = 0;
  for (; i + 4 <= count; i += 4) {
    uint64_t x;
    uint64_t y;
    std::memcpy(&x, a + i, sizeof x);
    std::memcpy(&y, b + i, sizeof y);
    if (x != y) return false;
  }
  for (; i < count; ++i)
    if (a[i] != b[i]) return false;
  return true;
}

}  // namespace char_search

}  // namespace xml
