#include "platform/gtk/GtkDialogWindow.h"

#include <algorithm>

#include "base/Text.h"
#include "platform/gtk/GtkFreeSizeFixed.h"
#include "platform/gtk/GtkPlatform.h"
#include "platform/gtk/RufflePlayer.h"
#include "platform/gtk/TrayIcon.h"
#include "platform/gtk/WebEngineLibrary.h"
#include "platform/gtk/WebKitBrowser.h"

namespace platform::gtk {
const char* GtkDialogWindow::CursorName(PointerShape shape) {
  switch (shape) {
    case PointerShape::Hand: return "pointer";
    case PointerShape::ResizeLeftRight: return "ew-resize";
    case PointerShape::ResizeUpDown: return "ns-resize";
    case PointerShape::ResizeBottomLeft: return "nesw-resize";
    case PointerShape::ResizeBottomRight: return "nwse-resize";
    case PointerShape::Arrow: break;
  }
  return "default";
}

namespace {

struct TimerData {
  GtkPlatform* platform;
  GtkDialogWindow* window;
  WPARAM id;
};

}  // namespace

GtkDialogWindow::GtkDialogWindow(GtkPlatform& platform, WindowHandler& handler, const WindowSpec& kind)
    : WindowBase(platform, handler, kind), platform_(platform) {
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  g_object_ref_sink(window_);
  gtk_window_set_decorated(GTK_WINDOW(window_), FALSE);
  gtk_widget_set_app_paintable(window_, TRUE);
  if (kind.perPixelAlpha) {
    if (GdkVisual* rgba = gdk_screen_get_rgba_visual(gtk_widget_get_screen(window_)))
      gtk_widget_set_visual(window_, rgba);
  }
  if (Owner())
    gtk_window_set_transient_for(GTK_WINDOW(window_), GTK_WINDOW(static_cast<GtkDialogWindow*>(Owner())->Toplevel()));
  NativeSetToolWindow(ExStyle() & WS_EX_TOOLWINDOW);
  fixed_ = NewFreeSizeFixed();
  gtk_container_add(GTK_CONTAINER(window_), GTK_WIDGET(fixed_));
  gtk_widget_show(GTK_WIDGET(fixed_));
  ConnectEvents();
  CreateStaticBitmaps();
  const Rect r = WindowRect();
  gtk_window_move(GTK_WINDOW(window_), r.left, r.top);
  gtk_window_resize(GTK_WINDOW(window_), r.Width(), r.Height());
}

GtkDialogWindow::~GtkDialogWindow() {
  for (auto& [id, source] : timerSources_) g_source_remove(source);
  if (ownerWaitSource_) g_source_remove(ownerWaitSource_);
  trayIcons_.clear();
  g_signal_handlers_disconnect_by_data(gtk_widget_get_screen(window_), this);
  g_signal_handlers_disconnect_by_data(window_, this);
  gtk_widget_destroy(window_);
  g_object_unref(window_);
}

void GtkDialogWindow::Delivering(UINT message) {
  if (message == WM_PAINT) paintQueued_ = false;
}

void GtkDialogWindow::NativeShow() {
  const Rect r = WindowRect();
  gtk_window_move(GTK_WINDOW(window_), r.left, r.top);
  needsPaint_ = true;
  gtk_widget_show(window_);
}

void GtkDialogWindow::NativeHide() { gtk_widget_hide(window_); }

// The program's own minimise and restore report at once, as the handlers
// expect: the title button's minimise must see its own hover state, not
// the deactivation the window manager's answer brings first.
void GtkDialogWindow::NativeMinimize() {
  gtk_window_iconify(GTK_WINDOW(window_));
  IconifyOwnedWindows(true);
  ReportMinimized(true);
}

void GtkDialogWindow::NativeRestore() {
  const bool wasMinimized = IsMinimized();
  gtk_window_deiconify(GTK_WINDOW(window_));
  gtk_window_present(GTK_WINDOW(window_));
  if (!wasMinimized) return;
  IconifyOwnedWindows(false);
  platform_.RaiseOwnedWindows(this);
  ReportMinimized(false);
}

void GtkDialogWindow::NativeRaiseOwned() {
  platform_.RaiseOwnedWindows(this);
  platform_.RaiseMessageBoxes();
}

void GtkDialogWindow::NativeMoveResize(const Rect& from, const Rect& to) {
  requested_ = to;
  requestedAt_ = g_get_monotonic_time();
  // A window that fills the screen is taken for a full-screen one by some
  // window managers (mutter), which then hold it at that size. The program
  // never asks for that state: its own place and size stand.
  if (GdkWindow* gdk = gtk_widget_get_window(window_)) {
    const GdkWindowState state = gdk_window_get_state(gdk);
    if (state & GDK_WINDOW_STATE_FULLSCREEN) gtk_window_unfullscreen(GTK_WINDOW(window_));
    if (state & GDK_WINDOW_STATE_MAXIMIZED) gtk_window_unmaximize(GTK_WINDOW(window_));
  }
  gtk_window_move(GTK_WINDOW(window_), to.left, to.top);
  if (from.Width() == to.Width() && from.Height() == to.Height()) return;
  // GTK takes the children's size requests as the window's minimum size, so
  // a player laid out for the work area kept a restored window at that size.
  // Children never hold their window up: they are cut to the new size first
  // and laid out again by the WM_SIZE handler.
  for (const auto& [child, rect] : controls_)
    gtk_widget_set_size_request(child, std::max(1, std::min(rect.right, to.Width()) - rect.left),
                                std::max(1, std::min(rect.bottom, to.Height()) - rect.top));
  gtk_window_resize(GTK_WINDOW(window_), to.Width(), to.Height());
  needsPaint_ = true;
}

// The window manager's own resizes (its edge handles, the keyboard) keep
// to the handler's minimum tracking size, as the program's drags do.
void GtkDialogWindow::NativeSetMinimumSize(Point minimum) {
  GdkGeometry geometry{};
  geometry.min_width = minimum.x;
  geometry.min_height = minimum.y;
  gtk_window_set_geometry_hints(GTK_WINDOW(window_), nullptr, &geometry, GDK_HINT_MIN_SIZE);
}

void GtkDialogWindow::NativeSetTitle(const std::u16string& text) {
  gtk_window_set_title(GTK_WINDOW(window_), base::ToUtf8(text).c_str());
}

void GtkDialogWindow::NativeSetToolWindow(bool tool) {
  gtk_window_set_skip_taskbar_hint(GTK_WINDOW(window_), tool);
  gtk_window_set_skip_pager_hint(GTK_WINDOW(window_), tool);
}

void GtkDialogWindow::NativeSetCursor(PointerShape shape) {
  GdkWindow* gdk = gtk_widget_get_window(window_);
  if (!gdk) return;
  GdkCursor* cursor = gdk_cursor_new_from_name(gdk_display_get_default(), CursorName(shape));
  gdk_window_set_cursor(gdk, cursor);
  if (cursor) g_object_unref(cursor);
}

void GtkDialogWindow::SetIcon(WPARAM /*slot*/, int iconResource) {
  if (GdkPixbuf* icon = platform_.IconPixbuf(iconResource)) gtk_window_set_icon(GTK_WINDOW(window_), icon);
}

void GtkDialogWindow::SetFocus() {
  if (!IsDestroyed()) gtk_window_present(GTK_WINDOW(window_));
}

void GtkDialogWindow::NativeStartTimer(WPARAM id, UINT milliseconds) {
  auto* data = new TimerData{&platform_, this, id};
  timerSources_[id] = g_timeout_add_full(
      G_PRIORITY_DEFAULT, milliseconds,
      +[](gpointer p) -> gboolean {
        auto* timer = static_cast<TimerData*>(p);
        if (timer->platform->IsAlive(timer->window)) timer->window->DeliverTimer(timer->id);
        return G_SOURCE_CONTINUE;
      },
      data, [](gpointer p) { delete static_cast<TimerData*>(p); });
}

void GtkDialogWindow::NativeStopTimer(WPARAM id) {
  auto it = timerSources_.find(id);
  if (it == timerSources_.end()) return;
  g_source_remove(it->second);
  timerSources_.erase(it);
}

void GtkDialogWindow::Invalidate() {
  if (!IsDestroyed()) gtk_widget_queue_draw(window_);
}

void GtkDialogWindow::PlaceChild(GtkWidget* child, const Rect& rect) {
  auto it =
      std::find_if(controls_.begin(), controls_.end(), [child](const auto& entry) { return entry.first == child; });
  if (it == controls_.end()) {
    gtk_fixed_put(fixed_, child, rect.left, rect.top);
    PutStaticBitmapsOnTop();
    controls_.emplace_back(child, rect);
    g_signal_connect(child, "destroy", G_CALLBACK(+[](GtkWidget* w, gpointer data) {
                       auto& list = static_cast<GtkDialogWindow*>(data)->controls_;
                       list.erase(std::remove_if(list.begin(), list.end(), [w](const auto& e) { return e.first == w; }),
                                  list.end());
                     }),
                     this);
    g_signal_connect_swapped(child, "show", G_CALLBACK(+[](GtkDialogWindow* self) { self->UpdateShape(); }), this);
    // A control's window is made above its siblings; the template's bitmaps
    // go back on top of it.
    g_signal_connect_swapped(child, "map", G_CALLBACK(+[](GtkDialogWindow* self) { self->RaiseStaticBitmaps(); }),
                             this);
    g_signal_connect_swapped(child, "hide", G_CALLBACK(+[](GtkDialogWindow* self) { self->UpdateShape(); }), this);
  } else {
    gtk_fixed_move(fixed_, child, rect.left, rect.top);
    it->second = rect;
  }
  gtk_widget_set_size_request(child, std::max(1, rect.Width()), std::max(1, rect.Height()));
  UpdateShape();
}

// Without the web engine a control cannot be made, as a control whose
// component is not installed cannot on Windows.
std::unique_ptr<BrowserControl> GtkDialogWindow::CreateBrowser(int controlId, const Rect& rect) {
  if (!LoadWebEngine()) return nullptr;
  return std::make_unique<WebKitBrowser>(*this, controlId, rect);
}

std::unique_ptr<PlayerControl> GtkDialogWindow::CreatePlayer(int controlId, const Rect& rect) {
  if (!LoadWebEngine()) return nullptr;
  return std::make_unique<RufflePlayer>(*this, controlId, rect);
}

void GtkDialogWindow::NativeDestroy() {
  if (drag_) g_main_loop_quit(drag_->loop);
  gtk_widget_hide(window_);
}

}  // namespace platform::gtk
