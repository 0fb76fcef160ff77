#pragma once
// The browser control of the GTK backend: a WebKitWebView standing in a
// window at a rectangle. It reports a completed document for the top-level
// page and for every frame, each with its own address, frames first, as the
// system browser control does. A page on screen asks its leave-page
// questions of the player in the program's own message box; a hidden page
// is answered "leave" and its messages are closed, so a hidden browser can
// always move on. Links that open a new window go to the user's default
// browser (web addresses only). A page that cannot be loaded is replaced by
// the program's own page saying why. Key and mouse input passes the run
// loop's pre-translation first.
//
// Completions are delivered from the main loop, one per dispatch, in the
// order WebKit reported them; the window's handler may navigate, hide or
// destroy anything (this browser and its window included) while it handles
// one.

#include <gtk/gtk.h>

#include <memory>
#include <string>

#include "platform/Controls.h"
#include "platform/Window.h"

namespace platform::gtk {

class GtkDialogWindow;

// What the browser needs of the window that holds it.
class BrowserSite {
 public:
  virtual ~BrowserSite() = default;
  // Puts the browser's widget into the window at a client rectangle.
  virtual void Place(GtkWidget* widget, const Rect& rect) = 0;
  // The window's event sink, or null once the window is gone.
  virtual ControlEvents* Events() = 0;
  // Offers an input event of the browser's widget to the run loop's
  // pre-translation; true when it was swallowed.
  virtual bool PreTranslate(BrowserControl& control, const GdkEvent* event) = 0;
  // Opens a web address in the user's default browser.
  virtual void OpenWebPage(const std::string& address) = 0;
  // Asks the player whether to leave the page on screen; true to leave.
  virtual bool AskToLeavePage() = 0;
};

class WebKitBrowser final : public BrowserControl {
 public:
  // A visible child of a window of the backend.
  WebKitBrowser(GtkDialogWindow& parent, int controlId, const Rect& rect);
  WebKitBrowser(std::unique_ptr<BrowserSite> site, int controlId, const Rect& rect);
  ~WebKitBrowser() override;
  WebKitBrowser(const WebKitBrowser&) = delete;
  WebKitBrowser& operator=(const WebKitBrowser&) = delete;

  int ControlId() const override;
  void Navigate(const std::u16string& address) override;
  // Null until the first document has been committed. The document's
  // ClearBodyOnBeforeUnload clears the handler in the page asynchronously
  // (script runs in the page's process); its answer is false only when the
  // page has reported that it has no body element (a frameset document) or
  // the page it stood for has been replaced since.
  std::unique_ptr<BrowserDocument> GetDocument() override;
  void SetFocus() override;

  // The WebKitWebView; it stays valid (referenced) as long as this object.
  GtkWidget* Widget() const;

  // Shared with the document objects and the queued completions, which
  // find it gone once the browser is destroyed.
  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace platform::gtk
