#include "platform/gtk/GtkDialogWindow.h"

#include <gdk/gdkx.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/MessageRouting.h"
#include "base/Text.h"
#include "platform/gtk/GtkPlatform.h"
#include "platform/gtk/TrayIcon.h"
#include "res/Resources.h"

#include "platform/gtk/RufflePlayer.h"
#include "platform/gtk/WebKitBrowser.h"

namespace platform::gtk {
namespace {

constexpr int kIconResource = 128;
// How long configure events that differ from the program's own request are
// taken for stale ones (microseconds).
constexpr gint64 kRequestPatience = 2 * G_USEC_PER_SEC;

// A static bitmap control of the window's template. It has a window of its
// own so that it stays above the controls made later, as the template's
// controls do; it takes no input, so clicks on it reach its dialog.
struct StaticBitmap {
  std::unique_ptr<Surface> image;
  Rect rect;
  GtkWidget* widget = nullptr;
};

gboolean DrawStaticBitmap(GtkWidget*, cairo_t* cr, gpointer data) {
  const auto* bitmap = static_cast<const StaticBitmap*>(data);
  if (bitmap->image) {
    cairo_set_source_surface(cr, bitmap->image->CairoSurface(), 0, 0);
    cairo_paint(cr);
  }
  return TRUE;
}

// The pointer-following loop that moves or resizes a window.
struct DragLoop {
  GMainLoop* loop = nullptr;
  LRESULT hit = HTCAPTION;
  Point start;       // pointer, screen coordinates
  Rect startRect;    // window, screen coordinates
  Point minimum;     // minimum tracking size
  // The window stays put until the pointer leaves the double-click distance,
  // so the second press of a double-click never moves it.
  int slack = 0;
  bool following = false;
  // A double-click that arrived during the loop ends it and is delivered after.
  std::optional<Point> doubleClick;
};

int DoubleClickDistance() {
  gint distance = 5;
  if (GtkSettings* settings = gtk_settings_get_default())
    g_object_get(settings, "gtk-double-click-distance", &distance, nullptr);
  return std::max(0, distance);
}

// The window's container: a GtkFixed that asks for no size of its own. Its
// children stand at the rectangles the program gives them and never hold
// the window up, so the smallest size the window manager allows is the
// program's own (WM_GETMINMAXINFO), not that of the player laid out for
// the whole work area.
struct FreeSizeFixed {
  GtkFixed parent;
};
struct FreeSizeFixedClass {
  GtkFixedClass parent;
};
G_DEFINE_TYPE(FreeSizeFixed, free_size_fixed, GTK_TYPE_FIXED)

void FreeSizeFixedPreferred(GtkWidget*, gint* minimum, gint* natural) { *minimum = *natural = 1; }

void free_size_fixed_class_init(FreeSizeFixedClass* klass) {
  GTK_WIDGET_CLASS(klass)->get_preferred_width = FreeSizeFixedPreferred;
  GTK_WIDGET_CLASS(klass)->get_preferred_height = FreeSizeFixedPreferred;
}

void free_size_fixed_init(FreeSizeFixed*) {}

struct TimerData {
  GtkPlatform* platform;
  GtkDialogWindow* window;
  WPARAM id;
};

const char* CursorName(LRESULT hit) {
  switch (hit) {
    case HTLEFT:
    case HTRIGHT: return "ew-resize";
    case HTBOTTOM: return "ns-resize";
    case HTBOTTOMLEFT: return "nesw-resize";
    case HTBOTTOMRIGHT: return "nwse-resize";
    default: return "default";
  }
}

// Without a compositing manager X shows no partial alpha: the window's
// shape takes the pixels of at least half alpha, drawn opaque, so a glow
// over a light desktop is cut at its middle rather than shown as a dark
// blob over black.
constexpr std::uint8_t kSolidAlpha = 128;

// The region of pixels whose alpha is at least minimumAlpha, built row by
// row from runs.
cairo_region_t* OpaqueRegion(const Surface& image, std::uint8_t minimumAlpha) {
  std::vector<cairo_rectangle_int_t> runs;
  const std::uint8_t* data = image.Data();
  const int stride = image.Stride();
  for (int y = 0; y < image.Height(); ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::size_t>(stride) * y);
    int x = 0;
    while (x < image.Width()) {
      while (x < image.Width() && (row[x] >> 24) < minimumAlpha) ++x;
      const int begin = x;
      while (x < image.Width() && (row[x] >> 24) >= minimumAlpha) ++x;
      if (x > begin) runs.push_back({begin, y, x - begin, 1});
    }
  }
  return cairo_region_create_rectangles(runs.data(), static_cast<int>(runs.size()));
}

// The image as an X server without a compositor shows it: pixels of at
// least half alpha opaque with their own colour, the others cleared.
std::unique_ptr<Surface> SolidCopy(const Surface& image) {
  auto solid = Surface::Create(image.Width(), image.Height());
  if (!solid) return nullptr;
  solid->CopyFrom(image);
  cairo_surface_flush(solid->CairoSurface());
  std::uint8_t* data = cairo_image_surface_get_data(solid->CairoSurface());
  const int stride = solid->Stride();
  for (int y = 0; y < solid->Height(); ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::size_t>(stride) * y);
    for (int x = 0; x < solid->Width(); ++x) {
      const std::uint32_t pixel = row[x];
      const std::uint32_t alpha = pixel >> 24;
      if (alpha < kSolidAlpha) {
        row[x] = 0;
        continue;
      }
      // Premultiplied channels back to their own colour.
      auto channel = [&](int shift) { return std::min<std::uint32_t>(255, (((pixel >> shift) & 0xFF) * 255 + alpha / 2) / alpha); };
      row[x] = 0xFF000000u | (channel(16) << 16) | (channel(8) << 8) | channel(0);
    }
  }
  cairo_surface_mark_dirty(solid->CairoSurface());
  return solid;
}

}  // namespace

