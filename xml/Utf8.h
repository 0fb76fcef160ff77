// UTF-8 sequences as the reader decodes and detects them.
#pragma once

#include <cstddef>

namespace xml {

// UTF-8 as the XML reader reads it: one sequence at a time, forgiving about
// overlong forms, with a lone continuation byte taken as a two-byte lead.
namespace utf8 {

enum class SequenceKind {
  valid,     // a whole character
  invalid,   // 11111xxx, or a continuation missing before a byte below 0x80
  cutAtEnd,  // the data ends before the sequence is complete
};

struct Sequence {
  char32_t codePoint;  // meaningful for valid sequences only
  int length;          // bytes the sequence covers, at least 1
  SequenceKind kind;
};

// Decodes the sequence at `p` (p < end). A byte below 0x80 is itself; a lead
// 110xxxxx takes one continuation byte, 1110xxxx two, 11110xxx three; any byte
// with the high bit set continues a sequence; a continuation byte met as a
// lead counts as 110xxxxx. An invalid sequence covers its lead and the
// continuation bytes before the byte that broke it.
Sequence decodeSequence(const unsigned char* p, const unsigned char* end);

enum class Detection {
  notUtf8,
  utf8,
  cutAtEnd,  // UTF-8 except for a sequence cut off by the end of the data
};

// Whether a chunk reads as UTF-8: scanned up to its end or its first zero
// byte, every byte of 0x80 or above must start a complete sequence.
Detection detect(const unsigned char* bytes, std::size_t length);

// The number of bytes at the end of the data that begin a character the data
// does not finish (0 to 3): what a chunk must leave for the next one.
std::size_t incompleteTail(const unsigned char* bytes, std::size_t length);

}  // namespace utf8

}  // namespace xml
