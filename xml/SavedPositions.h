// Named saved navigation positions of a document.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace xml {

// Named saved positions, kept in named maps. Every parse empties them; nothing in
// the program stores any, the holder only keeps the document's layout complete.
struct SavedPositions {
  struct Position {
    int32_t parentIndex = 0;
    int32_t currentIndex = 0;
    int32_t childIndex = 0;
  };
  std::map<std::u16string, std::map<std::u16string, Position>> maps;

  void clear() { maps.clear(); }
};

}  // namespace xml
