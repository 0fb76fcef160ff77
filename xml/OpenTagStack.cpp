#include "xml/OpenTagStack.h"

#include <algorithm>

namespace xml {

namespace {
constexpr int32_t kInitialRoom = 7;
}

OpenTagStack::OpenTagStack() : entries_(std::make_unique<Entry[]>(kInitialRoom)), size_(1), room_(kInitialRoom) {
  entries_[0] = Entry{0, 0, 0};
}

void OpenTagStack::grow() {
  const int32_t room = room_ * 2;
  auto entries = std::make_unique<Entry[]>(static_cast<size_t>(room));
  std::copy(entries_.get(), entries_.get() + size_, entries.get());
  entries_ = std::move(entries);
  room_ = room;
}

void OpenTagStack::dropNames() { names_.resize(static_cast<size_t>(entries_[size_].nameStart)); }

void OpenTagStack::release() {
  entries_.reset();
  size_ = 0;
  room_ = 0;
  std::u16string().swap(names_);
}

}  // namespace xml
