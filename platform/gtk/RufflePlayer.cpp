#include "platform/gtk/RufflePlayer.h"

#include <glib.h>

#include "base/Text.h"
#include "platform/gtk/GtkDialogWindow.h"
#include "platform/gtk/player/InvokeXml.h"
#include "platform/gtk/player/MovieAddress.h"

namespace platform::gtk {

namespace {

bool EqualsIgnoringCase(const std::u16string& text, std::u16string_view word) {
  if (text.size() != word.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char16_t a = text[i] >= u'A' && text[i] <= u'Z' ? static_cast<char16_t>(text[i] + 32) : text[i];
    if (a != word[i]) return false;
  }
  return true;
}

}  // namespace

RufflePlayer::RufflePlayer(GtkDialogWindow& parent, int controlId, const Rect& rect)
    : parent_(parent),
      controlId_(controlId),
      session_(
          std::make_unique<MovieSession>(static_cast<MovieSessionEvents&>(*this), GTK_WIDGET(parent.Container()))) {
  // A child control starts hidden, like a window made without WS_VISIBLE.
  parent_.PlaceChild(session_->Widget(), rect);
  gtk_widget_hide(session_->Widget());

  GtkWidget* top = gtk_widget_get_toplevel(GTK_WIDGET(parent_.Container()));
  if (GTK_IS_WINDOW(top)) {
    window_ = top;
    g_object_add_weak_pointer(G_OBJECT(window_), reinterpret_cast<gpointer*>(&window_));
    g_signal_connect(window_, "window-state-event", G_CALLBACK(OnWindowState), this);
    g_signal_connect_after(window_, "map", G_CALLBACK(OnWindowMapped), this);
    g_signal_connect_after(window_, "unmap", G_CALLBACK(OnWindowMapped), this);
    UpdateWindowShown();
  }
}

RufflePlayer::~RufflePlayer() {
  if (window_) {
    g_signal_handlers_disconnect_by_data(window_, this);
    g_object_remove_weak_pointer(G_OBJECT(window_), reinterpret_cast<gpointer*>(&window_));
  }
}

// The web view alone does not always learn that its window went out of
// sight (a minimised window stays mapped for GTK), and a movie drawn for
// nobody costs a core or more: the page is told.
void RufflePlayer::UpdateWindowShown(std::optional<bool> iconifiedNow) {
  if (!window_) return;
  GdkWindow* native = gtk_widget_get_window(window_);
  bool iconified = iconifiedNow ? *iconifiedNow : native && (gdk_window_get_state(native) & GDK_WINDOW_STATE_ICONIFIED);
  bool shown = gtk_widget_get_mapped(window_) && !iconified;
  if (shown == windowShown_) return;
  windowShown_ = shown;
  session_->SetWindowShown(shown);
}

gboolean RufflePlayer::OnWindowState(GtkWidget*, GdkEventWindowState* event, gpointer self) {
  if (event->changed_mask & GDK_WINDOW_STATE_ICONIFIED) {
    static_cast<RufflePlayer*>(self)->UpdateWindowShown((event->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0);
  }
  return FALSE;
}

void RufflePlayer::OnWindowMapped(GtkWidget*, gpointer self) { static_cast<RufflePlayer*>(self)->UpdateWindowShown(); }

void RufflePlayer::LoadMovie(std::int32_t layer, const std::u16string& address) {
  if (layer != 0) {
    g_log("tessary", G_LOG_LEVEL_DEBUG, "movie player: only layer 0 is loaded, not %d", layer);
    return;
  }
  if (address.find_first_not_of(u" \t\r\n") == std::u16string::npos) {
    session_->Unload();
    return;
  }
  std::optional<std::string> resolved = ResolveMovieAddress(address, baseAddress_);
  if (!resolved) {
    g_log("tessary", G_LOG_LEVEL_DEBUG, "movie player: no movie at \"%s\" (base \"%s\")", base::ToUtf8(address).c_str(),
          base::ToUtf8(baseAddress_).c_str());
    return;
  }
  MovieSettings settings;
  settings.address = *resolved;
  settings.flashVars = flashVars_;
  settings.menu = menu_;
  settings.allowFullScreen = EqualsIgnoringCase(allowFullScreen_, u"true");
  settings.scriptAccess = MovieMayCallHost(allowScriptAccess_, *resolved, baseAddress_);
  settings.wmode = wmode_;
  if (backgroundColor_ >= 0) settings.background = static_cast<std::uint32_t>(backgroundColor_) & 0xFFFFFF;
  session_->Load(settings);
}

void RufflePlayer::Play() { session_->Play(); }

void RufflePlayer::Stop() { session_->Stop(); }

std::optional<std::u16string> RufflePlayer::CallFunction(const std::u16string& request) {
  std::optional<InvokeRequest> call = ParseInvokeRequest(request);
  if (!call) return std::nullopt;
  // The session may end while the movie answers (the wait runs the main
  // loop): nothing of this object is used after the call.
  std::optional<ExternalValue> answer = session_->Call(call->name, call->arguments);
  if (!answer) return std::nullopt;
  return ValueXml(*answer);
}

void RufflePlayer::Move(const Rect& rect, bool /*repaint: the view repaints itself*/) {
  parent_.PlaceChild(session_->Widget(), rect);
}

void RufflePlayer::Show(int showCommand) {
  if (showCommand == SW_HIDE) {
    gtk_widget_hide(session_->Widget());
  } else {
    gtk_widget_show(session_->Widget());
  }
}

void RufflePlayer::SetFocus() { session_->Focus(); }

void RufflePlayer::OnMovieCall(const std::u16string& request) {
  // The handler may destroy this player (the game leaves on "disconnection"):
  // the call is the last thing done here.
  parent_.Handler().OnFlashCall(controlId_, request);
}

void RufflePlayer::OnMovieReadyState(std::int32_t state) { parent_.Handler().OnReadyStateChange(controlId_, state); }

bool RufflePlayer::OnMovieInput(const GdkEvent* event) {
  return PreTranslateControlEvent(
      parent_, static_cast<const PlayerControl*>(this),
      [](const void* control, const Msg& msg) {
        return const_cast<PlayerControl*>(static_cast<const PlayerControl*>(control))->PreTranslateMessage(msg);
      },
      event);
}

}  // namespace platform::gtk
