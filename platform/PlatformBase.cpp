#include "platform/PlatformBase.h"

#include <algorithm>

#include "platform/WindowBase.h"

namespace platform {

// Backends release what they buried before their own parts go; what is
// left here signs off from the window list, which still stands.
PlatformBase::~PlatformBase() { buried_.clear(); }

bool PlatformBase::CreateDialogWindow(const WindowSpec& kind, WindowHandler& handler) {
  WindowAttachment::Attach(handler, MakeWindow(kind, handler));
  if (handler.window()->Send(WM_CREATE, 0, 0) == -1) {
    if (Window* window = handler.window()) window->Destroy();
    return false;
  }
  if (handler.window() == nullptr) return false;
  handler.window()->Send(WM_INITDIALOG, 0, 0);
  return handler.window() != nullptr;
}

bool PlatformBase::IsAlive(const Window* window) const {
  return std::find(windows_.begin(), windows_.end(), window) != windows_.end();
}

void PlatformBase::PostMessage(WindowBase* window, UINT message, WPARAM wParam, LPARAM lParam) {
  posted_.push_back({window, message, wParam, lParam});
  WakeForPosted();
}

void PlatformBase::DeliverPosted() {
  std::deque<Posted> batch;
  batch.swap(posted_);
  for (const Posted& p : batch) {
    if (IsAlive(p.window) && !p.window->IsDestroyed()) p.window->Send(p.message, p.wParam, p.lParam);
  }
}

void PlatformBase::Bury(std::unique_ptr<Window> window) {
  buried_.push_back(std::move(window));
  WakeForBuried();
}

void PlatformBase::ReleaseBuried() {
  std::vector<std::unique_ptr<Window>> batch;
  batch.swap(buried_);
  // A window whose move loop still runs is freed once the loop has returned.
  for (auto& window : batch)
    if (static_cast<WindowBase*>(window.get())->InDragLoop()) buried_.push_back(std::move(window));
}

void PlatformBase::Register(WindowBase* window) { windows_.push_back(window); }

void PlatformBase::Unregister(WindowBase* window) {
  windows_.erase(std::remove(windows_.begin(), windows_.end(), window), windows_.end());
  posted_.erase(
      std::remove_if(posted_.begin(), posted_.end(), [window](const Posted& p) { return p.window == window; }),
      posted_.end());
}

}  // namespace platform
