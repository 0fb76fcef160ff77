#pragma once
// What every backend's platform shares: the creation sequence of a window,
// the list of live windows, the posted-message queue, and the release of
// destroyed windows once no message of theirs is being handled.

#include <deque>
#include <memory>
#include <vector>

#include "platform/Platform.h"

namespace platform {

class WindowBase;

class PlatformBase : public Platform {
 public:
  ~PlatformBase() override;

  // The window is attached to its handler before WM_CREATE, so creation
  // handlers can use it. A WM_CREATE result of -1 destroys the window
  // (WM_DESTROY reaches the handler) and fails the creation; otherwise
  // WM_INITDIALOG follows. The window starts hidden.
  bool CreateDialogWindow(const WindowSpec& kind, WindowHandler& handler) final;

  // The live windows, in creation order.
  const std::vector<WindowBase*>& Windows() const { return windows_; }
  bool IsAlive(const Window* window) const;

  // Queues a message; it is delivered after the current one, in order,
  // unless its window is destroyed first.
  void PostMessage(WindowBase* window, UINT message, WPARAM wParam, LPARAM lParam);
  // Frees a destroyed window once the current message has been handled.
  void Bury(std::unique_ptr<Window> window);

 protected:
  virtual std::unique_ptr<WindowBase> MakeWindow(const WindowSpec& kind, WindowHandler& handler) = 0;
  // Native hooks: arrange for DeliverPosted / ReleaseBuried to run soon.
  virtual void WakeForPosted() {}
  virtual void WakeForBuried() {}

  // Delivers what was posted before this call; what is posted meanwhile
  // waits for the next one.
  void DeliverPosted();
  bool HasPosted() const { return !posted_.empty(); }
  void ReleaseBuried();

 private:
  friend class WindowBase;
  void Register(WindowBase* window);
  void Unregister(WindowBase* window);

  struct Posted {
    WindowBase* window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
  };
  std::deque<Posted> posted_;
  std::vector<std::unique_ptr<Window>> buried_;
  std::vector<WindowBase*> windows_;
};

}  // namespace platform