struct GtkDialogWindow::Impl {
  std::map<WPARAM, guint> timers;
  std::map<int, StaticBitmap> statics;
  std::map<UINT, std::unique_ptr<TrayIcon>> trayIcons;
  std::vector<std::pair<GtkWidget*, Rect>> controls;
  std::unique_ptr<Surface> layered;
  std::unique_ptr<Surface> layeredSolid;  // what shows without a compositor
  std::uint8_t layeredAlpha = 255;
  std::optional<ColorRef> colorKey;
  std::unique_ptr<Surface> surface;
  Rect rect;            // where the window stands, screen coordinates
  bool needsPaint = true;
  bool paintQueued = false;
  Cursor cursor = Cursor::Arrow;
  const char* cursorName = "default";
  bool buttonDown = false;
  Point pressPoint;  // screen coordinates of the last left-button press
  std::optional<Point> pointer;  // where the handler last saw the pointer
  DragLoop* drag = nullptr;
  // The place and size the program last asked for, until a configure event
  // reports it (events older than the request describe the window before it).
  std::optional<Rect> requested;
  gint64 requestedAt = 0;  // monotonic microseconds
};

// GTK signal handlers, turning events into messages.
struct GtkWindowEvents {
  static gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer data) {
    auto* self = static_cast<GtkDialogWindow*>(data);
    GtkDialogWindow::Impl& impl = *self->impl_;
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    if (impl.layered && !self->platform_.IsComposited()) {
      if (!impl.layeredSolid) impl.layeredSolid = SolidCopy(*impl.layered);
      if (impl.layeredSolid) cairo_set_source_surface(cr, impl.layeredSolid->CairoSurface(), 0, 0);
      cairo_paint(cr);
    } else if (impl.layered) {
      cairo_set_source_surface(cr, impl.layered->CairoSurface(), 0, 0);
      cairo_paint_with_alpha(cr, impl.layeredAlpha / 255.0);
    } else {
      if (impl.colorKey || !impl.surface) {
        cairo_set_source_rgba(cr, 0, 0, 0, impl.colorKey ? 0 : 1);
        cairo_paint(cr);
      }
      if (impl.surface && !impl.colorKey) {
        cairo_set_source_surface(cr, impl.surface->CairoSurface(), 0, 0);
        cairo_paint(cr);
      }
    }
    cairo_restore(cr);
    // Painting runs as a message of its own once GTK has finished drawing,
    // so a handler may block (the first paint of the login dialog does).
    if (impl.needsPaint && !impl.paintQueued) {
      impl.needsPaint = false;
      impl.paintQueued = true;
      self->Post(WM_PAINT, 0, 0);
    }
    return FALSE;  // children draw on top
  }

  static Point ConfirmedPlace(GtkWidget* widget, const GdkEventConfigure* event, Point current) {
    GdkWindow* gdk = gtk_widget_get_window(widget);
    if (!gdk) return current;
#ifdef GDK_WINDOWING_X11
    if (GDK_IS_X11_WINDOW(gdk)) {
      XWindowAttributes attributes{};
      if (!XGetWindowAttributes(GDK_WINDOW_XDISPLAY(gdk), GDK_WINDOW_XID(gdk), &attributes) ||
          attributes.map_state != IsViewable)
        return current;
      int x = 0, y = 0;
      gdk_window_get_origin(gdk, &x, &y);
      return x == event->x && y == event->y ? Point{x, y} : current;
    }
#endif
    return {event->x, event->y};
  }

  static gboolean OnConfigure(GtkWidget* widget, GdkEventConfigure* event, gpointer data) {
    auto* self = static_cast<GtkDialogWindow*>(data);
    GtkDialogWindow::Impl& impl = *self->impl_;
    const Rect old = impl.rect;
    // GDK reports a top-level's place as it was when the event was read: with
    // a reparenting window manager that can be older than a move made since
    // (the skin's centring, read back as (0, 0) while the window manager had
    // not placed the skin yet, pulled the login dialog to (362, 154) and
    // shifted every client coordinate). A place is taken only while the X
    // server shows the window and confirms that place now; otherwise the
    // program's own place stands until a later event agrees.
    const Point place = ConfirmedPlace(widget, event, {old.left, old.top});
    const Rect reported{place.x, place.y, place.x + event->width, place.y + event->height};
    // The same holds for sizes: after the program's own move or resize, the
    // events still queued from before it would size the window back (a
    // restored game window grew to the work area again). They are passed
    // over until one reports the requested rectangle, or for two seconds at
    // most should the window manager have chosen another.
    if (impl.requested) {
      const bool reached = reported == *impl.requested;
      if (!reached && g_get_monotonic_time() - impl.requestedAt < kRequestPatience) return FALSE;
      impl.requested.reset();
    }
    impl.rect = reported;
    if (old.left != impl.rect.left || old.top != impl.rect.top)
      self->Send(WM_MOVE, 0, MakePointParam(impl.rect.left, impl.rect.top));
    if (!self->destroyed_ && (old.Width() != impl.rect.Width() || old.Height() != impl.rect.Height())) {
      impl.needsPaint = true;
      self->Send(WM_SIZE, SIZE_RESTORED, MakeSizeParam(impl.rect.Width(), impl.rect.Height()));
    }
    return FALSE;
  }

  static gboolean OnWindowState(GtkWidget*, GdkEventWindowState* event, gpointer data) {
    auto* self = static_cast<GtkDialogWindow*>(data);
    constexpr auto kManagerStates = GDK_WINDOW_STATE_FULLSCREEN | GDK_WINDOW_STATE_MAXIMIZED;
    if ((event->changed_mask & kManagerStates) && !(event->new_window_state & kManagerStates)) {
      // Out of the window manager's full-screen state: the place the program
      // asked for meanwhile is asked for again (mutter restored its own).
      // GTK would not repeat a request it made already: the X window is asked directly.
      GdkWindow* gdk = gtk_widget_get_window(self->window_);
      if (const auto& r = self->impl_->requested; r && gdk)
        gdk_window_move_resize(gdk, r->left, r->top, r->Width(), r->Height());
    }
    if (!(event->changed_mask & GDK_WINDOW_STATE_ICONIFIED)) return FALSE;
    const bool minimized = event->new_window_state & GDK_WINDOW_STATE_ICONIFIED;
    if (minimized == self->minimized_) return FALSE;
    self->minimized_ = minimized;
    // The windows it owns go and come back with it, above it (the login
    // dialog was left alone on the desktop, and came back under the skin).
    IconifyOwnedWindows(self, minimized);
    if (!minimized) self->platform_.RaiseOwnedWindows(self);
    const Rect r = self->impl_->rect;
    self->Send(WM_SIZE, minimized ? SIZE_MINIMIZED : SIZE_RESTORED,
               minimized ? 0 : MakeSizeParam(r.Width(), r.Height()));
    return FALSE;
  }

  static void IconifyOwnedWindows(GtkDialogWindow* self, bool iconify) {
    GList* all = gtk_window_list_toplevels();
    for (GList* item = all; item; item = item->next) {
      GtkWindow* window = GTK_WINDOW(item->data);
      if (gtk_window_get_transient_for(window) != GTK_WINDOW(self->window_) ||
          !gtk_widget_get_visible(GTK_WIDGET(window)))
        continue;
      if (iconify)
        gtk_window_iconify(window);
      else
        gtk_window_deiconify(window);
    }
    g_list_free(all);
  }

  static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
    static_cast<GtkDialogWindow*>(data)->Send(WM_CLOSE, 0, 0);
    return TRUE;  // the handler decides; GTK never destroys the window itself
  }

  static gboolean OnFocus(GtkWidget*, GdkEventFocus* event, gpointer data) {
    auto* self = static_cast<GtkDialogWindow*>(data);
    // Activation raises a window; what it owns stays above it.
    if (event->in) self->platform_.RaiseOwnedWindows(self);
    self->Send(WM_NCACTIVATE, event->in ? 1 : 0, 0);
    return FALSE;
  }

  static LRESULT HitTest(GtkDialogWindow* self, int rootX, int rootY) {
    return self->Send(WM_NCHITTEST, 0, MakePointParam(rootX, rootY));
  }

  static Point ClientPoint(GtkDialogWindow* self, double rootX, double rootY) {
    return {static_cast<int>(rootX) - self->impl_->rect.left, static_cast<int>(rootY) - self->impl_->rect.top};
  }

  static void SendDoubleClick(GtkDialogWindow* self, int rx, int ry) {
    const LRESULT hit = HitTest(self, rx, ry);
    if (self->destroyed_) return;
    const Point client = ClientPoint(self, rx, ry);
    if (hit == HTCLIENT)
      self->Send(WM_LBUTTONDBLCLK, 1, MakePointParam(client.x, client.y));
    else
      self->Send(WM_NCLBUTTONDBLCLK, static_cast<WPARAM>(hit), MakePointParam(rx, ry));
  }

  static gboolean OnButtonPress(GtkWidget*, GdkEventButton* event, gpointer data) {
    auto* self = static_cast<GtkDialogWindow*>(data);
    if (event->button != 1 && event->button != 3) return FALSE;
    const int rx = static_cast<int>(event->x_root), ry = static_cast<int>(event->y_root);
    if (event->type == GDK_2BUTTON_PRESS) {
      // The second press already started a move loop: it ends, and the
      // double-click follows once it has.
      if (DragLoop* drag = self->impl_->drag) {
        drag->doubleClick = Point{rx, ry};
        g_main_loop_quit(drag->loop);
      } else if (event->button == 1) {
        SendDoubleClick(self, rx, ry);
      }
      return TRUE;
    }
    if (event->type != GDK_BUTTON_PRESS) return TRUE;
    // A press is judged where it happens: a window that appeared under a
    // still pointer has seen no motion yet, so the handler hears of the
    // pointer's place first.
    if (self->impl_->pointer != Point{rx, ry}) {
      SendMouseMove(self, rx, ry);
      if (self->destroyed_) return TRUE;
    }
    const LRESULT hit = HitTest(self, rx, ry);
    if (self->destroyed_) return TRUE;
    const Point client = ClientPoint(self, event->x_root, event->y_root);
    if (event->button == 3) {
      if (hit == HTCLIENT) self->Send(WM_RBUTTONDOWN, 0, MakePointParam(client.x, client.y));
      return TRUE;
    }
    // A click may raise this window over the windows it owns; keep them on top.
    self->platform_.RaiseOwnedWindows(self);
    self->impl_->buttonDown = true;
    self->impl_->pressPoint = {rx, ry};
    if (hit == HTCLIENT)
      self->Send(WM_LBUTTONDOWN, 1, MakePointParam(client.x, client.y));
    else if (hit != HTNOWHERE)
      self->Send(WM_NCLBUTTONDOWN, static_cast<WPARAM>(hit), MakePointParam(rx, ry));
    return TRUE;
  }

  static gboolean OnButtonRelease(GtkWidget*, GdkEventButton* event, gpointer data) {
    auto* self = static_cast<GtkDialogWindow*>(data);
    if (event->button == 1) self->impl_->buttonDown = false;
    if (self->impl_->drag) {
      g_main_loop_quit(self->impl_->drag->loop);
      return TRUE;
    }
    const int rx = static_cast<int>(event->x_root), ry = static_cast<int>(event->y_root);
    const LRESULT hit = HitTest(self, rx, ry);
    if (self->destroyed_) return TRUE;
    const Point client = ClientPoint(self, event->x_root, event->y_root);
    const UINT clientMessage = event->button == 3 ? WM_RBUTTONUP : WM_LBUTTONUP;
    if (hit == HTCLIENT)
      self->Send(clientMessage, 0, MakePointParam(client.x, client.y));
    else if (event->button == 1 && hit != HTNOWHERE)
      self->Send(WM_NCLBUTTONUP, static_cast<WPARAM>(hit), MakePointParam(rx, ry));
    return TRUE;
  }

  static void SendMouseMove(GtkDialogWindow* self, int rx, int ry) {
    self->impl_->pointer = Point{rx, ry};
    const LRESULT hit = HitTest(self, rx, ry);
    if (self->destroyed_) return;
    self->Send(WM_SETCURSOR, 0, static_cast<LPARAM>((static_cast<std::uint32_t>(WM_MOUSEMOVE) << 16) |
                                                    (static_cast<std::uint32_t>(hit) & 0xFFFF)));
    if (self->destroyed_) return;
    if (hit == HTCLIENT) {
      const Point client = ClientPoint(self, rx, ry);
      self->Send(WM_MOUSEMOVE, 0, MakePointParam(client.x, client.y));
    } else if (hit != HTNOWHERE) {
      self->Send(WM_NCMOUSEMOVE, static_cast<WPARAM>(hit), MakePointParam(rx, ry));
    }
  }

  static gboolean OnMotion(GtkWidget*, GdkEventMotion* event, gpointer data) {
    auto* self = static_cast<GtkDialogWindow*>(data);
    const int rx = static_cast<int>(event->x_root), ry = static_cast<int>(event->y_root);
    if (DragLoop* drag = self->impl_->drag) {
      FollowPointer(self, *drag, rx, ry);
      return TRUE;
    }
    SendMouseMove(self, rx, ry);
    return TRUE;
  }

  static void FollowPointer(GtkDialogWindow* self, DragLoop& drag, int rx, int ry) {
    const int dx = rx - drag.start.x, dy = ry - drag.start.y;
    if (!drag.following) {
      if (std::abs(dx) <= drag.slack && std::abs(dy) <= drag.slack) return;
      drag.following = true;
    }
    Rect r = drag.startRect;
    switch (drag.hit) {
      case HTCAPTION: r = r.Offset(dx, dy); break;
      case HTLEFT: r.left = std::min(r.left + dx, r.right - drag.minimum.x); break;
      case HTRIGHT: r.right = std::max(r.right + dx, r.left + drag.minimum.x); break;
      case HTBOTTOM: r.bottom = std::max(r.bottom + dy, r.top + drag.minimum.y); break;
      case HTBOTTOMLEFT:
        r.left = std::min(r.left + dx, r.right - drag.minimum.x);
        r.bottom = std::max(r.bottom + dy, r.top + drag.minimum.y);
        break;
      case HTBOTTOMRIGHT:
        r.right = std::max(r.right + dx, r.left + drag.minimum.x);
        r.bottom = std::max(r.bottom + dy, r.top + drag.minimum.y);
        break;
      default: break;
    }
    if (r == self->impl_->rect) return;
    self->MoveWindow(r.left, r.top, r.Width(), r.Height(), true);
  }

  static gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer data) {
    auto* self = static_cast<GtkDialogWindow*>(data);
    // Every key of the window, whichever child has the focus, passes the
    // run loop's pre-translation first; what is not swallowed goes on to
    // the focused widget.
    Msg msg{self, self, WM_KEYDOWN, VirtualKeyOf(event->keyval), 0};
    return WalkPreTranslate(msg) ? TRUE : FALSE;
  }

  // The program maximises its windows itself, by placing them: a window
  // manager that maximised one on its own (mutter does so with a window
  // that fills the work area) would refuse the program's restore. The
  // window manager is told the window has no maximise of its own.
  static void OnRealize(GtkWidget* widget, gpointer) {
    if (GdkWindow* gdk = gtk_widget_get_window(widget))
      gdk_window_set_functions(gdk, static_cast<GdkWMFunction>(GDK_FUNC_MOVE | GDK_FUNC_RESIZE | GDK_FUNC_MINIMIZE |
                                                               GDK_FUNC_CLOSE));
  }

  // The window manager's own resizes (its edge handles, the keyboard) keep
  // to the handler's minimum tracking size, as the program's drags do.
  static void OfferMinimumSize(GtkDialogWindow* self) {
    MINMAXINFO limits{};
    self->Send(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    if (self->destroyed_ || (limits.ptMinTrackSize.x <= 1 && limits.ptMinTrackSize.y <= 1)) return;
    GdkGeometry geometry{};
    geometry.min_width = std::max(1, limits.ptMinTrackSize.x);
    geometry.min_height = std::max(1, limits.ptMinTrackSize.y);
    gtk_window_set_geometry_hints(GTK_WINDOW(self->window_), nullptr, &geometry, GDK_HINT_MIN_SIZE);
  }

  // A compositing manager that starts or ends changes what the windows'
  // shapes must cut.
  static void OnCompositedChanged(GdkScreen*, gpointer data) {
    auto* self = static_cast<GtkDialogWindow*>(data);
    if (self->destroyed_) return;
    self->UpdateShape();
    gtk_widget_queue_draw(self->window_);
  }

  static gboolean OnTimer(gpointer data) {
    auto* timer = static_cast<TimerData*>(data);
    if (timer->platform->IsAlive(timer->window) && !timer->window->IsDestroyed())
      timer->window->Send(WM_TIMER, timer->id, 0);
    return G_SOURCE_CONTINUE;
  }
};

