// The window conformance suite on the GTK backend, on a desktop with a
// window manager (with-window-manager.sh starts one).

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdio>

#include "platform/gtk/GtkDialogWindow.h"
#include "platform/gtk/GtkPlatform.h"
#include "platform/tests/conformance/ConformanceBackend.h"

namespace platform::conformance {
namespace {

class GtkBackend final : public ConformanceBackend {
 public:
  Platform& platform() override { return platform_; }
  bool RunUntil(const std::function<bool()>& done) override {
    const gint64 end = g_get_monotonic_time() + 5 * G_USEC_PER_SEC;
    while (!done() && g_get_monotonic_time() < end) {
      if (!g_main_context_iteration(nullptr, FALSE)) g_usleep(2000);
    }
    if (!done()) {
      GList* all = gtk_window_list_toplevels();
      for (GList* i = all; i; i = i->next) {
        GdkWindow* g = gtk_widget_get_window(GTK_WIDGET(i->data));
        fprintf(stderr, "still waiting: a window visible=%d mapped=%d state=%x\n",
                gtk_widget_get_visible(GTK_WIDGET(i->data)), gtk_widget_get_mapped(GTK_WIDGET(i->data)),
                g ? gdk_window_get_state(g) : 0);
      }
      g_list_free(all);
    }
    return done();
  }
  void Settle() override {
    // Long enough for the X server and the window manager to answer.
    const gint64 end = g_get_monotonic_time() + 300 * 1000;
    while (g_get_monotonic_time() < end) {
      if (!g_main_context_iteration(nullptr, FALSE)) g_usleep(2000);
    }
  }
  void LetTimersTick(Window&) override { Settle(); }
  void DesktopMinimizes(Window& window, bool minimized) override {
    GdkWindow* gdk = gtk_widget_get_window(static_cast<gtk::GtkDialogWindow&>(window).Toplevel());
    if (minimized)
      gdk_window_iconify(gdk);
    else
      gdk_window_deiconify(gdk);
  }

 private:
  gtk::GtkPlatform platform_;
};

}  // namespace

std::unique_ptr<ConformanceBackend> MakeConformanceBackend() { return std::make_unique<GtkBackend>(); }

}  // namespace platform::conformance

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
