#pragma once
// Where a window made from a dialog template stands, and where its
// template's controls stand inside it.

#include <vector>

#include "platform/Types.h"

namespace platform {

class Window;

struct DialogLayout {
  struct Control {
    int id = 0;
    int bitmap = 0;  // the static bitmap's resource number
    Rect rect;       // client coordinates
  };
  Rect window;  // screen coordinates, at least one pixel each way
  std::vector<Control> controls;
};

// A template at (0, 0) stands at its owner's top-left corner; a missing
// template gives a one-pixel window without controls.
DialogLayout LayOutDialog(int templateNumber, const Window* owner);

}  // namespace platform
