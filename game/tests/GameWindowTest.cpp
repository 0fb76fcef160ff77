// The game window on the in-memory backend: placement, maximise, the
// move/size rule, keys, timer, tray, menu, close question, movie loading
// and the painted frame.

#include <gtest/gtest.h>

#include <utility>

#include "game/veloraGame.h"
#include "platform/sim/SimPlatform.h"
#include "res/Resources.h"

using namespace platform;
using platform::sim::SimBrowser;
using platform::sim::SimPlatform;
using platform::sim::SimPlayer;
using platform::sim::SimWindow;

namespace {

class Plain final : public WindowHandler {
 public:
  LRESULT WindowProc(UINT m, WPARAM w, LPARAM l) override { return window()->DefaultProc(m, w, l); }
};

// Stands in for the login dialog: owns the game window object and a browser.
class Owner final : public WindowHandler, public game::GameOwner {
 public:
  LRESULT WindowProc(UINT m, WPARAM w, LPARAM l) override { return window()->DefaultProc(m, w, l); }
  const std::u16string& playAddress() const override { return play; }
  BrowserControl* loginBrowser() const override { return browserControl.get(); }
  std::u16string play;
  std::unique_ptr<BrowserControl> browserControl;
};

class GameWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim.workArea = {0, 0, 1920, 1040};
    ASSERT_TRUE(sim.CreateDialogWindow(WindowSpec{103}, skin));
    WindowSpec loginSpec{102, skin.window()};
    ASSERT_TRUE(sim.CreateDialogWindow(loginSpec, owner));
    owner.browserControl = owner.window()->CreateBrowser(1000, {45, 30, 655, 366});
    game = std::make_unique<veloraGame>(sim, owner);
  }
  void Enter(const std::u16string& parameters = u"a=1&serverid=5&mainVersion=1.0.3&resourceHost=RES/&b=2") {
    if (!game->window()) {
      ASSERT_TRUE(game->Create(owner.window()));
      const Rect work = sim.WorkArea();
      game->window()->MoveWindow(work.left, work.top, work.Width(), work.Height(), true);
    }
    game->window()->Show(SW_SHOW);
    game->ResetPlacement();
    game->LoadGame(parameters);
  }
  SimWindow& Game() { return SimPlatform::Of(*game->window()); }
  SimPlayer& Player() { return *Game().players.back(); }
  SimBrowser& Browser() { return *SimPlatform::Of(*owner.window()).browsers.at(0); }
  void NcMove(int x, int y) { game->window()->Send(WM_NCMOUSEMOVE, HTCAPTION, MakePointParam(x, y)); }
  void NcPress(int x, int y) { game->window()->Send(WM_NCLBUTTONDOWN, HTCAPTION, MakePointParam(x, y)); }

  SimPlatform sim;
  Plain skin;
  Owner owner;
  std::unique_ptr<veloraGame> game;
};

TEST_F(GameWindowTest, CreationSetsTitleIconsAndFrameMetrics) {
  ASSERT_TRUE(game->Create(owner.window()));
  EXPECT_EQ(Game().Text(), u"Tessary");
  EXPECT_EQ(Game().icons[ICON_BIG], 128);
  EXPECT_EQ(Game().icons[ICON_SMALL], 128);
  EXPECT_TRUE(Game().ExStyle() & WS_EX_APPWINDOW);
  EXPECT_EQ(Game().Owner(), owner.window());
  EXPECT_EQ(game->leftBorder, 3);
  EXPECT_EQ(game->titleHeight, 29);
  EXPECT_EQ(game->titleFont.face, u"宋体");
  EXPECT_EQ(game->titleFont.height, 12);
  EXPECT_EQ(game->titleFont.width, 7);
  EXPECT_EQ(game->titleFont.weight, 600);
  MINMAXINFO info{};
  game->window()->Send(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMinTrackSize, (Point{450, 300}));
}

