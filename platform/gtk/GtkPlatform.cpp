#include "platform/gtk/GtkPlatform.h"

#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <climits>

#include "platform/Text.h"
#include "platform/gtk/GtkDialogWindow.h"
#include "platform/gtk/TrayIcon.h"
#include "res/Resources.h"

#include "platform/gtk/WebContext.h"
#include "platform/gtk/player/MovieSession.h"

namespace platform::gtk {
namespace {

// The program's fonts carry Windows names; "宋体" (SimSun) is the title
// font. Map it to the CJK faces a Linux desktop has, so Chinese titles and
// questions render with it.
constexpr char kFontAliases[] = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <alias binding="same">
    <family>宋体</family>
    <prefer>
      <family>WenQuanYi Zen Hei</family>
      <family>Noto Sans CJK SC</family>
      <family>Noto Serif CJK SC</family>
      <family>AR PL UMing CN</family>
    </prefer>
  </alias>
  <alias binding="same">
    <family>MS Shell Dlg</family>
    <prefer><family>sans-serif</family></prefer>
  </alias>
</fontconfig>
)";

void AddFontAliases() {
  FcConfig* config = FcConfigGetCurrent();
  if (!FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8*>(kFontAliases), FcFalse)) return;
  FcConfigBuildFonts(config);
  // Pango caches what fontconfig said; let it see the new aliases.
  if (PangoFontMap* map = pango_cairo_font_map_get_default()) pango_fc_font_map_config_changed(PANGO_FC_FONT_MAP(map));
}

}  // namespace

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
  AddFontAliases();
}

GtkPlatform::~GtkPlatform() {
  warmUp_.Cancel();
  ShutdownMoviePlayer();
  if (postedSource_) g_source_remove(postedSource_);
  if (burySource_) g_source_remove(burySource_);
  buried_.clear();
  if (icon_) g_object_unref(icon_);
}

bool GtkPlatform::CreateDialogWindow(const WindowSpec& kind, WindowHandler& handler) {
  WindowAttachment::Attach(handler, std::make_unique<GtkDialogWindow>(*this, handler, kind));
  if (handler.window()->Send(WM_CREATE, 0, 0) == -1) {
    if (auto window = WindowAttachment::Detach(handler)) {
      window->Destroy();
      Bury(std::move(window));
    }
    return false;
  }
  if (handler.window() == nullptr) return false;
  handler.window()->Send(WM_INITDIALOG, 0, 0);
  return handler.window() != nullptr;
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
  const std::string uri = ToUtf8(address);
  GError* error = nullptr;
  if (!g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &error)) {
    g_log_structured("tessary", G_LOG_LEVEL_DEBUG, "MESSAGE", "cannot open %s: %s", uri.c_str(),
                     error ? error->message : "");
    g_clear_error(&error);
  }
}

int GtkPlatform::MessageBox(Window* owner, const std::u16string& text, const std::u16string& caption,
                            UINT type) {
  GtkWindow* parent = owner ? GTK_WINDOW(static_cast<GtkDialogWindow*>(owner)->Toplevel()) : nullptr;
  const bool yesNo = (type & 0xF) == MB_YESNO;
  GtkWidget* dialog =
      gtk_message_dialog_new(parent, static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
                             yesNo ? GTK_MESSAGE_QUESTION : GTK_MESSAGE_INFO,
                             yesNo ? GTK_BUTTONS_YES_NO : GTK_BUTTONS_OK, "%s", ToUtf8(text).c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), ToUtf8(caption).c_str());
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

std::uint32_t GtkPlatform::TickCount() const {
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(ms);
}

void GtkPlatform::DebugOutput(const std::u16string& text) {
  const std::string utf8 = ToUtf8(text);
  g_log_structured("tessary", G_LOG_LEVEL_DEBUG, "MESSAGE", "%s", utf8.c_str());
}

void GtkPlatform::ClearBrowserCache() {
  ClearWebCaches();
  // Movies sit in the player's own cache; clearing the cache clears them too.
  ClearMoviePlayerCaches();
}

bool GtkPlatform::StartProgram(const std::filesystem::path& program) {
  const std::string path = program.string();
  gchar* argv[] = {const_cast<gchar*>(path.c_str()), nullptr};
  GError* error = nullptr;
  const gboolean started =
      g_spawn_async(nullptr, argv, nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, nullptr, &error);
  g_clear_error(&error);
  return started;
}

std::filesystem::path GtkPlatform::ExecutablePath() const {
  std::error_code error;
  auto path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path("zarek.exe") : path;
}

bool GtkPlatform::IsComposited() const {
  GdkScreen* screen = gdk_screen_get_default();
  return screen && gdk_screen_is_composited(screen);
}

void GtkPlatform::PostMessage(GtkDialogWindow* window, UINT message, WPARAM wParam, LPARAM lParam) {
  posted_.push_back({window, message, wParam, lParam});
  if (!postedSource_) postedSource_ = g_idle_add(&GtkPlatform::DeliverPosted, this);
}

gboolean GtkPlatform::DeliverPosted(gpointer data) {
  auto* self = static_cast<GtkPlatform*>(data);
  self->postedSource_ = 0;
  // Deliver what was queued so far; messages posted meanwhile wait for the next turn.
  std::deque<Posted> batch;
  batch.swap(self->posted_);
  for (const Posted& p : batch) {
    if (self->IsAlive(p.window) && !p.window->IsDestroyed()) p.window->Send(p.message, p.wParam, p.lParam);
  }
  return G_SOURCE_REMOVE;
}

void GtkPlatform::Register(GtkDialogWindow* window) { windows_.push_back(window); }

void GtkPlatform::Unregister(GtkDialogWindow* window) {
  windows_.erase(std::remove(windows_.begin(), windows_.end(), window), windows_.end());
}

bool GtkPlatform::IsAlive(const GtkDialogWindow* window) const {
  return std::find(windows_.begin(), windows_.end(), window) != windows_.end();
}

void GtkPlatform::Bury(std::unique_ptr<Window> window) {
  buried_.push_back(std::move(window));
  if (!burySource_) burySource_ = g_idle_add(&GtkPlatform::FreeBuried, this);
}

gboolean GtkPlatform::FreeBuried(gpointer data) {
  auto* self = static_cast<GtkPlatform*>(data);
  self->burySource_ = 0;
  self->buried_.clear();
  return G_SOURCE_REMOVE;
}

void GtkPlatform::RaiseOwnedWindows(const GtkDialogWindow* owner) {
  for (GtkDialogWindow* w : windows_) {
    if (w->Owner() == owner && w->IsVisible() && !w->IsDestroyed()) {
      if (GdkWindow* gdk = gtk_widget_get_window(w->Toplevel())) gdk_window_raise(gdk);
      RaiseOwnedWindows(w);
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