GtkDialogWindow::GtkDialogWindow(GtkPlatform& platform, WindowHandler& handler, const WindowSpec& kind)
    : impl_(std::make_unique<Impl>()),
      platform_(platform),
      handler_(handler),
      owner_(kind.owner),
      style_(kind.style),
      exStyle_(kind.exStyle) {
  platform_.Register(this);
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  g_object_ref_sink(window_);
  gtk_window_set_decorated(GTK_WINDOW(window_), FALSE);
  gtk_widget_set_app_paintable(window_, TRUE);
  if (kind.perPixelAlpha) {
    if (GdkVisual* rgba = gdk_screen_get_rgba_visual(gtk_widget_get_screen(window_)))
      gtk_widget_set_visual(window_, rgba);
  }
  if (owner_) {
    gtk_window_set_transient_for(GTK_WINDOW(window_),
                                 GTK_WINDOW(static_cast<GtkDialogWindow*>(owner_)->Toplevel()));
  }
  SetExStyle(exStyle_);
  fixed_ = GTK_FIXED(g_object_new(free_size_fixed_get_type(), nullptr));
  gtk_container_add(GTK_CONTAINER(window_), GTK_WIDGET(fixed_));
  gtk_widget_show(GTK_WIDGET(fixed_));
  gtk_widget_add_events(window_, GDK_POINTER_MOTION_MASK | GDK_BUTTON_PRESS_MASK |
                                     GDK_BUTTON_RELEASE_MASK | GDK_KEY_PRESS_MASK |
                                     GDK_STRUCTURE_MASK | GDK_FOCUS_CHANGE_MASK);
  g_signal_connect(window_, "realize", G_CALLBACK(GtkWindowEvents::OnRealize), this);
  g_signal_connect(window_, "draw", G_CALLBACK(GtkWindowEvents::OnDraw), this);
  g_signal_connect(window_, "configure-event", G_CALLBACK(GtkWindowEvents::OnConfigure), this);
  g_signal_connect(window_, "window-state-event", G_CALLBACK(GtkWindowEvents::OnWindowState), this);
  g_signal_connect(window_, "delete-event", G_CALLBACK(GtkWindowEvents::OnDelete), this);
  g_signal_connect(window_, "focus-in-event", G_CALLBACK(GtkWindowEvents::OnFocus), this);
  g_signal_connect(window_, "focus-out-event", G_CALLBACK(GtkWindowEvents::OnFocus), this);
  g_signal_connect(window_, "button-press-event", G_CALLBACK(GtkWindowEvents::OnButtonPress), this);
  g_signal_connect(window_, "button-release-event", G_CALLBACK(GtkWindowEvents::OnButtonRelease), this);
  g_signal_connect(window_, "motion-notify-event", G_CALLBACK(GtkWindowEvents::OnMotion), this);
  g_signal_connect(window_, "key-press-event", G_CALLBACK(GtkWindowEvents::OnKeyPress), this);
  g_signal_connect(gtk_widget_get_screen(window_), "composited-changed",
                   G_CALLBACK(GtkWindowEvents::OnCompositedChanged), this);

  // The template decides the first size; it stands at its owner's top-left.
  int width = 1, height = 1;
  if (const res::DialogTemplate* t = res::FindDialogTemplate(kind.templateNumber)) {
    const auto size = res::DialogUnitsToPixels(*t, t->cx, t->cy);
    width = std::max(1, size.first);
    height = std::max(1, size.second);
    for (const res::ControlTemplate& c : t->controls) {
      const auto origin = res::DialogUnitsToPixels(*t, c.x, c.y);
      const auto extent = res::DialogUnitsToPixels(*t, c.cx, c.cy);
      StaticBitmap& bitmap = impl_->statics[c.id];
      bitmap.image = platform_.LoadBitmapResource(c.bitmap);
      bitmap.rect = {origin.first, origin.second, origin.first + extent.first, origin.second + extent.second};
      bitmap.widget = gtk_drawing_area_new();
      g_signal_connect(bitmap.widget, "draw", G_CALLBACK(DrawStaticBitmap), &bitmap);
      gtk_fixed_put(fixed_, bitmap.widget, bitmap.rect.left, bitmap.rect.top);
      gtk_widget_set_size_request(bitmap.widget, std::max(1, bitmap.rect.Width()), std::max(1, bitmap.rect.Height()));
      gtk_widget_show(bitmap.widget);
    }
  }
  const Rect origin = owner_ ? owner_->WindowRect() : Rect{};
  impl_->rect = {origin.left, origin.top, origin.left + width, origin.top + height};
  gtk_window_move(GTK_WINDOW(window_), impl_->rect.left, impl_->rect.top);
  gtk_window_resize(GTK_WINDOW(window_), width, height);
}

