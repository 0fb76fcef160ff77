#pragma once
// The tray icon as a StatusNotifierItem on the session bus (GDBus): the
// watch on the bus and its StatusNotifierWatcher, and one item for each icon.

#include <gio/gio.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/gtk/TrayIcon.h"

namespace platform::gtk {

class StatusNotifierItem;

// The session bus connection, made in the background, and who owns the
// watcher's name on it. Items follow a watcher that restarts.
class StatusNotifierWatch {
 public:
  StatusNotifierWatch();
  ~StatusNotifierWatch();
  StatusNotifierWatch(const StatusNotifierWatch&) = delete;
  StatusNotifierWatch& operator=(const StatusNotifierWatch&) = delete;

  // The connection, while a watcher owns its name on it; else null.
  GDBusConnection* WatcherConnection() const { return owner_.empty() ? nullptr : connection_; }

 private:
  friend class StatusNotifierItem;
  struct Connecting;
  static void OnConnected(GObject*, GAsyncResult* result, gpointer data);
  static void OnWatcherAppeared(GDBusConnection*, const gchar*, const gchar* owner, gpointer data);
  static void OnWatcherVanished(GDBusConnection*, const gchar*, gpointer data);

  Connecting* connecting_ = nullptr;
  GDBusConnection* connection_ = nullptr;
  guint watchId_ = 0;
  std::string owner_;  // unique name of the watcher's owner, empty while none
  std::vector<StatusNotifierItem*> items_;
};

class StatusNotifierItem final : public TrayIcon {
 public:
  // Puts an item on the bus and registers it with the watcher, waiting until
  // `deadline` (monotonic microseconds) at most; null when there is no
  // watcher or it did not accept the item in time.
  static std::unique_ptr<StatusNotifierItem> Show(StatusNotifierWatch& watch, GdkPixbuf* icon,
                                                  const std::u16string& tip, Clicked clicked, gint64 deadline);
  ~StatusNotifierItem() override;
  StatusNotifierItem(const StatusNotifierItem&) = delete;
  StatusNotifierItem& operator=(const StatusNotifierItem&) = delete;

 private:
  StatusNotifierItem(StatusNotifierWatch& watch, GdkPixbuf* icon, const std::u16string& tip, Clicked clicked);
  bool Register(gint64 deadline);
  void WatcherChanged();
  static void OnMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method, GVariant*,
                           GDBusMethodInvocation* invocation, gpointer data);
  static GVariant* OnGetProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* property,
                                 GError** error, gpointer data);
  static gboolean OnWatcherGone(gpointer data);

  friend class StatusNotifierWatch;
  StatusNotifierWatch* watch_;
  GDBusConnection* connection_ = nullptr;
  std::string busName_;       // the well-known name the item owns
  std::string watcherOwner_;  // the watcher it registered with
  std::string tip_;
  GVariant* pixmap_ = nullptr;  // a(iiay)
  Clicked clicked_;
  guint objectId_ = 0;
  bool releaseName_ = false;
  guint goneTimer_ = 0;
};

}  // namespace platform::gtk
