#pragma once
// Windows of the window layer. A window is created for a handler (one of the
// program's window classes), receives numbered messages with two parameters
// and hands everything it does not handle to its backend's default procedure.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/Controls.h"
#include "platform/Surface.h"
#include "platform/Types.h"

namespace res {
struct MenuResource;
}

namespace platform {

class Window;

// One message of the run loop, before it is dispatched. target names the
// window or control the message is addressed to (a Window* or a control
// pointer); window is the top-level window that contains it.
struct Msg {
  const void* target = nullptr;
  Window* window = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

// Event sink of the embedded controls, keyed by control id.
class ControlEvents {
 public:
  virtual ~ControlEvents() = default;
  virtual void OnDocumentComplete(int /*controlId*/, const std::u16string& /*address*/) {}
  virtual void OnFlashCall(int /*controlId*/, const std::u16string& /*request*/) {}
  virtual void OnReadyStateChange(int /*controlId*/, std::int32_t /*state*/) {}
};

// What the program's window classes implement. A handler owns its window
// from creation until the window is destroyed.
class WindowHandler : public ControlEvents {
 public:
  WindowHandler() = default;
  WindowHandler(const WindowHandler&) = delete;
  WindowHandler& operator=(const WindowHandler&) = delete;
  ~WindowHandler() override;

  // The window, or null before creation and after destruction.
  Window* window() const { return window_.get(); }

  // Every message addressed to the window. Handlers call
  // Window::DefaultProc for the default processing.
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) = 0;
  // Offered every message of the run loop that is addressed to this window,
  // to a control inside it, or to a window it owns; true swallows the message.
  virtual bool PreTranslateMessage(const Msg&) { return false; }

 private:
  friend struct WindowAttachment;
  std::unique_ptr<Window> window_;
};

// How backends hand a window to its handler (before WM_CREATE, so creation
// handlers can use it) and take it back when the window is destroyed.
struct WindowAttachment {
  static void Attach(WindowHandler& handler, std::unique_ptr<Window> window) { handler.window_ = std::move(window); }
  static std::unique_ptr<Window> Detach(WindowHandler& handler) { return std::move(handler.window_); }
};

// How a window is made: the dialog template that sizes it, its owner, and
// the styles that decide its kind.
struct WindowSpec {
  int templateNumber = 0;
  Window* owner = nullptr;
  std::uint32_t style = WS_POPUP;
  std::uint32_t exStyle = 0;
  // The skin window shows a composed image with per-pixel alpha.
  bool perPixelAlpha = false;
};

enum class Cursor { Arrow, Hand };

class Window {
 public:
  virtual ~Window() = default;

  virtual WindowHandler& Handler() const = 0;
  virtual Window* Owner() const = 0;

  virtual LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) = 0;
  virtual void Post(UINT message, WPARAM wParam, LPARAM lParam) = 0;
  // The backend's default processing of a message.
  virtual LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) = 0;

  virtual void Show(int showCommand) = 0;
  virtual bool IsVisible() const = 0;
  virtual bool IsMinimized() const = 0;
  // Screen coordinates of the whole window.
  virtual Rect WindowRect() const = 0;
  // (0, 0, width, height).
  virtual Rect ClientRect() const = 0;
  virtual void SetPosition(int x, int y) = 0;
  virtual void MoveWindow(int x, int y, int width, int height, bool repaint) = 0;

  virtual void SetText(const std::u16string& text) = 0;
  virtual std::u16string Text() const = 0;
  virtual void SetIcon(WPARAM slot, int iconResource) = 0;
  virtual std::uint32_t Style() const = 0;
  virtual void SetStyle(std::uint32_t style) = 0;
  virtual std::uint32_t ExStyle() const = 0;
  virtual void SetExStyle(std::uint32_t exStyle) = 0;
  virtual void SetFocus() = 0;
  virtual void SetCursor(Cursor cursor) = 0;

  virtual void SetTimer(WPARAM id, UINT milliseconds) = 0;
  virtual void KillTimer(WPARAM id) = 0;

  // Shows a finished image with per-pixel alpha, each pixel's alpha scaled by
  // constantAlpha / 255; the window takes the image's size. Pixels of alpha 0
  // take no mouse input.
  virtual bool UpdateLayered(const Surface& image, std::uint8_t constantAlpha) = 0;
  // Pixels of exactly this colour are transparent and pass input below.
  virtual void SetColorKey(ColorRef key) = 0;
  // The window's own image (the whole window, frame included) for painting
  // in the handler; Invalidate shows what was painted.
  virtual Surface& WindowSurface() = 0;
  virtual void Invalidate() = 0;

  // Static bitmap children made from the window's template; false when the
  // window has no child of that id.
  virtual bool MoveChild(int controlId, const Rect& rect) = 0;

  virtual std::unique_ptr<BrowserControl> CreateBrowser(int controlId, const Rect& rect) = 0;
  virtual std::unique_ptr<PlayerControl> CreatePlayer(int controlId, const Rect& rect) = 0;

  // A pop-up menu at a screen point; the chosen command arrives as WM_COMMAND.
  virtual void TrackPopupMenu(const res::MenuResource& menu, Point screenPoint) = 0;

  // Notification-area icon; clicks arrive as callbackMessage with the icon
  // id and WM_LBUTTONUP or WM_RBUTTONUP. False when the desktop has no
  // notification area to put it in.
  virtual bool AddTrayIcon(UINT id, UINT callbackMessage, int iconResource, const std::u16string& tip) = 0;
  virtual void DeleteTrayIcon(UINT id) = 0;

  // Ends the window: WM_DESTROY reaches the handler, the native window goes
  // and the handler no longer has a window. The object itself is released
  // once the message being handled has returned, so a handler may destroy
  // its own window.
  virtual void Destroy() = 0;
  virtual bool IsDestroyed() const = 0;
};

}  // namespace platform
