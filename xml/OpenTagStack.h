// The parser's stack of open elements and their names.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace xml {

// The elements the parser has opened and not yet closed: each entry keeps a copy of
// the start tag's name and the element's record index. Entry 0 is the document.
class OpenTagStack {
 public:
  struct Entry {
    int32_t record;
    int32_t nameStart;  // into the shared name buffer
    int32_t nameLength;
  };

  OpenTagStack();

  // Number of open elements (entry 0, the document, not counted).
  int32_t depth() const { return size_ - 1; }
  int32_t room() const { return room_; }
  const Entry& at(int32_t depth) const { return entries_[depth]; }
  const Entry& top() const { return entries_[size_ - 1]; }
  const char16_t* nameOf(const Entry& entry) const {
    return (shared_ != nullptr ? shared_ : names_.data()) + entry.nameStart;
  }

  // Names are read in place from a text that stays whole and unmoved while the stack
  // lives (a loaded string), instead of being copied: nameStart is then an offset into it.
  void shareText(const char16_t* text) { shared_ = text; }

  // `name` lies at `offset` of the shared text, when there is one.
  void push(int32_t record, const char16_t* name, int32_t offset, int32_t nameLength) {
    if (size_ == room_) grow();
    int32_t start = offset;
    if (shared_ == nullptr) {
      start = static_cast<int32_t>(names_.size());
      names_.append(name, static_cast<size_t>(nameLength));
    }
    entries_[size_++] = Entry{record, start, nameLength};
  }
  void pop() {
    if (size_ <= 1) return;
    --size_;
    if (shared_ == nullptr) dropNames();
  }
  // Frees the entries and names (the stack lives only during a parse).
  void release();

 private:
  void grow();       // doubles the room
  void dropNames();  // the copied names of entries above the top

  std::unique_ptr<Entry[]> entries_;
  int32_t size_ = 0;
  int32_t room_ = 0;
  std::u16string names_;
  const char16_t* shared_ = nullptr;
};

}  // namespace xml
