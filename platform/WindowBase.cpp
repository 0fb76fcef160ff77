#include "platform/WindowBase.h"

#include <algorithm>

#include "platform/PlatformBase.h"

namespace platform {

PointerShape PointerShapeForHit(LRESULT hit) {
  switch (hit) {
    case HTLEFT:
    case HTRIGHT: return PointerShape::ResizeLeftRight;
    case HTBOTTOM: return PointerShape::ResizeUpDown;
    case HTBOTTOMLEFT: return PointerShape::ResizeBottomLeft;
    case HTBOTTOMRIGHT: return PointerShape::ResizeBottomRight;
    default: return PointerShape::Arrow;
  }
}

WindowBase::WindowBase(PlatformBase& platform, WindowHandler& handler, const WindowSpec& kind)
    : platform_(platform),
      handler_(handler),
      owner_(kind.owner),
      layout_(LayOutDialog(kind.templateNumber, kind.owner)),
      rect_(layout_.window),
      restoreRect_(layout_.window),
      style_(kind.style),
      exStyle_(kind.exStyle) {
  for (const DialogLayout::Control& c : layout_.controls) childRects_[c.id] = c.rect;
  platform_.Register(this);
}

WindowBase::~WindowBase() { platform_.Unregister(this); }

LRESULT WindowBase::Send(UINT message, WPARAM wParam, LPARAM lParam) {
  if (destroyed_) return 0;
  Delivering(message);
  return handler_.WindowProc(message, wParam, lParam);
}

void WindowBase::Post(UINT message, WPARAM wParam, LPARAM lParam) {
  if (!destroyed_) platform_.PostMessage(this, message, wParam, lParam);
}

LRESULT WindowBase::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      // A dialog's default close is its cancel: the main window's ends the
      // run loop, an owned one hides.
      if (owner_ == nullptr)
        platform_.EndModal(IDCANCEL);
      else
        Show(SW_HIDE);
      return 0;
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_MINIMIZE: Show(SW_MINIMIZE); break;
        case SC_MOVE: {
          const Point p = MoveCommandStart();
          DefaultProc(WM_NCLBUTTONDOWN, static_cast<WPARAM>(HTCAPTION), MakePointParam(p.x, p.y));
          break;
        }
        case SC_CLOSE: Send(WM_CLOSE, 0, 0); break;
        case SC_RESTORE: Show(SW_RESTORE); break;
      }
      return 0;
    case WM_NCHITTEST: {
      const Point p = PointFromParam(lParam);
      return rect_.Contains(p.x, p.y) ? HTCLIENT : HTNOWHERE;
    }
    case WM_NCLBUTTONDOWN: StartMoveSizeDrag(static_cast<LRESULT>(wParam), PointFromParam(lParam)); return 0;
    case WM_SETCURSOR: {
      const auto hit = static_cast<LRESULT>(static_cast<std::int16_t>(lParam & 0xFFFF));
      const PointerShape shape = PointerShapeForHit(hit);
      if (shape != cursor_) {
        cursor_ = shape;
        NativeSetCursor(shape);
      }
      return 1;
    }
    default: return 0;
  }
}

