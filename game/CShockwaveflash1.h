#pragma once
// The game window's movie player: a thin wrapper over the platform's player control.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/Window.h"

// The player's properties are only written, its methods called, in the order
// the game window makes them; the wrapper passes them on as they come. The
// wrapper's window is the control's: it exists from CreateControl to
// DestroyWindow (or the wrapper's end). Without it every operation does
// nothing and CallFunction has no answer.
class CShockwaveflash1 {
 public:
  // Creates the player, not yet shown, as a child of the parent at the
  // rectangle, under the control id its events carry; a control made before
  // goes first. False when the platform could make none.
  bool CreateControl(const platform::Rect& rect, platform::Window& parent, int controlId);
  void DestroyWindow() { control_.reset(); }
  bool HasWindow() const { return control_ != nullptr; }

  // Properties.
  void put_Menu(bool enabled);
  void put_AllowFullScreen(const std::u16string& value);
  void put_AllowScriptAccess(const std::u16string& value);
  void put_WMode(const std::u16string& value);
  void put_BackgroundColor(std::int32_t color);
  void put_FlashVars(const std::u16string& value);
  // The address a relative movie address resolves against; set before LoadMovie.
  void put_Base(const std::u16string& address);

  // Methods.
  void LoadMovie(std::int32_t layer, const std::u16string& address);
  void Play();
  void Stop();
  // The movie's answer to a call of a function it registered; nullopt when
  // the movie reports an error or there is no player.
  std::optional<std::u16string> CallFunction(const std::u16string& request);

  // The control window.
  void MoveWindow(const platform::Rect& rect, bool repaint);
  void ShowWindow(int showCommand);
  void SetFocus();
  bool PreTranslateMessage(const platform::Msg& msg) const;
  // Whether a message of the run loop is addressed to the player.
  bool IsTargetOf(const platform::Msg& msg) const { return control_ && msg.target == control_.get(); }

 private:
  std::unique_ptr<platform::PlayerControl> control_;
};
