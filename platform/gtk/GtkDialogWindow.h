#pragma once
// A window of the GTK backend: a top-level GtkWindow holding a container in
// which child controls stand at their rectangles. The shared rules live in
// WindowBase; this class does the native work. Its members are defined by
// concern: GtkDialogWindow.cpp (the native window), GtkWindowEvents.cpp
// (GTK events into messages), GtkMoveLoop.cpp (the move/resize loop),
// GtkWindowShape.cpp (painting and shapes), GtkStaticBitmaps.cpp,
// GtkPopupMenu.cpp and GtkWindowTray.cpp.

#include <gtk/gtk.h>

#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "platform/WindowBase.h"
#include "platform/gtk/GtkControlInput.h"

namespace platform::gtk {

class GtkPlatform;
class TrayIcon;

class GtkDialogWindow final : public WindowBase {
 public:
  GtkDialogWindow(GtkPlatform& platform, WindowHandler& handler, const WindowSpec& kind);
  ~GtkDialogWindow() override;

  void SetIcon(WPARAM slot, int iconResource) override;
  void SetFocus() override;
  bool UpdateLayered(const Surface& image, std::uint8_t constantAlpha) override;
  void SetColorKey(ColorRef key) override;
  void Invalidate() override;
  std::unique_ptr<BrowserControl> CreateBrowser(int controlId, const Rect& rect) override;
  std::unique_ptr<PlayerControl> CreatePlayer(int controlId, const Rect& rect) override;
  void TrackPopupMenu(const res::MenuResource& menu, Point screenPoint) override;

  // For the backend's controls.
  GtkWidget* Toplevel() const { return window_; }
  GtkFixed* Container() const { return fixed_; }
  // Puts a control's widget into the window at a client rectangle (or moves it there).
  void PlaceChild(GtkWidget* child, const Rect& rect);
  // Recomputes the input (and, without a compositor, window) shape.
  void UpdateShape();
  GtkPlatform& platform() const { return platform_; }

 private:
  // Native operations of the shared rules.
  void NativeShow() override;
  void NativeHide() override;
  void NativeMinimize() override;
  void NativeRestore() override;
  void NativeRaiseOwned() override;
  void NativeMoveResize(const Rect& from, const Rect& to) override;
  void NativeSetMinimumSize(Point minimum) override;
  void NativeSetTitle(const std::u16string& text) override;
  void NativeSetToolWindow(bool tool) override;
  void NativeSetCursor(PointerShape shape) override;
  void NativeStartTimer(WPARAM id, UINT milliseconds) override;
  void NativeStopTimer(WPARAM id) override;
  bool NativeAddTrayIcon(UINT id, UINT callbackMessage, int iconResource, const std::u16string& tip) override;
  void NativeDeleteTrayIcon(UINT id) override;
  void NativeMoveChild(int controlId, const Rect& rect) override;
  Point MoveCommandStart() const override;
  void NativeRunDrag(MoveSizeDrag& drag) override;
  void NativeDestroy() override;
  void Delivering(UINT message) override;

  static const char* CursorName(PointerShape shape);

  // GtkWindowEvents.cpp
  void ConnectEvents();
  static gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer self);
  static gboolean OnConfigure(GtkWidget*, GdkEventConfigure* event, gpointer self);
  static gboolean OnWindowState(GtkWidget*, GdkEventWindowState* event, gpointer self);
  static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer self);
  static gboolean OnFocus(GtkWidget*, GdkEventFocus* event, gpointer self);
  static gboolean OnButtonPress(GtkWidget*, GdkEventButton* event, gpointer self);
  static gboolean OnButtonRelease(GtkWidget*, GdkEventButton* event, gpointer self);
  static gboolean OnMotion(GtkWidget*, GdkEventMotion* event, gpointer self);
  static gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer self);
  static void OnRealize(GtkWidget*, gpointer self);
  static void OnCompositedChanged(GdkScreen*, gpointer self);
  LRESULT HitTest(Point screen);
  Point ClientPoint(Point screen) const;
  void SendMouseMove(Point screen);
  void SendDoubleClick(Point screen);
  void IconifyOwnedWindows(bool iconify);
  void QueuePaint();
  bool OwnerAwaitsFirstFrame() const;
  void HoldPaintForOwner();
  void ReleaseHeldPaint();
  void ReleaseOwnedPaints();

  // GtkWindowShape.cpp
  void Paint(cairo_t* cr);

  // GtkStaticBitmaps.cpp: the template's static bitmaps, above the controls.
  void CreateStaticBitmaps();
  void RaiseStaticBitmaps();
  void PutStaticBitmapsOnTop();

  struct StaticBitmap {
    std::unique_ptr<Surface> image;
    GtkWidget* widget = nullptr;
  };
  // The move/resize loop while it runs.
  struct DragState {
    GMainLoop* loop = nullptr;
    MoveSizeDrag* geometry = nullptr;
    // A double-click that arrived during the loop ends it and is delivered after.
    std::optional<Point> doubleClick;
  };

  GtkPlatform& platform_;
  GtkWidget* window_ = nullptr;
  GtkFixed* fixed_ = nullptr;
  std::map<WPARAM, guint> timerSources_;
  std::map<int, StaticBitmap> statics_;
  std::map<UINT, std::unique_ptr<TrayIcon>> trayIcons_;
  std::vector<std::pair<GtkWidget*, Rect>> controls_;
  std::unique_ptr<Surface> layered_;
  std::unique_ptr<Surface> layeredSolid_;  // what shows without a compositor
  std::uint8_t layeredAlpha_ = 255;
  std::optional<ColorRef> colorKey_;
  bool needsPaint_ = true;
  bool paintQueued_ = false;
  bool drawn_ = false;             // on the screen at least once
  bool paintAwaitsOwner_ = false;  // its WM_PAINT waits for the owner's first frame
  guint ownerWaitSource_ = 0;      // the most it waits
  bool buttonDown_ = false;
  Point pressPoint_;              // screen coordinates of the last left-button press
  std::optional<Point> pointer_;  // where the handler last saw the pointer
  DragState* drag_ = nullptr;
  // The place and size the program last asked for, until a configure event
  // reports it (events older than the request describe the window before it).
  std::optional<Rect> requested_;
  gint64 requestedAt_ = 0;  // monotonic microseconds
};

}  // namespace platform::gtk
