// A bare GTK window showing one image, for comparing the client's start-up
// with (a measurement tool, not a test): scripts/measure_game.py starts it
// and the client side by side and times each from process start to the
// image's first frame on the screen. Undecorated, with an RGBA visual where
// the screen has one, as the skin window is.
//
// Usage: bare_skin_window --image PNG --at X,Y [--seconds N]

#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

gboolean Draw(GtkWidget*, cairo_t* cr, gpointer image) {
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_surface(cr, static_cast<cairo_surface_t*>(image), 0, 0);
  cairo_paint(cr);
  return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
  const char* path = nullptr;
  int x = 0, y = 0;
  unsigned seconds = 10;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--image")) {
      path = argv[i + 1];
    } else if (!std::strcmp(argv[i], "--at")) {
      if (std::sscanf(argv[i + 1], "%d,%d", &x, &y) != 2) path = nullptr;
    } else if (!std::strcmp(argv[i], "--seconds")) {
      seconds = static_cast<unsigned>(std::strtoul(argv[i + 1], nullptr, 10));
    }
  }
  if (!path) {
    std::fprintf(stderr, "usage: bare_skin_window --image PNG --at X,Y [--seconds N]\n");
    return 2;
  }
  gtk_init(nullptr, nullptr);
  cairo_surface_t* image = cairo_image_surface_create_from_png(path);
  if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS) {
    std::fprintf(stderr, "bare_skin_window: cannot read %s\n", path);
    return 1;
  }
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  if (GdkVisual* rgba = gdk_screen_get_rgba_visual(gtk_widget_get_screen(window))) gtk_widget_set_visual(window, rgba);
  gtk_widget_set_app_paintable(window, TRUE);
  gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
  gtk_window_set_default_size(GTK_WINDOW(window), cairo_image_surface_get_width(image),
                              cairo_image_surface_get_height(image));
  gtk_window_move(GTK_WINDOW(window), x, y);
  g_signal_connect(window, "draw", G_CALLBACK(Draw), image);
  g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
  g_timeout_add_seconds(
      seconds,
      +[](gpointer) -> gboolean {
        gtk_main_quit();
        return G_SOURCE_REMOVE;
      },
      nullptr);
  gtk_widget_show(window);
  gtk_main();
  cairo_surface_destroy(image);
  return 0;
}
