#pragma once
// The in-memory backend: windows are rectangles with styles, messages are
// delivered synchronously, posted messages wait for PumpPosted, and every
// platform call is recorded so that tests can check what the program did.

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/PlatformBase.h"
#include "platform/WindowBase.h"
#include "platform/sim/SimControls.h"

namespace platform::sim {

class SimPlatform;

class SimWindow final : public WindowBase {
 public:
  SimWindow(SimPlatform& platform, WindowHandler& handler, const WindowSpec& kind);
  ~SimWindow() override;

  void SetIcon(WPARAM slot, int iconResource) override { icons[slot] = iconResource; }
  void SetFocus() override { ++focusCount; }
  bool UpdateLayered(const Surface& image, std::uint8_t constantAlpha) override;
  void SetColorKey(ColorRef key) override { colorKey = key; }
  void Invalidate() override { ++invalidations; }
  std::unique_ptr<BrowserControl> CreateBrowser(int controlId, const Rect& rect) override;
  std::unique_ptr<PlayerControl> CreatePlayer(int controlId, const Rect& rect) override;
  void TrackPopupMenu(const res::MenuResource& menu, Point screenPoint) override;

  SimPlatform& platform() { return platform_; }
  // The desktop minimises or restores the window (its task bar button).
  void DesktopMinimizes(bool minimized) { ReportMinimized(minimized); }
  // A running timer's tick, as the run loop delivers it.
  void FireTimer(WPARAM id) { DeliverTimer(id); }

  // What the desktop was asked to do, for tests to read.
  struct TrayIcon {
    UINT callbackMessage;
    int iconResource;
    std::u16string tip;
  };
  struct MenuShown {
    const res::MenuResource* menu;
    Point point;
  };
  int templateNumber;
  int focusCount = 0;
  int invalidations = 0;
  std::map<WPARAM, int> icons;
  std::map<UINT, TrayIcon> trayIcons;
  std::vector<MenuShown> menus;
  bool trayAvailable = true;
  std::optional<ColorRef> colorKey;
  std::unique_ptr<Surface> layeredImage;  // the last image handed to UpdateLayered
  std::uint8_t layeredAlpha = 0;
  int layeredUpdates = 0;
  std::vector<LRESULT> drags;         // hit codes of move and resize loops started
  std::vector<SimBrowser*> browsers;  // live browsers, in creation order
  std::vector<SimPlayer*> players;    // live players, in creation order

 private:
  void NativeShow() override {}
  void NativeHide() override {}
  // The desktop minimises and restores at once.
  void NativeMinimize() override { ReportMinimized(true); }
  void NativeRestore() override { ReportMinimized(false); }
  void NativeMoveResize(const Rect&, const Rect&) override {}
  void NativeStartTimer(WPARAM, UINT) override {}
  void NativeStopTimer(WPARAM) override {}
  bool NativeAddTrayIcon(UINT id, UINT callbackMessage, int iconResource, const std::u16string& tip) override;
  void NativeDeleteTrayIcon(UINT id) override { trayIcons.erase(id); }
  void NativeMoveChild(int, const Rect&) override {}
  Point MoveCommandStart() const override;
  // The loop ends at once: no pointer to follow.
  void NativeRunDrag(MoveSizeDrag& drag) override { drags.push_back(drag.hit); }
  void NativeDestroy() override {}

  SimPlatform& platform_;
};

class SimPlatform final : public PlatformBase {
 public:
  SimPlatform();
  ~SimPlatform() override;

  int RunModal(Window& window) override;
  void EndModal(int result) override;
  Rect WorkArea() const override { return workArea; }
  Point CursorPos() const override { return cursorPos; }
  void SetDragFullWindows(bool enabled) override;
  void OpenWebPage(const std::u16string& address) override;
  int MessageBox(Window* owner, const std::u16string& text, const std::u16string& caption, UINT type) override;
  void DebugOutput(const std::u16string& text) override { debugOutput.push_back(text); }
  void ClearBrowserCache() override { log.push_back("ClearBrowserCache"); }
  std::filesystem::path ExecutablePath() const override { return executablePath; }
  std::unique_ptr<Surface> LoadPngResource(int number) const override;
  std::unique_ptr<Surface> LoadBitmapResource(int number) const override;

  // Delivers posted messages in order until none are left, then releases
  // destroyed windows.
  void PumpPosted();
  // A key press addressed to a window or to a control inside it: offered to
  // the control's own pre-translation and then along the owner chain. True
  // when it was swallowed; otherwise it is recorded as dispatched.
  bool PressKey(Window& window, WPARAM virtualKey, const void* target = nullptr, PlayerControl* player = nullptr);
  // A mouse message addressed to a control: offered along the chain too.
  bool MouseOnControl(Window& window, const void* control, UINT message, Point clientPoint);

  static SimWindow& Of(Window& window) { return static_cast<SimWindow&>(window); }

  // Test settings.
  Rect workArea{0, 0, 1920, 1040};
  Point cursorPos{0, 0};
  std::filesystem::path executablePath = "/opt/tessary/zarek.exe";
  std::deque<int> messageBoxAnswers;  // answers in order; IDOK / IDNO when empty
  // Runs while a box is open, as the event loop does under a real one.
  std::function<void()> whileMessageBoxOpen;
  // Image resources that load as if missing or undecodable.
  std::set<int> brokenResources;

  // What the program did.
  struct MessageBoxShown {
    Window* owner;
    std::u16string text;
    std::u16string caption;
    UINT type;
  };
  std::vector<std::string> log;
  std::vector<std::u16string> debugOutput;
  std::vector<MessageBoxShown> messageBoxes;
  std::vector<std::u16string> openedPages;
  std::vector<Msg> dispatchedKeys;
  std::optional<int> modalResult;

 private:
  std::unique_ptr<WindowBase> MakeWindow(const WindowSpec& kind, WindowHandler& handler) override;
};

}  // namespace platform::sim
