#include "xml/UnicodeForms.h"

#include <cstdint>
#include <cstring>

#include "xml/Utf8.h"

namespace xml {

namespace unicode {
namespace {

constexpr char32_t kSubstitute = u'?';
constexpr char32_t kLastCodePoint = 0x10FFFF;

// Collects output units; with no buffer it only counts them.
template <typename Unit>
class UnitWriter {
 public:
  UnitWriter(Unit* out, std::size_t capacity) : out_(out), capacity_(capacity) {}

  bool hasRoom(std::size_t units) const { return !out_ || count_ + units <= capacity_; }
  std::size_t room() const { return out_ ? capacity_ - count_ : SIZE_MAX; }
  void put(Unit unit) {
    if (out_) out_[count_] = unit;
    ++count_;
  }
  Unit* cursor() const { return out_ ? out_ + count_ : nullptr; }
  void advance(std::size_t units) { count_ += units; }
  std::size_t count() const { return count_; }

 private:
  Unit* out_;
  std::size_t capacity_;
  std::size_t count_ = 0;
};

bool isHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
bool isSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// Length of the run of ASCII bytes at `p`, eight bytes at a time where it can.
std::size_t asciiRun(const unsigned char* p, const unsigned char* end) {
  const unsigned char* q = p;
  while (end - q >= 8) {
    std::uint64_t word;
    std::memcpy(&word, q, sizeof word);
    if (word & 0x8080808080808080ULL) break;
    q += 8;
  }
  while (q < end && *q < 0x80) ++q;
  return static_cast<std::size_t>(q - p);
}

std::size_t asciiRun(const char16_t* p, const char16_t* end) {
  const char16_t* q = p;
  while (q < end && *q < 0x80) ++q;
  return static_cast<std::size_t>(q - p);
}

// Copies the ASCII run at `p` as it fits; returns the units taken.
template <typename In, typename Unit>
std::size_t copyAsciiRun(const In* p, const In* end, UnitWriter<Unit>& writer) {
  std::size_t run = asciiRun(p, end);
  if (run > writer.room()) run = writer.room();
  if (Unit* dst = writer.cursor())
    for (std::size_t i = 0; i < run; ++i) dst[i] = static_cast<Unit>(p[i]);
  writer.advance(run);
  return run;
}

// Writes one code point as UTF-16; false when it does not fit.
bool putUtf16(char32_t c, UnitWriter<char16_t>& writer) {
  if (c < 0x10000) {
    if (!writer.hasRoom(1)) return false;
    writer.put(static_cast<char16_t>(c));
    return true;
  }
  if (!writer.hasRoom(2)) return false;
  c -= 0x10000;
  writer.put(static_cast<char16_t>(0xD800 + (c >> 10)));
  writer.put(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  return true;
}

bool putUtf8(char32_t c, UnitWriter<unsigned char>& writer) {
  const std::size_t length = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
  if (!writer.hasRoom(length)) return false;
  switch (length) {
    case 1: writer.put(static_cast<unsigned char>(c)); break;
    case 2:
      writer.put(static_cast<unsigned char>(0xC0 | (c >> 6)));
      writer.put(static_cast<unsigned char>(0x80 | (c & 0x3F)));
      break;
    case 3:
      writer.put(static_cast<unsigned char>(0xE0 | (c >> 12)));
      writer.put(static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F)));
      writer.put(static_cast<unsigned char>(0x80 | (c & 0x3F)));
      break;
    default:
      writer.put(static_cast<unsigned char>(0xF0 | (c >> 18)));
      writer.put(static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F)));
      writer.put(static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F)));
      writer.put(static_cast<unsigned char>(0x80 | (c & 0x3F)));
      break;
  }
  return true;
}

bool putUtf32(char32_t c, UnitWriter<char32_t>& writer) {
  if (!writer.hasRoom(1)) return false;
  writer.put(c);
  return true;
}

// UTF-8 decoding shared by both targets: `put` writes one code point.
template <typename Unit, typename Put>
Converted decodeUtf8(const unsigned char* in, std::size_t length, Unit* out, std::size_t capacity, Put put) {
  Converted result;
  UnitWriter<Unit> writer(out, capacity);
  const unsigned char* p = in;
  const unsigned char* const end = in + length;
  while (p < end) {
    if (*p < 0x80) {
      const std::size_t copied = copyAsciiRun(p, end, writer);
      if (copied == 0) break;
      p += copied;
      continue;
    }
    const utf8::Sequence s = utf8::decodeSequence(p, end);
    char32_t c = s.codePoint;
    const bool bad = s.kind != utf8::SequenceKind::valid || c > kLastCodePoint;
    if (bad) c = kSubstitute;
    if (!put(c, writer)) break;
    result.substituted |= bad;
    p += s.length;
  }
  result.consumed = static_cast<std::size_t>(p - in);
  result.produced = writer.count();
  return result;
}

