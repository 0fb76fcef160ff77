#include "platform/sim/SimPlatform.h"

#include <algorithm>

#include "base/Text.h"
#include "platform/MessageRouting.h"
#include "res/Resources.h"

namespace platform::sim {

SimWindow::SimWindow(SimPlatform& platform, WindowHandler& handler, const WindowSpec& kind)
    : WindowBase(platform, handler, kind), templateNumber(kind.templateNumber), platform_(platform) {}

SimWindow::~SimWindow() = default;

bool SimWindow::UpdateLayered(const Surface& image, std::uint8_t constantAlpha) {
  if (IsDestroyed()) return false;
  layeredImage = Surface::Create(image.Width(), image.Height());
  if (!layeredImage) return false;
  layeredImage->CopyFrom(image);
  layeredAlpha = constantAlpha;
  ++layeredUpdates;
  AdoptSize(image.Width(), image.Height());
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

bool SimWindow::NativeAddTrayIcon(UINT id, UINT callbackMessage, int iconResource, const std::u16string& tip) {
  if (!trayAvailable) return false;
  trayIcons[id] = {callbackMessage, iconResource, tip};
  return true;
}

Point SimWindow::MoveCommandStart() const { return platform_.cursorPos; }

SimPlatform::SimPlatform() = default;
SimPlatform::~SimPlatform() { ReleaseBuried(); }

std::unique_ptr<WindowBase> SimPlatform::MakeWindow(const WindowSpec& kind, WindowHandler& handler) {
  return std::make_unique<SimWindow>(*this, handler, kind);
}

int SimPlatform::RunModal(Window& window) {
  modalResult.reset();
  window.Show(SW_SHOW);
  while (!modalResult && HasPosted()) PumpPosted();
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

int SimPlatform::MessageBox(Window* owner, const std::u16string& text, const std::u16string& caption, UINT type) {
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

std::unique_ptr<Surface> SimPlatform::LoadPngResource(int number) const {
  return brokenResources.count(number) ? nullptr : Platform::LoadPngResource(number);
}

std::unique_ptr<Surface> SimPlatform::LoadBitmapResource(int number) const {
  return brokenResources.count(number) ? nullptr : Platform::LoadBitmapResource(number);
}

void SimPlatform::PumpPosted() {
  while (HasPosted()) DeliverPosted();
  ReleaseBuried();
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
