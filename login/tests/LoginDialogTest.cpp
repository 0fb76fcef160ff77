// The login dialog on the in-memory backend: first paint, loading page,
// login address, hand-over, keys and close.

#include <gtest/gtest.h>

#include <functional>

#include "BuildSettings.h"
#include "app/bgDialog.h"
#include "login/CExplorer1.h"
#include "login/CveloraDlg.h"
#include "login/HandOver.h"
#include "platform/sim/SimPlatform.h"

using namespace platform;
using platform::sim::SimBrowser;
using platform::sim::SimPlatform;
using platform::sim::SimWindow;

namespace {

const std::u16string kLogin = u"http://portal.test/lander/zarek?adkey=7";
const std::u16string kPortal = u"http://" TESSARY_PORTAL_HOST;

// A skin-window stand-in that owns a login dialog with recording hooks.
class Owner final : public WindowHandler {
 public:
  explicit Owner(SimPlatform& sim) : sim_(sim) {}
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    received.push_back({message, wParam, lParam});
    return window()->DefaultProc(message, wParam, lParam);
  }
  struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
  };
  std::vector<Received> received;

 private:
  SimPlatform& sim_;
};

class LoginDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sim.CreateDialogWindow(WindowSpec{103}, owner));
    MakeDialog();
  }
  void MakeDialog() {
    dialog.reset();
    dialog = std::make_unique<CveloraDlg>(
        sim, owner,
        [this](CveloraDlg&) {
          ++updateChecks;
          if (duringCheck) duringCheck();
          return installs;
        },
        [] { return kLogin; });
    ASSERT_TRUE(dialog->Create());
  }
  void Paint() { dialog->window()->Send(WM_PAINT, 0, 0); }
  SimBrowser& Browser() { return *SimPlatform::Of(*dialog->window()).browsers.at(0); }
  SimWindow& Dialog() { return SimPlatform::Of(*dialog->window()); }
  void Complete(const std::u16string& address) { Browser().FireDocumentComplete(address); }

  SimPlatform sim;
  Owner owner{sim};
  std::unique_ptr<CveloraDlg> dialog;
  int updateChecks = 0;
  // What happens while the check (and its message boxes) runs, and its answer.
  std::function<void()> duringCheck;
  bool installs = false;
};

TEST_F(LoginDialogTest, InitialisationMakesASeeThroughToolWindowWithItsFrame) {
  SimWindow& w = Dialog();
  EXPECT_EQ(w.colorKey, 0xFEFFFFu);
  EXPECT_TRUE(w.ExStyle() & WS_EX_TOOLWINDOW);
  EXPECT_TRUE(w.ExStyle() & WS_EX_LAYERED);
  EXPECT_FALSE(w.ExStyle() & WS_EX_APPWINDOW);
  EXPECT_EQ(*w.ChildRect(1021), (Rect{45, 30, 47, 366}));
  EXPECT_EQ(*w.ChildRect(1022), (Rect{45, 30, 653, 32}));
  EXPECT_EQ(*w.ChildRect(1023), (Rect{653, 30, 655, 366}));
  EXPECT_EQ(*w.ChildRect(1024), (Rect{45, 364, 653, 366}));
  EXPECT_TRUE(dialog->firstPaint());
  EXPECT_TRUE(w.browsers.empty());
}

TEST_F(LoginDialogTest, FirstPaintShowsTheLoadingPageThenChecksForUpdatesOnce) {
  Paint();
  ASSERT_EQ(Dialog().browsers.size(), 1u);
  EXPECT_EQ(Browser().ControlId(), 1000);
  EXPECT_EQ(Browser().rect, (Rect{45, 30, 655, 366}));
  ASSERT_EQ(Browser().navigations.size(), 1u);
  EXPECT_EQ(Browser().navigations[0], u"res://zarek.exe/208");
  EXPECT_EQ(updateChecks, 1);
  EXPECT_TRUE(Dialog().IsVisible());
  EXPECT_TRUE(owner.window()->IsVisible());
  Paint();
  EXPECT_EQ(updateChecks, 1);
  EXPECT_EQ(Dialog().browsers.size(), 1u);
}

// The update check's message boxes run the event loop: pages that complete
// under them wait for the check, and an installed update ends the login
// page's way altogether.
TEST_F(LoginDialogTest, PagesCompletedDuringTheUpdateCheckWaitForIt) {
  for (const bool installed : {false, true}) {
    SCOPED_TRACE(installed ? "update installed" : "no update");
    MakeDialog();
    installs = installed;
    duringCheck = [&] {
      Complete(u"res://zarek.exe/208");
      Complete(u"http://site/error?x&serverid=3&gameaddress=A&y");
      EXPECT_EQ(Browser().navigations.size(), 1u);
      EXPECT_FALSE(dialog->GameHasWindow());
    };
    Paint();
    if (installed) {
      EXPECT_EQ(Browser().navigations.size(), 1u);
      EXPECT_FALSE(dialog->GameHasWindow());
      Complete(u"res://zarek.exe/208");  // the program is ending: nothing more
      EXPECT_EQ(Browser().navigations.size(), 1u);
    } else {
      // Delivered in order once the box is answered.
      ASSERT_GE(Browser().navigations.size(), 2u);
      EXPECT_EQ(Browser().navigations[1], kLogin);
      EXPECT_TRUE(dialog->GameHasWindow());
    }
    duringCheck = nullptr;
  }
}

