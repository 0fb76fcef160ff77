#include "xml/WrittenTagStack.h"

namespace xml {

namespace {

char16_t foldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

}  // namespace

void WrittenTagStack::reset(bool ignoreCase) {
  ignoreCase_ = ignoreCase;
  entries_.assign(1, Entry{});
  bucketTop_.fill(0);
}

int WrittenTagStack::bucketOf(std::u16string_view name) const {
  unsigned sum = 0;
  for (char16_t c : name) sum += ignoreCase_ ? foldAscii(c) : c;
  return static_cast<int>(sum % kBuckets);
}

bool WrittenTagStack::sameName(std::u16string_view a, std::u16string_view b) const {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (ignoreCase_ ? foldAscii(a[i]) != foldAscii(b[i]) : a[i] != b[i]) return false;
  return true;
}

void WrittenTagStack::push(int32_t record, std::u16string_view name) {
  Entry entry;
  entry.record = record;
  entry.name = name;
  const int bucket = bucketOf(name);
  entry.belowInBucket = bucketTop_[static_cast<std::size_t>(bucket)];
  entries_.push_back(std::move(entry));
  bucketTop_[static_cast<std::size_t>(bucket)] = depth();
}

void WrittenTagStack::pop() {
  if (depth() == 0) return;
  const int bucket = bucketOf(top().name);
  bucketTop_[static_cast<std::size_t>(bucket)] = top().belowInBucket;
  entries_.pop_back();
}

int32_t WrittenTagStack::find(std::u16string_view name) const {
  for (int32_t d = bucketTop_[static_cast<std::size_t>(bucketOf(name))]; d != 0;
       d = entries_[static_cast<std::size_t>(d)].belowInBucket)
    if (sameName(entries_[static_cast<std::size_t>(d)].name, name)) return d;
  return 0;
}

int32_t WrittenTagStack::depthOf(int32_t record) const {
  for (int32_t d = depth(); d >= 1; --d)
    if (entries_[static_cast<std::size_t>(d)].record == record) return d;
  return 0;
}

}  // namespace xml