void WindowBase::StartMoveSizeDrag(LRESULT hit, Point start) {
  if (!StartsMoveSizeDrag(hit) || dragging_ || destroyed_) return;
  MINMAXINFO limits{};
  Send(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
  if (destroyed_) return;
  MoveSizeDrag drag;
  drag.hit = hit;
  drag.start = start;
  drag.startRect = rect_;
  drag.minimum = {std::max(1, limits.ptMinTrackSize.x), std::max(1, limits.ptMinTrackSize.y)};
  dragging_ = true;
  NativeRunDrag(drag);
  // Destroyed during the loop, the window was kept for its return.
  dragging_ = false;
  if (destroyed_) platform_.WakeForBuried();
}

void WindowBase::FollowDrag(MoveSizeDrag& drag, Point pointer) {
  if (destroyed_) return;
  const std::optional<Rect> r = drag.Follow(pointer);
  if (!r || *r == rect_) return;
  MoveWindow(r->left, r->top, r->Width(), r->Height(), true);
}

void WindowBase::Show(int showCommand) {
  if (destroyed_) return;
  const auto becomeVisible = [this] {
    if (visible_) return;
    OfferMinimumSize();
    if (destroyed_) return;
    visible_ = true;
    NativeShow();
    Send(WM_SHOWWINDOW, 1, 0);
  };
  switch (showCommand) {
    case SW_HIDE:
      if (!visible_) return;
      visible_ = false;
      NativeHide();
      Send(WM_SHOWWINDOW, 0, 0);
      return;
    case SW_MINIMIZE:
      becomeVisible();
      if (!destroyed_ && !minimized_) NativeMinimize();
      return;
    case SW_RESTORE:
      becomeVisible();
      if (!destroyed_) NativeRestore();
      break;
    default: becomeVisible(); break;
  }
  if (!destroyed_) NativeRaiseOwned();
}

void WindowBase::OfferMinimumSize() {
  MINMAXINFO limits{};
  Send(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
  if (destroyed_ || (limits.ptMinTrackSize.x <= 1 && limits.ptMinTrackSize.y <= 1)) return;
  NativeSetMinimumSize({std::max(1, limits.ptMinTrackSize.x), std::max(1, limits.ptMinTrackSize.y)});
}

void WindowBase::SetPosition(int x, int y) {
  const Rect r = PlacedRect();
  MoveWindow(x, y, r.Width(), r.Height(), false);
}

void WindowBase::MoveWindow(int x, int y, int width, int height, bool /*repaint*/) {
  if (destroyed_) return;
  const Rect next{x, y, x + std::max(1, width), y + std::max(1, height)};
  if (minimized_) {
    // A minimised window keeps its parked place; it comes back to the new one.
    const Rect old = restoreRect_;
    restoreRect_ = next;
    NativeMoveResize(old, next);
    return;
  }
  const Rect old = rect_;
  rect_ = next;
  NativeMoveResize(old, next);
  ReportChange(old);
}

void WindowBase::ReportPlace(const Rect& rect) {
  if (destroyed_) return;
  if (minimized_) {
    restoreRect_ = rect;
    return;
  }
  const Rect old = rect_;
  rect_ = rect;
  ReportChange(old);
}

// Moving and sizing report at once, as the program's handlers expect: the
// place first, then the size.
void WindowBase::ReportChange(const Rect& old) {
  if (old.left != rect_.left || old.top != rect_.top) Send(WM_MOVE, 0, MakePointParam(rect_.left, rect_.top));
  if (!destroyed_ && (old.Width() != rect_.Width() || old.Height() != rect_.Height()))
    Send(WM_SIZE, SIZE_RESTORED, MakeSizeParam(rect_.Width(), rect_.Height()));
}

void WindowBase::ReportMinimized(bool minimized) {
  if (destroyed_ || minimized == minimized_) return;
  minimized_ = minimized;
  const Rect old = rect_;
  if (minimized) {
    restoreRect_ = rect_;
    rect_ = kMinimizedRect;
    Send(WM_MOVE, 0, MakePointParam(rect_.left, rect_.top));
    if (!destroyed_) Send(WM_SIZE, SIZE_MINIMIZED, 0);
    return;
  }
  rect_ = restoreRect_;
  if (old.left != rect_.left || old.top != rect_.top) Send(WM_MOVE, 0, MakePointParam(rect_.left, rect_.top));
  if (!destroyed_) Send(WM_SIZE, SIZE_RESTORED, MakeSizeParam(rect_.Width(), rect_.Height()));
}

void WindowBase::AdoptSize(int width, int height) {
  Rect& r = minimized_ ? restoreRect_ : rect_;
  r.right = r.left + std::max(1, width);
  r.bottom = r.top + std::max(1, height);
}

void WindowBase::SetText(const std::u16string& text) {
  text_ = text;
  NativeSetTitle(text);
}

void WindowBase::SetExStyle(std::uint32_t exStyle) {
  exStyle_ = exStyle;
  NativeSetToolWindow(exStyle & WS_EX_TOOLWINDOW);
}

void WindowBase::SetCursor(Cursor cursor) {
  const PointerShape shape = cursor == Cursor::Hand ? PointerShape::Hand : PointerShape::Arrow;
  if (shape == cursor_) return;
  cursor_ = shape;
  NativeSetCursor(shape);
}

void WindowBase::SetTimer(WPARAM id, UINT milliseconds) {
  if (destroyed_) return;
  KillTimer(id);
  milliseconds = std::max<UINT>(1, milliseconds);
  timers_[id] = milliseconds;
  NativeStartTimer(id, milliseconds);
}

void WindowBase::KillTimer(WPARAM id) {
  if (timers_.erase(id)) NativeStopTimer(id);
}

void WindowBase::DeliverTimer(WPARAM id) {
  if (!destroyed_ && timers_.count(id)) Send(WM_TIMER, id, 0);
}

Surface& WindowBase::WindowSurface() {
  const Rect r = PlacedRect();
  // A new size starts from a clean image; the handler paints it anew at
  // the WM_PAINT the size change brings.
  if (!surface_ || surface_->Width() != r.Width() || surface_->Height() != r.Height())
    surface_ = Surface::Create(r.Width(), r.Height());
  return *surface_;
}

std::optional<Rect> WindowBase::ChildRect(int controlId) const {
  auto it = childRects_.find(controlId);
  if (it == childRects_.end()) return std::nullopt;
  return it->second;
}

bool WindowBase::MoveChild(int controlId, const Rect& rect) {
  auto it = childRects_.find(controlId);
  if (it == childRects_.end()) return false;
  it->second = rect;
  NativeMoveChild(controlId, rect);
  return true;
}

bool WindowBase::AddTrayIcon(UINT id, UINT callbackMessage, int iconResource, const std::u16string& tip) {
  if (destroyed_) return false;
  DeleteTrayIcon(id);
  if (!NativeAddTrayIcon(id, callbackMessage, iconResource, tip)) return false;
  trayIcons_.insert(id);
  return true;
}

void WindowBase::DeleteTrayIcon(UINT id) {
  if (trayIcons_.erase(id)) NativeDeleteTrayIcon(id);
}

void WindowBase::Destroy() {
  if (destroyed_) return;
  handler_.WindowProc(WM_DESTROY, 0, 0);
  destroyed_ = true;
  visible_ = false;
  while (!timers_.empty()) KillTimer(timers_.begin()->first);
  while (!trayIcons_.empty()) DeleteTrayIcon(*trayIcons_.begin());
  NativeDestroy();
  // Released once the message being handled has returned.
  if (handler_.window() == this) platform_.Bury(WindowAttachment::Detach(handler_));
}

}  // namespace platform