TEST_F(GameWindowTest, ResetPlacementOnCommonWorkAreas) {
  Enter();
  EXPECT_TRUE(game->maximized);
  EXPECT_EQ(Game().WindowRect(), (Rect{0, 0, 1920, 1040}));
  EXPECT_EQ(game->restoreRect, (Rect{210, 70, 1710, 970}));
  sim.workArea = {0, 0, 1366, 728};
  game->ResetPlacement();
  EXPECT_EQ(game->restoreRect, (Rect{0, 0, 1366, 728}));
  // The work area's own origin is not added.
  sim.workArea = {0, 40, 1920, 1080};
  game->ResetPlacement();
  EXPECT_EQ(game->restoreRect, (Rect{210, 70, 1710, 970}));
}

TEST_F(GameWindowTest, DoubleClickTogglesWithoutThePlatformsMaximise) {
  Enter();
  game->window()->Send(WM_NCLBUTTONDBLCLK, HTCAPTION, 0);
  EXPECT_FALSE(game->maximized);
  EXPECT_EQ(Game().WindowRect(), (Rect{210, 70, 1710, 970}));
  game->window()->Send(WM_NCLBUTTONDBLCLK, HTCAPTION, 0);
  EXPECT_TRUE(game->maximized);
  EXPECT_EQ(Game().WindowRect(), (Rect{0, 0, 1920, 1040}));
  EXPECT_EQ(game->restoreRect, (Rect{210, 70, 1710, 970}));
  EXPECT_FALSE(Game().IsMinimized());
}

TEST_F(GameWindowTest, DraggingAMaximisedWindowClearsMaximised) {
  Enter();
  game->window()->SetPosition(0, 0);
  EXPECT_TRUE(game->maximized);
  game->window()->SetPosition(30, 0);
  EXPECT_FALSE(game->maximized);
  // So the next toggle maximises again instead of restoring.
  game->ToggleMaximize();
  EXPECT_TRUE(game->maximized);
  EXPECT_EQ(Game().WindowRect(), (Rect{0, 0, 1920, 1040}));
}

TEST_F(GameWindowTest, WorkAreaAwayFromTheOriginClearsMaximisedAtAnyMove) {
  sim.workArea = {0, 40, 1920, 1080};
  Enter();
  // Maximising itself moves onto (0, 40): the rule sees the old value, false.
  EXPECT_TRUE(game->maximized);
  game->window()->MoveWindow(0, 40, 1920, 1000, true);  // any later resize
  EXPECT_FALSE(game->maximized);
}

