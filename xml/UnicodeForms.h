// Conversions between UTF-8, UTF-16 and UTF-32 done without iconv.
#pragma once

#include <cstddef>

namespace xml {

// Conversions between the three Unicode forms the reader handles itself:
// UTF-8 (read with the reader's own sequence rules, see Utf8.h), UTF-16 and
// UTF-32. Each writes at most `capacity` units and never a part of a
// character; with `out` null it only counts. Anything that is not a
// character of the target (an invalid UTF-8 sequence, an unpaired
// surrogate, a value above 0x10FFFF) becomes '?' and sets `substituted`.
namespace unicode {

struct Converted {
  std::size_t consumed = 0;  // source units used
  std::size_t produced = 0;  // target units written (or counted)
  bool substituted = false;
};

Converted utf8ToUtf16(const unsigned char* in, std::size_t length, char16_t* out, std::size_t capacity);
Converted utf8ToUtf32(const unsigned char* in, std::size_t length, char32_t* out, std::size_t capacity);
Converted utf16ToUtf8(const char16_t* in, std::size_t length, unsigned char* out, std::size_t capacity);
Converted utf16ToUtf32(const char16_t* in, std::size_t length, char32_t* out, std::size_t capacity);
Converted utf32ToUtf8(const char32_t* in, std::size_t length, unsigned char* out, std::size_t capacity);
Converted utf32ToUtf16(const char32_t* in, std::size_t length, char16_t* out, std::size_t capacity);

}  // namespace unicode

}  // namespace xml
