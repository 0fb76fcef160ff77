#include "platform/gtk/StatusNotifierItem.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "base/Text.h"

namespace platform::gtk {
namespace {

constexpr char kWatcherName[] = "org.kde.StatusNotifierWatcher";
constexpr char kWatcherPath[] = "/StatusNotifierWatcher";
constexpr char kItemPath[] = "/StatusNotifierItem";
// A watcher that goes away while an icon is shown may be restarting (a
// panel that crashed, a desktop shell reloading); when none is back in this
// time the hidden window would have no way back, so the icon acts as if
// clicked.
constexpr guint kWatcherReturnMilliseconds = 5000;

constexpr char kItemXml[] = R"xml(<node>
  <interface name="org.kde.StatusNotifierItem">
    <method name="Activate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="SecondaryActivate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="ContextMenu"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="Scroll"><arg name="delta" type="i" direction="in"/><arg name="orientation" type="s" direction="in"/></method>
    <property name="Category" type="s" access="read"/>
    <property name="Id" type="s" access="read"/>
    <property name="Title" type="s" access="read"/>
    <property name="Status" type="s" access="read"/>
    <property name="WindowId" type="i" access="read"/>
    <property name="ItemIsMenu" type="b" access="read"/>
    <property name="IconName" type="s" access="read"/>
    <property name="IconPixmap" type="a(iiay)" access="read"/>
    <property name="OverlayIconName" type="s" access="read"/>
    <property name="OverlayIconPixmap" type="a(iiay)" access="read"/>
    <property name="AttentionIconName" type="s" access="read"/>
    <property name="AttentionIconPixmap" type="a(iiay)" access="read"/>
    <property name="ToolTip" type="(sa(iiay)ss)" access="read"/>
    <signal name="NewTitle"/>
    <signal name="NewIcon"/>
    <signal name="NewAttentionIcon"/>
    <signal name="NewOverlayIcon"/>
    <signal name="NewToolTip"/>
    <signal name="NewStatus"><arg name="status" type="s"/></signal>
  </interface>
</node>)xml";

void Debug(const char* what, const std::string& name, const GError* error) {
  g_log_structured("tessary", G_LOG_LEVEL_DEBUG, "MESSAGE", "status notifier %s: %s%s%s", name.c_str(), what,
                   error ? ": " : "", error ? error->message : "");
}

GDBusInterfaceInfo* ItemInterface() {
  // Parsed once; it lives as long as the program.
  static GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kItemXml, nullptr);
  return node ? node->interfaces[0] : nullptr;
}

// Only a bus that is there is used: without an address GLib would start a
// bus of its own (dbus-launch), which never has a watcher.
bool HasSessionBus() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address && *address) return true;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (!runtime || !*runtime) return false;
  gchar* socket = g_build_filename(runtime, "bus", nullptr);
  const bool exists = g_file_test(socket, G_FILE_TEST_EXISTS);
  g_free(socket);
  return exists;
}

// The pixels as the protocol wants them: ARGB, 8 bits a channel, in network
// byte order, not premultiplied.
GVariant* PixmapOf(GdkPixbuf* pixbuf) {
  GVariantBuilder builder;
  g_variant_builder_init(&builder, G_VARIANT_TYPE("a(iiay)"));
  if (pixbuf && gdk_pixbuf_get_colorspace(pixbuf) == GDK_COLORSPACE_RGB &&
      gdk_pixbuf_get_bits_per_sample(pixbuf) == 8) {
    const int width = gdk_pixbuf_get_width(pixbuf);
    const int height = gdk_pixbuf_get_height(pixbuf);
    const int channels = gdk_pixbuf_get_n_channels(pixbuf);
    const int stride = gdk_pixbuf_get_rowstride(pixbuf);
    const bool alpha = gdk_pixbuf_get_has_alpha(pixbuf);
    const guchar* pixels = gdk_pixbuf_read_pixels(pixbuf);
    std::vector<guchar> argb(static_cast<std::size_t>(width) * height * 4);
    guchar* out = argb.data();
    for (int y = 0; y < height; ++y) {
      const guchar* p = pixels + static_cast<std::size_t>(stride) * y;
      for (int x = 0; x < width; ++x, p += channels, out += 4) {
        out[0] = alpha ? p[3] : 255;
        out[1] = p[0];
        out[2] = p[1];
        out[3] = p[2];
      }
    }
    g_variant_builder_add(&builder, "(ii@ay)", width, height,
                          g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, argb.data(), argb.size(), 1));
  }
  return g_variant_ref_sink(g_variant_builder_end(&builder));
}

// A call that gives up at the deadline (monotonic microseconds). The reply,
// or null with the error set.
GVariant* CallBefore(GDBusConnection* connection, const char* name, const char* path, const char* interface,
                     const char* method, GVariant* parameters, const GVariantType* reply, gint64 deadline,
                     GError** error) {
  const gint64 left = (deadline - g_get_monotonic_time()) / G_TIME_SPAN_MILLISECOND;
  if (left <= 0) {
    g_variant_unref(g_variant_ref_sink(parameters));
    g_set_error_literal(error, G_IO_ERROR, G_IO_ERROR_TIMED_OUT, "no time left");
    return nullptr;
  }
  return g_dbus_connection_call_sync(connection, name, path, interface, method, parameters, reply,
                                     G_DBUS_CALL_FLAGS_NO_AUTO_START, static_cast<int>(left), nullptr, error);
}

}  // namespace

