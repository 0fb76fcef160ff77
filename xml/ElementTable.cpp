#include "xml/ElementTable.h"

#include <algorithm>
#include <climits>

namespace {

std::unique_ptr<ElementRecord[]> copyIntoNewBlock(const ElementRecord* old, int32_t oldCount,
                                                  int32_t newCount) {
  auto block = std::make_unique<ElementRecord[]>(static_cast<size_t>(newCount));
  if (old != nullptr)
    std::copy(old, old + std::min(oldCount, newCount), block.get());
  return block;
}

} // namespace

int32_t ElementTable::segmentSize(int32_t segment) const {
  if (capacity_ == 0 || segment < 0)
    return 0;
  const int32_t last = (capacity_ - 1) >> kSegmentShift;
  if (segment < last)
    return kSegmentRecords;
  if (segment == last)
    return capacity_ - last * kSegmentRecords;
  return 0;
}

void ElementTable::growTo(int64_t requested) {
  // Record indexes are 32-bit signed; a text can never need more than that.
  requested = std::min<int64_t>(requested, INT32_MAX);
  if (requested <= capacity_)
    return;

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
    for (int32_t i = 0; i < pointerCapacity_; ++i)
      pointers[i] = std::move(segments_[i]);
    segments_ = std::move(pointers);
    pointerCapacity_ = static_cast<int32_t>(entries);
  }

  const int32_t oldLastSize = segmentSize(static_cast<int32_t>(lastSegment));
  const int32_t newLastSize =
      static_cast<int32_t>(requested - wantedSegment * kSegmentRecords);
  if (wantedSegment > lastSegment) {
    // The old last segment becomes an inner one: widen it to a full segment.
    if (oldLastSize < kSegmentRecords)
      segments_[lastSegment] =
          copyIntoNewBlock(segments_[lastSegment].get(), oldLastSize, kSegmentRecords);
    segments_[wantedSegment] = copyIntoNewBlock(nullptr, 0, newLastSize);
  } else {
    segments_[lastSegment] =
        copyIntoNewBlock(segments_[lastSegment].get(), oldLastSize, newLastSize);
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
    if (found != longStartTags_.end())
      return found->second;
  }
  return static_cast<int32_t>(field);
}

int32_t ElementTable::endTagLength(int32_t index) const {
  const uint32_t field = tag_lengths::endField(at(index).tagLengths);
  if (field == tag_lengths::kEndMax) {
    auto found = longEndTags_.find(index);
    if (found != longEndTags_.end())
      return found->second;
  }
  return static_cast<int32_t>(field);
}

void ElementTable::setTagLengths(int32_t index, int32_t startLength, int32_t endLength) {
  setStartTagLength(index, startLength);
  setEndTagLength(index, endLength);
}

void ElementTable::setStartTagLength(int32_t index, int32_t startLength) {
  ElementRecord& record = at(index);
  const uint32_t length = static_cast<uint32_t>(std::max(startLength, 0));
  uint32_t field = length;
  if (length >= tag_lengths::kStartMax) {
    field = tag_lengths::kStartMax;
    longStartTags_[index] = static_cast<int32_t>(length);
  } else if (!longStartTags_.empty()) {
    longStartTags_.erase(index);
  }
  record.tagLengths = tag_lengths::pack(field, tag_lengths::endField(record.tagLengths));
}

void ElementTable::setEndTagLength(int32_t index, int32_t endLength) {
  ElementRecord& record = at(index);
  const uint32_t length = static_cast<uint32_t>(std::max(endLength, 0));
  uint32_t field = length;
  if (length >= tag_lengths::kEndMax) {
    field = tag_lengths::kEndMax;
    longEndTags_[index] = static_cast<int32_t>(length);
  } else if (!longEndTags_.empty()) {
    longEndTags_.erase(index);
  }
  record.tagLengths = tag_lengths::pack(tag_lengths::startField(record.tagLengths), field);
}

void ElementTable::forgetLongTags() {
  longStartTags_.clear();
  longEndTags_.clear();
}
