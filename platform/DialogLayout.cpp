#include "platform/DialogLayout.h"

#include <algorithm>

#include "platform/Window.h"
#include "res/Resources.h"

namespace platform {

DialogLayout LayOutDialog(int templateNumber, const Window* owner) {
  DialogLayout layout;
  int width = 1, height = 1;
  if (const res::DialogTemplate* t = res::FindDialogTemplate(templateNumber)) {
    const auto size = res::DialogUnitsToPixels(*t, t->cx, t->cy);
    width = std::max(1, size.first);
    height = std::max(1, size.second);
    for (const res::ControlTemplate& c : t->controls) {
      const auto origin = res::DialogUnitsToPixels(*t, c.x, c.y);
      const auto extent = res::DialogUnitsToPixels(*t, c.cx, c.cy);
      layout.controls.push_back(
          {c.id, c.bitmap, {origin.first, origin.second, origin.first + extent.first, origin.second + extent.second}});
    }
  }
  const Rect origin = owner ? owner->WindowRect() : Rect{};
  layout.window = {origin.left, origin.top, origin.left + width, origin.top + height};
  return layout;
}

}  // namespace platform