// ---------------------------------------------------------------- the watch

// A connection under way; cancelled (and left to its callback to free)
// when the watch goes first.
struct StatusNotifierWatch::Connecting {
  GCancellable* cancel = g_cancellable_new();
  StatusNotifierWatch* watch = nullptr;
};

StatusNotifierWatch::StatusNotifierWatch() {
  if (!HasSessionBus()) return;
  connecting_ = new Connecting;
  connecting_->watch = this;
  g_bus_get(G_BUS_TYPE_SESSION, connecting_->cancel, OnConnected, connecting_);
}

StatusNotifierWatch::~StatusNotifierWatch() {
  for (StatusNotifierItem* item : items_) item->watch_ = nullptr;
  if (connecting_) g_cancellable_cancel(connecting_->cancel);
  if (watchId_) g_bus_unwatch_name(watchId_);
  if (connection_) g_object_unref(connection_);
}

void StatusNotifierWatch::OnConnected(GObject*, GAsyncResult* result, gpointer data) {
  auto* connecting = static_cast<Connecting*>(data);
  GError* error = nullptr;
  GDBusConnection* connection = g_bus_get_finish(result, &error);
  StatusNotifierWatch* self = g_cancellable_is_cancelled(connecting->cancel) ? nullptr : connecting->watch;
  g_object_unref(connecting->cancel);
  delete connecting;
  if (!self) {
    if (connection) g_object_unref(connection);
    if (error) g_error_free(error);
    return;
  }
  self->connecting_ = nullptr;
  if (!connection) {
    Debug("no session bus", "", error);
    g_error_free(error);
    return;
  }
  // The game goes on when the session bus goes away; only the icon is lost.
  g_dbus_connection_set_exit_on_close(connection, FALSE);
  self->connection_ = connection;
  self->watchId_ = g_bus_watch_name_on_connection(connection, kWatcherName, G_BUS_NAME_WATCHER_FLAGS_NONE,
                                                  OnWatcherAppeared, OnWatcherVanished, self, nullptr);
}

void StatusNotifierWatch::OnWatcherAppeared(GDBusConnection*, const gchar*, const gchar* owner, gpointer data) {
  auto* self = static_cast<StatusNotifierWatch*>(data);
  self->owner_ = owner ? owner : "";
  Debug("watcher appeared", self->owner_, nullptr);
  const auto items = self->items_;
  for (StatusNotifierItem* item : items) item->WatcherChanged();
}

void StatusNotifierWatch::OnWatcherVanished(GDBusConnection*, const gchar*, gpointer data) {
  auto* self = static_cast<StatusNotifierWatch*>(data);
  self->owner_.clear();
  Debug("no watcher", "", nullptr);
  const auto items = self->items_;
  for (StatusNotifierItem* item : items) item->WatcherChanged();
}

// ---------------------------------------------------------------- the item

StatusNotifierItem::StatusNotifierItem(StatusNotifierWatch& watch, GdkPixbuf* icon, const std::u16string& tip,
                                       Clicked clicked)
    : watch_(&watch), tip_(base::ToUtf8(tip)), pixmap_(PixmapOf(icon)), clicked_(std::move(clicked)) {
  watch_->items_.push_back(this);
}

std::unique_ptr<StatusNotifierItem> StatusNotifierItem::Show(StatusNotifierWatch& watch, GdkPixbuf* icon,
                                                             const std::u16string& tip, Clicked clicked,
                                                             gint64 deadline) {
  if (!watch.WatcherConnection() || !ItemInterface()) {
    Debug("no watcher to show the icon", "", nullptr);
    return nullptr;
  }
  std::unique_ptr<StatusNotifierItem> item(new StatusNotifierItem(watch, icon, tip, std::move(clicked)));
  if (!item->Register(deadline)) return nullptr;
  return item;
}

