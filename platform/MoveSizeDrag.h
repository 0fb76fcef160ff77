#pragma once
// The geometry of the move/resize loop: which hit-test codes start one, and
// where the window stands as the pointer goes.

#include <optional>

#include "platform/Types.h"

namespace platform {

// A press on the caption moves the window; one on the left, right, bottom
// or a bottom corner resizes it. Other codes start no loop.
bool StartsMoveSizeDrag(LRESULT hit);

struct MoveSizeDrag {
  LRESULT hit = HTCAPTION;
  Point start;     // where the button went down, screen coordinates
  Rect startRect;  // the window then, screen coordinates
  Point minimum;   // minimum tracking size
  // The window stays put until the pointer leaves this distance, so the
  // second press of a double-click never moves it.
  int slack = 0;
  bool following = false;

  // The window's rectangle with the pointer at `pointer`; nothing while it
  // is still within the slack.
  std::optional<Rect> Follow(Point pointer);
};

}  // namespace platform
