#include "platform/gtk/GtkPlatform.h"

#include <unistd.h>

#include <algorithm>
#include <climits>

#include "base/Process.h"
#include "base/Text.h"
#include "platform/gtk/GtkDialogWindow.h"
#include "platform/gtk/GtkFontAliases.h"
#include "platform/gtk/TrayIcon.h"
#include "res/Resources.h"

#include "platform/gtk/WebContext.h"
#include "platform/gtk/WebEngineLibrary.h"
#include "platform/gtk/player/MovieSession.h"

namespace platform::gtk {

void GtkPlatform::NameProgram() {
  // Otherwise GLib names the program after its file, "zarek.exe": GTK took
  // the window class "Zarek.exe" from it, and windows without a title of
  // their own (the login dialog, the tray icon) carry the name.
  g_set_prgname("tessary");
}

GtkPlatform::GtkPlatform() : tray_(std::make_unique<TrayArea>()) {
  // Every window carries WM_CLASS "tessary", "Tessary": the class is the one
  // the desktop entry's StartupWMClass names, so docks and task bars group
  // the skin and game windows under the entry's icon. (GTK derives the class
  // from the program's name when it opens the display; it is set here again,
  // explicitly, for the windows.)
  gdk_set_program_class(TESSARY_WM_CLASS);
  // Reading fontconfig's files takes as long as a tenth of the skin's start.
  // No window draws text before the main loop's first idle moment (the
  // skin and the login dialog draw none), which comes while the desktop maps
  // the first windows.
  fontsSource_ = g_idle_add(
      +[](gpointer data) -> gboolean {
        static_cast<GtkPlatform*>(data)->fontsSource_ = 0;
        AddFontAliases();
        return G_SOURCE_REMOVE;
      },
      this);
}

GtkPlatform::~GtkPlatform() {
  warmUp_.Cancel();
  ShutdownMoviePlayer();
  if (postedSource_) g_source_remove(postedSource_);
  if (burySource_) g_source_remove(burySource_);
  if (fontsSource_) g_source_remove(fontsSource_);
  // The windows' tray icons go before the tray area does.
  ReleaseBuried();
  if (icon_) g_object_unref(icon_);
}

std::unique_ptr<WindowBase> GtkPlatform::MakeWindow(const WindowSpec& kind, WindowHandler& handler) {
  return std::make_unique<GtkDialogWindow>(*this, handler, kind);
}

int GtkPlatform::RunModal(Window& window) {
  window.Show(SW_SHOW);
  warmUp_.Schedule();
  modalLoop_ = g_main_loop_new(nullptr, FALSE);
  g_main_loop_run(modalLoop_);
  g_main_loop_unref(modalLoop_);
  modalLoop_ = nullptr;
  return modalResult_;
}

void GtkPlatform::EndModal(int result) {
  modalResult_ = result;
  if (modalLoop_) g_main_loop_quit(modalLoop_);
}

bool GtkPlatform::ProcessPendingEvents() {
  // Bounded, so a source that is always ready cannot keep the caller here.
  for (int round = 0; round < 64 && g_main_context_pending(nullptr); ++round) g_main_context_iteration(nullptr, FALSE);
  return modalLoop_ == nullptr || g_main_loop_is_running(modalLoop_);
}

Rect GtkPlatform::WorkArea() const {
  GdkDisplay* display = gdk_display_get_default();
  GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
  if (!monitor) monitor = gdk_display_get_monitor(display, 0);
  if (!monitor) return {0, 0, 1024, 768};
  GdkRectangle area;
  gdk_monitor_get_workarea(monitor, &area);
  return {area.x, area.y, area.x + area.width, area.y + area.height};
}

Point GtkPlatform::CursorPos() const {
  GdkDisplay* display = gdk_display_get_default();
  GdkSeat* seat = gdk_display_get_default_seat(display);
  int x = 0, y = 0;
  if (seat) gdk_device_get_position(gdk_seat_get_pointer(seat), nullptr, &x, &y);
  return {x, y};
}

void GtkPlatform::OpenWebPage(const std::u16string& address) {
  const std::string uri = base::ToUtf8(address);
  GError* error = nullptr;
  if (!g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &error)) {
    g_log_structured("tessary", G_LOG_LEVEL_DEBUG, "MESSAGE", "cannot open %s: %s", uri.c_str(),
                     error ? error->message : "");
    g_clear_error(&error);
  }
}