GtkDialogWindow::~GtkDialogWindow() {
  for (auto& [id, source] : impl_->timers) g_source_remove(source);
  impl_->trayIcons.clear();
  platform_.Unregister(this);
  if (window_) {
    g_signal_handlers_disconnect_by_data(gtk_widget_get_screen(window_), this);
    g_signal_handlers_disconnect_by_data(window_, this);
    gtk_widget_destroy(window_);
    g_object_unref(window_);
  }
}

LRESULT GtkDialogWindow::Send(UINT message, WPARAM wParam, LPARAM lParam) {
  if (destroyed_) return 0;
  if (message == WM_PAINT) impl_->paintQueued = false;
  return handler_.WindowProc(message, wParam, lParam);
}

void GtkDialogWindow::Post(UINT message, WPARAM wParam, LPARAM lParam) {
  if (!destroyed_) platform_.PostMessage(this, message, wParam, lParam);
}

LRESULT GtkDialogWindow::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      // A dialog's default close is its cancel: the main window's ends the
      // run loop, an owned one hides.
      if (owner_ == nullptr)
        platform_.EndModal(IDCANCEL);
      else
        Show(SW_HIDE);
      return 0;
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_MINIMIZE: Show(SW_MINIMIZE); break;
        case SC_MOVE: {
          // The drag starts where the button went down, however far the
          // pointer has gone since.
          const Point p = impl_->buttonDown ? impl_->pressPoint : platform_.CursorPos();
          DefaultProc(WM_NCLBUTTONDOWN, static_cast<WPARAM>(HTCAPTION), MakePointParam(p.x, p.y));
          break;
        }
        case SC_CLOSE: Send(WM_CLOSE, 0, 0); break;
        case SC_RESTORE: Show(SW_RESTORE); break;
      }
      return 0;
    case WM_NCHITTEST: {
      const Point p = PointFromParam(lParam);
      return impl_->rect.Contains(p.x, p.y) ? HTCLIENT : HTNOWHERE;
    }
    case WM_NCLBUTTONDOWN: {
      const auto hit = static_cast<LRESULT>(wParam);
      if (hit != HTCAPTION && hit != HTLEFT && hit != HTRIGHT && hit != HTBOTTOM && hit != HTBOTTOMLEFT &&
          hit != HTBOTTOMRIGHT)
        return 0;
      if (impl_->drag) return 0;
      GdkWindow* gdk = gtk_widget_get_window(window_);
      GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
      if (!gdk || !seat) return 0;
      MINMAXINFO limits{};
      Send(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
      DragLoop drag;
      drag.hit = hit;
      drag.start = PointFromParam(lParam);
      drag.startRect = impl_->rect;
      drag.minimum = {std::max(1, limits.ptMinTrackSize.x), std::max(1, limits.ptMinTrackSize.y)};
      drag.slack = DoubleClickDistance();
      GdkCursor* cursor = gdk_cursor_new_from_name(gdk_display_get_default(), CursorName(hit));
      if (gdk_seat_grab(seat, gdk, GDK_SEAT_CAPABILITY_ALL_POINTING, FALSE, cursor, nullptr, nullptr,
                        nullptr) != GDK_GRAB_SUCCESS) {
        if (cursor) g_object_unref(cursor);
        return 0;
      }
      // Like the system's move loop, this returns when the button is released;
      // every pointer step moves the window and reports WM_MOVE at once, so
      // whatever follows the window stays in step.
      drag.loop = g_main_loop_new(nullptr, FALSE);
      impl_->drag = &drag;
      g_main_loop_run(drag.loop);
      g_main_loop_unref(drag.loop);
      if (cursor) g_object_unref(cursor);
      if (platform_.IsAlive(this)) {
        impl_->drag = nullptr;
        impl_->buttonDown = false;
        gdk_seat_ungrab(seat);
        platform_.RaiseOwnedWindows(this);
        // The pointer's position after the loop arrives as a mouse move.
        const Point p = platform_.CursorPos();
        GtkWindowEvents::SendMouseMove(this, p.x, p.y);
        if (drag.doubleClick && !destroyed_) GtkWindowEvents::SendDoubleClick(this, drag.doubleClick->x, drag.doubleClick->y);
      }
      return 0;
    }
    case WM_SETCURSOR: {
      const auto hit = static_cast<LRESULT>(static_cast<std::int16_t>(lParam & 0xFFFF));
      const char* name = CursorName(hit);
      impl_->cursor = Cursor::Arrow;
      if (name != impl_->cursorName) {
        impl_->cursorName = name;
        if (GdkWindow* gdk = gtk_widget_get_window(window_)) {
          GdkCursor* cursor = gdk_cursor_new_from_name(gdk_display_get_default(), name);
          gdk_window_set_cursor(gdk, cursor);
          if (cursor) g_object_unref(cursor);
        }
      }
      return 1;
    }
    default:
      return 0;
  }
}

