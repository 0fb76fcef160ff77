// The rules every backend's windows follow, checked once against each
// backend: creation, default processing, move and size notifications,
// minimising, destruction during a handler, timers and posted messages.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/WindowBase.h"
#include "platform/tests/conformance/ConformanceBackend.h"
#include "res/Resources.h"

namespace platform::conformance {
namespace {

// A handler that records the messages it is sent ("WM_MOVE 10,20") and
// runs a test's reaction to any of them first.
class Recorder final : public WindowHandler {
 public:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    log.push_back(Describe(message, wParam, lParam));
    if (auto it = reactions.find(message); it != reactions.end()) {
      if (auto result = it->second(wParam, lParam)) return *result;
    }
    if (message == WM_CREATE) sawWindowAtCreate = window() != nullptr;
    return window() ? window()->DefaultProc(message, wParam, lParam) : 0;
  }
  // The messages of one kind, in order.
  std::vector<std::string> Only(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& entry : log)
      if (entry.rfind(prefix, 0) == 0) out.push_back(entry);
    return out;
  }

  std::vector<std::string> log;
  std::map<UINT, std::function<std::optional<LRESULT>(WPARAM, LPARAM)>> reactions;
  bool sawWindowAtCreate = false;

 private:
  static std::string Describe(UINT message, WPARAM wParam, LPARAM lParam) {
    const Point p = PointFromParam(lParam);
    switch (message) {
      case WM_CREATE: return "WM_CREATE";
      case WM_INITDIALOG: return "WM_INITDIALOG";
      case WM_DESTROY: return "WM_DESTROY";
      case WM_MOVE: return "WM_MOVE " + std::to_string(p.x) + "," + std::to_string(p.y);
      case WM_SIZE: return "WM_SIZE " + std::to_string(wParam) + " " + std::to_string(p.x) + "x" + std::to_string(p.y);
      case WM_SHOWWINDOW: return "WM_SHOWWINDOW " + std::to_string(wParam);
      case WM_CLOSE: return "WM_CLOSE";
      case WM_TIMER: return "WM_TIMER " + std::to_string(wParam);
      default: return "msg " + std::to_string(message) + " " + std::to_string(wParam);
    }
  }
};

class WindowConformance : public testing::Test {
 protected:
  void SetUp() override { backend = MakeConformanceBackend(); }
  void TearDown() override {
    for (Recorder* r : {&owned, &main})
      if (r->window()) r->window()->Destroy();
    backend->Settle();
  }
  Platform& platform() { return backend->platform(); }
  Window& Create(Recorder& recorder, int templateNumber, Window* owner = nullptr) {
    WindowSpec kind;
    kind.templateNumber = templateNumber;
    kind.owner = owner;
    EXPECT_TRUE(platform().CreateDialogWindow(kind, recorder));
    return *recorder.window();
  }
  // Shows the window where the work area lets the window manager keep it.
  Window& Placed(Recorder& recorder, int templateNumber, Window* owner = nullptr) {
    Window& w = Create(recorder, templateNumber, owner);
    w.MoveWindow(100, 80, 400, 300, true);
    w.Show(SW_SHOW);
    backend->Settle();
    recorder.log.clear();
    return w;
  }

  std::unique_ptr<ConformanceBackend> backend;
  Recorder main;
  Recorder owned;
};

TEST_F(WindowConformance, CreationFollowsTheTemplateAndStartsHidden) {
  Window& skin = Create(main, res::kSkinDialog);
  EXPECT_EQ(main.log, (std::vector<std::string>{"WM_CREATE", "WM_INITDIALOG"}));
  EXPECT_TRUE(main.sawWindowAtCreate);
  EXPECT_FALSE(skin.IsVisible());
  const Rect r = skin.WindowRect();
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
  EXPECT_GT(r.Width(), 1);

  // An owned window stands at its owner's top-left; its template's bitmaps
  // are children it can move, and no other id is.
  skin.SetPosition(40, 30);
  Window& login = Create(owned, res::kLoginDialog, &skin);
  EXPECT_EQ(login.WindowRect().left, 40);
  EXPECT_EQ(login.WindowRect().top, 30);
  EXPECT_EQ(login.Owner(), &skin);
  EXPECT_TRUE(login.MoveChild(1021, {1, 2, 3, 4}));
  EXPECT_EQ(static_cast<WindowBase&>(login).ChildRect(1021), (Rect{1, 2, 3, 4}));
  EXPECT_FALSE(login.MoveChild(999, {1, 2, 3, 4}));
}

