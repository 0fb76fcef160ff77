// Finds the open element an end tag closes in deep stacks without walking them.
#pragma once

#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace xml {

class OpenTagStack;

// Finds the innermost open element an end tag closes without walking the whole stack.
// The parser builds it only when an end tag does not close the innermost element of a
// deep stack (stray end tags in a deeply nested text), then keeps it up to date.
//
// An end tag closes an entry when it equals the entry's name over the end tag's length
// and the entry's name ends there or goes on with '=', '[' or ']' (a tag name holds
// no space or '/'). Each entry is therefore filed under every such prefix of its name.
class OpenTagIndex {
 public:
  explicit OpenTagIndex(bool ignoreCase) : ignoreCase_(ignoreCase) {}

  bool active() const { return active_; }
  // Files every entry of the stack (depth 1 up).
  void build(const OpenTagStack& stack);
  void pushed(const OpenTagStack& stack);   // the stack's top entry is new
  void popping(const OpenTagStack& stack);  // the stack's top entry is about to go
  // Innermost depth whose entry the end tag closes, or 0.
  int32_t find(const OpenTagStack& stack, std::u16string_view endTagName) const;

 private:
  template <typename Visit>
  void forEachKey(std::u16string_view name, Visit visit) const;
  uint64_t hashOf(std::u16string_view name) const;

  bool ignoreCase_;
  bool active_ = false;
  std::unordered_map<uint64_t, std::vector<int32_t>> depthsByKey_;
};

}  // namespace xml
