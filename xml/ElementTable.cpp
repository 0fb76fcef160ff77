#include "xml/ElementTable.h"

#include <algorithm>
#include <climits>

#include <cstdlib>
#include <new>

namespace xml {

namespace {

// A block of `count` records holding the first records of `old` (which it replaces).
ElementRecord* resizeBlock(ElementRecord* old, int32_t count) {
  void* block = std::realloc(old, static_cast<size_t>(count) * sizeof(ElementRecord));
  if (block == nullptr) throw std::bad_alloc();
  return static_cast<ElementRecord*>(block);
}

}  // namespace

void ElementTable::FreeBlock::operator()(ElementRecord* block) const { std::free(block); }

int32_t ElementTable::segmentSize(int32_t segment) const {
  if (capacity_ == 0 || segment < 0) return 0;
  const int32_t last = (capacity_ - 1) >> kSegmentShift;
  if (segment < last) return kSegmentRecords;
  if (segment == last) return capacity_ - last * kSegmentRecords;
  return 0;
}

void ElementTable::growTo(int64_t requested) {
  // Record indexes are 32-bit signed; a text can never need more than that.
  requested = std::min<int64_t>(requested, INT32_MAX);
  if (requested <= capacity_) return;

  const int64_t lastSegment = capacity_ == 0 ? 0 : (capacity_ - 1) >> kSegmentShift;
  int64_t wantedSegment = (requested - 1) >> kSegmentShift;
  if (wantedSegment > lastSegment + 1) {
    requested = (lastSegment + 2) * kSegmentRecords;
    wantedSegment = lastSegment + 1;
  }
  requested = std::min<int64_t>(requested, INT32_MAX);

  if (pointerCapacity_ < wantedSegment + 1) {
    const int64_t entries = 2 * wantedSegment + 4;
    auto pointers = std::make_unique<Segment[]>(static_cast<size_t>(entries));
    for (int32_t i = 0; i < pointerCapacity_; ++i) pointers[i] = std::move(segments_[i]);
    segments_ = std::move(pointers);
    pointerCapacity_ = static_cast<int32_t>(entries);
  }

  const int32_t oldLastSize = segmentSize(static_cast<int32_t>(lastSegment));
  const int32_t newLastSize = static_cast<int32_t>(requested - wantedSegment * kSegmentRecords);
  const auto resize = [this](int64_t segment, int32_t count) {
    ElementRecord* block = resizeBlock(segments_[segment].get(), count);
    (void)segments_[segment].release();  // realloc took over (or kept) the old block
    segments_[segment].reset(block);
  };
  if (wantedSegment > lastSegment) {
    // The old last segment becomes an inner one: widen it to a full segment.
    if (oldLastSize < kSegmentRecords) resize(lastSegment, kSegmentRecords);
    resize(wantedSegment, newLastSize);
  } else {
    resize(lastSegment, newLastSize);
  }
  capacity_ = static_cast<int32_t>(requested);
}

void ElementTable::release() {
  segments_.reset();
  capacity_ = 0;
  pointerCapacity_ = 0;
  forgetLongTags();
}

int32_t ElementTable::startTagLength(int32_t index) const {
  const uint32_t field = tag_lengths::startField(at(index).tagLengths);
  if (field == tag_lengths::kStartMax) {
    auto found = longStartTags_.find(index);
    if (found != longStartTags_.end()) return found->second;
  }
  return static_cast<int32_t>(field);
}

int32_t ElementTable::endTagLength(int32_t index) const {
  const uint32_t field = tag_lengths::endField(at(index).tagLengths);
  if (field == tag_lengths::kEndMax) {
    auto found = longEndTags_.find(index);
    if (found != longEndTags_.end()) return found->second;
  }
  return static_cast<int32_t>(field);
}

namespace {

// The field value for a length: the length itself, or the field's maximum with the
// length kept in the side table.
uint32_t fieldFor(int32_t index, int32_t length, uint32_t maximum, std::unordered_map<int32_t, int32_t>& longLengths) {
  const uint32_t value = static_cast<uint32_t>(std::max(length, 0));
  if (value >= maximum) {
    longLengths[index] = static_cast<int32_t>(value);
    return maximum;
  }
  if (!longLengths.empty()) longLengths.erase(index);
  return value;
}

}  // namespace

void ElementTable::setLongTagLengths(int32_t index, int32_t startLength, int32_t endLength) {
  // Writes the whole word: a fresh record's old contents are never read.
  at(index).tagLengths = tag_lengths::pack(fieldFor(index, startLength, tag_lengths::kStartMax, longStartTags_),
                                           fieldFor(index, endLength, tag_lengths::kEndMax, longEndTags_));
}

void ElementTable::setStartTagLength(int32_t index, int32_t startLength) {
  ElementRecord& record = at(index);
  record.tagLengths = tag_lengths::pack(fieldFor(index, startLength, tag_lengths::kStartMax, longStartTags_),
                                        tag_lengths::endField(record.tagLengths));
}

void ElementTable::setLongEndTagLength(int32_t index, int32_t endLength) {
  ElementRecord& record = at(index);
  record.tagLengths = tag_lengths::pack(tag_lengths::startField(record.tagLengths),
                                        fieldFor(index, endLength, tag_lengths::kEndMax, longEndTags_));
}

void ElementTable::forgetLongTags() {
  longStartTags_.clear();
  longEndTags_.clear();
}

}  // namespace xml
