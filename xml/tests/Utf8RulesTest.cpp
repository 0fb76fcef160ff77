#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "xml/Utf8.h"

namespace xml {

namespace {

using Bytes = std::vector<unsigned char>;

utf8::Sequence decode(const Bytes& b) { return utf8::decodeSequence(b.data(), b.data() + b.size()); }
utf8::Detection detect(const Bytes& b) { return utf8::detect(b.data(), b.size()); }
std::size_t tail(const Bytes& b) { return utf8::incompleteTail(b.data(), b.size()); }

TEST(Utf8Sequence, WellFormedCharactersOfEveryLength) {
  EXPECT_EQ(decode({0x41}).codePoint, 0x41u);
  const utf8::Sequence two = decode({0xC3, 0xA9});
  EXPECT_EQ(two.kind, utf8::SequenceKind::valid);
  EXPECT_EQ(two.codePoint, 0xE9u);
  EXPECT_EQ(two.length, 2);
  EXPECT_EQ(decode({0xE4, 0xB8, 0xAD}).codePoint, 0x4E2Du);
  const utf8::Sequence four = decode({0xF0, 0x9F, 0x98, 0x80});
  EXPECT_EQ(four.codePoint, 0x1F600u);
  EXPECT_EQ(four.length, 4);
}

TEST(Utf8Sequence, ForgivingRulesOfTheReader) {
  // Overlong forms decode to what they spell.
  EXPECT_EQ(decode({0xC0, 0x80}).codePoint, 0u);
  EXPECT_EQ(decode({0xC0, 0x80}).kind, utf8::SequenceKind::valid);
  // Any byte with the high bit set continues a sequence.
  EXPECT_EQ(decode({0xC3, 0xE9}).kind, utf8::SequenceKind::valid);
  // A lone continuation byte leads a two-byte sequence.
  const utf8::Sequence lone = decode({0x85, 0x90});
  EXPECT_EQ(lone.kind, utf8::SequenceKind::valid);
  EXPECT_EQ(lone.codePoint, (0x05u << 6) | 0x10u);
  EXPECT_EQ(lone.length, 2);
}

TEST(Utf8Sequence, InvalidAndCutSequences) {
  const utf8::Sequence fiveBit = decode({0xF8, 0x80, 0x80});
  EXPECT_EQ(fiveBit.kind, utf8::SequenceKind::invalid);
  EXPECT_EQ(fiveBit.length, 1);
  // The byte below 0x80 is not part of the broken sequence.
  const utf8::Sequence broken = decode({0xE4, 0xB8, 0x41});
  EXPECT_EQ(broken.kind, utf8::SequenceKind::invalid);
  EXPECT_EQ(broken.length, 2);
  EXPECT_EQ(decode({0x80, 0x00}).kind, utf8::SequenceKind::invalid);
  const utf8::Sequence cut = decode({0xF0, 0x9F, 0x98});
  EXPECT_EQ(cut.kind, utf8::SequenceKind::cutAtEnd);
  EXPECT_EQ(cut.length, 3);
}

TEST(Utf8Detection, ChunksThatAreAndAreNotUtf8) {
  EXPECT_EQ(detect({}), utf8::Detection::utf8);
  EXPECT_EQ(detect({'<', 'a', '/', '>'}), utf8::Detection::utf8);
  EXPECT_EQ(detect({'a', 0xE4, 0xB8, 0xAD, 'b', 0xC3, 0xA9}), utf8::Detection::utf8);
  EXPECT_EQ(detect({'a', 0xE9, 'b'}), utf8::Detection::notUtf8);  // Latin-1 e acute
  EXPECT_EQ(detect({'a', 0xFF}), utf8::Detection::notUtf8);
  EXPECT_EQ(detect({'a', 0xE4, 0xB8}), utf8::Detection::cutAtEnd);
  // The scan stops at a zero byte: what follows is not looked at, and the
  // zero itself breaks a sequence it interrupts.
  EXPECT_EQ(detect({'a', 0x00, 0xFF}), utf8::Detection::utf8);
  EXPECT_EQ(detect({'a', 0xE4, 0x00, 0xB8, 0xAD}), utf8::Detection::notUtf8);
  // A fault before a cut end is still a fault.
  EXPECT_EQ(detect({0xE9, 'x', 0xE4}), utf8::Detection::notUtf8);
}

TEST(Utf8Tail, BytesOfAnUnfinishedLastCharacter) {
  EXPECT_EQ(tail({}), 0u);
  EXPECT_EQ(tail({'a', 'b'}), 0u);
  EXPECT_EQ(tail({'a', 0xE4, 0xB8, 0xAD}), 0u);
  EXPECT_EQ(tail({'a', 0xE4, 0xB8}), 2u);
  EXPECT_EQ(tail({0xE4}), 1u);
  EXPECT_EQ(tail({'a', 0xF0, 0x9F, 0x98}), 3u);
  EXPECT_EQ(tail({'a', 0xC3, 0xA9, 0x80}), 1u);  // a stray continuation needs one more
  EXPECT_EQ(tail({'a', 0x80, 0x80}), 0u);        // ... and has it
  EXPECT_EQ(tail({'a', 0xFF}), 0u);              // invalid, but complete
  EXPECT_EQ(tail({'a', 0xE4, 'b'}), 0u);
}

// The tail must agree with following every sequence from the very start, which
// is what it shortens.
std::size_t tailFromStart(const Bytes& b) {
  const unsigned char* p = b.data();
  const unsigned char* end = b.data() + b.size();
  while (p < end) {
    const utf8::Sequence s = utf8::decodeSequence(p, end);
    if (s.kind == utf8::SequenceKind::cutAtEnd) return static_cast<std::size_t>(end - p);
    p += s.length;
  }
  return 0;
}

TEST(Utf8Tail, AgreesWithAScanFromTheStartOnRandomBytes) {
  std::mt19937 random(7);
  const unsigned char pool[] = {'a', 0x00, 0x7F, 0x80, 0xBF, 0xC3, 0xE4, 0xEF, 0xF0, 0xF7, 0xF8, 0xFF};
  for (int round = 0; round < 20000; ++round) {
    Bytes b(random() % 12);
    for (unsigned char& c : b) c = pool[random() % sizeof pool];
    ASSERT_EQ(tail(b), tailFromStart(b)) << round;
  }
}

}  // namespace

}  // namespace xml
