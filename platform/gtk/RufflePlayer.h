#pragma once
// The game's movie player on the GTK backend: Ruffle in a web view (see
// player/MovieSession.h), behind the window layer's player interface.
//
// Properties are kept and take effect with the next LoadMovie, which gives
// the movie a fresh Ruffle player. LoadMovie loads only into layer 0; its
// address, when relative, resolves against the base address (see
// player/MovieAddress.h). The movie's external calls arrive as FlashCall
// events with the request string the Flash player builds; ready states 3
// (the movie has started) and 4 (it has loaded completely) arrive as
// OnReadyStateChange. CallFunction waits for the movie's answer. While the
// window is minimised or hidden the movie runs on undrawn.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/Controls.h"
#include "platform/gtk/player/MovieSession.h"

namespace platform::gtk {

class GtkDialogWindow;

class RufflePlayer final : public PlayerControl, private MovieSessionEvents {
 public:
  RufflePlayer(GtkDialogWindow& parent, int controlId, const Rect& rect);
  ~RufflePlayer() override;
  RufflePlayer(const RufflePlayer&) = delete;
  RufflePlayer& operator=(const RufflePlayer&) = delete;

  int ControlId() const override { return controlId_; }

  void SetMenu(bool enabled) override { menu_ = enabled; }
  void SetAllowFullScreen(const std::u16string& value) override { allowFullScreen_ = value; }
  void SetAllowScriptAccess(const std::u16string& value) override { allowScriptAccess_ = value; }
  void SetWMode(const std::u16string& value) override { wmode_ = value; }
  void SetBackgroundColor(std::int32_t color) override { backgroundColor_ = color; }
  void SetFlashVars(const std::u16string& value) override { flashVars_ = value; }
  void SetBaseAddress(const std::u16string& address) override { baseAddress_ = address; }
  void LoadMovie(std::int32_t layer, const std::u16string& address) override;
  void Play() override;
  void Stop() override;
  std::optional<std::u16string> CallFunction(const std::u16string& request) override;

  void Move(const Rect& rect, bool repaint) override;
  void Show(int showCommand) override;
  void SetFocus() override;

  // The web view's widget inside the window (for tests and screenshots).
  GtkWidget* Widget() const { return session_->Widget(); }

 private:
  void OnMovieCall(const std::u16string& request) override;
  void OnMovieReadyState(std::int32_t state) override;
  bool OnMovieInput(const GdkEvent* event) override;

  // Follows the window's minimised and hidden states.
  void UpdateWindowShown(std::optional<bool> iconifiedNow = std::nullopt);
  static gboolean OnWindowState(GtkWidget*, GdkEventWindowState* event, gpointer self);
  static void OnWindowMapped(GtkWidget*, gpointer self);

  GtkDialogWindow& parent_;
  int controlId_;
  std::unique_ptr<MovieSession> session_;
  GtkWidget* window_ = nullptr;  // the top-level window (weak)
  bool windowShown_ = true;      // as the page was last told

  // The Flash player's defaults until the game writes its own.
  bool menu_ = true;
  std::u16string allowFullScreen_ = u"false";
  std::u16string allowScriptAccess_ = u"sameDomain";
  std::u16string wmode_ = u"window";
  std::int32_t backgroundColor_ = -1;  // the movie's own colour
  std::u16string flashVars_;
  std::u16string baseAddress_;
};

}  // namespace platform::gtk
