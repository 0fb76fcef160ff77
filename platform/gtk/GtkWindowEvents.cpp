// GTK events of a window, turned into the window layer's messages.

#include <gdk/gdkx.h>

#include "platform/MessageRouting.h"
#include "platform/gtk/GtkDialogWindow.h"
#include "platform/gtk/GtkPlatform.h"

namespace platform::gtk {
namespace {

// How long configure events that differ from the program's own request are
// taken for stale ones (microseconds).
constexpr gint64 kRequestPatience = 2 * G_USEC_PER_SEC;

GtkDialogWindow* Self(gpointer data) { return static_cast<GtkDialogWindow*>(data); }

Point RootPoint(double x, double y) { return {static_cast<int>(x), static_cast<int>(y)}; }

// GDK reports a top-level's place as it was when the event was read: with
// a reparenting window manager that can be older than a move made since
// (the skin's centring, read back as (0, 0) while the window manager had
// not placed the skin yet, pulled the login dialog to (362, 154) and
// shifted every client coordinate). A place is taken only while the X
// server shows the window and confirms that place now; otherwise the
// program's own place stands until a later event agrees.
Point ConfirmedPlace(GtkWidget* widget, const GdkEventConfigure* event, Point current) {
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

}  // namespace

void GtkDialogWindow::ConnectEvents() {
  gtk_widget_add_events(window_, GDK_POINTER_MOTION_MASK | GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                     GDK_KEY_PRESS_MASK | GDK_STRUCTURE_MASK | GDK_FOCUS_CHANGE_MASK);
  g_signal_connect(window_, "realize", G_CALLBACK(OnRealize), this);
  g_signal_connect(window_, "draw", G_CALLBACK(OnDraw), this);
  g_signal_connect(window_, "configure-event", G_CALLBACK(OnConfigure), this);
  g_signal_connect(window_, "window-state-event", G_CALLBACK(OnWindowState), this);
  g_signal_connect(window_, "delete-event", G_CALLBACK(OnDelete), this);
  g_signal_connect(window_, "focus-in-event", G_CALLBACK(OnFocus), this);
  g_signal_connect(window_, "focus-out-event", G_CALLBACK(OnFocus), this);
  g_signal_connect(window_, "button-press-event", G_CALLBACK(OnButtonPress), this);
  g_signal_connect(window_, "button-release-event", G_CALLBACK(OnButtonRelease), this);
  g_signal_connect(window_, "motion-notify-event", G_CALLBACK(OnMotion), this);
  g_signal_connect(window_, "key-press-event", G_CALLBACK(OnKeyPress), this);
  g_signal_connect(gtk_widget_get_screen(window_), "composited-changed", G_CALLBACK(OnCompositedChanged), this);
}

gboolean GtkDialogWindow::OnDraw(GtkWidget*, cairo_t* cr, gpointer data) {
  GtkDialogWindow* self = Self(data);
  self->Paint(cr);
  const bool firstFrame = !self->drawn_;
  self->drawn_ = true;
  // Painting runs as a message of its own once GTK has finished drawing,
  // so a handler may block (the first paint of the login dialog does).
  if (self->needsPaint_ && !self->paintQueued_ && !self->paintAwaitsOwner_) {
    self->needsPaint_ = false;
    if (self->OwnerAwaitsFirstFrame()) {
      self->HoldPaintForOwner();
    } else {
      self->QueuePaint();
    }
  }
  // Owned windows hold their paint only until this window's first frame.
  if (firstFrame) self->ReleaseOwnedPaints();
  return FALSE;  // children draw on top
}

void GtkDialogWindow::QueuePaint() {
  paintQueued_ = true;
  Post(WM_PAINT, 0, 0);
}

// An owned window's paint handler may block, and the owner's first frame
// would wait behind it: the login dialog starts the web engine and the
// update check from its first paint, and the skin around it showed only
// after both. The window manager maps the owner a moment after its owned
// windows, which are drawn first.
bool GtkDialogWindow::OwnerAwaitsFirstFrame() const {
  const auto* owner = static_cast<const GtkDialogWindow*>(Owner());
  return owner && owner->IsVisible() && !owner->IsMinimized() && !owner->drawn_;
}

void GtkDialogWindow::HoldPaintForOwner() {
  paintAwaitsOwner_ = true;
  // An owner the desktop never draws (started minimised by a rule of the
  // user's) holds the paint back only this long.
  constexpr guint kMostMs = 500;
  ownerWaitSource_ = g_timeout_add(
      kMostMs,
      +[](gpointer data) -> gboolean {
        auto* self = static_cast<GtkDialogWindow*>(data);
        self->ownerWaitSource_ = 0;
        self->ReleaseHeldPaint();
        return G_SOURCE_REMOVE;
      },
      this);
}

void GtkDialogWindow::ReleaseHeldPaint() {
  if (!paintAwaitsOwner_) return;
  paintAwaitsOwner_ = false;
  if (ownerWaitSource_) g_source_remove(ownerWaitSource_);
  ownerWaitSource_ = 0;
  if (!IsDestroyed()) QueuePaint();
}

void GtkDialogWindow::ReleaseOwnedPaints() {
  for (WindowBase* w : platform_.Windows()) {
    if (w->Owner() == this) static_cast<GtkDialogWindow*>(w)->ReleaseHeldPaint();
  }
}

gboolean GtkDialogWindow::OnConfigure(GtkWidget* widget, GdkEventConfigure* event, gpointer data) {
  GtkDialogWindow* self = Self(data);
  const Rect old = self->PlacedRect();
  const Point place = ConfirmedPlace(widget, event, {old.left, old.top});
  const Rect reported{place.x, place.y, place.x + event->width, place.y + event->height};
  // The same holds for sizes: after the program's own move or resize, the
  // events still queued from before it would size the window back (a
  // restored game window grew to the work area again). They are passed
  // over until one reports the requested rectangle, or for two seconds at
  // most should the window manager have chosen another.
  if (self->requested_) {
    const bool reached = reported == *self->requested_;
    if (!reached && g_get_monotonic_time() - self->requestedAt_ < kRequestPatience) return FALSE;
    self->requested_.reset();
  }
  if (old.Width() != reported.Width() || old.Height() != reported.Height()) self->needsPaint_ = true;
  self->ReportPlace(reported);
  return FALSE;
}

gboolean GtkDialogWindow::OnWindowState(GtkWidget*, GdkEventWindowState* event, gpointer data) {
  GtkDialogWindow* self = Self(data);
  constexpr auto kManagerStates = GDK_WINDOW_STATE_FULLSCREEN | GDK_WINDOW_STATE_MAXIMIZED;
  if ((event->changed_mask & kManagerStates) && !(event->new_window_state & kManagerStates)) {
    // Out of the window manager's full-screen state: the place the program
    // asked for meanwhile is asked for again (mutter restored its own).
    // GTK would not repeat a request it made already: the X window is asked directly.
    GdkWindow* gdk = gtk_widget_get_window(self->window_);
    if (const auto& r = self->requested_; r && gdk)
      gdk_window_move_resize(gdk, r->left, r->top, r->Width(), r->Height());
  }
  if (!(event->changed_mask & GDK_WINDOW_STATE_ICONIFIED)) return FALSE;
  const bool minimized = event->new_window_state & GDK_WINDOW_STATE_ICONIFIED;
  if (minimized == self->IsMinimized()) return FALSE;
  // The windows it owns go and come back with it, above it (the login
  // dialog was left alone on the desktop, and came back under the skin).
  self->IconifyOwnedWindows(minimized);
  if (!minimized) self->platform_.RaiseOwnedWindows(self);
  self->ReportMinimized(minimized);
  return FALSE;
}

void GtkDialogWindow::IconifyOwnedWindows(bool iconify) {
  GList* all = gtk_window_list_toplevels();
  for (GList* item = all; item; item = item->next) {
    GtkWindow* window = GTK_WINDOW(item->data);
    if (gtk_window_get_transient_for(window) != GTK_WINDOW(window_) || !gtk_widget_get_visible(GTK_WIDGET(window)))
      continue;
    if (iconify)
      gtk_window_iconify(window);
    else
      gtk_window_deiconify(window);
  }
  g_list_free(all);
}

gboolean GtkDialogWindow::OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
  Self(data)->Send(WM_CLOSE, 0, 0);
  return TRUE;  // the handler decides; GTK never destroys the window itself
}

gboolean GtkDialogWindow::OnFocus(GtkWidget*, GdkEventFocus* event, gpointer data) {
  GtkDialogWindow* self = Self(data);
  // Activation raises a window; what it owns stays above it.
  if (event->in) self->platform_.RaiseOwnedWindows(self);
  self->Send(WM_NCACTIVATE, event->in ? 1 : 0, 0);
  return FALSE;
}

LRESULT GtkDialogWindow::HitTest(Point screen) { return Send(WM_NCHITTEST, 0, MakePointParam(screen.x, screen.y)); }

Point GtkDialogWindow::ClientPoint(Point screen) const {
  const Rect r = WindowRect();
  return {screen.x - r.left, screen.y - r.top};
}

void GtkDialogWindow::SendDoubleClick(Point screen) {
  const LRESULT hit = HitTest(screen);
  if (IsDestroyed()) return;
  const Point client = ClientPoint(screen);
  if (hit == HTCLIENT)
    Send(WM_LBUTTONDBLCLK, 1, MakePointParam(client.x, client.y));
  else
    Send(WM_NCLBUTTONDBLCLK, static_cast<WPARAM>(hit), MakePointParam(screen.x, screen.y));
}

gboolean GtkDialogWindow::OnButtonPress(GtkWidget*, GdkEventButton* event, gpointer data) {
  GtkDialogWindow* self = Self(data);
  if (event->button != 1 && event->button != 3) return FALSE;
  const Point screen = RootPoint(event->x_root, event->y_root);
  if (event->type == GDK_2BUTTON_PRESS) {
    // The second press already started a move loop: it ends, and the
    // double-click follows once it has.
    if (DragState* drag = self->drag_) {
      drag->doubleClick = screen;
      g_main_loop_quit(drag->loop);
    } else if (event->button == 1) {
      self->SendDoubleClick(screen);
    }
    return TRUE;
  }
  if (event->type != GDK_BUTTON_PRESS) return TRUE;
  // A press is judged where it happens: a window that appeared under a
  // still pointer has seen no motion yet, so the handler hears of the
  // pointer's place first.
  if (self->pointer_ != screen) {
    self->SendMouseMove(screen);
    if (self->IsDestroyed()) return TRUE;
  }
  const LRESULT hit = self->HitTest(screen);
  if (self->IsDestroyed()) return TRUE;
  const Point client = self->ClientPoint(screen);
  if (event->button == 3) {
    if (hit == HTCLIENT) self->Send(WM_RBUTTONDOWN, 0, MakePointParam(client.x, client.y));
    return TRUE;
  }
  // A click may raise this window over the windows it owns; keep them on top.
  self->platform_.RaiseOwnedWindows(self);
  self->buttonDown_ = true;
  self->pressPoint_ = screen;
  if (hit == HTCLIENT)
    self->Send(WM_LBUTTONDOWN, 1, MakePointParam(client.x, client.y));
  else if (hit != HTNOWHERE)
    self->Send(WM_NCLBUTTONDOWN, static_cast<WPARAM>(hit), MakePointParam(screen.x, screen.y));
  return TRUE;
}

gboolean GtkDialogWindow::OnButtonRelease(GtkWidget*, GdkEventButton* event, gpointer data) {
  GtkDialogWindow* self = Self(data);
  if (event->button == 1) self->buttonDown_ = false;
  if (self->drag_) {
    g_main_loop_quit(self->drag_->loop);
    return TRUE;
  }
  const Point screen = RootPoint(event->x_root, event->y_root);
  const LRESULT hit = self->HitTest(screen);
  if (self->IsDestroyed()) return TRUE;
  const Point client = self->ClientPoint(screen);
  const UINT clientMessage = event->button == 3 ? WM_RBUTTONUP : WM_LBUTTONUP;
  if (hit == HTCLIENT)
    self->Send(clientMessage, 0, MakePointParam(client.x, client.y));
  else if (event->button == 1 && hit != HTNOWHERE)
    self->Send(WM_NCLBUTTONUP, static_cast<WPARAM>(hit), MakePointParam(screen.x, screen.y));
  return TRUE;
}

void GtkDialogWindow::SendMouseMove(Point screen) {
  pointer_ = screen;
  const LRESULT hit = HitTest(screen);
  if (IsDestroyed()) return;
  Send(WM_SETCURSOR, 0,
       static_cast<LPARAM>((static_cast<std::uint32_t>(WM_MOUSEMOVE) << 16) |
                           (static_cast<std::uint32_t>(hit) & 0xFFFF)));
  if (IsDestroyed()) return;
  if (hit == HTCLIENT) {
    const Point client = ClientPoint(screen);
    Send(WM_MOUSEMOVE, 0, MakePointParam(client.x, client.y));
  } else if (hit != HTNOWHERE) {
    Send(WM_NCMOUSEMOVE, static_cast<WPARAM>(hit), MakePointParam(screen.x, screen.y));
  }
}

gboolean GtkDialogWindow::OnMotion(GtkWidget*, GdkEventMotion* event, gpointer data) {
  GtkDialogWindow* self = Self(data);
  const Point screen = RootPoint(event->x_root, event->y_root);
  if (DragState* drag = self->drag_)
    self->FollowDrag(*drag->geometry, screen);
  else
    self->SendMouseMove(screen);
  return TRUE;
}

gboolean GtkDialogWindow::OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer data) {
  GtkDialogWindow* self = Self(data);
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
void GtkDialogWindow::OnRealize(GtkWidget* widget, gpointer) {
  if (GdkWindow* gdk = gtk_widget_get_window(widget))
    gdk_window_set_functions(
        gdk, static_cast<GdkWMFunction>(GDK_FUNC_MOVE | GDK_FUNC_RESIZE | GDK_FUNC_MINIMIZE | GDK_FUNC_CLOSE));
}

// A compositing manager that starts or ends changes what the windows'
// shapes must cut.
void GtkDialogWindow::OnCompositedChanged(GdkScreen*, gpointer data) {
  GtkDialogWindow* self = Self(data);
  if (self->IsDestroyed()) return;
  self->UpdateShape();
  gtk_widget_queue_draw(self->window_);
}

}  // namespace platform::gtk