TEST_F(GameWindowTest, MinimiseButtonKeepsMaximisedTaskbarMinimiseClearsIt) {
  Enter();
  const int W = Game().WindowRect().Width();
  NcMove(W - 70, 10);  // minimise button
  EXPECT_EQ(game->title.hoverAction, game::kActionMinimize);
  NcPress(W - 70, 10);
  NcMove(W - 70, 10);
  EXPECT_TRUE(Game().IsMinimized());
  EXPECT_TRUE(game->maximized);
  game->window()->Show(SW_RESTORE);
  EXPECT_EQ(game->title.hoverAction, game::kActionNone);
  // The taskbar minimises with hoverAction 0.
  game->window()->Send(WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_FALSE(game->maximized);
}

TEST_F(GameWindowTest, KeysGoToThePlayerAndF5Refreshes) {
  owner.play = u"http://portal/game/play/108/5?ismicroclient=yes";
  Enter();
  EXPECT_FALSE(sim.PressKey(*game->window(), VK_RETURN, nullptr, nullptr));
  EXPECT_FALSE(sim.PressKey(*game->window(), VK_ESCAPE));
  EXPECT_TRUE(game->window());
  EXPECT_TRUE(Browser().navigations.empty());
  sim.PressKey(*game->window(), VK_F5);
  ASSERT_EQ(Browser().navigations.size(), 1u);
  EXPECT_EQ(Browser().navigations[0], owner.play);
}

TEST_F(GameWindowTest, RightClickOnThePlayerIsSwallowedAndMovesResetButtons) {
  Enter();
  const int W = Game().WindowRect().Width();
  NcMove(W - 10, 30);  // below the top-right square, over the close button? y 30 is below it: none
  NcMove(W - 20, 12);  // close button
  EXPECT_EQ(game->title.buttons[game::kCloseButton].state, 1);
  EXPECT_TRUE(sim.MouseOnControl(*game->window(), &Player(), WM_RBUTTONDOWN, {100, 100}));
  EXPECT_FALSE(sim.MouseOnControl(*game->window(), &Player(), WM_MOUSEMOVE, {100, 100}));
  EXPECT_EQ(game->title.buttons[game::kCloseButton].state, 0);
  EXPECT_EQ(game->title.hoverAction, 0);
  // A right-click elsewhere is not the player's.
  EXPECT_FALSE(sim.MouseOnControl(*game->window(), game->window(), WM_RBUTTONDOWN, {100, 10}));
}

TEST_F(GameWindowTest, AnyTimerKillsTimerOneAndRefreshesOnce) {
  owner.play = u"http://portal/play";
  Enter();
  game->window()->SetTimer(1, 200);
  game->window()->Send(WM_TIMER, 77, 0);
  EXPECT_EQ(Game().Timers().count(1), 0u);
  EXPECT_EQ(Browser().navigations.size(), 1u);
  owner.play.clear();
  game->window()->Send(WM_TIMER, 1, 0);
  EXPECT_EQ(Browser().navigations.size(), 1u);  // empty play address: nothing
}

TEST_F(GameWindowTest, TrayRoundTrip) {
  Enter();
  game->MinimizeToTray();
  EXPECT_FALSE(Game().IsVisible());
  ASSERT_EQ(Game().trayIcons.count(128), 1u);
  EXPECT_EQ(Game().trayIcons[128].tip, u"Tessary");
  EXPECT_EQ(Game().trayIcons[128].callbackMessage, 0x60Eu);
  EXPECT_EQ(game->window()->Send(0x60E, 5, WM_LBUTTONUP), 1);  // another id
  EXPECT_FALSE(Game().IsVisible());
  EXPECT_EQ(game->window()->Send(0x60E, 128, WM_MOUSEMOVE), 0);
  EXPECT_FALSE(Game().IsVisible());
  EXPECT_EQ(game->window()->Send(0x60E, 128, WM_RBUTTONUP), 0);
  EXPECT_TRUE(Game().IsVisible());
  EXPECT_EQ(Game().trayIcons.count(128), 0u);
}

TEST_F(GameWindowTest, WithoutANotificationAreaTheTrayButtonMinimises) {
  Enter();
  Game().trayAvailable = false;
  game->MinimizeToTray();
  EXPECT_TRUE(Game().IsVisible());
  EXPECT_TRUE(Game().IsMinimized());
  EXPECT_TRUE(Game().trayIcons.empty());
}

TEST_F(GameWindowTest, MenuButtonOpensTheMenuBelowIt) {
  Enter();
  const Rect r = Game().WindowRect();
  const int W = r.Width();
  NcMove(W - 95, 10);
  NcPress(W - 95, 10);
  NcMove(W - 95, 10);
  ASSERT_EQ(Game().menus.size(), 1u);
  EXPECT_EQ(Game().menus[0].menu, res::FindMenu(156));
  EXPECT_EQ(Game().menus[0].point, (Point{r.left + W - 108, r.top + 34}));
  EXPECT_GE(Player().focusCount, 1);
}

TEST_F(GameWindowTest, MenuCommands) {
  owner.play = u"http://portal/play";
  Enter();
  game->window()->Send(WM_COMMAND, 32772, 0);
  EXPECT_EQ(Browser().navigations.size(), 1u);
  game->window()->Send(WM_COMMAND, 32773, 0);
  EXPECT_EQ(sim.log.back(), "ClearBrowserCache");
  Player().movie = [](const std::u16string&) { return std::optional<std::u16string>(); };
  game->window()->Send(WM_COMMAND, 32774, 0);
  EXPECT_EQ(Player().calls.back(),
            u"CallFunction(<invoke name=\"flashSetting\" returntype=\"xml\"><arguments><string>display"
            u"</string></arguments></invoke>)");
}

TEST_F(GameWindowTest, CloseQuestionNoKeepsTheGameYesReturnsToLogin) {
  Enter();
  owner.window()->Show(SW_HIDE);
  skin.window()->Show(SW_HIDE);
  sim.messageBoxAnswers = {IDNO};
  game->window()->Send(WM_CLOSE, 0, 0);
  ASSERT_EQ(sim.messageBoxes.size(), 1u);
  EXPECT_EQ(sim.messageBoxes[0].caption, u"Tessary");
  EXPECT_EQ(sim.messageBoxes[0].text, u"提示:您确定要离开当前游戏吗?");
  EXPECT_EQ(sim.messageBoxes[0].type, MB_YESNO);
  EXPECT_EQ(sim.messageBoxes[0].owner, game->window());
  ASSERT_TRUE(game->window());
  EXPECT_EQ(Player().calls.back(), u"Play");
  sim.messageBoxAnswers = {IDYES};
  game->window()->Send(WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(game->window(), nullptr);
  EXPECT_EQ(game->player, nullptr);
  EXPECT_FALSE(game->playerReady);
  EXPECT_TRUE(owner.window()->IsVisible());
  EXPECT_TRUE(skin.window()->IsVisible());
  // The object stays and makes a new window at the next entry.
  Enter();
  EXPECT_TRUE(game->window());
}

TEST_F(GameWindowTest, LoadGameSetsPropertiesInOrder) {
  game->movieBase = u"http://site/error?x";
  Enter(u"a=1&serverid=5&mainVersion=1.0.3&resourceHost=RES/&b=2");
  const std::vector<std::u16string> expected = {u"Menu=false",
                                                u"AllowFullScreen=true",
                                                u"AllowScriptAccess=always",
                                                u"WMode=direct",
                                                u"BackgroundColor=0",
                                                u"FlashVars=a=1&serverid=5&mainVersion=1.0.3&resourceHost=RES/&b=2",
                                                u"LoadMovie(0,RES/GameLoader_1.0.3.swf)",
                                                u"Play"};
  EXPECT_EQ(Player().calls, expected);
  EXPECT_EQ(Player().baseAddress, u"http://site/error?x");
  EXPECT_EQ(Player().ControlId(), 1001);
  EXPECT_TRUE(Player().visible);
  const Rect client = Game().ClientRect();
  EXPECT_EQ(Player().rect, (Rect{3, 29, client.Width() - 3, client.Height() - 3}));
}

TEST_F(GameWindowTest, WithoutMainVersionOnlyPlayIsCalledAfterTheProperties) {
  Enter(u"mainVersion=1.0.3&resourceHost=R/");
  EXPECT_EQ(Player().calls.size(), 6u);
  EXPECT_EQ(Player().calls.back(), u"Play");
  Enter(u"x&resourceHost=R/&mainVersion=1.0.3");
  EXPECT_EQ(Player().calls[6], u"LoadMovie(0,R/GameLoader_.swf)");
}

TEST_F(GameWindowTest, SecondLoadStopsTheFirstPlayerAndResetsTheQuestion) {
  Enter();
  game->OnFlashCall(1001, u"<invoke name=\"setReloadTips\"><arguments><string>Q</string></arguments></invoke>");
  EXPECT_EQ(game->closePrompt, u"Q");
  game->LoadGame(u"x&mainVersion=2&y");
  EXPECT_EQ(Game().players.size(), 1u);  // the first is gone
  EXPECT_EQ(game->closePrompt, u"提示:您确定要离开当前游戏吗?");
  EXPECT_FALSE(game->playerReady);
}

TEST_F(GameWindowTest, OnlyTheFirstReadyStateChangeLaysThePlayerOut) {
  Enter();
  Player().Move({0, 0, 1, 1}, false);
  Player().FireReadyStateChange(1);
  EXPECT_TRUE(game->playerReady);
  const Rect r = Game().WindowRect();
  EXPECT_EQ(Player().rect, (Rect{3, 29, 3 + r.Width() - 6, 29 + r.Height() - 32}));
  Player().Move({0, 0, 1, 1}, false);
  Player().FireReadyStateChange(4);
  EXPECT_EQ(Player().rect, (Rect{0, 0, 1, 1}));
}

TEST_F(GameWindowTest, LongParametersAreCut) {
  std::u16string p = u"x&mainVersion=1&" + std::u16string(3000, u'a');
  Enter(p);
  EXPECT_EQ(game->movieParameters.size(), 1499u);
  EXPECT_EQ(game->movieParameters, p.substr(0, 1499));
}

TEST_F(GameWindowTest, ReloadMessageReloadsWithTheStoredParameters) {
  Enter(u"x&mainVersion=7&y");
  game->window()->Send(0x60D, 0, 0);
  EXPECT_EQ(Player().calls[5], u"FlashVars=x&mainVersion=7&y");
}

TEST_F(GameWindowTest, MovieCommandsReachTheWindow) {
  owner.play = u"http://portal/play";
  Enter();
  Player().FireFlashCall(u"<invoke name=\"reload\" returntype=\"xml\"><arguments></arguments></invoke>");
  Player().FireFlashCall(u"<invoke name=\"reload\" returntype=\"xml\"><arguments></arguments></invoke>");
  EXPECT_EQ(Game().Timers().at(1), 200u);
  EXPECT_TRUE(Browser().navigations.empty());
  game->window()->Send(WM_TIMER, 1, 0);
  EXPECT_EQ(Browser().navigations.size(), 1u);
  Player().FireFlashCall(u"<invoke name=\"setWindowMax\"/>");
  EXPECT_FALSE(game->maximized);
  EXPECT_EQ(sim.debugOutput.back(), u"\n最大化/还原窗口!!!!!!!!");
  sim.messageBoxAnswers = {IDNO};
  Player().FireFlashCall(u"<invoke name=\"disconnection\"/>");
  EXPECT_TRUE(game->window());
  sim.messageBoxAnswers = {IDYES};
  Player().FireFlashCall(u"<invoke name=\"disconnection\"/>");
  EXPECT_FALSE(game->window());
}

// The movie keeps calling while the close question is open: one question at
// a time, and the calls wait for the answer.
TEST_F(GameWindowTest, MovieCallsDuringTheCloseQuestionWaitForTheAnswer) {
  const std::u16string tips = u"<invoke name=\"setReloadTips\"><arguments><string>Q2</string></arguments></invoke>";
  const std::u16string reload = u"<invoke name=\"reload\"/>";
  const std::u16string disconnection = u"<invoke name=\"disconnection\"/>";
  for (const int answer : {IDNO, IDYES}) {
    SCOPED_TRACE(answer == IDNO ? "No" : "Yes");
    Enter();
    game->window()->KillTimer(1);
    sim.messageBoxes.clear();
    bool fired = false;
    sim.whileMessageBoxOpen = [&] {
      if (std::exchange(fired, true)) return;
      Player().FireFlashCall(disconnection);
      Player().FireFlashCall(reload);
      Player().FireFlashCall(tips);
      EXPECT_EQ(sim.messageBoxes.size(), 1u);  // nothing stacked on the question
      EXPECT_FALSE(Game().Timers().count(1));
    };
    sim.messageBoxAnswers = {answer, IDNO};
    Player().FireFlashCall(disconnection);
    sim.whileMessageBoxOpen = nullptr;
    if (answer == IDNO) {
      // Delivered in order: the second question, then the reload and the new text.
      ASSERT_EQ(sim.messageBoxes.size(), 2u);
      EXPECT_EQ(sim.messageBoxes[1].text, u"提示:您确定要离开当前游戏吗?");
      EXPECT_EQ(Game().Timers().at(1), 200u);
      EXPECT_EQ(game->closePrompt, u"Q2");
    } else {
      EXPECT_EQ(sim.messageBoxes.size(), 1u);
      EXPECT_EQ(game->window(), nullptr);
    }
  }
}

TEST_F(GameWindowTest, FrameIsDrawnToTheWorkAreaWhileButtonsFollowTheWidth) {
  Enter();
  game->window()->MoveWindow(0, 0, 2400, 1200, true);
  game->window()->Send(WM_PAINT, 0, 0);
  const Surface& dc = Game().WindowSurface();
  // Right part of the caption at the work area's width, not the window's.
  auto captionRight = sim.LoadBitmapResource(151);
  EXPECT_EQ(dc.PixelAt(1920 - 136 + 60, 20), captionRight->PixelAt(60, 20));
  auto closeImage = sim.LoadBitmapResource(154);
  EXPECT_EQ(game->title.buttons[game::kCloseButton].rect, (Rect{2400 - 26, 2, 2400 - 2, 26}));
  EXPECT_EQ(dc.PixelAt(2400 - 26 + 12, 14), closeImage->PixelAt(12, 12));
}

TEST_F(GameWindowTest, MaximiseButtonShowsRestoreImagesWhileMaximised) {
  Enter();
  const int W = Game().WindowRect().Width();
  auto restore = sim.LoadBitmapResource(205);
  EXPECT_EQ(Game().WindowSurface().PixelAt(W - 52 + 12, 2 + 12), restore->PixelAt(12, 12));
  game->ToggleMaximize();
  const int w = Game().WindowRect().Width();
  auto maximise = sim.LoadBitmapResource(162);
  EXPECT_EQ(Game().WindowSurface().PixelAt(w - 52 + 12, 2 + 12), maximise->PixelAt(12, 12));
}

TEST_F(GameWindowTest, TitleTextIsCentredAtItsPointAndClipped) {
  Enter();
  game->window()->Send(WM_PAINT, 0, 0);
  Surface& dc = Game().WindowSurface();
  auto blank = Surface::Create(dc.Width(), dc.Height());
  blank->CopyFrom(dc);
  game->titleText = u"Dawn";
  game->DrawFrame();
  bool changedNear = false;
  for (int x = 140; x < 170; ++x)
    for (int y = 9; y < 22; ++y) changedNear = changedNear || !(dc.PixelAt(x, y) == blank->PixelAt(x, y));
  EXPECT_TRUE(changedNear);
  // A title of any length stays clear of the buttons.
  game->titleText = std::u16string(5000, u'W');
  game->DrawFrame();
  const int W = dc.Width();
  auto tray = sim.LoadBitmapResource(213);
  EXPECT_EQ(dc.PixelAt(W - 135 + 3, 14), tray->PixelAt(3, 12));
  // The gap between the tray and the menu buttons keeps the bar's own pixels.
  EXPECT_EQ(dc.PixelAt(W - 110, 12), blank->PixelAt(W - 110, 12));
}

// The player wrapper without its control passes nothing on, answers no call
// and takes no message for the player's, not even one addressed to nothing.
TEST(CShockwaveflash1Test, WithoutAControlNothingIsPassedOnAndNoMessageIsThePlayers) {
  SimPlatform sim;
  Plain host;
  ASSERT_TRUE(sim.CreateDialogWindow(WindowSpec{131}, host));
  SimWindow& window = SimPlatform::Of(*host.window());
  const Msg untargeted{nullptr, host.window(), WM_RBUTTONDOWN, 0, 0};

  CShockwaveflash1 player;
  player.put_Menu(false);
  player.put_FlashVars(u"a=1");
  player.LoadMovie(0, u"a.swf");
  player.Play();
  player.MoveWindow({3, 29, 803, 629}, true);
  player.ShowWindow(SW_SHOW);
  player.SetFocus();
  player.Stop();
  EXPECT_EQ(player.CallFunction(u"<invoke name=\"f\"/>"), std::nullopt);
  EXPECT_FALSE(player.IsTargetOf(untargeted));
  EXPECT_FALSE(player.PreTranslateMessage(untargeted));

  ASSERT_TRUE(player.CreateControl({3, 29, 797, 597}, *host.window(), 1001));
  ASSERT_EQ(window.players.size(), 1u);
  SimPlayer& control = *window.players[0];
  EXPECT_EQ(control.ControlId(), 1001);
  EXPECT_FALSE(control.visible);  // made hidden; the game window shows it once placed
  EXPECT_TRUE(control.calls.empty());
  EXPECT_TRUE(player.IsTargetOf(Msg{static_cast<const PlayerControl*>(&control), host.window(), WM_RBUTTONDOWN, 0, 0}));
  EXPECT_FALSE(player.IsTargetOf(untargeted));

  player.DestroyWindow();
  EXPECT_TRUE(window.players.empty());
  EXPECT_FALSE(player.IsTargetOf(untargeted));
}

}  // namespace