void GtkDialogWindow::Show(int showCommand) {
  if (destroyed_) return;
  switch (showCommand) {
    case SW_HIDE:
      if (gtk_widget_get_visible(window_)) {
        gtk_widget_hide(window_);
        Send(WM_SHOWWINDOW, 0, 0);
      }
      return;
    case SW_MINIMIZE:
      if (!gtk_widget_get_visible(window_)) gtk_widget_show(window_);
      gtk_window_iconify(GTK_WINDOW(window_));
      return;
    case SW_RESTORE:
      gtk_window_deiconify(GTK_WINDOW(window_));
      [[fallthrough]];
    default: {
      const bool wasVisible = gtk_widget_get_visible(window_);
      if (!wasVisible) {
        GtkWindowEvents::OfferMinimumSize(this);
        if (destroyed_) return;
        gtk_window_move(GTK_WINDOW(window_), impl_->rect.left, impl_->rect.top);
        impl_->needsPaint = true;
        gtk_widget_show(window_);
        Send(WM_SHOWWINDOW, 1, 0);
      }
      if (showCommand == SW_RESTORE) gtk_window_present(GTK_WINDOW(window_));
      platform_.RaiseOwnedWindows(this);
      platform_.RaiseMessageBoxes();
      return;
    }
  }
}