TEST_F(LoginDialogTest, LoadingPageAddressFollowsTheExecutableName) {
  sim.executablePath = "/somewhere/Other.Name.exe";
  EXPECT_EQ(dialog->LoadingPageAddress(), u"res://Other.Name.exe/208");
}

TEST_F(LoginDialogTest, ResAddressesLeadToTheLoginAddressCaseSensitively) {
  Paint();
  Complete(u"res://zarek.exe/208");
  ASSERT_EQ(Browser().navigations.size(), 2u);
  EXPECT_EQ(Browser().navigations[1], kLogin);
  Complete(u"RES://zarek.exe/208");
  Complete(u"res://zarek.exe/999?error=1");  // never a hand-over
  ASSERT_EQ(Browser().navigations.size(), 3u);
  EXPECT_EQ(Browser().navigations[2], kLogin);
  EXPECT_FALSE(dialog->GameHasWindow());
}

TEST_F(LoginDialogTest, OrdinaryPagesDoNothing) {
  Paint();
  for (const char16_t* address :
       {u"http://site/Error?x=1&serverid=3&", u"error://x?&serverid=3&", u"http://site/lander/zarek", u""}) {
    Complete(address);
  }
  EXPECT_EQ(Browser().navigations.size(), 1u);
  EXPECT_FALSE(dialog->GameHasWindow());
}

TEST_F(LoginDialogTest, HandOverHidesTheLoginWindowsAndEntersTheGame) {
  sim.workArea = {0, 0, 1920, 1040};
  Paint();
  Browser().LoadDocument(true);
  Complete(u"http://site/error?x=1&serverid=17&gameaddress=S1&y=2");
  EXPECT_EQ(Browser().onBeforeUnloadCleared, 1);
  EXPECT_EQ(Browser().navigations.back(), kLogin);
  EXPECT_FALSE(Dialog().IsVisible());
  EXPECT_FALSE(owner.window()->IsVisible());
  EXPECT_EQ(dialog->playAddress(), kPortal + u"/game/play/108/17?ismicroclient=yes");
  EXPECT_EQ(dialog->game.titleText, u"S1");
  EXPECT_EQ(dialog->game.movieParameters, u"x=1&serverid=17&gameaddress=S1&y=2");
  ASSERT_TRUE(dialog->GameHasWindow());
  SimWindow& game = SimPlatform::Of(*dialog->game.window());
  EXPECT_TRUE(game.IsVisible());
  EXPECT_EQ(game.Owner(), dialog->window());
  EXPECT_TRUE(dialog->game.maximized);  // ResetPlacement ran
  EXPECT_EQ(dialog->game.restoreRect, (Rect{210, 70, 1710, 970}));
}

TEST_F(LoginDialogTest, ValueCutRulesForServerAndGameAddress) {
  Paint();
  Complete(u"http://site/error?a=1&gameaddress=G&serverid=17");  // last: empty id
  EXPECT_EQ(dialog->playAddress(), kPortal + u"/game/play/108/?ismicroclient=yes");
  EXPECT_EQ(dialog->game.titleText, u"G");
  Complete(u"http://site/error?serverid=5&gameaddress=H&z");  // first key not recognised
  EXPECT_EQ(dialog->playAddress(), kPortal + u"/game/play/108/?ismicroclient=yes");
  EXPECT_EQ(dialog->game.titleText, u"H");
  Complete(u"http://site/error&serverid=9&x");  // no "?": the whole address is the query
  EXPECT_EQ(dialog->playAddress(), kPortal + u"/game/play/108/9?ismicroclient=yes");
  EXPECT_EQ(dialog->game.movieParameters, u"http://site/error&serverid=9&x");
}

TEST_F(LoginDialogTest, SecondHandOverReusesTheGameWindowWithoutMovingIt) {
  Paint();
  Complete(u"http://site/error?x&serverid=1&gameaddress=A&y");
  Window* first = dialog->game.window();
  first->MoveWindow(5, 6, 800, 600, false);
  Complete(u"http://site/error?x&serverid=2&gameaddress=B&y");
  EXPECT_EQ(dialog->game.window(), first);
  // ResetPlacement runs again (it maximises onto the work area), but the
  // hand-over's own move onto the work area is not repeated.
  EXPECT_EQ(dialog->playAddress(), kPortal + u"/game/play/108/2?ismicroclient=yes");
  EXPECT_EQ(dialog->game.titleText, u"B");
}

TEST_F(LoginDialogTest, SubFrameHandOverCountsLikeTheTopPage) {
  Paint();
  Complete(u"http://site/frame.html?embed=errorpage&serverid=4&gameaddress=F&end");
  EXPECT_TRUE(dialog->GameHasWindow());
  EXPECT_EQ(dialog->playAddress(), kPortal + u"/game/play/108/4?ismicroclient=yes");
}