// Reads one code point from UTF-16; unpaired surrogates give '?'.
char32_t nextUtf16(const char16_t*& p, const char16_t* end, bool& bad) {
  const char32_t first = *p++;
  bad = false;
  if (!isSurrogate(first)) return first;
  if (isHighSurrogate(first) && p < end && isLowSurrogate(*p)) {
    const char32_t second = *p++;
    return 0x10000 + ((first & 0x3FF) << 10) + (second & 0x3FF);
  }
  bad = true;
  return kSubstitute;
}

template <typename Unit, typename Put>
Converted encodeUtf16(const char16_t* in, std::size_t length, Unit* out, std::size_t capacity, Put put) {
  Converted result;
  UnitWriter<Unit> writer(out, capacity);
  const char16_t* p = in;
  const char16_t* const end = in + length;
  while (p < end) {
    if (*p < 0x80) {
      const std::size_t copied = copyAsciiRun(p, end, writer);
      if (copied == 0) break;
      p += copied;
      continue;
    }
    const char16_t* const at = p;
    bool bad;
    const char32_t c = nextUtf16(p, end, bad);
    if (!put(c, writer)) {
      p = at;
      break;
    }
    result.substituted |= bad;
  }
  result.consumed = static_cast<std::size_t>(p - in);
  result.produced = writer.count();
  return result;
}

template <typename Unit, typename Put>
Converted encodeUtf32(const char32_t* in, std::size_t length, Unit* out, std::size_t capacity, Put put) {
  Converted result;
  UnitWriter<Unit> writer(out, capacity);
  std::size_t i = 0;
  for (; i < length; ++i) {
    char32_t c = in[i];
    const bool bad = c > kLastCodePoint || isSurrogate(c);
    if (bad) c = kSubstitute;
    if (!put(c, writer)) break;
    result.substituted |= bad;
  }
  result.consumed = i;
  result.produced = writer.count();
  return result;
}

}  // namespace

Converted utf8ToUtf16(const unsigned char* in, std::size_t length, char16_t* out, std::size_t capacity) {
  // A surrogate value spelt in UTF-8 is kept as the unit it names, so text
  // that carried a lone surrogate comes back as it was.
  if (!out) return decodeUtf8(in, length, out, capacity, putUtf16);

  // The hot path of reading files: two- and three-byte characters are decoded
  // in place (they read the same under the reader's rules, where any byte
  // with the high bit set continues a sequence); the rest as in decodeUtf8.
  Converted result;
  const unsigned char* p = in;
  const unsigned char* const end = in + length;
  std::size_t n = 0;
  while (p < end) {
    const unsigned char lead = *p;
    if (lead < 0x80) {
      std::size_t run = asciiRun(p, end);
      if (run > capacity - n) run = capacity - n;
      if (run == 0) break;
      for (std::size_t i = 0; i < run; ++i) out[n + i] = p[i];
      n += run;
      p += run;
      continue;
    }
    if (n >= capacity) break;
    if (lead >= 0xC0 && lead < 0xE0 && end - p >= 2 && p[1] >= 0x80) {
      out[n++] = static_cast<char16_t>(((lead & 0x1F) << 6) | (p[1] & 0x3F));
      p += 2;
      continue;
    }
    if (lead >= 0xE0 && lead < 0xF0 && end - p >= 3 && p[1] >= 0x80 && p[2] >= 0x80) {
      out[n++] = static_cast<char16_t>(((lead & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
      p += 3;
      continue;
    }
    const utf8::Sequence s = utf8::decodeSequence(p, end);
    char32_t c = s.codePoint;
    const bool bad = s.kind != utf8::SequenceKind::valid || c > kLastCodePoint;
    if (bad) c = kSubstitute;
    UnitWriter<char16_t> writer(out + n, capacity - n);
    if (!putUtf16(c, writer)) break;
    n += writer.count();
    result.substituted |= bad;
    p += s.length;
  }
  result.consumed = static_cast<std::size_t>(p - in);
  result.produced = n;
  return result;
}

Converted utf8ToUtf32(const unsigned char* in, std::size_t length, char32_t* out, std::size_t capacity) {
  return decodeUtf8(in, length, out, capacity, putUtf32);
}

Converted utf16ToUtf8(const char16_t* in, std::size_t length, unsigned char* out, std::size_t capacity) {
  return encodeUtf16(in, length, out, capacity, putUtf8);
}

Converted utf16ToUtf32(const char16_t* in, std::size_t length, char32_t* out, std::size_t capacity) {
  return encodeUtf16(in, length, out, capacity, putUtf32);
}

Converted utf32ToUtf8(const char32_t* in, std::size_t length, unsigned char* out, std::size_t capacity) {
  return encodeUtf32(in, length, out, capacity, putUtf8);
}

Converted utf32ToUtf16(const char32_t* in, std::size_t length, char16_t* out, std::size_t capacity) {
  return encodeUtf32(in, length, out, capacity, putUtf16);
}

}  // namespace unicode

}  // namespace xml