TEST_F(WindowConformance, FailedCreationDestroysTheWindow) {
  main.reactions[WM_CREATE] = [](WPARAM, LPARAM) { return std::optional<LRESULT>(-1); };
  WindowSpec kind;
  kind.templateNumber = res::kGameDialog;
  EXPECT_FALSE(platform().CreateDialogWindow(kind, main));
  EXPECT_EQ(main.log, (std::vector<std::string>{"WM_CREATE", "WM_DESTROY"}));
  EXPECT_EQ(main.window(), nullptr);

  // A handler that ends its own window during creation fails it too.
  main.log.clear();
  main.reactions[WM_CREATE] = [this](WPARAM, LPARAM) {
    main.window()->Destroy();
    return std::optional<LRESULT>(0);
  };
  EXPECT_FALSE(platform().CreateDialogWindow(kind, main));
  EXPECT_EQ(main.log, (std::vector<std::string>{"WM_CREATE", "WM_DESTROY"}));
  backend->Settle();
}

TEST_F(WindowConformance, MovingAndSizingReportAtOncePlaceFirst) {
  Window& w = Placed(main, res::kGameDialog);
  w.MoveWindow(120, 90, 500, 350, true);
  EXPECT_EQ(main.log, (std::vector<std::string>{"WM_MOVE 120,90", "WM_SIZE 0 500x350"}));
  EXPECT_EQ(w.WindowRect(), (Rect{120, 90, 620, 440}));
  EXPECT_EQ(w.ClientRect(), (Rect{0, 0, 500, 350}));

  // Only what changed is reported; a size below one pixel is one pixel.
  main.log.clear();
  w.SetPosition(130, 90);
  w.MoveWindow(130, 90, 0, -5, true);
  EXPECT_EQ(main.log, (std::vector<std::string>{"WM_MOVE 130,90", "WM_SIZE 0 1x1"}));
  w.MoveWindow(130, 90, 450, 320, true);

  // What the desktop reports later does not undo the program's own place.
  backend->Settle();
  EXPECT_EQ(w.WindowRect(), (Rect{130, 90, 580, 410}));
}

