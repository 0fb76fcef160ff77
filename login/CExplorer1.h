#pragma once
// The login dialog's web browser: a thin wrapper over the platform's browser control.

#include <memory>
#include <string>

#include "platform/Window.h"

// The wrapper's window is the control's: it exists from CreateControl to
// DestroyWindow (or the wrapper's end). Before and after, every operation is
// harmless: Navigate does nothing, get_Document is null, keys are not taken.
class CExplorer1 {
 public:
  // Creates the browser as a child of the parent at the rectangle, under the
  // control id its completion events carry; a control made before goes first.
  // False when the platform could make none.
  bool CreateControl(const platform::Rect& rect, platform::Window& parent, int controlId);
  void DestroyWindow() { control_.reset(); }
  bool HasWindow() const { return control_ != nullptr; }

  // Starts loading the address; the outcome shows only as completion events.
  void Navigate(const std::u16string& address);
  // The current document; null without a window or before any page exists.
  std::unique_ptr<platform::BrowserDocument> get_Document();
  // The browser's own translation of a key of the run loop.
  bool PreTranslateMessage(const platform::Msg& msg) const;

  platform::BrowserControl* control() const { return control_.get(); }

 private:
  std::unique_ptr<platform::BrowserControl> control_;
};
