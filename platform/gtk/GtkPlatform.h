#pragma once
// The GTK backend's services: window creation, the run loop, posted
// messages, message boxes and the desktop services of the window layer.

#include <gtk/gtk.h>

#include <deque>
#include <memory>
#include <vector>

#include "platform/Platform.h"
#include "platform/gtk/PlayerWarmUp.h"

namespace platform::gtk {

class GtkDialogWindow;
class TrayArea;

class GtkPlatform final : public Platform {
 public:
  // GTK must be initialised (gtk_init) before the platform is made.
  GtkPlatform();
  ~GtkPlatform() override;

  // Gives the program its name ("tessary", as its command); called before
  // GTK opens the display.
  static void NameProgram();

  bool CreateDialogWindow(const WindowSpec& kind, WindowHandler& handler) override;
  int RunModal(Window& window) override;
  void EndModal(int result) override;
  bool ProcessPendingEvents() override;
  Rect WorkArea() const override;
  Point CursorPos() const override;
  void SetDragFullWindows(bool) override {}  // our move loop always drags the whole window
  void OpenWebPage(const std::u16string& address) override;
  int MessageBox(Window* owner, const std::u16string& text, const std::u16string& caption,
                 UINT type) override;
  std::uint32_t TickCount() const override;
  void DebugOutput(const std::u16string& text) override;
  void ClearBrowserCache() override;
  bool StartProgram(const std::filesystem::path& program) override;
  std::filesystem::path ExecutablePath() const override;

  // Backend internals used by the windows.
  bool IsComposited() const;
  void PostMessage(GtkDialogWindow* window, UINT message, WPARAM wParam, LPARAM lParam);
  void Register(GtkDialogWindow* window);
  void Unregister(GtkDialogWindow* window);
  bool IsAlive(const GtkDialogWindow* window) const;
  // Frees a destroyed window once the current message has been handled.
  void Bury(std::unique_ptr<Window> window);
  // Keeps owned windows above their owner after it was shown or raised.
  void RaiseOwnedWindows(const GtkDialogWindow* owner);
  GdkPixbuf* IconPixbuf(int iconResource);
  // An open message box stays above every window of the program: a window
  // shown under it must not hide the box its modal grab waits on.
  void RaiseMessageBoxes();
  // Where the windows' notification-area icons go.
  TrayArea& Tray() { return *tray_; }

 private:
  static gboolean DeliverPosted(gpointer self);
  static gboolean FreeBuried(gpointer self);

  struct Posted {
    GtkDialogWindow* window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
  };
  std::deque<Posted> posted_;
  guint postedSource_ = 0;
  PlayerWarmUp warmUp_;
  std::vector<GtkDialogWindow*> windows_;
  std::vector<std::unique_ptr<Window>> buried_;
  guint burySource_ = 0;
  GMainLoop* modalLoop_ = nullptr;
  int modalResult_ = 0;
  GdkPixbuf* icon_ = nullptr;
  std::vector<GtkWidget*> openBoxes_;
  std::unique_ptr<TrayArea> tray_;
};

}  // namespace platform::gtk