TEST_F(LoginDialogTest, HandOverWithoutDocumentSkipsOnlyTheDocumentStep) {
  Paint();
  SimBrowser& b = Browser();
  b.hasDocument = false;
  // The event itself marks a document; take it away as a browser without one would.
  dialog->OnDocumentComplete(1000, u"http://site/error?x&serverid=8&gameaddress=N&y");
  EXPECT_EQ(b.navigations.size(), 1u);  // no return navigation
  EXPECT_EQ(b.onBeforeUnloadCleared, 0);
  EXPECT_TRUE(dialog->GameHasWindow());
}

TEST_F(LoginDialogTest, OtherControlIdsAreIgnored) {
  Paint();
  dialog->OnDocumentComplete(1001, u"http://site/error?x&serverid=8&y");
  EXPECT_FALSE(dialog->GameHasWindow());
}

TEST_F(LoginDialogTest, PressIsForwardedToTheSkinUnchanged) {
  dialog->window()->Send(WM_LBUTTONDOWN, 1, MakePointParam(50, 31));
  ASSERT_FALSE(owner.received.empty());
  const auto& last = owner.received.back();
  EXPECT_EQ(last.message, WM_LBUTTONDOWN);
  EXPECT_EQ(PointFromParam(last.lParam), (Point{50, 31}));
}

TEST_F(LoginDialogTest, CloseIsForwardedToTheSkinAndHidesTheDialog) {
  Paint();
  dialog->window()->Send(WM_CLOSE, 0, 0);
  EXPECT_EQ(sim.modalResult, IDCANCEL);
  EXPECT_FALSE(Dialog().IsVisible());
}

TEST_F(LoginDialogTest, EscapeIsDroppedUntilAGameWindowExistsAndEnterReachesThePage) {
  Paint();
  EXPECT_TRUE(sim.PressKey(*dialog->window(), VK_ESCAPE));
  EXPECT_FALSE(sim.PressKey(*dialog->window(), VK_RETURN));
  Complete(u"http://site/error?x&serverid=1&y");
  EXPECT_FALSE(sim.PressKey(*dialog->window(), VK_ESCAPE));
}

TEST(HandOverAddresses, HostileAddressesAreHandledWithoutSurprises) {
  using login::ClassifyCompletedAddress;
  using login::CompletedPage;
  EXPECT_EQ(ClassifyCompletedAddress(u"res:/"), CompletedPage::Ordinary);
  EXPECT_EQ(ClassifyCompletedAddress(u"error"), CompletedPage::Ordinary);
  EXPECT_EQ(ClassifyCompletedAddress(u"xerror"), CompletedPage::HandOver);
  EXPECT_EQ(ClassifyCompletedAddress(std::u16string(1 << 20, u'e') + u"rror"), CompletedPage::HandOver);
  EXPECT_EQ(login::QueryOf(u"a?b?c"), u"b?c");
  EXPECT_EQ(login::QueryOf(u"?"), u"");
  EXPECT_EQ(login::PlayAddress(u"h:1", u"%E4%B8%AD"), u"http://h:1/game/play/108/%E4%B8%AD?ismicroclient=yes");
}

// The browser wrapper before, between and after its controls: nothing reaches
// a control that is not there, and a new control replaces the old one.
TEST(CExplorer1Test, OperationsWithoutAWindowAreHarmlessAndANewControlReplacesTheOld) {
  SimPlatform sim;
  Owner owner(sim);
  ASSERT_TRUE(sim.CreateDialogWindow(WindowSpec{103}, owner));
  SimWindow& window = SimPlatform::Of(*owner.window());
  const Msg enter{nullptr, owner.window(), WM_KEYDOWN, VK_RETURN, 0};

  CExplorer1 browser;
  browser.Navigate(u"http://a.test/");
  EXPECT_EQ(browser.get_Document(), nullptr);
  EXPECT_FALSE(browser.PreTranslateMessage(enter));
  EXPECT_FALSE(browser.HasWindow());

  ASSERT_TRUE(browser.CreateControl({45, 30, 655, 366}, *owner.window(), 1000));
  ASSERT_EQ(window.browsers.size(), 1u);
  SimBrowser& first = *window.browsers[0];
  EXPECT_EQ(first.ControlId(), 1000);
  EXPECT_EQ(first.rect, (Rect{45, 30, 655, 366}));
  EXPECT_EQ(browser.get_Document(), nullptr);  // no page yet
  browser.Navigate(u"http://a.test/");
  EXPECT_EQ(first.navigations, std::vector<std::u16string>{u"http://a.test/"});
  first.LoadDocument();
  EXPECT_NE(browser.get_Document(), nullptr);

  ASSERT_TRUE(browser.CreateControl({0, 0, 10, 10}, *owner.window(), 1001));
  ASSERT_EQ(window.browsers.size(), 1u);
  EXPECT_EQ(window.browsers[0]->ControlId(), 1001);
  EXPECT_EQ(browser.get_Document(), nullptr);

  browser.DestroyWindow();
  EXPECT_TRUE(window.browsers.empty());
  browser.Navigate(u"http://b.test/");
  EXPECT_EQ(browser.get_Document(), nullptr);
}

}  // namespace
