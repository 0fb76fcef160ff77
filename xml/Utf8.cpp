#include "xml/Utf8.h"

namespace xml {

namespace utf8 {

Sequence decodeSequence(const unsigned char* p, const unsigned char* end) {
  const unsigned char lead = p[0];
  if (lead < 0x80) return {lead, 1, SequenceKind::valid};
  if (lead >= 0xF8) return {0, 1, SequenceKind::invalid};

  int continuations;
  char32_t value;
  if (lead >= 0xF0) {
    continuations = 3;
    value = lead & 0x07;
  } else if (lead >= 0xE0) {
    continuations = 2;
    value = lead & 0x0F;
  } else {
    // 110xxxxx, and a stray 10xxxxxx read the same way.
    continuations = 1;
    value = lead & 0x1F;
  }
  for (int i = 1; i <= continuations; ++i) {
    if (p + i >= end) return {0, i, SequenceKind::cutAtEnd};
    if (p[i] < 0x80) return {0, i, SequenceKind::invalid};
    value = (value << 6) | (p[i] & 0x3F);
  }
  return {value, continuations + 1, SequenceKind::valid};
}

Detection detect(const unsigned char* bytes, std::size_t length) {
  const unsigned char* p = bytes;
  const unsigned char* const end = bytes + length;
  while (p < end && *p) {
    if (*p < 0x80) {
      ++p;
      continue;
    }
    const Sequence s = decodeSequence(p, end);
    if (s.kind == SequenceKind::invalid) return Detection::notUtf8;
    if (s.kind == SequenceKind::cutAtEnd) return Detection::cutAtEnd;
    p += s.length;
  }
  return Detection::utf8;
}

std::size_t incompleteTail(const unsigned char* bytes, std::size_t length) {
  // A byte below 0x80 always starts a sequence of its own, so sequences can
  // be followed from the last such byte instead of from the start.
  std::size_t from = length;
  while (from > 0 && bytes[from - 1] >= 0x80) --from;
  if (from > 0) --from;
  const unsigned char* p = bytes + from;
  const unsigned char* const end = bytes + length;
  while (p < end) {
    const Sequence s = decodeSequence(p, end);
    if (s.kind == SequenceKind::cutAtEnd) return static_cast<std::size_t>(end - p);
    p += s.length;
  }
  return 0;
}

}  // namespace utf8

}  // namespace xml
