#include "platform/gtk/GtkControlInput.h"

#include "platform/MessageRouting.h"
#include "platform/gtk/GtkDialogWindow.h"

namespace platform::gtk {

bool PreTranslateControlEvent(GtkDialogWindow& window, const void* control,
                              bool (*controlPreTranslate)(const void* control, const Msg&), const GdkEvent* event) {
  // Keys pass the pre-translation at the top-level window already.
  Msg msg{control, &window, 0, 0, 0};
  switch (event->type) {
    case GDK_BUTTON_PRESS: {
      const auto& b = event->button;
      if (b.button != 1 && b.button != 3) return false;
      msg.message = b.button == 3 ? WM_RBUTTONDOWN : WM_LBUTTONDOWN;
      msg.lParam = MakePointParam(static_cast<int>(b.x), static_cast<int>(b.y));
      break;
    }
    case GDK_MOTION_NOTIFY:
      msg.message = WM_MOUSEMOVE;
      msg.lParam = MakePointParam(static_cast<int>(event->motion.x), static_cast<int>(event->motion.y));
      break;
    default: return false;
  }
  if (controlPreTranslate && controlPreTranslate(control, msg)) return true;
  return WalkPreTranslate(msg);
}

WPARAM VirtualKeyOf(guint keyval) {
  switch (keyval) {
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_ISO_Enter: return VK_RETURN;
    case GDK_KEY_Escape: return VK_ESCAPE;
    case GDK_KEY_BackSpace: return 8;
    case GDK_KEY_Tab: return 9;
    case GDK_KEY_space: return 32;
    default: break;
  }
  if (keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F24) return 112 + (keyval - GDK_KEY_F1);
  if (keyval >= GDK_KEY_a && keyval <= GDK_KEY_z) return 'A' + (keyval - GDK_KEY_a);
  if (keyval >= GDK_KEY_A && keyval <= GDK_KEY_Z) return keyval;
  if (keyval >= GDK_KEY_0 && keyval <= GDK_KEY_9) return keyval;
  return 0xFF;  // a key the program does not look at
}

}  // namespace platform::gtk
