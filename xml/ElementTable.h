// The element index: records in fixed segments that never move, and long tag lengths.
#pragma once

#include "xml/ElementRecord.h"

#include <cstdint>
#include <memory>
#include <unordered_map>

namespace xml {

// The element index: records in segments of 65,536, so a full segment never moves.
// Record i lives in segment i >> 16 at slot i & 0xFFFF.
class ElementTable {
 public:
  static constexpr int kSegmentShift = 16;
  static constexpr int32_t kSegmentRecords = 1 << kSegmentShift;

  ElementTable() = default;
  ElementTable(const ElementTable&) = delete;
  ElementTable& operator=(const ElementTable&) = delete;

  ElementRecord& at(int32_t index) { return segments_[index >> kSegmentShift][index & (kSegmentRecords - 1)]; }
  const ElementRecord& at(int32_t index) const {
    return segments_[index >> kSegmentShift][index & (kSegmentRecords - 1)];
  }

  int32_t capacity() const { return capacity_; }
  int32_t pointerCapacity() const { return pointerCapacity_; }
  // Records allocated for segment s (full segments 65,536; the last one what it needs).
  int32_t segmentSize(int32_t segment) const;

  // Grows to the requested record count: at most one new segment per step, the
  // pointer array replaced by one of 2 x W + 4 entries when too small. Never shrinks.
  void growTo(int64_t requested);
  // The parser's step when the next free index reaches the capacity.
  void growByHalf() { growTo(static_cast<int64_t>(capacity_) + capacity_ / 2); }
  // The sizing done before every parse: (text length / 64) + 8 records.
  void reserveForText(int64_t textLength) { growTo(textLength / 64 + 8); }
  // Frees every segment and the pointer array.
  void release();

  // Tag lengths of record i. A length that does not fit its field (22 bits start tag,
  // 10 bits end tag) is kept exactly in a side table; the field then holds its maximum.
  int32_t startTagLength(int32_t index) const;
  int32_t endTagLength(int32_t index) const;
  // True when both lengths fit their fields and no side-table entry could be left over
  // for the record: the packed word alone then says all.
  bool fitsTagLengths(int32_t startLength, int32_t endLength) const {
    return static_cast<uint32_t>(startLength) < tag_lengths::kStartMax &&
           static_cast<uint32_t>(endLength) < tag_lengths::kEndMax && longStartTags_.empty() && longEndTags_.empty();
  }
  void setTagLengths(int32_t index, int32_t startLength, int32_t endLength) {
    if (fitsTagLengths(startLength, endLength)) {
      at(index).tagLengths = tag_lengths::pack(static_cast<uint32_t>(startLength), static_cast<uint32_t>(endLength));
      return;
    }
    setLongTagLengths(index, startLength, endLength);
  }
  void setStartTagLength(int32_t index, int32_t startLength);
  void setEndTagLength(int32_t index, int32_t endLength) {
    if (static_cast<uint32_t>(endLength) < tag_lengths::kEndMax && longEndTags_.empty()) {
      ElementRecord& record = at(index);
      record.tagLengths =
          tag_lengths::pack(tag_lengths::startField(record.tagLengths), static_cast<uint32_t>(endLength));
      return;
    }
    setLongEndTagLength(index, endLength);
  }
  void forgetLongTags();

 private:
  void setLongEndTagLength(int32_t index, int32_t endLength);
  void setLongTagLengths(int32_t index, int32_t startLength, int32_t endLength);

  // Segments live in malloc blocks so that a growing last segment can be resized in
  // place (realloc may move its pages instead of copying them). Records are plain data
  // and are written in full before they are read, so new ones are not cleared.
  struct FreeBlock {
    void operator()(ElementRecord* block) const;
  };
  using Segment = std::unique_ptr<ElementRecord[], FreeBlock>;
  std::unique_ptr<Segment[]> segments_;
  int32_t capacity_ = 0;
  int32_t pointerCapacity_ = 0;
  std::unordered_map<int32_t, int32_t> longStartTags_;
  std::unordered_map<int32_t, int32_t> longEndTags_;
};

}  // namespace xml
