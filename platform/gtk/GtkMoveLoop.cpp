// The loop that moves or resizes a window while the button is held: a
// pointer grab and a nested main loop, as the system's move loop runs.

#include <algorithm>

#include "platform/gtk/GtkDialogWindow.h"
#include "platform/gtk/GtkPlatform.h"

namespace platform::gtk {
namespace {

int DoubleClickDistance() {
  gint distance = 5;
  if (GtkSettings* settings = gtk_settings_get_default())
    g_object_get(settings, "gtk-double-click-distance", &distance, nullptr);
  return std::max(0, distance);
}

}  // namespace

Point GtkDialogWindow::MoveCommandStart() const {
  // The drag starts where the button went down, however far the pointer
  // has gone since.
  return buttonDown_ ? pressPoint_ : platform_.CursorPos();
}

void GtkDialogWindow::NativeRunDrag(MoveSizeDrag& geometry) {
  GdkWindow* gdk = gtk_widget_get_window(window_);
  GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
  if (!gdk || !seat) return;
  geometry.slack = DoubleClickDistance();
  GdkCursor* cursor = gdk_cursor_new_from_name(gdk_display_get_default(), CursorName(PointerShapeForHit(geometry.hit)));
  const bool grabbed = gdk_seat_grab(seat, gdk, GDK_SEAT_CAPABILITY_ALL_POINTING, FALSE, cursor, nullptr, nullptr,
                                     nullptr) == GDK_GRAB_SUCCESS;
  if (cursor) g_object_unref(cursor);
  if (!grabbed) return;
  // Every pointer step moves the window and reports WM_MOVE at once, so
  // whatever follows the window stays in step.
  DragState drag;
  drag.geometry = &geometry;
  drag.loop = g_main_loop_new(nullptr, FALSE);
  drag_ = &drag;
  g_main_loop_run(drag.loop);
  g_main_loop_unref(drag.loop);
  // A window destroyed during the loop is kept until the loop has returned.
  drag_ = nullptr;
  buttonDown_ = false;
  gdk_seat_ungrab(seat);
  if (IsDestroyed()) return;
  platform_.RaiseOwnedWindows(this);
  // The pointer's position after the loop arrives as a mouse move.
  SendMouseMove(platform_.CursorPos());
  if (drag.doubleClick && !IsDestroyed()) SendDoubleClick(*drag.doubleClick);
}

}  // namespace platform::gtk
