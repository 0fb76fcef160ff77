#pragma once
// Notification-area icons of the GTK backend and where they go: a
// StatusNotifierItem when a watcher runs on the session bus, else a status
// icon in an XEmbed tray, else none (the window layer's caller minimises).

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <glib.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/Types.h"

namespace platform::gtk {

class StatusNotifierWatch;

// One icon in the notification area; it leaves the desktop when destroyed.
class TrayIcon {
 public:
  // Called with WM_LBUTTONUP or WM_RBUTTONUP when the player clicks the icon.
  using Clicked = std::function<void(LPARAM mouseMessage)>;

  virtual ~TrayIcon() = default;
};

// The desktop's notification area as the platform sees it. Made once, with
// the platform: it starts watching the session bus for a watcher at once, so
// the first icon does not wait for the connection.
class TrayArea {
 public:
  TrayArea();
  ~TrayArea();
  TrayArea(const TrayArea&) = delete;
  TrayArea& operator=(const TrayArea&) = delete;

  // A new icon showing `icon` (may be null) with the tip, or null when the
  // desktop has nowhere to show it. Blocks for at most kRegisterPatience.
  std::unique_ptr<TrayIcon> Add(GdkPixbuf* icon, const std::u16string& tip, TrayIcon::Clicked clicked);

  // How long a watcher (or a slow bus) may take to accept an item before the
  // next kind of tray is tried (microseconds).
  static constexpr gint64 kRegisterPatience = 1500 * G_TIME_SPAN_MILLISECOND;

 private:
  std::unique_ptr<StatusNotifierWatch> watch_;
};

}  // namespace platform::gtk
