#pragma once
// Services of the platform: window creation, the run loop and everything the
// program asks of the desktop. One implementation drives GTK, one records
// calls in memory for tests.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/Surface.h"
#include "platform/Types.h"
#include "platform/Window.h"

namespace platform {

class Platform {
 public:
  virtual ~Platform() = default;

  // Creates a window for the handler, which owns it from then on: WM_CREATE
  // (a result of -1 fails the creation: false, and no window), then
  // WM_INITDIALOG. The window starts hidden.
  virtual bool CreateDialogWindow(const WindowSpec& kind, WindowHandler& handler) = 0;
  // Runs the program's message loop until EndModal; returns its result.
  virtual int RunModal(Window& window) = 0;
  virtual void EndModal(int result) = 0;
  // For long work on the user-interface thread: handles what is pending
  // (painting, moving, clicks), so the windows keep answering. False once
  // EndModal has been asked for (the user closed the program meanwhile).
  virtual bool ProcessPendingEvents() { return true; }

  // Work area of the primary monitor, in screen coordinates.
  virtual Rect WorkArea() const = 0;
  virtual Point CursorPos() const = 0;
  // Full-window dragging for the system's move loop (not saved in the profile).
  virtual void SetDragFullWindows(bool enabled) = 0;

  // Opens an address in the user's default browser.
  virtual void OpenWebPage(const std::u16string& address) = 0;
  // A modal message box; returns IDOK, IDYES or IDNO.
  virtual int MessageBox(Window* owner, const std::u16string& text, const std::u16string& caption, UINT type) = 0;
  // The debug channel of the movie call trace.
  virtual void DebugOutput(const std::u16string& text) = 0;
  // Clears the embedded browsers' disk and memory caches.
  virtual void ClearBrowserCache() = 0;
  virtual std::filesystem::path ExecutablePath() const = 0;

  // Images of the program's own resources; null when missing or undecodable.
  virtual std::unique_ptr<Surface> LoadPngResource(int number) const;
  virtual std::unique_ptr<Surface> LoadBitmapResource(int number) const;
};

}  // namespace platform