bool GtkDialogWindow::IsVisible() const { return !destroyed_ && gtk_widget_get_visible(window_); }

Rect GtkDialogWindow::WindowRect() const { return impl_->rect; }

Rect GtkDialogWindow::ClientRect() const { return {0, 0, impl_->rect.Width(), impl_->rect.Height()}; }

void GtkDialogWindow::SetPosition(int x, int y) {
  MoveWindow(x, y, impl_->rect.Width(), impl_->rect.Height(), false);
}

void GtkDialogWindow::MoveWindow(int x, int y, int width, int height, bool /*repaint*/) {
  if (destroyed_) return;
  width = std::max(1, width);
  height = std::max(1, height);
  const Rect old = impl_->rect;
  impl_->rect = {x, y, x + width, y + height};
  impl_->requested = impl_->rect;
  impl_->requestedAt = g_get_monotonic_time();
  // A window that fills the screen is taken for a full-screen one by some
  // window managers (mutter), which then hold it at that size. The program
  // never asks for that state: its own place and size stand.
  if (GdkWindow* gdk = gtk_widget_get_window(window_)) {
    const GdkWindowState state = gdk_window_get_state(gdk);
    if (state & GDK_WINDOW_STATE_FULLSCREEN) gtk_window_unfullscreen(GTK_WINDOW(window_));
    if (state & GDK_WINDOW_STATE_MAXIMIZED) gtk_window_unmaximize(GTK_WINDOW(window_));
  }
  gtk_window_move(GTK_WINDOW(window_), x, y);
  if (old.Width() != width || old.Height() != height) {
    // GTK takes the children's size requests as the window's minimum size, so
    // a player laid out for the work area kept a restored window at that size.
    // Children never hold their window up: they are cut to the new size first
    // and laid out again by the WM_SIZE handler.
    for (const auto& [child, rect] : impl_->controls)
      gtk_widget_set_size_request(child, std::max(1, std::min(rect.right, width) - rect.left),
                                  std::max(1, std::min(rect.bottom, height) - rect.top));
    gtk_window_resize(GTK_WINDOW(window_), width, height);
    impl_->needsPaint = true;
  }
  // Moving and sizing report at once, as the program's handlers expect.
  if (old.left != x || old.top != y) Send(WM_MOVE, 0, MakePointParam(x, y));
  if (!destroyed_ && (old.Width() != width || old.Height() != height))
    Send(WM_SIZE, SIZE_RESTORED, MakeSizeParam(width, height));
}

void GtkDialogWindow::SetText(const std::u16string& text) {
  text_ = text;
  gtk_window_set_title(GTK_WINDOW(window_), base::ToUtf8(text).c_str());
}

void GtkDialogWindow::SetIcon(WPARAM /*slot*/, int iconResource) {
  if (GdkPixbuf* icon = platform_.IconPixbuf(iconResource)) gtk_window_set_icon(GTK_WINDOW(window_), icon);
}

void GtkDialogWindow::SetExStyle(std::uint32_t exStyle) {
  exStyle_ = exStyle;
  const bool tool = exStyle & WS_EX_TOOLWINDOW;
  gtk_window_set_skip_taskbar_hint(GTK_WINDOW(window_), tool);
  gtk_window_set_skip_pager_hint(GTK_WINDOW(window_), tool);
}

void GtkDialogWindow::SetFocus() {
  if (!destroyed_) gtk_window_present(GTK_WINDOW(window_));
}

