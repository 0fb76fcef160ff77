#pragma once
// The rules every window of the window layer follows, whatever draws it:
// creation from a template, default message processing, move and size
// notifications, minimising, timers and destruction. A backend extends it
// with native operations only, and reports what the desktop did through
// the Report functions.

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "platform/DialogLayout.h"
#include "platform/MoveSizeDrag.h"
#include "platform/Window.h"

namespace platform {

class PlatformBase;

// Pointer shapes: the program's own two, and the resize edges' ones.
enum class PointerShape { Arrow, Hand, ResizeLeftRight, ResizeUpDown, ResizeBottomLeft, ResizeBottomRight };

// The shape the default WM_SETCURSOR shows over a hit-test code.
PointerShape PointerShapeForHit(LRESULT hit);

// Where a minimised window is reported to stand, as the desktop parks it.
inline constexpr Rect kMinimizedRect{-32000, -32000, -32000 + 160, -32000 + 28};

class WindowBase : public Window {
 public:
  WindowBase(PlatformBase& platform, WindowHandler& handler, const WindowSpec& kind);
  ~WindowBase() override;

  WindowHandler& Handler() const final { return handler_; }
  Window* Owner() const final { return owner_; }
  LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) final;
  void Post(UINT message, WPARAM wParam, LPARAM lParam) final;
  LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) final;

  void Show(int showCommand) final;
  bool IsVisible() const final { return visible_ && !destroyed_; }
  bool IsMinimized() const final { return minimized_; }
  // While minimised the window is reported parked at kMinimizedRect.
  Rect WindowRect() const final { return rect_; }
  Rect ClientRect() const final { return {0, 0, rect_.Width(), rect_.Height()}; }
  void SetPosition(int x, int y) final;
  void MoveWindow(int x, int y, int width, int height, bool repaint) final;

  void SetText(const std::u16string& text) final;
  std::u16string Text() const final { return text_; }
  std::uint32_t Style() const final { return style_; }
  void SetStyle(std::uint32_t style) final { style_ = style; }
  std::uint32_t ExStyle() const final { return exStyle_; }
  void SetExStyle(std::uint32_t exStyle) final;
  void SetCursor(Cursor cursor) final;

  void SetTimer(WPARAM id, UINT milliseconds) final;
  void KillTimer(WPARAM id) final;

  Surface& WindowSurface() final;
  bool MoveChild(int controlId, const Rect& rect) final;

  bool AddTrayIcon(UINT id, UINT callbackMessage, int iconResource, const std::u16string& tip) final;
  void DeleteTrayIcon(UINT id) final;

  void Destroy() final;
  bool IsDestroyed() const final { return destroyed_; }

  // The place the window has or, while minimised, comes back to.
  Rect PlacedRect() const { return minimized_ ? restoreRect_ : rect_; }
  // The running timers and their intervals.
  const std::map<WPARAM, UINT>& Timers() const { return timers_; }
  // A static bitmap child's rectangle, or nothing for another id.
  std::optional<Rect> ChildRect(int controlId) const;
  const DialogLayout& Layout() const { return layout_; }
  PointerShape CurrentPointer() const { return cursor_; }
  // True while the move/resize loop runs; a destroyed window is not freed then.
  bool InDragLoop() const { return dragging_; }

 protected:
  // Native operations, called by the rules above.
  virtual void NativeShow() = 0;
  virtual void NativeHide() = 0;
  virtual void NativeMinimize() = 0;
  // Out of the minimised state, and to the front.
  virtual void NativeRestore() = 0;
  // Shown already: keeps what the window owns, and open boxes, above it.
  virtual void NativeRaiseOwned() {}
  virtual void NativeMoveResize(const Rect& from, const Rect& to) = 0;
  // The smallest size the desktop's own resizing may give the window.
  virtual void NativeSetMinimumSize(Point) {}
  virtual void NativeSetTitle(const std::u16string&) {}
  virtual void NativeSetToolWindow(bool) {}
  virtual void NativeSetCursor(PointerShape) {}
  virtual void NativeStartTimer(WPARAM id, UINT milliseconds) = 0;
  virtual void NativeStopTimer(WPARAM id) = 0;
  virtual bool NativeAddTrayIcon(UINT id, UINT callbackMessage, int iconResource, const std::u16string& tip) = 0;
  virtual void NativeDeleteTrayIcon(UINT id) = 0;
  virtual void NativeMoveChild(int controlId, const Rect& rect) = 0;
  // Where a system move (SC_MOVE) starts, screen coordinates.
  virtual Point MoveCommandStart() const = 0;
  // Follows the pointer until the button is released, calling FollowDrag.
  virtual void NativeRunDrag(MoveSizeDrag& drag) = 0;
  // Ends any loop the window runs and lets go of its native resources.
  virtual void NativeDestroy() = 0;

  // Every message, as it reaches the handler.
  virtual void Delivering(UINT /*message*/) {}

  // Reports of what the desktop did.
  void ReportPlace(const Rect& rect);
  void ReportMinimized(bool minimized);
  void DeliverTimer(WPARAM id);
  void FollowDrag(MoveSizeDrag& drag, Point pointer);
  // The window takes the size of the image it shows, silently.
  void AdoptSize(int width, int height);

  PlatformBase& platformBase() const { return platform_; }

 private:
  void OfferMinimumSize();
  // WM_MOVE and WM_SIZE for what changed since `old`.
  void ReportChange(const Rect& old);
  void StartMoveSizeDrag(LRESULT hit, Point start);

  PlatformBase& platform_;
  WindowHandler& handler_;
  Window* owner_;
  DialogLayout layout_;
  std::map<int, Rect> childRects_;
  Rect rect_;
  Rect restoreRect_;
  std::uint32_t style_;
  std::uint32_t exStyle_;
  std::u16string text_;
  bool visible_ = false;
  bool minimized_ = false;
  bool destroyed_ = false;
  bool dragging_ = false;
  PointerShape cursor_ = PointerShape::Arrow;
  std::map<WPARAM, UINT> timers_;
  std::set<UINT> trayIcons_;
  std::unique_ptr<Surface> surface_;
};

}  // namespace platform
