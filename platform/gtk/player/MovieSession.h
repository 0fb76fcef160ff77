#pragma once
// A host player's use of the movie player: one fresh Ruffle player in a
// bridge page of the session's own, shown in a widget that the host puts
// into its window.
//
// Each session has a web view, and so a web process, of its own, which
// ends with the session: the memory the session's players used all goes
// back then. The first session takes the page warmed up beforehand
// (PrewarmMoviePlayer), so the game's first movie finds Ruffle's module
// compiled already; later ones start a page of their own.

#include <gtk/gtk.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/gtk/player/BridgeView.h"
#include "platform/gtk/player/ExternalValue.h"

namespace platform::gtk {

// How one movie is loaded, in the player's terms.
struct MovieSettings {
  std::string address;  // absolute http(s)
  std::u16string flashVars;
  bool menu = true;
  bool allowFullScreen = false;
  bool scriptAccess = false;
  std::u16string wmode;                     // as written; unknown values play as "window"
  std::optional<std::uint32_t> background;  // 0xRRGGBB; none: the movie's own colour
};

// The script that loads the settings into session's page.
std::string MovieLoadScript(std::uint64_t session, const MovieSettings& settings);

class MovieSession {
 public:
  // How long a call into the movie may take before the host stops waiting.
  static constexpr guint kCallTimeoutMs = 5000;

  // windowContainer: the container of the window the session's widget
  // will stand in.
  MovieSession(MovieSessionEvents& events, GtkWidget* windowContainer);
  ~MovieSession();
  MovieSession(const MovieSession&) = delete;
  MovieSession& operator=(const MovieSession&) = delete;

  // The session's widget (the web view inside it), for the host's window.
  // Hidden when the session ends, it leaves the window soon after.
  GtkWidget* Widget() const { return frame_; }

  void Load(const MovieSettings& settings);
  void Unload();
  void Play();
  void Stop();
  void Focus();
  // Whether the host's window is on the screen. While it is minimised or
  // hidden the movie runs on without being drawn.
  void SetWindowShown(bool shown);

  // Calls a callback the movie registered and waits for its answer, running
  // the main loop meanwhile (at most kCallTimeoutMs). nullopt when the movie
  // has no such callback, the callback threw, no answer came in time, or the
  // session ended while waiting (then nothing of the session is touched).
  std::optional<ExternalValue> Call(const std::u16string& name, const std::vector<ExternalValue>& arguments);

 private:
  struct PendingCall;

  std::shared_ptr<BridgeView> bridge_;
  std::uint64_t id_;
  GtkWidget* frame_ = nullptr;  // a reference of the session's own
  std::vector<std::weak_ptr<PendingCall>> waiting_;
};

// Makes sure one bridge page is loaded and its Ruffle warmed up, so that
// even the first player of the program starts quickly. Call it once the
// program's first window is up.
void PrewarmMoviePlayer();
// Whether the idle page has finished warming up (for measurements).
bool MoviePlayerWarm();
// Clears the movie player's HTTP caches (movies and their files).
void ClearMoviePlayerCaches();
// Drops the idle page and its hold on the web context; sessions must have ended.
void ShutdownMoviePlayer();

}  // namespace platform::gtk
