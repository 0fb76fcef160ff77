#pragma once
// A window of the GTK backend: a top-level GtkWindow holding a GtkFixed in
// which child controls stand at their rectangles. GTK events become the
// window layer's messages; the window's image is painted from WindowSurface
// (or, for per-pixel-alpha windows, from the last layered image).

#include <gtk/gtk.h>

#include <map>
#include <memory>

#include "platform/Window.h"

namespace platform::gtk {

class GtkPlatform;

class GtkDialogWindow final : public Window {
 public:
  GtkDialogWindow(GtkPlatform& platform, WindowHandler& handler, const WindowSpec& kind);
  ~GtkDialogWindow() override;

  WindowHandler& Handler() const override { return handler_; }
  Window* Owner() const override { return owner_; }
  LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) override;
  void Post(UINT message, WPARAM wParam, LPARAM lParam) override;
  LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  void Show(int showCommand) override;
  bool IsVisible() const override;
  bool IsMinimized() const override { return minimized_; }
  Rect WindowRect() const override;
  Rect ClientRect() const override;
  void SetPosition(int x, int y) override;
  void MoveWindow(int x, int y, int width, int height, bool repaint) override;

  void SetText(const std::u16string& text) override;
  std::u16string Text() const override { return text_; }
  void SetIcon(WPARAM slot, int iconResource) override;
  std::uint32_t Style() const override { return style_; }
  void SetStyle(std::uint32_t style) override { style_ = style; }
  std::uint32_t ExStyle() const override { return exStyle_; }
  void SetExStyle(std::uint32_t exStyle) override;
  void SetFocus() override;
  void SetCursor(Cursor cursor) override;

  void SetTimer(WPARAM id, UINT milliseconds) override;
  void KillTimer(WPARAM id) override;

  bool UpdateLayered(const Surface& image, std::uint8_t constantAlpha) override;
  void SetColorKey(ColorRef key) override;
  Surface& WindowSurface() override;
  void Invalidate() override;
  bool MoveChild(int controlId, const Rect& rect) override;

  std::unique_ptr<BrowserControl> CreateBrowser(int controlId, const Rect& rect) override;
  std::unique_ptr<PlayerControl> CreatePlayer(int controlId, const Rect& rect) override;
  void TrackPopupMenu(const res::MenuResource& menu, Point screenPoint) override;
  bool AddTrayIcon(UINT id, UINT callbackMessage, int iconResource, const std::u16string& tip) override;
  void DeleteTrayIcon(UINT id) override;

  void Destroy() override;
  bool IsDestroyed() const override { return destroyed_; }

  // For the backend's controls.
  GtkWidget* Toplevel() const { return window_; }
  GtkFixed* Container() const { return fixed_; }
  // Puts a control's widget into the window at a client rectangle (or moves it there).
  void PlaceChild(GtkWidget* child, const Rect& rect);
  // Recomputes the input (and, without a compositor, window) shape.
  void UpdateShape();
  // Keeps the template's static bitmaps above the controls.
  void RaiseStaticBitmaps();
  GtkPlatform& platform() const { return platform_; }

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  GtkPlatform& platform_;
  WindowHandler& handler_;
  Window* owner_;
  GtkWidget* window_ = nullptr;
  GtkFixed* fixed_ = nullptr;
  std::uint32_t style_;
  std::uint32_t exStyle_;
  std::u16string text_;
  bool minimized_ = false;
  bool destroyed_ = false;

  friend struct GtkWindowEvents;
};

// Offers an input event that GTK delivered to a control's widget (a key
// press, a button press, a pointer motion) to the pre-translation of the run
// loop, as the message the event stands for, addressed to that control.
// controlPreTranslate is the control's own pre-translation, asked first.
// True when the event was swallowed and must not reach the control.
bool PreTranslateControlEvent(GtkDialogWindow& window, const void* control,
                              bool (*controlPreTranslate)(const void* control, const Msg&),
                              const GdkEvent* event);

// The virtual-key number of a GDK key value (Enter 13, Escape 27, F5 116 ...).
WPARAM VirtualKeyOf(guint keyval);

}  // namespace platform::gtk