void GtkDialogWindow::SetCursor(Cursor cursor) {
  const char* name = cursor == Cursor::Hand ? "pointer" : "default";
  impl_->cursor = cursor;
  if (name == impl_->cursorName) return;
  impl_->cursorName = name;
  if (GdkWindow* gdk = gtk_widget_get_window(window_)) {
    GdkCursor* c = gdk_cursor_new_from_name(gdk_display_get_default(), name);
    gdk_window_set_cursor(gdk, c);
    if (c) g_object_unref(c);
  }
}

void GtkDialogWindow::SetTimer(WPARAM id, UINT milliseconds) {
  KillTimer(id);
  auto* data = new TimerData{&platform_, this, id};
  impl_->timers[id] = g_timeout_add_full(G_PRIORITY_DEFAULT, std::max<UINT>(1, milliseconds),
                                         &GtkWindowEvents::OnTimer, data,
                                         [](gpointer p) { delete static_cast<TimerData*>(p); });
}

void GtkDialogWindow::KillTimer(WPARAM id) {
  auto it = impl_->timers.find(id);
  if (it == impl_->timers.end()) return;
  g_source_remove(it->second);
  impl_->timers.erase(it);
}

bool GtkDialogWindow::UpdateLayered(const Surface& image, std::uint8_t constantAlpha) {
  if (destroyed_) return false;
  if (!impl_->layered || impl_->layered->Width() != image.Width() || impl_->layered->Height() != image.Height())
    impl_->layered = Surface::Create(image.Width(), image.Height());
  if (!impl_->layered) return false;
  impl_->layered->CopyFrom(image);
  impl_->layeredSolid.reset();
  impl_->layeredAlpha = constantAlpha;
  const Rect r = impl_->rect;
  if (r.Width() != image.Width() || r.Height() != image.Height()) {
    impl_->rect = {r.left, r.top, r.left + image.Width(), r.top + image.Height()};
    gtk_widget_set_size_request(GTK_WIDGET(fixed_), image.Width(), image.Height());
    gtk_window_resize(GTK_WINDOW(window_), image.Width(), image.Height());
  }
  UpdateShape();
  gtk_widget_queue_draw(window_);
  return true;
}

void GtkDialogWindow::SetColorKey(ColorRef key) {
  impl_->colorKey = key;
  if (!gtk_widget_get_realized(window_)) {
    if (GdkVisual* rgba = gdk_screen_get_rgba_visual(gtk_widget_get_screen(window_)))
      gtk_widget_set_visual(window_, rgba);
  }
  UpdateShape();
}

void GtkDialogWindow::UpdateShape() {
  cairo_region_t* region = nullptr;
  const bool composited = platform_.IsComposited();
  if (impl_->layered) {
    region = OpaqueRegion(*impl_->layered, composited ? 1 : kSolidAlpha);
  } else if (impl_->colorKey) {
    // Only the controls and the static bitmaps are seen and take input; the
    // rest of a colour-keyed window belongs to the window below.
    region = cairo_region_create();
    for (const auto& [widget, rect] : impl_->controls)
      if (gtk_widget_get_visible(widget)) {
        cairo_rectangle_int_t r{rect.left, rect.top, rect.Width(), rect.Height()};
        cairo_region_union_rectangle(region, &r);
      }
    for (const auto& [id, bitmap] : impl_->statics) {
      cairo_rectangle_int_t r{bitmap.rect.left, bitmap.rect.top, bitmap.rect.Width(), bitmap.rect.Height()};
      cairo_region_union_rectangle(region, &r);
    }
  }
  gtk_widget_input_shape_combine_region(window_, region);
  // Without a compositing manager X shows alpha as black, so the window's
  // own shape is cut too.
  gtk_widget_shape_combine_region(window_, composited ? nullptr : region);
  if (region) cairo_region_destroy(region);
}

Surface& GtkDialogWindow::WindowSurface() {
  const int width = std::max(1, impl_->rect.Width());
  const int height = std::max(1, impl_->rect.Height());
  // A new size starts from a clean image; the handler paints it anew at
  // the WM_PAINT the size change brings.
  if (!impl_->surface || impl_->surface->Width() != width || impl_->surface->Height() != height)
    impl_->surface = Surface::Create(width, height);
  return *impl_->surface;
}

void GtkDialogWindow::Invalidate() {
  if (!destroyed_) gtk_widget_queue_draw(window_);
}

bool GtkDialogWindow::MoveChild(int controlId, const Rect& rect) {
  auto it = impl_->statics.find(controlId);
  if (it == impl_->statics.end()) return false;
  it->second.rect = rect;
  gtk_fixed_move(fixed_, it->second.widget, rect.left, rect.top);
  gtk_widget_set_size_request(it->second.widget, std::max(1, rect.Width()), std::max(1, rect.Height()));
  UpdateShape();
  return true;
}

void GtkDialogWindow::RaiseStaticBitmaps() {
  for (const auto& [id, bitmap] : impl_->statics)
    if (GdkWindow* gdk = gtk_widget_get_window(bitmap.widget); gdk && gtk_widget_get_realized(bitmap.widget))
      gdk_window_raise(gdk);
}

void GtkDialogWindow::PlaceChild(GtkWidget* child, const Rect& rect) {
  auto it = std::find_if(impl_->controls.begin(), impl_->controls.end(),
                         [child](const auto& entry) { return entry.first == child; });
  if (it == impl_->controls.end()) {
    gtk_fixed_put(fixed_, child, rect.left, rect.top);
    // The container draws its children in the order they were added: the
    // template's bitmaps go after the new control.
    for (auto& [id, bitmap] : impl_->statics) {
      g_object_ref(bitmap.widget);
      gtk_container_remove(GTK_CONTAINER(fixed_), bitmap.widget);
      gtk_fixed_put(fixed_, bitmap.widget, bitmap.rect.left, bitmap.rect.top);
      g_object_unref(bitmap.widget);
    }
    impl_->controls.emplace_back(child, rect);
    g_signal_connect(child, "destroy", G_CALLBACK(+[](GtkWidget* w, gpointer data) {
                       auto* self = static_cast<GtkDialogWindow*>(data);
                       auto& list = self->impl_->controls;
                       list.erase(std::remove_if(list.begin(), list.end(),
                                                 [w](const auto& e) { return e.first == w; }),
                                  list.end());
                     }),
                     this);
    g_signal_connect_swapped(child, "show", G_CALLBACK(+[](GtkDialogWindow* self) { self->UpdateShape(); }),
                             this);
    // A control's window is made above its siblings; the template's bitmaps
    // go back on top of it.
    g_signal_connect_swapped(child, "map", G_CALLBACK(+[](GtkDialogWindow* self) { self->RaiseStaticBitmaps(); }),
                             this);
    g_signal_connect_swapped(child, "hide", G_CALLBACK(+[](GtkDialogWindow* self) { self->UpdateShape(); }),
                             this);
  } else {
    gtk_fixed_move(fixed_, child, rect.left, rect.top);
    it->second = rect;
  }
  gtk_widget_set_size_request(child, std::max(1, rect.Width()), std::max(1, rect.Height()));
  UpdateShape();
}

