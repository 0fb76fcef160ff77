#pragma once
// The GTK backend's services: native windows, the run loop, message boxes
// and the desktop services of the window layer.

#include <gtk/gtk.h>

#include <memory>
#include <vector>

#include "platform/PlatformBase.h"
#include "platform/gtk/PlayerWarmUp.h"

namespace platform::gtk {

class GtkDialogWindow;
class TrayArea;

class GtkPlatform final : public PlatformBase {
 public:
  // GTK must be initialised (gtk_init) before the platform is made.
  GtkPlatform();
  ~GtkPlatform() override;

  // Gives the program its name ("tessary", as its command); called before
  // GTK opens the display.
  static void NameProgram();

  int RunModal(Window& window) override;
  void EndModal(int result) override;
  bool ProcessPendingEvents() override;
  Rect WorkArea() const override;
  Point CursorPos() const override;
  void SetDragFullWindows(bool) override {}  // our move loop always drags the whole window
  void OpenWebPage(const std::u16string& address) override;
  int MessageBox(Window* owner, const std::u16string& text, const std::u16string& caption, UINT type) override;
  void DebugOutput(const std::u16string& text) override;
  void ClearBrowserCache() override;
  std::filesystem::path ExecutablePath() const override;

  // Backend internals used by the windows.
  bool IsComposited() const;
  // Keeps owned windows above their owner after it was shown or raised.
  void RaiseOwnedWindows(const GtkDialogWindow* owner);
  GdkPixbuf* IconPixbuf(int iconResource);
  // An open message box stays above every window of the program: a window
  // shown under it must not hide the box its modal grab waits on.
  void RaiseMessageBoxes();
  // Where the windows' notification-area icons go.
  TrayArea& Tray() { return *tray_; }

 private:
  std::unique_ptr<WindowBase> MakeWindow(const WindowSpec& kind, WindowHandler& handler) override;
  void WakeForPosted() override;
  void WakeForBuried() override;

  guint postedSource_ = 0;
  PlayerWarmUp warmUp_;
  guint burySource_ = 0;
  guint fontsSource_ = 0;
  GMainLoop* modalLoop_ = nullptr;
  int modalResult_ = 0;
  GdkPixbuf* icon_ = nullptr;
  std::vector<GtkWidget*> openBoxes_;
  std::unique_ptr<TrayArea> tray_;
};

}  // namespace platform::gtk
