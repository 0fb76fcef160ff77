// The element index's record: eight 32-bit words, its flag bits and packed tag lengths.
#pragma once

#include <cstdint>

namespace xml {

// One element of the index: eight 32-bit words, offsets into the document text.
struct ElementRecord {
  int32_t start;        // offset of the '<' that opens the start tag
  int32_t length;       // from the '<' to the '>' of the end tag (start tag alone when unended)
  int32_t tagLengths;   // bits 0-21 start-tag length, bits 22-31 end-tag length
  int32_t flags;        // level in bits 0-15 plus the flag bits below
  int32_t parent;       // 0 for a top-level element
  int32_t firstChild;   // 0 if none
  int32_t nextSibling;  // 0 for the last one
  int32_t prevSibling;  // on a first child: the LAST child of the same parent
};
static_assert(sizeof(ElementRecord) == 32, "an element record is eight 32-bit words");

namespace element_flags {
inline constexpr int32_t kLevelMask = 0xFFFF;
inline constexpr int32_t kWrittenOut = 0x20000;  // write-file mode: record flushed to the file
inline constexpr int32_t kFirstChild = 0x80000;
inline constexpr int32_t kNoEndTag = 0x100000;       // unended start tag
inline constexpr int32_t kHasError = 0x200000;       // a parse fault lies inside this element
inline constexpr int32_t kNotWellFormed = 0x800000;  // record 0 only
}  // namespace element_flags

namespace tag_lengths {
inline constexpr uint32_t kStartMax = 0x3FFFFF;  // 22 bits
inline constexpr uint32_t kEndMax = 0x3FF;       // 10 bits
inline constexpr int kEndShift = 22;

// Raw field values; a field that holds its maximum means "see the element table's
// long-tag side table" (ElementTable::startTagLength / endTagLength).
inline uint32_t startField(int32_t word) { return static_cast<uint32_t>(word) & kStartMax; }
inline uint32_t endField(int32_t word) { return static_cast<uint32_t>(word) >> kEndShift; }
inline int32_t pack(uint32_t startField, uint32_t endField) {
  return static_cast<int32_t>((startField & kStartMax) | (endField << kEndShift));
}
}  // namespace tag_lengths

}  // namespace xml
