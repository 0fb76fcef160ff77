// The open elements of a document being written out in write-file mode.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace xml {

// The elements a document in write-file mode has opened (written as a start
// tag alone) and not yet closed. Names are also kept in 23 hash buckets, so
// that an end tag finds its open element without walking the whole stack.
class WrittenTagStack {
 public:
  struct Entry {
    int32_t record = 0;
    std::u16string name;
    int32_t lastChild = 0;      // the element's last child written so far
    int32_t belowInBucket = 0;  // depth of the next entry down in the same bucket
  };

  WrittenTagStack() { reset(false); }

  // Empties the stack; names compare ignoring ASCII letter case when asked.
  void reset(bool ignoreCase);

  // Open elements; entry 0 stands for the document level.
  int32_t depth() const { return static_cast<int32_t>(entries_.size()) - 1; }
  Entry& top() { return entries_.back(); }
  Entry& at(int32_t depth) { return entries_[static_cast<std::size_t>(depth)]; }

  void push(int32_t record, std::u16string_view name);
  void pop();

  // Depth of the innermost open element of that name; 0 when none is open.
  int32_t find(std::u16string_view name) const;
  // Depth of the open entry for a record; 0 when it is not open.
  int32_t depthOf(int32_t record) const;

 private:
  static constexpr int kBuckets = 23;
  int bucketOf(std::u16string_view name) const;
  bool sameName(std::u16string_view a, std::u16string_view b) const;

  std::vector<Entry> entries_;
  std::array<int32_t, kBuckets> bucketTop_{};  // depth of the topmost entry, 0: none
  bool ignoreCase_ = false;
};

}  // namespace xml
