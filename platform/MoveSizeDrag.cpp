#include "platform/MoveSizeDrag.h"

#include <algorithm>
#include <cstdlib>

namespace platform {

bool StartsMoveSizeDrag(LRESULT hit) {
  switch (hit) {
    case HTCAPTION:
    case HTLEFT:
    case HTRIGHT:
    case HTBOTTOM:
    case HTBOTTOMLEFT:
    case HTBOTTOMRIGHT: return true;
    default: return false;
  }
}

std::optional<Rect> MoveSizeDrag::Follow(Point pointer) {
  const int dx = pointer.x - start.x, dy = pointer.y - start.y;
  if (!following) {
    if (std::abs(dx) <= slack && std::abs(dy) <= slack) return std::nullopt;
    following = true;
  }
  Rect r = startRect;
  const auto left = [&] { r.left = std::min(r.left + dx, r.right - minimum.x); };
  const auto right = [&] { r.right = std::max(r.right + dx, r.left + minimum.x); };
  const auto bottom = [&] { r.bottom = std::max(r.bottom + dy, r.top + minimum.y); };
  switch (hit) {
    case HTCAPTION: r = r.Offset(dx, dy); break;
    case HTLEFT: left(); break;
    case HTRIGHT: right(); break;
    case HTBOTTOM: bottom(); break;
    case HTBOTTOMLEFT:
      left();
      bottom();
      break;
    case HTBOTTOMRIGHT:
      right();
      bottom();
      break;
    default: break;
  }
  return r;
}

}  // namespace platform
