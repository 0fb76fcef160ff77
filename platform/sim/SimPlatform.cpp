#include "platform/sim/SimPlatform.h"

#include <algorithm>

#include "platform/MessageRouting.h"
#include "base/Text.h"
#include "res/Resources.h"

namespace platform::sim {
namespace {

// Where the platform parks a minimised window.
constexpr int kMinimizedPosition = -32000;

Rect TemplateRect(int templateNumber, const Window* owner) {
  int width = 0, height = 0;
  if (const res::DialogTemplate* t = res::FindDialogTemplate(templateNumber)) {
    const auto size = res::DialogUnitsToPixels(*t, t->cx, t->cy);
    width = size.first;
    height = size.second;
  }
  // A template at (0, 0) stands at its owner's top-left corner.
  const Rect origin = owner ? owner->WindowRect() : Rect{};
  return {origin.left, origin.top, origin.left + width, origin.top + height};
}

}  // namespace

SimWindow::SimWindow(SimPlatform& platform, WindowHandler& handler, const WindowSpec& kind,
                     const Rect& initial)
    : rect(initial),
      style(kind.style),
      exStyle(kind.exStyle),
      templateNumber(kind.templateNumber),
      platform_(platform),
      handler_(handler),
      owner_(kind.owner) {
  if (const res::DialogTemplate* t = res::FindDialogTemplate(kind.templateNumber)) {
    for (const res::ControlTemplate& c : t->controls) {
      const auto origin = res::DialogUnitsToPixels(*t, c.x, c.y);
      const auto size = res::DialogUnitsToPixels(*t, c.cx, c.cy);
      children[c.id] = {origin.first, origin.second, origin.first + size.first,
                        origin.second + size.second};
    }
  }
  platform_.windows_.push_back(this);
}

SimWindow::~SimWindow() {
  auto& all = platform_.windows_;
  all.erase(std::remove(all.begin(), all.end(), this), all.end());
  auto& queue = platform_.posted_;
  queue.erase(std::remove_if(queue.begin(), queue.end(), [this](const auto& p) { return p.window == this; }),
              queue.end());
}

LRESULT SimWindow::Send(UINT message, WPARAM wParam, LPARAM lParam) {
  if (destroyed) return 0;
  return handler_.WindowProc(message, wParam, lParam);
}

void SimWindow::Post(UINT message, WPARAM wParam, LPARAM lParam) {
  if (!destroyed) platform_.posted_.push_back({this, message, wParam, lParam});
}

LRESULT SimWindow::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      // A dialog's default close is its cancel: the modal one ends its loop.
      if (owner_ == nullptr) platform_.EndModal(IDCANCEL);
      return 0;
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_MINIMIZE: Show(SW_MINIMIZE); break;
        case SC_MOVE: ++moveLoops; break;
        case SC_CLOSE: Send(WM_CLOSE, 0, 0); break;
        case SC_RESTORE: Show(SW_RESTORE); break;
      }
      return 0;
    case WM_NCHITTEST: {
      const Point p = PointFromParam(lParam);
      return rect.Contains(p.x, p.y) ? HTCLIENT : HTNOWHERE;
    }
    case WM_NCLBUTTONDOWN:
      if (static_cast<LRESULT>(wParam) == HTCAPTION) {
        ++moveLoops;
      } else if (static_cast<LRESULT>(wParam) >= HTLEFT && static_cast<LRESULT>(wParam) <= HTBOTTOMRIGHT) {
        resizeDrags.push_back(static_cast<LRESULT>(wParam));
      }
      return 0;
    case WM_NCLBUTTONDBLCLK:
      return 0;
    case WM_SETCURSOR:
      cursor = Cursor::Arrow;
      return 0;
    default:
      return 0;
  }
}

void SimWindow::Show(int showCommand) {
  switch (showCommand) {
    case SW_HIDE:
      if (visible) {
        visible = false;
        Send(WM_SHOWWINDOW, 0, 0);
      }
      break;
    case SW_MINIMIZE:
      if (!minimized) {
        minimized = true;
        restoreRect_ = rect;
        rect = {kMinimizedPosition, kMinimizedPosition, kMinimizedPosition + 160, kMinimizedPosition + 28};
        Send(WM_MOVE, 0, MakePointParam(rect.left, rect.top));
        Send(WM_SIZE, SIZE_MINIMIZED, 0);
      }
      break;
    case SW_RESTORE:
      if (minimized) {
        minimized = false;
        rect = restoreRect_;
        Send(WM_MOVE, 0, MakePointParam(rect.left, rect.top));
        Send(WM_SIZE, SIZE_RESTORED, MakeSizeParam(rect.Width(), rect.Height()));
      }
      [[fallthrough]];
    default:
      if (!visible) {
        visible = true;
        Send(WM_SHOWWINDOW, 1, 0);
      }
      break;
  }
}

void SimWindow::SetPosition(int x, int y) { MoveWindow(x, y, rect.Width(), rect.Height(), false); }

void SimWindow::MoveWindow(int x, int y, int width, int height, bool /*repaint*/) {
  const Rect old = rect;
  rect = {x, y, x + width, y + height};
  // Moving and sizing report synchronously, as the program's handlers expect.
  if (old.left != rect.left || old.top != rect.top) Send(WM_MOVE, 0, MakePointParam(x, y));
  if (!destroyed && (old.Width() != rect.Width() || old.Height() != rect.Height()))
    Send(WM_SIZE, SIZE_RESTORED, MakeSizeParam(width, height));
}

