// The static bitmap controls of a window's template. Each has a window of
// its own so that it stays above the controls made later, as the
// template's controls do; it takes no input, so clicks on it reach its
// dialog.

#include <algorithm>

#include "platform/gtk/GtkDialogWindow.h"
#include "platform/gtk/GtkPlatform.h"

namespace platform::gtk {
namespace {

gboolean DrawStaticBitmap(GtkWidget*, cairo_t* cr, gpointer data) {
  const auto* image = static_cast<const std::unique_ptr<Surface>*>(data);
  if (*image) {
    cairo_set_source_surface(cr, (*image)->CairoSurface(), 0, 0);
    cairo_paint(cr);
  }
  return TRUE;
}

void SizeTo(GtkWidget* widget, const Rect& rect) {
  gtk_widget_set_size_request(widget, std::max(1, rect.Width()), std::max(1, rect.Height()));
}

}  // namespace

void GtkDialogWindow::CreateStaticBitmaps() {
  for (const DialogLayout::Control& c : Layout().controls) {
    StaticBitmap& bitmap = statics_[c.id];
    bitmap.image = platform_.LoadBitmapResource(c.bitmap);
    bitmap.widget = gtk_drawing_area_new();
    g_signal_connect(bitmap.widget, "draw", G_CALLBACK(DrawStaticBitmap), &bitmap.image);
    gtk_fixed_put(fixed_, bitmap.widget, c.rect.left, c.rect.top);
    SizeTo(bitmap.widget, c.rect);
    gtk_widget_show(bitmap.widget);
  }
}

void GtkDialogWindow::NativeMoveChild(int controlId, const Rect& rect) {
  auto it = statics_.find(controlId);
  if (it == statics_.end()) return;
  gtk_fixed_move(fixed_, it->second.widget, rect.left, rect.top);
  SizeTo(it->second.widget, rect);
  UpdateShape();
}

void GtkDialogWindow::RaiseStaticBitmaps() {
  for (const auto& [id, bitmap] : statics_)
    if (GdkWindow* gdk = gtk_widget_get_window(bitmap.widget); gdk && gtk_widget_get_realized(bitmap.widget))
      gdk_window_raise(gdk);
}

// The container draws its children in the order they were added: the
// template's bitmaps go after a new control.
void GtkDialogWindow::PutStaticBitmapsOnTop() {
  for (auto& [id, bitmap] : statics_) {
    const Rect rect = ChildRect(id).value_or(Rect{});
    g_object_ref(bitmap.widget);
    gtk_container_remove(GTK_CONTAINER(fixed_), bitmap.widget);
    gtk_fixed_put(fixed_, bitmap.widget, rect.left, rect.top);
    g_object_unref(bitmap.widget);
  }
}

}  // namespace platform::gtk
