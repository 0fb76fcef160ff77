// The skin window on the in-memory backend: button table, hover, press and
// release, composition, placement and the keyboard rule.

#include <gtest/gtest.h>

#include "BuildSettings.h"
#include "app/bgDialog.h"
#include "login/CveloraDlg.h"
#include "platform/sim/SimPlatform.h"

using namespace platform;
using platform::sim::SimPlatform;
using platform::sim::SimWindow;
using namespace app;

namespace {

constexpr int kOfficialSite = 0, kTopUp = 1, kForum = 2, kService = 3, kNews = 4, kMinimize = 5, kClose = 6;

class SkinWindowTest : public ::testing::Test {
 protected:
  void Create() {
    skin = std::make_unique<bgDialog>(sim);
    ASSERT_TRUE(skin->Create());
  }
  SimWindow& Skin() { return SimPlatform::Of(*skin->window()); }
  ButtonState State(int index) const { return skin->buttons()[index].state; }
  void Move(int x, int y) { skin->window()->Send(WM_MOUSEMOVE, 0, MakePointParam(x, y)); }
  void Press(int x, int y) { skin->window()->Send(WM_LBUTTONDOWN, 1, MakePointParam(x, y)); }
  void Release(int x, int y) { skin->window()->Send(WM_LBUTTONUP, 0, MakePointParam(x, y)); }

