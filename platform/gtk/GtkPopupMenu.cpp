// The pop-up menu of a window: shown at a screen point, returning once it
// has closed, its chosen command posted as WM_COMMAND.

#include "base/Text.h"
#include "platform/gtk/GtkDialogWindow.h"
#include "res/Resources.h"

namespace platform::gtk {

void GtkDialogWindow::TrackPopupMenu(const res::MenuResource& menu, Point screenPoint) {
  if (IsDestroyed()) return;
  GtkWidget* popup = gtk_menu_new();
  g_object_ref_sink(popup);
  for (const res::MenuItem& item : menu.items) {
    GtkWidget* entry = gtk_menu_item_new_with_label(base::ToUtf8(item.text).c_str());
    g_object_set_data(G_OBJECT(entry), "tessary-command", GINT_TO_POINTER(item.command));
    g_signal_connect(entry, "activate", G_CALLBACK(+[](GtkMenuItem* e, gpointer data) {
                       const int command = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(e), "tessary-command"));
                       static_cast<GtkDialogWindow*>(data)->Post(WM_COMMAND, static_cast<WPARAM>(command), 0);
                     }),
                     this);
    gtk_menu_shell_append(GTK_MENU_SHELL(popup), entry);
    gtk_widget_show(entry);
  }
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  g_signal_connect_swapped(popup, "deactivate", G_CALLBACK(g_main_loop_quit), loop);
  const Rect r = WindowRect();
  GdkRectangle anchor{screenPoint.x - r.left, screenPoint.y - r.top, 1, 1};
  gtk_menu_popup_at_rect(GTK_MENU(popup), gtk_widget_get_window(window_), &anchor, GDK_GRAVITY_NORTH_WEST,
                         GDK_GRAVITY_NORTH_WEST, nullptr);
  if (gtk_widget_get_visible(popup)) g_main_loop_run(loop);
  g_main_loop_unref(loop);
  gtk_widget_destroy(popup);
  g_object_unref(popup);
}

}  // namespace platform::gtk
