#include "platform/gtk/TrayIcon.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <string>

#include "base/Text.h"
#include "platform/gtk/StatusNotifierItem.h"

namespace platform::gtk {
namespace {

// Whether an XEmbed notification area (a system tray) runs on this screen:
// only there can a status icon show.
bool HasNotificationArea() {
  GdkDisplay* display = gdk_display_get_default();
  if (!GDK_IS_X11_DISPLAY(display)) return false;
  GdkScreen* screen = gdk_display_get_default_screen(display);
  const std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(gdk_x11_screen_get_screen_number(screen));
  Display* xdisplay = gdk_x11_display_get_xdisplay(display);
  return XGetSelectionOwner(xdisplay, XInternAtom(xdisplay, selection.c_str(), False)) != None;
}

// The icon in an XEmbed tray: a GtkStatusIcon.
class XEmbedTrayIcon final : public TrayIcon {
 public:
  XEmbedTrayIcon(GdkPixbuf* pixbuf, const std::u16string& tip, Clicked clicked) : clicked_(std::move(clicked)) {
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    icon_ = pixbuf ? gtk_status_icon_new_from_pixbuf(pixbuf) : gtk_status_icon_new();
    gtk_status_icon_set_tooltip_text(icon_, base::ToUtf8(tip).c_str());
    gtk_status_icon_set_title(icon_, base::ToUtf8(tip).c_str());
    gtk_status_icon_set_visible(icon_, TRUE);
    G_GNUC_END_IGNORE_DEPRECATIONS
    g_signal_connect(icon_, "button-release-event", G_CALLBACK(OnRelease), this);
  }

  ~XEmbedTrayIcon() override {
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    gtk_status_icon_set_visible(icon_, FALSE);
    G_GNUC_END_IGNORE_DEPRECATIONS
    g_signal_handlers_disconnect_by_data(icon_, this);
    g_object_unref(icon_);
  }

  XEmbedTrayIcon(const XEmbedTrayIcon&) = delete;
  XEmbedTrayIcon& operator=(const XEmbedTrayIcon&) = delete;

 private:
  static gboolean OnRelease(GtkStatusIcon*, GdkEventButton* event, gpointer data) {
    auto* self = static_cast<XEmbedTrayIcon*>(data);
    const LPARAM mouse = event->button == 3 ? WM_RBUTTONUP : event->button == 1 ? WM_LBUTTONUP : 0;
    if (mouse) self->clicked_(mouse);
    return TRUE;
  }

  GtkStatusIcon* icon_;
  Clicked clicked_;
};

}  // namespace

TrayArea::TrayArea() : watch_(std::make_unique<StatusNotifierWatch>()) {}

TrayArea::~TrayArea() = default;

std::unique_ptr<TrayIcon> TrayArea::Add(GdkPixbuf* icon, const std::u16string& tip, TrayIcon::Clicked clicked) {
  const gint64 deadline = g_get_monotonic_time() + kRegisterPatience;
  if (auto item = StatusNotifierItem::Show(*watch_, icon, tip, clicked, deadline)) return item;
  if (HasNotificationArea()) return std::make_unique<XEmbedTrayIcon>(icon, tip, std::move(clicked));
  return nullptr;
}

}  // namespace platform::gtk