int GtkPlatform::MessageBox(Window* owner, const std::u16string& text, const std::u16string& caption, UINT type) {
  GtkWindow* parent = owner ? GTK_WINDOW(static_cast<GtkDialogWindow*>(owner)->Toplevel()) : nullptr;
  const bool yesNo = (type & 0xF) == MB_YESNO;
  GtkWidget* dialog =
      gtk_message_dialog_new(parent, static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
                             yesNo ? GTK_MESSAGE_QUESTION : GTK_MESSAGE_INFO,
                             yesNo ? GTK_BUTTONS_YES_NO : GTK_BUTTONS_OK, "%s", base::ToUtf8(text).c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), base::ToUtf8(caption).c_str());
  gtk_window_set_position(GTK_WINDOW(dialog), parent ? GTK_WIN_POS_CENTER_ON_PARENT : GTK_WIN_POS_CENTER);
  gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
  // A question of any length must still fit the screen: long text wraps and
  // scrolls inside the box instead of growing it past the work area.
  GtkWidget* area = gtk_message_dialog_get_message_area(GTK_MESSAGE_DIALOG(dialog));
  GList* labels = gtk_container_get_children(GTK_CONTAINER(area));
  for (GList* it = labels; it; it = it->next) {
    if (!GTK_IS_LABEL(it->data)) continue;
    gtk_label_set_max_width_chars(GTK_LABEL(it->data), 60);
    gtk_label_set_line_wrap_mode(GTK_LABEL(it->data), PANGO_WRAP_WORD_CHAR);
    gtk_label_set_lines(GTK_LABEL(it->data), 12);
    gtk_label_set_ellipsize(GTK_LABEL(it->data), PANGO_ELLIPSIZE_END);
  }
  g_list_free(labels);
  openBoxes_.push_back(dialog);
  const int response = gtk_dialog_run(GTK_DIALOG(dialog));
  openBoxes_.erase(std::remove(openBoxes_.begin(), openBoxes_.end(), dialog), openBoxes_.end());
  gtk_widget_destroy(dialog);
  if (yesNo) return response == GTK_RESPONSE_YES ? IDYES : IDNO;
  return IDOK;
}

void GtkPlatform::DebugOutput(const std::u16string& text) {
  const std::string utf8 = base::ToUtf8(text);
  g_log_structured("tessary", G_LOG_LEVEL_DEBUG, "MESSAGE", "%s", utf8.c_str());
}

void GtkPlatform::ClearBrowserCache() {
  if (!LoadWebEngine()) return;
  ClearWebCaches();
  // Movies sit in the player's own cache; clearing the cache clears them too.
  ClearMoviePlayerCaches();
}

std::filesystem::path GtkPlatform::ExecutablePath() const {
  std::filesystem::path path = base::ExecutablePath();
  return path.empty() ? std::filesystem::path("zarek.exe") : path;
}

bool GtkPlatform::IsComposited() const {
  GdkScreen* screen = gdk_screen_get_default();
  return screen && gdk_screen_is_composited(screen);
}

void GtkPlatform::WakeForPosted() {
  if (postedSource_) return;
  postedSource_ = g_idle_add(
      +[](gpointer data) -> gboolean {
        auto* self = static_cast<GtkPlatform*>(data);
        self->postedSource_ = 0;
        self->DeliverPosted();
        if (self->HasPosted()) self->WakeForPosted();
        return G_SOURCE_REMOVE;
      },
      this);
}

void GtkPlatform::WakeForBuried() {
  if (burySource_) return;
  burySource_ = g_idle_add(
      +[](gpointer data) -> gboolean {
        auto* self = static_cast<GtkPlatform*>(data);
        self->burySource_ = 0;
        self->ReleaseBuried();
        return G_SOURCE_REMOVE;
      },
      this);
}

void GtkPlatform::RaiseOwnedWindows(const GtkDialogWindow* owner) {
  for (WindowBase* w : Windows()) {
    if (w->Owner() == owner && w->IsVisible()) {
      auto* window = static_cast<GtkDialogWindow*>(w);
      if (GdkWindow* gdk = gtk_widget_get_window(window->Toplevel())) gdk_window_raise(gdk);
      RaiseOwnedWindows(window);
    }
  }
}

void GtkPlatform::RaiseMessageBoxes() {
  for (GtkWidget* box : openBoxes_)
    if (GdkWindow* gdk = gtk_widget_get_window(box)) gdk_window_raise(gdk);
}

GdkPixbuf* GtkPlatform::IconPixbuf(int iconResource) {
  if (icon_) return icon_;
  auto surface = Surface::FromPng(res::FindResource(iconResource, res::ResourceKind::Icon));
  if (!surface) return nullptr;
  icon_ = gdk_pixbuf_get_from_surface(surface->CairoSurface(), 0, 0, surface->Width(), surface->Height());
  return icon_;
}

}  // namespace platform::gtk