TEST_F(WindowConformance, DefaultProcessing) {
  Window& w = Placed(main, res::kGameDialog);
  EXPECT_EQ(w.Send(WM_NCHITTEST, 0, MakePointParam(150, 100)), HTCLIENT);
  EXPECT_EQ(w.Send(WM_NCHITTEST, 0, MakePointParam(99, 100)), HTNOWHERE);
  EXPECT_EQ(w.Send(WM_SETCURSOR, 0, HTCLIENT), 1);
  // The system menu's close is a close.
  w.Send(WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(main.Only("WM_CLOSE"), std::vector<std::string>{"WM_CLOSE"});

  // An owned window's default close hides it.
  Window& child = Placed(owned, res::kLoginDialog, &w);
  ASSERT_TRUE(child.IsVisible());
  child.Send(WM_CLOSE, 0, 0);
  EXPECT_FALSE(child.IsVisible());
  EXPECT_EQ(owned.Only("WM_SHOWWINDOW"), std::vector<std::string>{"WM_SHOWWINDOW 0"});
  child.Show(SW_SHOW);
  EXPECT_TRUE(child.IsVisible());
  EXPECT_EQ(owned.Only("WM_SHOWWINDOW").back(), "WM_SHOWWINDOW 1");
}

TEST_F(WindowConformance, MinimisedWindowsAreParkedAndComeBack) {
  Window& w = Placed(main, res::kGameDialog);
  const Rect place = w.WindowRect();
  // The program's own minimise, and the desktop's, report the same way.
  for (const bool byDesktop : {false, true}) {
    main.log.clear();
    if (byDesktop)
      backend->DesktopMinimizes(w, true);
    else
      w.Send(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(backend->RunUntil([&] { return w.IsMinimized(); })) << byDesktop;
    EXPECT_EQ(main.Only("WM_"), (std::vector<std::string>{"WM_MOVE -32000,-32000", "WM_SIZE 1 0x0"}));
    EXPECT_EQ(w.WindowRect(), kMinimizedRect);
    EXPECT_TRUE(w.IsVisible());

    main.log.clear();
    if (byDesktop)
      backend->DesktopMinimizes(w, false);
    else
      w.Show(SW_RESTORE);
    ASSERT_TRUE(backend->RunUntil([&] { return !w.IsMinimized(); })) << byDesktop;
    EXPECT_EQ(main.Only("WM_MOVE"), std::vector<std::string>{"WM_MOVE 100,80"});
    EXPECT_EQ(main.Only("WM_SIZE"), std::vector<std::string>{"WM_SIZE 0 400x300"});
    backend->Settle();
    EXPECT_EQ(w.WindowRect(), place);
  }
}

TEST_F(WindowConformance, DestroyingDuringAHandlerStopsEverythingOfTheWindow) {
  Window& w = Placed(main, res::kGameDialog);
  w.SetTimer(5, 10);
  w.Post(WM_USER + 1, 0, 0);
  main.reactions[WM_MOVE] = [this](WPARAM, LPARAM) {
    main.window()->Destroy();
    return std::optional<LRESULT>(0);
  };
  w.MoveWindow(10, 10, 300, 200, true);
  // No size after the move that ended it; the window is gone from its handler.
  EXPECT_EQ(main.log, (std::vector<std::string>{"WM_MOVE 10,10", "WM_DESTROY"}));
  EXPECT_EQ(main.window(), nullptr);
  backend->Settle();
  EXPECT_EQ(main.log.size(), 2u);  // neither the posted message nor a tick
}

TEST_F(WindowConformance, TimersTickUntilKilled) {
  Window& w = Placed(main, res::kGameDialog);
  w.SetTimer(7, 10);
  backend->LetTimersTick(w);
  EXPECT_FALSE(main.Only("WM_TIMER 7").empty());
  w.KillTimer(7);
  main.log.clear();
  backend->LetTimersTick(w);
  EXPECT_TRUE(main.Only("WM_TIMER").empty());
}

TEST_F(WindowConformance, PostedMessagesArriveInOrderAfterTheCurrentOne) {
  Window& w = Placed(main, res::kGameDialog);
  main.reactions[WM_USER + 1] = [this](WPARAM, LPARAM) {
    main.window()->Post(WM_USER + 3, 0, 0);
    main.log.push_back("handled 1");
    return std::optional<LRESULT>(0);
  };
  w.Post(WM_USER + 1, 0, 0);
  w.Post(WM_USER + 2, 0, 0);
  EXPECT_TRUE(main.log.empty());
  ASSERT_TRUE(backend->RunUntil([&] { return main.log.size() >= 4; }));
  EXPECT_EQ(main.log, (std::vector<std::string>{"msg 1025 0", "handled 1", "msg 1026 0", "msg 1027 0"}));
}

TEST_F(WindowConformance, LayeredImageGivesTheWindowItsSizeSilently) {
  Window& w = Placed(main, res::kSkinDialog);
  auto image = Surface::Create(64, 48);
  ASSERT_TRUE(image);
  ASSERT_TRUE(w.UpdateLayered(*image, 255));
  EXPECT_EQ(w.WindowRect().Width(), 64);
  EXPECT_EQ(w.WindowRect().Height(), 48);
  EXPECT_TRUE(main.Only("WM_SIZE").empty());
  EXPECT_EQ(w.WindowSurface().Width(), 64);
}

// Last: ending the run loop leaves the platform's loop state behind.
TEST_F(WindowConformance, TheMainWindowsCloseEndsTheRunLoop) {
  Window& w = Create(main, res::kSkinDialog);
  w.Post(WM_CLOSE, 0, 0);
  EXPECT_EQ(platform().RunModal(w), IDCANCEL);
  EXPECT_TRUE(w.IsVisible());
}

}  // namespace
}  // namespace platform::conformance
