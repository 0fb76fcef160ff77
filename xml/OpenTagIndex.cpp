#include "xml/OpenTagIndex.h"

#include "xml/NameMatch.h"
#include "xml/OpenTagStack.h"

namespace xml {

namespace {

constexpr uint64_t kHashStart = 1469598103934665603ull;
constexpr uint64_t kHashFactor = 1099511628211ull;

std::u16string_view nameAt(const OpenTagStack& stack, int32_t depth) {
  const OpenTagStack::Entry& entry = stack.at(depth);
  return std::u16string_view(stack.nameOf(entry), static_cast<size_t>(entry.nameLength));
}

}  // namespace

template <typename Visit>
void OpenTagIndex::forEachKey(std::u16string_view name, Visit visit) const {
  uint64_t hash = kHashStart;
  for (char16_t c : name) {
    if (c == u'=' || c == u'[' || c == u']') visit(hash);
    hash = (hash ^ (ignoreCase_ ? name_match::foldAscii(c) : c)) * kHashFactor;
  }
  visit(hash);
}

uint64_t OpenTagIndex::hashOf(std::u16string_view name) const {
  uint64_t hash = kHashStart;
  for (char16_t c : name) hash = (hash ^ (ignoreCase_ ? name_match::foldAscii(c) : c)) * kHashFactor;
  return hash;
}

void OpenTagIndex::build(const OpenTagStack& stack) {
  active_ = true;
  depthsByKey_.clear();
  for (int32_t depth = 1; depth <= stack.depth(); ++depth)
    forEachKey(nameAt(stack, depth), [&](uint64_t key) { depthsByKey_[key].push_back(depth); });
}

void OpenTagIndex::pushed(const OpenTagStack& stack) {
  const int32_t depth = stack.depth();
  forEachKey(nameAt(stack, depth), [&](uint64_t key) { depthsByKey_[key].push_back(depth); });
}

void OpenTagIndex::popping(const OpenTagStack& stack) {
  forEachKey(nameAt(stack, stack.depth()), [&](uint64_t key) {
    auto found = depthsByKey_.find(key);
    if (found == depthsByKey_.end()) return;
    found->second.pop_back();  // entries are filed in depth order: the top is last
    if (found->second.empty()) depthsByKey_.erase(found);
  });
}

int32_t OpenTagIndex::find(const OpenTagStack& stack, std::u16string_view endTagName) const {
  auto found = depthsByKey_.find(hashOf(endTagName));
  if (found == depthsByKey_.end()) return 0;
  const std::vector<int32_t>& depths = found->second;
  for (auto depth = depths.rbegin(); depth != depths.rend(); ++depth) {
    if (name_match::matches(endTagName.data(), static_cast<int32_t>(endTagName.size()), nameAt(stack, *depth),
                            ignoreCase_))
      return *depth;
  }
  return 0;
}

}  // namespace xml