bool SimWindow::UpdateLayered(const Surface& image, std::uint8_t constantAlpha) {
  layeredImage = Surface::Create(image.Width(), image.Height());
  if (!layeredImage) return false;
  layeredImage->CopyFrom(image);
  layeredAlpha = constantAlpha;
  ++layeredUpdates;
  rect.right = rect.left + image.Width();
  rect.bottom = rect.top + image.Height();
  return true;
}

Surface& SimWindow::WindowSurface() {
  const int width = std::max(1, rect.Width());
  const int height = std::max(1, rect.Height());
  if (!surface_ || surface_->Width() != width || surface_->Height() != height)
    surface_ = Surface::Create(width, height);
  return *surface_;
}

bool SimWindow::MoveChild(int controlId, const Rect& childRect) {
  auto it = children.find(controlId);
  if (it == children.end()) return false;
  it->second = childRect;
  return true;
}

std::unique_ptr<BrowserControl> SimWindow::CreateBrowser(int controlId, const Rect& childRect) {
  return std::make_unique<SimBrowser>(*this, controlId, childRect);
}

std::unique_ptr<PlayerControl> SimWindow::CreatePlayer(int controlId, const Rect& childRect) {
  return std::make_unique<SimPlayer>(*this, controlId, childRect);
}

void SimWindow::TrackPopupMenu(const res::MenuResource& menu, Point screenPoint) {
  menus.push_back({&menu, screenPoint});
}

bool SimWindow::AddTrayIcon(UINT id, UINT callbackMessage, int iconResource, const std::u16string& tip) {
  if (!trayAvailable) return false;
  trayIcons[id] = {callbackMessage, iconResource, tip};
  return true;
}

void SimWindow::Destroy() {
  if (destroyed) return;
  handler_.WindowProc(WM_DESTROY, 0, 0);
  destroyed = true;
  visible = false;
  timers.clear();
  trayIcons.clear();
  if (handler_.window() == this) platform_.graveyard_.push_back(WindowAttachment::Detach(handler_));
}

SimPlatform::SimPlatform() = default;
// Destroyed windows still sign off from the window list: release them first.
SimPlatform::~SimPlatform() { graveyard_.clear(); }

bool SimPlatform::CreateDialogWindow(const WindowSpec& kind, WindowHandler& handler) {
  const Rect rect = TemplateRect(kind.templateNumber, kind.owner);
  WindowAttachment::Attach(handler, std::make_unique<SimWindow>(*this, handler, kind, rect));
  if (handler.window()->Send(WM_CREATE, 0, 0) == -1) {
    graveyard_.push_back(WindowAttachment::Detach(handler));
    return false;
  }
  if (handler.window() == nullptr) return false;
  handler.window()->Send(WM_INITDIALOG, 0, 0);
  return handler.window() != nullptr;
}

int SimPlatform::RunModal(Window& window) {
  modalResult.reset();
  window.Show(SW_SHOW);
  while (!modalResult && !posted_.empty()) PumpPosted();
  return modalResult.value_or(0);
}

void SimPlatform::EndModal(int result) {
  modalResult = result;
  log.push_back("EndModal " + std::to_string(result));
}

void SimPlatform::SetDragFullWindows(bool enabled) {
  log.push_back(std::string("SetDragFullWindows ") + (enabled ? "1" : "0"));
}

void SimPlatform::OpenWebPage(const std::u16string& address) {
  openedPages.push_back(address);
  log.push_back("OpenWebPage " + base::ToUtf8(address));
}

int SimPlatform::MessageBox(Window* owner, const std::u16string& text, const std::u16string& caption,
                            UINT type) {
  messageBoxes.push_back({owner, text, caption, type});
  log.push_back("MessageBox " + base::ToUtf8(caption) + "|" + base::ToUtf8(text));
  if (whileMessageBoxOpen) whileMessageBoxOpen();
  if (!messageBoxAnswers.empty()) {
    const int answer = messageBoxAnswers.front();
    messageBoxAnswers.pop_front();
    return answer;
  }
  return type == MB_YESNO ? IDNO : IDOK;
}

bool SimPlatform::StartProgram(const std::filesystem::path& program) {
  log.push_back("StartProgram " + program.string());
  return startProgramSucceeds;
}

std::unique_ptr<Surface> SimPlatform::LoadPngResource(int number) const {
  return brokenResources.count(number) ? nullptr : Platform::LoadPngResource(number);
}

std::unique_ptr<Surface> SimPlatform::LoadBitmapResource(int number) const {
  return brokenResources.count(number) ? nullptr : Platform::LoadBitmapResource(number);
}

void SimPlatform::PumpPosted() {
  while (!posted_.empty()) {
    const Posted p = posted_.front();
    posted_.pop_front();
    p.window->Send(p.message, p.wParam, p.lParam);
  }
  // Destroyed windows are released once no message of theirs is being handled.
  graveyard_.clear();
}

bool SimPlatform::PressKey(Window& window, WPARAM virtualKey, const void* target, PlayerControl* player) {
  Msg msg{target ? target : &window, &window, WM_KEYDOWN, virtualKey, 0};
  if (player && player->PreTranslateMessage(msg)) return true;
  if (WalkPreTranslate(msg)) return true;
  dispatchedKeys.push_back(msg);
  return false;
}

bool SimPlatform::MouseOnControl(Window& window, const void* control, UINT message, Point clientPoint) {
  Msg msg{control, &window, message, 0, MakePointParam(clientPoint.x, clientPoint.y)};
  return WalkPreTranslate(msg);
}

}  // namespace platform::sim