  SimPlatform sim;
  std::unique_ptr<bgDialog> skin;
};

TEST_F(SkinWindowTest, CreationSizesTitlesAndCentresTheWindow) {
  sim.workArea = {0, 0, 1920, 1040};
  Create();
  SimWindow& w = Skin();
  EXPECT_EQ(w.Text(), u"Tessary");
  // (1920 - 1155) / 2 = 382, (1040 - 625) / 2 = 207
  EXPECT_EQ(w.WindowRect(), (Rect{382, 207, 382 + 1155, 207 + 625}));
  EXPECT_FALSE(w.Style() & WS_CAPTION);
  EXPECT_TRUE(w.Style() & WS_POPUP);
  EXPECT_EQ(w.Style() & (WS_MINIMIZEBOX | WS_SYSMENU), WS_MINIMIZEBOX | WS_SYSMENU);
  EXPECT_TRUE(w.ExStyle() & WS_EX_LAYERED);
  EXPECT_EQ(w.icons[ICON_BIG], 128);
  EXPECT_EQ(w.icons[ICON_SMALL], 128);
  EXPECT_EQ(w.layeredUpdates, 1);
  EXPECT_EQ(w.layeredAlpha, 254);
  EXPECT_EQ(skin->constantAlpha(), 254);
}

TEST_F(SkinWindowTest, ButtonRectanglesFollowTheTableAndImageSizes) {
  Create();
  const Rect expected[] = {{633, 127, 788, 176}, {503, 127, 663, 176},   {758, 127, 918, 176},  {889, 127, 1027, 176},
                           {394, 127, 532, 176}, {1023, 108, 1050, 135}, {1058, 108, 1085, 135}};
  for (int i = 0; i < kSkinButtonCount; ++i) EXPECT_EQ(skin->buttons()[i].rect, expected[i]) << "button " << i;
}

TEST_F(SkinWindowTest, CentringTruncatesTowardZeroOnSmallAndOffsetWorkAreas) {
  sim.workArea = {0, 0, 1024, 600};
  Create();
  // (1024 - 1155) / 2 = -65 (not -66), (600 - 625) / 2 = -12 (not -13)
  EXPECT_EQ(Skin().WindowRect().left, -65);
  EXPECT_EQ(Skin().WindowRect().top, -12);
  skin.reset();
  sim.workArea = {100, 40, 100 + 1366, 40 + 728};
  Create();
  EXPECT_EQ(Skin().WindowRect().left, 100 + (1366 - 1155) / 2);
  EXPECT_EQ(Skin().WindowRect().top, 40 + (728 - 625) / 2);
}

TEST_F(SkinWindowTest, OverlapHoversBothButPressesAndOpensOnlyTheFirstInTableOrder) {
  Create();
  Move(640, 150);
  EXPECT_EQ(State(kOfficialSite), ButtonState::Hover);
  EXPECT_EQ(State(kTopUp), ButtonState::Hover);
  Press(640, 150);
  EXPECT_EQ(State(kOfficialSite), ButtonState::Pressed);
  EXPECT_EQ(State(kTopUp), ButtonState::Hover);
  Release(640, 150);
  ASSERT_EQ(sim.openedPages.size(), 1u);
  EXPECT_EQ(sim.openedPages[0], u"http://" TESSARY_GAMESITE_HOST u"/");
  EXPECT_EQ(State(kOfficialSite), ButtonState::Hover);
}

TEST_F(SkinWindowTest, EveryLinkButtonOpensItsAddress) {
  Create();
  // Each x lies in its button and in no button earlier in the table.
  const std::tuple<int, int, std::u16string> pages[] = {
      {kOfficialSite, 700, u"http://" TESSARY_GAMESITE_HOST u"/"},
      {kTopUp, 560, u"http://" TESSARY_PORTAL_HOST u"/pay?gid=108"},
      {kForum, 850, u"http://" TESSARY_FORUM_HOST u"/forum.php?mod=forumdisplay&fid=464"},
      {kService, 1000, u"http://" TESSARY_PORTAL_HOST u"/services"},
      {kNews, 420, u"http://" TESSARY_GAMESITE_HOST u"/news/"},
  };
  for (const auto& [index, x, address] : pages) {
    sim.openedPages.clear();
    Release(x, 150);
    ASSERT_EQ(sim.openedPages.size(), 1u) << index;
    EXPECT_EQ(sim.openedPages[0], address);
  }
}

TEST_F(SkinWindowTest, PressOnOneButtonReleaseOnAnotherOpensTheSecond) {
  Create();
  Move(420, 150);  // news
  Press(420, 150);
  EXPECT_EQ(State(kNews), ButtonState::Pressed);
  Move(800, 150);  // forum only
  EXPECT_EQ(State(kNews), ButtonState::Normal);
  EXPECT_EQ(State(kForum), ButtonState::Hover);
  Release(800, 150);
  ASSERT_EQ(sim.openedPages.size(), 1u);
  EXPECT_EQ(sim.openedPages[0], u"http://" TESSARY_FORUM_HOST u"/forum.php?mod=forumdisplay&fid=464");
}

TEST_F(SkinWindowTest, ReleaseOutsideLeavesThePressedStateUntilTheNextMoveOutsideIt) {
  Create();
  Press(420, 150);
  // No release reaches the window.
  EXPECT_EQ(State(kNews), ButtonState::Pressed);
  Move(425, 152);  // still over it: stays pressed
  EXPECT_EQ(State(kNews), ButtonState::Pressed);
  Move(200, 300);
  EXPECT_EQ(State(kNews), ButtonState::Normal);
  EXPECT_TRUE(sim.openedPages.empty());
}

TEST_F(SkinWindowTest, CompositionRunsOnlyWhenAStateChanges) {
  Create();
  const int before = Skin().layeredUpdates;
  Move(200, 300);
  EXPECT_EQ(Skin().layeredUpdates, before);
  Move(420, 150);
  EXPECT_EQ(Skin().layeredUpdates, before + 1);
  Move(421, 150);
  EXPECT_EQ(Skin().layeredUpdates, before + 1);
}

TEST_F(SkinWindowTest, PressOutsideButtonsDragsTheWindowWithoutComposing) {
  Create();
  const int before = Skin().layeredUpdates;
  Press(300, 400);
  EXPECT_EQ(Skin().drags, std::vector<LRESULT>{HTCAPTION});
  EXPECT_EQ(Skin().layeredUpdates, before);
  EXPECT_NE(std::find(sim.log.begin(), sim.log.end(), "SetDragFullWindows 1"), sim.log.end());
  for (const SkinButton& b : skin->buttons()) EXPECT_EQ(b.state, ButtonState::Normal);
}

TEST_F(SkinWindowTest, MinimiseAndCloseButtons) {
  Create();
  Release(1030, 120);
  EXPECT_TRUE(Skin().IsMinimized());
  EXPECT_EQ(State(kMinimize), ButtonState::Hover);
  const int before = Skin().layeredUpdates;
  Release(1070, 120);
  // Close posts WM_CLOSE and changes nothing else.
  EXPECT_EQ(State(kClose), ButtonState::Normal);
  EXPECT_EQ(Skin().layeredUpdates, before);
  EXPECT_FALSE(sim.modalResult.has_value());
  sim.PumpPosted();
  EXPECT_EQ(sim.modalResult, IDCANCEL);
}

TEST_F(SkinWindowTest, HandCursorOnlyWhileAButtonIsActive) {
  Create();
  EXPECT_EQ(skin->window()->Send(WM_SETCURSOR, 0, HTCLIENT), 1);  // the default shows the arrow
  EXPECT_EQ(Skin().CurrentPointer(), PointerShape::Arrow);
  Move(420, 150);
  EXPECT_EQ(skin->window()->Send(WM_SETCURSOR, 0, HTCLIENT), 1);
  EXPECT_EQ(Skin().CurrentPointer(), PointerShape::Hand);
}

TEST_F(SkinWindowTest, LoginDialogFollowsTheSkinFromTheStart) {
  Create();
  ASSERT_NE(skin->loginDialog(), nullptr);
  Window* login = skin->loginDialog()->window();
  ASSERT_NE(login, nullptr);
  EXPECT_TRUE(login->IsVisible());
  const Rect s = Skin().WindowRect();
  EXPECT_EQ(login->WindowRect().left, s.left + 362);
  EXPECT_EQ(login->WindowRect().top, s.top + 154);
  skin->window()->SetPosition(10, 20);
  EXPECT_EQ(login->WindowRect().left, 372);
  EXPECT_EQ(login->WindowRect().top, 174);
}

TEST_F(SkinWindowTest, ComposedImageShowsButtonsOverTheSkinInTableOrder) {
  Create();
  const Surface& image = *Skin().layeredImage;
  EXPECT_EQ(image.Width(), 1155);
  EXPECT_EQ(image.Height(), 625);
  // News (5th in the table) is drawn after top-up (2nd), so it shows on top
  // where they overlap, x 503..531.
  auto topUp = sim.LoadPngResource(197);
  auto news = sim.LoadPngResource(211);
  ASSERT_TRUE(topUp && news);
  bool checked = false;
  for (int x = 503; x < 532 && !checked; ++x) {
    const auto n = news->PixelAt(x - 394, 24);
    if (n.a != 255) continue;
    EXPECT_EQ(image.PixelAt(x, 127 + 24), n) << x;
    checked = true;
  }
  EXPECT_TRUE(checked) << "the news tab has no opaque pixel in its overlap";
  // Hovering swaps in the hover image.
  Move(420, 150);
  auto hover = sim.LoadPngResource(212);
  EXPECT_EQ(Skin().layeredImage->PixelAt(420, 150), hover->PixelAt(420 - 394, 150 - 127));
}

TEST_F(SkinWindowTest, KeyboardRuleNeverEndsTheSkin) {
  Create();
  // Escape is swallowed while no game window exists; Enter goes on to the page.
  EXPECT_TRUE(sim.PressKey(*skin->window(), VK_ESCAPE));
  EXPECT_FALSE(sim.PressKey(*skin->window(), VK_RETURN));
  EXPECT_FALSE(sim.modalResult.has_value());
}

TEST_F(SkinWindowTest, MissingImagesDoNotBreakTheWindow) {
  sim.brokenResources = {191, 203, 178};
  Create();
  // No skin: the window keeps the skin's size; no normal image: no button there.
  EXPECT_EQ(Skin().WindowRect().Width(), 1155);
  EXPECT_EQ(skin->buttons()[kOfficialSite].rect.Width(), 0);
  Move(700, 150);
  EXPECT_EQ(State(kOfficialSite), ButtonState::Normal);
  // A missing hover image shows the normal one.
  Move(1030, 120);
  EXPECT_EQ(State(kMinimize), ButtonState::Hover);
  auto normal = sim.LoadPngResource(177);
  EXPECT_EQ(Skin().layeredImage->PixelAt(1023 + 13, 108 + 13), normal->PixelAt(13, 13));
}

}  // namespace
