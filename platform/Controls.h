#pragma once
// The two embedded controls: a web browser and the game's movie player.
// Windows create them as children at a rectangle with a control id; their
// events reach the containing window's handler by that id (see WindowHandler).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/Types.h"

namespace platform {

struct Msg;

// The loaded page as the login dialog needs it: its body and the body's
// onbeforeunload property.
class BrowserDocument {
 public:
  virtual ~BrowserDocument() = default;
  // Sets the body's onbeforeunload to an empty string, removing the page's
  // leave-page question. False when the document has no body element.
  virtual bool ClearBodyOnBeforeUnload() = 0;
  // Replaces the text of the first element of the class; false when the
  // document has none or cannot be changed.
  virtual bool SetTextOfClass(const std::u16string& className, const std::u16string& text) {
    (void)className;
    (void)text;
    return false;
  }
};

class BrowserControl {
 public:
  virtual ~BrowserControl() = default;
  virtual int ControlId() const = 0;
  // Starts loading an address; the outcome shows only as completion events.
  virtual void Navigate(const std::u16string& address) = 0;
  // The current document; null before any document exists.
  virtual std::unique_ptr<BrowserDocument> GetDocument() = 0;
  // The control's own pre-translation of a message of the run loop; the
  // browser translates nothing, so a key reaches the page.
  virtual bool PreTranslateMessage(const Msg&) { return false; }
  virtual void SetFocus() = 0;
};

// The movie player. Property writes and calls are made in the order the game
// window makes them; the backend passes them on in that order.
class PlayerControl {
 public:
  virtual ~PlayerControl() = default;
  virtual int ControlId() const = 0;

  virtual void SetMenu(bool enabled) = 0;
  virtual void SetAllowFullScreen(const std::u16string& value) = 0;
  virtual void SetAllowScriptAccess(const std::u16string& value) = 0;
  virtual void SetWMode(const std::u16string& value) = 0;
  virtual void SetBackgroundColor(std::int32_t color) = 0;
  virtual void SetFlashVars(const std::u16string& value) = 0;
  // The address a relative movie address resolves against (the page the
  // movie parameters came from); set before LoadMovie.
  virtual void SetBaseAddress(const std::u16string& address) = 0;
  virtual void LoadMovie(std::int32_t layer, const std::u16string& address) = 0;
  virtual void Play() = 0;
  virtual void Stop() = 0;
  // Calls a function the movie registered; nullopt when the movie reports an
  // error (for instance because no such callback exists).
  virtual std::optional<std::u16string> CallFunction(const std::u16string& request) = 0;

  // Control window operations.
  virtual void Move(const Rect& rect, bool repaint) = 0;
  virtual void Show(int showCommand) = 0;
  virtual void SetFocus() = 0;
  virtual bool PreTranslateMessage(const Msg&) { return false; }
};

}  // namespace platform