bool StatusNotifierItem::Register(gint64 deadline) {
  connection_ = G_DBUS_CONNECTION(g_object_ref(watch_->WatcherConnection()));
  static unsigned serial = 0;
  busName_ = "org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-" + std::to_string(++serial);

  static const GDBusInterfaceVTable vtable = {OnMethodCall, OnGetProperty, nullptr, {}};
  GError* error = nullptr;
  objectId_ =
      g_dbus_connection_register_object(connection_, kItemPath, ItemInterface(), &vtable, this, nullptr, &error);
  if (!objectId_) {
    Debug("cannot put the item on the bus", busName_, error);
    g_error_free(error);
    return false;
  }
  // A name of its own, so that the watcher (and every host) sees the item
  // go when the name is released or the program ends. A request that timed
  // out may still be granted, so the name is released whatever the answer.
  releaseName_ = true;
  GVariant* reply = CallBefore(connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                               "RequestName", g_variant_new("(su)", busName_.c_str(), 4u /* do not queue */),
                               G_VARIANT_TYPE("(u)"), deadline, &error);
  if (!reply) {
    Debug("cannot take its name", busName_, error);
    g_error_free(error);
    return false;
  }
  guint32 result = 0;
  g_variant_get(reply, "(u)", &result);
  g_variant_unref(reply);
  if (result != 1) {  // not the primary owner
    Debug("its name is taken", busName_, nullptr);
    return false;
  }
  watcherOwner_ = watch_->owner_;
  reply = CallBefore(connection_, kWatcherName, kWatcherPath, kWatcherName, "RegisterStatusNotifierItem",
                     g_variant_new("(s)", busName_.c_str()), nullptr, deadline, &error);
  if (!reply) {
    Debug("the watcher did not take it", busName_, error);
    g_error_free(error);
    return false;
  }
  g_variant_unref(reply);
  return true;
}

StatusNotifierItem::~StatusNotifierItem() {
  if (watch_) {
    auto& items = watch_->items_;
    items.erase(std::remove(items.begin(), items.end(), this), items.end());
  }
  if (goneTimer_) g_source_remove(goneTimer_);
  if (objectId_) g_dbus_connection_unregister_object(connection_, objectId_);
  if (releaseName_) {
    g_dbus_connection_call(connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                           "ReleaseName", g_variant_new("(s)", busName_.c_str()), nullptr, G_DBUS_CALL_FLAGS_NONE, -1,
                           nullptr, nullptr, nullptr);
  }
  if (connection_) g_object_unref(connection_);
  g_variant_unref(pixmap_);
}

void StatusNotifierItem::WatcherChanged() {
  if (!watch_ || !objectId_) return;
  if (watch_->owner_.empty()) {
    if (!goneTimer_) goneTimer_ = g_timeout_add(kWatcherReturnMilliseconds, OnWatcherGone, this);
    return;
  }
  if (goneTimer_) {
    g_source_remove(goneTimer_);
    goneTimer_ = 0;
  }
  if (watch_->owner_ == watcherOwner_) return;
  // A new watcher knows nothing of the items the old one had.
  watcherOwner_ = watch_->owner_;
  g_dbus_connection_call(
      connection_, kWatcherName, kWatcherPath, kWatcherName, "RegisterStatusNotifierItem",
      g_variant_new("(s)", busName_.c_str()), nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, -1, nullptr,
      +[](GObject* source, GAsyncResult* result, gpointer) {
        GError* error = nullptr;
        if (GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error)) {
          g_variant_unref(reply);
        } else {
          Debug("the new watcher did not take it", "", error);
          g_error_free(error);
        }
      },
      nullptr);
}

gboolean StatusNotifierItem::OnWatcherGone(gpointer data) {
  auto* self = static_cast<StatusNotifierItem*>(data);
  self->goneTimer_ = 0;
  Debug("no watcher came back; the icon gives the window back", self->busName_, nullptr);
  self->clicked_(WM_LBUTTONUP);
  return G_SOURCE_REMOVE;
}

void StatusNotifierItem::OnMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                                      GVariant*, GDBusMethodInvocation* invocation, gpointer data) {
  auto* self = static_cast<StatusNotifierItem*>(data);
  g_dbus_method_invocation_return_value(invocation, nullptr);
  // Left and middle click act as the left button, the context menu request
  // (right click) as the right one; scrolling does nothing.
  const std::string name = method;
  if (name == "Activate" || name == "SecondaryActivate")
    self->clicked_(WM_LBUTTONUP);
  else if (name == "ContextMenu")
    self->clicked_(WM_RBUTTONUP);
}

GVariant* StatusNotifierItem::OnGetProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                            const gchar* property, GError** error, gpointer data) {
  auto* self = static_cast<StatusNotifierItem*>(data);
  const std::string name = property;
  if (name == "Category") return g_variant_new_string("ApplicationStatus");
  if (name == "Id") return g_variant_new_string("tessary");
  if (name == "Title") return g_variant_new_string(self->tip_.c_str());
  if (name == "Status") return g_variant_new_string("Active");
  if (name == "WindowId") return g_variant_new_int32(0);
  if (name == "ItemIsMenu") return g_variant_new_boolean(FALSE);
  if (name == "IconPixmap") return g_variant_ref(self->pixmap_);
  if (name == "IconName" || name == "OverlayIconName" || name == "AttentionIconName") return g_variant_new_string("");
  if (name == "OverlayIconPixmap" || name == "AttentionIconPixmap")
    return g_variant_new_array(G_VARIANT_TYPE("(iiay)"), nullptr, 0);
  if (name == "ToolTip") {
    return g_variant_new("(s@a(iiay)ss)", "", g_variant_new_array(G_VARIANT_TYPE("(iiay)"), nullptr, 0),
                         self->tip_.c_str(), "");
  }
  g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "no property %s", property);
  return nullptr;
}

}  // namespace platform::gtk