std::unique_ptr<BrowserControl> GtkDialogWindow::CreateBrowser(int controlId, const Rect& rect) {
  return std::make_unique<WebKitBrowser>(*this, controlId, rect);
}

std::unique_ptr<PlayerControl> GtkDialogWindow::CreatePlayer(int controlId, const Rect& rect) {
  return std::make_unique<RufflePlayer>(*this, controlId, rect);
}

void GtkDialogWindow::TrackPopupMenu(const res::MenuResource& menu, Point screenPoint) {
  if (destroyed_) return;
  GtkWidget* popup = gtk_menu_new();
  g_object_ref_sink(popup);
  for (const res::MenuItem& item : menu.items) {
    GtkWidget* entry = gtk_menu_item_new_with_label(base::ToUtf8(item.text).c_str());
    g_object_set_data(G_OBJECT(entry), "tessary-command", GINT_TO_POINTER(item.command));
    g_signal_connect(entry, "activate", G_CALLBACK(+[](GtkMenuItem* e, gpointer data) {
                       auto* self = static_cast<GtkDialogWindow*>(data);
                       self->Post(WM_COMMAND,
                                  static_cast<WPARAM>(GPOINTER_TO_INT(g_object_get_data(G_OBJECT(e), "tessary-command"))),
                                  0);
                     }),
                     this);
    gtk_menu_shell_append(GTK_MENU_SHELL(popup), entry);
    gtk_widget_show(entry);
  }
  // Like the system's pop-up menu, this returns once the menu has closed.
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  g_signal_connect_swapped(popup, "deactivate", G_CALLBACK(g_main_loop_quit), loop);
  GdkRectangle anchor{screenPoint.x - impl_->rect.left, screenPoint.y - impl_->rect.top, 1, 1};
  gtk_menu_popup_at_rect(GTK_MENU(popup), gtk_widget_get_window(window_), &anchor, GDK_GRAVITY_NORTH_WEST,
                         GDK_GRAVITY_NORTH_WEST, nullptr);
  if (gtk_widget_get_visible(popup)) g_main_loop_run(loop);
  g_main_loop_unref(loop);
  gtk_widget_destroy(popup);
  g_object_unref(popup);
}

bool GtkDialogWindow::AddTrayIcon(UINT id, UINT callbackMessage, int iconResource, const std::u16string& tip) {
  DeleteTrayIcon(id);
  auto icon = platform_.Tray().Add(platform_.IconPixbuf(iconResource), tip,
                                   [this, id, callbackMessage](LPARAM mouse) { Post(callbackMessage, id, mouse); });
  if (!icon) return false;
  impl_->trayIcons[id] = std::move(icon);
  return true;
}

void GtkDialogWindow::DeleteTrayIcon(UINT id) { impl_->trayIcons.erase(id); }

void GtkDialogWindow::Destroy() {
  if (destroyed_) return;
  handler_.WindowProc(WM_DESTROY, 0, 0);
  destroyed_ = true;
  if (impl_->drag) g_main_loop_quit(impl_->drag->loop);
  for (auto& [id, source] : impl_->timers) g_source_remove(source);
  impl_->timers.clear();
  while (!impl_->trayIcons.empty()) DeleteTrayIcon(impl_->trayIcons.begin()->first);
  gtk_widget_hide(window_);
  if (handler_.window() == this) platform_.Bury(WindowAttachment::Detach(handler_));
}

bool PreTranslateControlEvent(GtkDialogWindow& window, const void* control,
                              bool (*controlPreTranslate)(const void* control, const Msg&), const GdkEvent* event) {
  // Keys pass the pre-translation at the top-level window already.
  Msg msg{control, &window, 0, 0, 0};
  switch (event->type) {
    case GDK_BUTTON_PRESS: {
      const auto& b = event->button;
      if (b.button != 1 && b.button != 3) return false;
      msg.message = b.button == 3 ? WM_RBUTTONDOWN : WM_LBUTTONDOWN;
      msg.lParam = MakePointParam(static_cast<int>(b.x), static_cast<int>(b.y));
      break;
    }
    case GDK_MOTION_NOTIFY:
      msg.message = WM_MOUSEMOVE;
      msg.lParam = MakePointParam(static_cast<int>(event->motion.x), static_cast<int>(event->motion.y));
      break;
    default:
      return false;
  }
  if (controlPreTranslate && controlPreTranslate(control, msg)) return true;
  return WalkPreTranslate(msg);
}

WPARAM VirtualKeyOf(guint keyval) {
  switch (keyval) {
    case GDK_KEY_Return:
    case GDK_KEY_KP_Enter:
    case GDK_KEY_ISO_Enter: return VK_RETURN;
    case GDK_KEY_Escape: return VK_ESCAPE;
    case GDK_KEY_BackSpace: return 8;
    case GDK_KEY_Tab: return 9;
    case GDK_KEY_space: return 32;
    default: break;
  }
  if (keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F24) return 112 + (keyval - GDK_KEY_F1);
  if (keyval >= GDK_KEY_a && keyval <= GDK_KEY_z) return 'A' + (keyval - GDK_KEY_a);
  if (keyval >= GDK_KEY_A && keyval <= GDK_KEY_Z) return keyval;
  if (keyval >= GDK_KEY_0 && keyval <= GDK_KEY_9) return keyval;
  return 0xFF;  // a key the program does not look at
}

}  // namespace platform::gtk
