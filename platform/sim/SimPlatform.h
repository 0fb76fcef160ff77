#pragma once
// The in-memory backend: windows are rectangles with styles, messages are
// delivered synchronously, posted messages wait for PumpPosted, and every
// platform call is recorded so that tests can check what the program did.

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/sim/SimControls.h"

namespace platform::sim {

class SimPlatform;

class SimWindow final : public Window {
 public:
  SimWindow(SimPlatform& platform, WindowHandler& handler, const WindowSpec& kind, const Rect& rect);
  ~SimWindow() override;

  WindowHandler& Handler() const override { return handler_; }
  Window* Owner() const override { return owner_; }
  LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) override;
  void Post(UINT message, WPARAM wParam, LPARAM lParam) override;
  LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  void Show(int showCommand) override;
  bool IsVisible() const override { return visible; }
  bool IsMinimized() const override { return minimized; }
  Rect WindowRect() const override { return rect; }
  Rect ClientRect() const override { return {0, 0, rect.Width(), rect.Height()}; }
  void SetPosition(int x, int y) override;
  void MoveWindow(int x, int y, int width, int height, bool repaint) override;

  void SetText(const std::u16string& text) override { text_ = text; }
  std::u16string Text() const override { return text_; }
  void SetIcon(WPARAM slot, int iconResource) override { icons[slot] = iconResource; }
  std::uint32_t Style() const override { return style; }
  void SetStyle(std::uint32_t value) override { style = value; }
  std::uint32_t ExStyle() const override { return exStyle; }
  void SetExStyle(std::uint32_t value) override { exStyle = value; }
  void SetFocus() override { ++focusCount; }
  void SetCursor(Cursor value) override { cursor = value; }

  void SetTimer(WPARAM id, UINT milliseconds) override { timers[id] = milliseconds; }
  void KillTimer(WPARAM id) override { timers.erase(id); }

  bool UpdateLayered(const Surface& image, std::uint8_t constantAlpha) override;
  void SetColorKey(ColorRef key) override { colorKey = key; }
  Surface& WindowSurface() override;
  void Invalidate() override { ++invalidations; }
  bool MoveChild(int controlId, const Rect& childRect) override;

  std::unique_ptr<BrowserControl> CreateBrowser(int controlId, const Rect& rect) override;
  std::unique_ptr<PlayerControl> CreatePlayer(int controlId, const Rect& rect) override;
  void TrackPopupMenu(const res::MenuResource& menu, Point screenPoint) override;
  bool AddTrayIcon(UINT id, UINT callbackMessage, int iconResource, const std::u16string& tip) override;
  void DeleteTrayIcon(UINT id) override { trayIcons.erase(id); }

  void Destroy() override;
  bool IsDestroyed() const override { return destroyed; }

  SimPlatform& platform() { return platform_; }

  // What tests read.
  struct TrayIcon {
    UINT callbackMessage;
    int iconResource;
    std::u16string tip;
  };
  struct MenuShown {
    const res::MenuResource* menu;
    Point point;
  };
  Rect rect;
  std::uint32_t style;
  std::uint32_t exStyle;
  int templateNumber;
  bool visible = false;
  bool minimized = false;
  bool destroyed = false;
  Cursor cursor = Cursor::Arrow;
  int focusCount = 0;
  int invalidations = 0;
  std::map<WPARAM, int> icons;
  std::map<WPARAM, UINT> timers;
  std::map<int, Rect> children;
  std::map<UINT, TrayIcon> trayIcons;
  std::vector<MenuShown> menus;
  bool trayAvailable = true;
  std::optional<ColorRef> colorKey;
  std::unique_ptr<Surface> layeredImage;  // the last image handed to UpdateLayered
  std::uint8_t layeredAlpha = 0;
  int layeredUpdates = 0;
  int moveLoops = 0;                       // system move loops started
  std::vector<LRESULT> resizeDrags;        // hit codes of resize drags started
  std::vector<SimBrowser*> browsers;       // live browsers, in creation order
  std::vector<SimPlayer*> players;         // live players, in creation order

 private:
  SimPlatform& platform_;
  WindowHandler& handler_;
  Window* owner_;
  std::u16string text_;
  std::unique_ptr<Surface> surface_;
  Rect restoreRect_;
};

class SimPlatform final : public Platform {
 public:
  SimPlatform();
  ~SimPlatform() override;

  bool CreateDialogWindow(const WindowSpec& kind, WindowHandler& handler) override;
  int RunModal(Window& window) override;
  void EndModal(int result) override;
  Rect WorkArea() const override { return workArea; }
  Point CursorPos() const override { return cursorPos; }
  void SetDragFullWindows(bool enabled) override;
  void OpenWebPage(const std::u16string& address) override;
  int MessageBox(Window* owner, const std::u16string& text, const std::u16string& caption,
                 UINT type) override;
  std::uint32_t TickCount() const override { return tickCount; }
  void DebugOutput(const std::u16string& text) override { debugOutput.push_back(text); }
  void ClearBrowserCache() override { log.push_back("ClearBrowserCache"); }
  bool StartProgram(const std::filesystem::path& program) override;
  std::filesystem::path ExecutablePath() const override { return executablePath; }
  std::unique_ptr<Surface> LoadPngResource(int number) const override;
  std::unique_ptr<Surface> LoadBitmapResource(int number) const override;

  // Delivers posted messages in order until none are left, then releases
  // destroyed windows.
  void PumpPosted();
  // A key press addressed to a window or to a control inside it: offered to
  // the control's own pre-translation and then along the owner chain. True
  // when it was swallowed; otherwise it is recorded as dispatched.
  bool PressKey(Window& window, WPARAM virtualKey, const void* target = nullptr,
                PlayerControl* player = nullptr);
  // A mouse message addressed to a control: offered along the chain too.
  bool MouseOnControl(Window& window, const void* control, UINT message, Point clientPoint);

  static SimWindow& Of(Window& window) { return static_cast<SimWindow&>(window); }

  // Test settings.
  Rect workArea{0, 0, 1920, 1040};
  Point cursorPos{0, 0};
  std::uint32_t tickCount = 123456;
  std::filesystem::path executablePath = "/opt/tessary/zarek.exe";
  std::deque<int> messageBoxAnswers;  // answers in order; IDOK / IDNO when empty
  // Runs while a box is open, as the event loop does under a real one.
  std::function<void()> whileMessageBoxOpen;
  bool startProgramSucceeds = true;
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
  friend class SimWindow;
  struct Posted {
    SimWindow* window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
  };
  std::deque<Posted> posted_;
  std::vector<std::unique_ptr<Window>> graveyard_;
  std::vector<SimWindow*> windows_;
};

}  // namespace platform::sim
