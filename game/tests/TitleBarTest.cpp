// The game window's title bar logic: rectangles, images, hit-test zones and
// the press-then-move state machine.

#include <gtest/gtest.h>

#include "game/TitleBar.h"

using namespace game;
using namespace platform;

namespace {

const Rect kWindow{100, 50, 1100, 650};  // a 1000 x 600 window on screen
constexpr LRESULT kClient = HTCLIENT;

TitleBarState Drawn(int width) {
  TitleBarState state;
  const auto rects = TitleButtonRects(width);
  for (int i = 0; i < kTitleButtonCount; ++i) state.buttons[i].rect = rects[i];
  return state;
}

TEST(TitleButtons, RectanglesOnAThousandPixelWindow) {
  const auto r = TitleButtonRects(1000);
  EXPECT_EQ(r[kCloseButton], (Rect{974, 2, 998, 26}));  // x 974 to 997
  EXPECT_EQ(r[kMenuButton], (Rect{892, 2, 920, 26}));   // x 892 to 919
  EXPECT_LT(r[kTrayButton].right, r[kMenuButton].left);
  EXPECT_EQ(r[kMenuButton].Width(), 28);
  for (int i : {kTrayButton, kMinimizeButton, kMaximizeButton, kCloseButton}) EXPECT_EQ(r[i].Width(), 24);
}

TEST(TitleButtons, ImagesFollowStateAndMaximised) {
  EXPECT_EQ(TitleButtonImage(kMaximizeButton, 0, false), 162);
  EXPECT_EQ(TitleButtonImage(kMaximizeButton, 1, false), 163);
  EXPECT_EQ(TitleButtonImage(kMaximizeButton, 2, false), 165);
  EXPECT_EQ(TitleButtonImage(kMaximizeButton, 0, true), 205);
  EXPECT_EQ(TitleButtonImage(kMaximizeButton, 1, true), 206);
  EXPECT_EQ(TitleButtonImage(kMaximizeButton, 2, true), 207);
  EXPECT_EQ(TitleButtonImage(kCloseButton, 7, true), 155);  // odd states show hover
  EXPECT_EQ(TitleButtonImage(kMenuButton, 2, false), 166);
  EXPECT_EQ(TitleButtonImage(kTrayButton, 0, false), 213);
}

TEST(TitleHitTest, ZonesInOrder) {
  TitleBarState s = Drawn(1000);
  auto hit = [&](int x, int y, LRESULT d = kClient) { return TitleHitTest(s, kWindow, {x, y}, d); };
  EXPECT_EQ(hit(100, 50), HTCAPTION);             // top-left square
  EXPECT_EQ(hit(105, 55, HTNOWHERE), HTNOWHERE);  // keeps a non-client default
  EXPECT_EQ(hit(1095, 55), kClient);              // top-right square keeps the default
  EXPECT_EQ(hit(1090, 60), kClient);              // x >= R - 10, y <= T + 10
  EXPECT_EQ(hit(105, 645), HTBOTTOMLEFT);
  EXPECT_EQ(hit(1095, 645), HTBOTTOMRIGHT);
  EXPECT_EQ(hit(103, 300), HTLEFT);
  EXPECT_EQ(hit(104, 300), HTCAPTION);  // inside: caption unless the player covers it
  EXPECT_EQ(hit(1097, 300), HTRIGHT);
  EXPECT_EQ(hit(500, 53), HTCAPTION);  // the top edge never resizes
  EXPECT_EQ(hit(500, 647), HTBOTTOM);
  EXPECT_EQ(hit(500, 300), HTCAPTION);
}

TEST(TitleHitTest, ZonesThatResetHoverAction) {
  TitleBarState s = Drawn(1000);
  s.hoverAction = kActionClose;
  TitleHitTest(s, kWindow, {1095, 55}, kClient);  // top-right square: untouched
  EXPECT_EQ(s.hoverAction, kActionClose);
  TitleHitTest(s, kWindow, {500, 300}, kClient);  // zone 9: untouched
  EXPECT_EQ(s.hoverAction, kActionClose);
  TitleHitTest(s, kWindow, {500, 53}, kClient);  // top edge rows: reset
  EXPECT_EQ(s.hoverAction, kActionNone);
}

TEST(TitleButtonMachine, PressActsOnTheNextMoveByHoverAction) {
  TitleBarState s = Drawn(1000);
  const Point origin{100, 50};
  // Hover the minimise button (x 922..945 in the window).
  TitleMouseMove(s, origin, {100 + 930, 50 + 10});
  SettleHoverAction(s);
  EXPECT_EQ(s.buttons[kMinimizeButton].state, 1);
  EXPECT_EQ(s.hoverAction, kActionMinimize);
  EXPECT_TRUE(TitleButtonPress(s, origin, {100 + 930, 50 + 10}));
  EXPECT_EQ(s.buttons[kMinimizeButton].state, 2);
  EXPECT_TRUE(s.buttonPressed);
  const TitleMoveResult r = TitleMouseMove(s, origin, {100 + 930, 50 + 10});
  EXPECT_EQ(r.action, kActionMinimize);
  EXPECT_TRUE(r.redraw);
  // The action still sees its code; settling afterwards clears it.
  EXPECT_EQ(s.hoverAction, kActionMinimize);
  SettleHoverAction(s);
  EXPECT_EQ(s.hoverAction, kActionNone);
  EXPECT_FALSE(s.buttonPressed);
}

TEST(TitleButtonMachine, ActionIsTheLastHoveredNotThePressedButton) {
  TitleBarState s = Drawn(1000);
  const Point origin{0, 0};
  TitleMouseMove(s, origin, {985, 10});  // close
  SettleHoverAction(s);
  EXPECT_EQ(s.hoverAction, kActionClose);
  // A press on the maximise button without a move in between.
  TitleButtonPress(s, origin, {960, 10});
  const TitleMoveResult r = TitleMouseMove(s, origin, {960, 10});
  EXPECT_EQ(r.action, kActionClose);
  EXPECT_EQ(s.buttons[kCloseButton].state, 0);
  EXPECT_EQ(s.buttons[kMaximizeButton].state, 2);  // only the acting button resets
}

TEST(TitleButtonMachine, PressInTheTopRowsRunsNothing) {
  TitleBarState s = Drawn(1000);
  const Rect window{0, 0, 1000, 600};
  TitleMouseMove(s, {0, 0}, {930, 10});
  SettleHoverAction(s);
  // A hit test at y 2..3 is in the top-edge zone and resets hoverAction.
  TitleHitTest(s, window, {930, 3}, kClient);
  TitleButtonPress(s, {0, 0}, {930, 3});
  const TitleMoveResult r = TitleMouseMove(s, {0, 0}, {930, 3});
  EXPECT_EQ(r.action, kActionNone);
  EXPECT_FALSE(r.redraw);
}

TEST(TitleButtonMachine, MovingOffAndOverThePlayerResets) {
  TitleBarState s = Drawn(1000);
  TitleMouseMove(s, {0, 0}, {985, 10});
  TitleMouseMove(s, {0, 0}, {500, 10});
  SettleHoverAction(s);
  EXPECT_EQ(s.buttons[kCloseButton].state, 0);
  EXPECT_EQ(s.hoverAction, kActionNone);
  EXPECT_FALSE(ResetTitleButtons(s));
  TitleMouseMove(s, {0, 0}, {985, 10});
  EXPECT_TRUE(ResetTitleButtons(s));
  EXPECT_EQ(s.hoverAction, kActionNone);
  EXPECT_EQ(s.buttons[kCloseButton].state, 0);
}

}  // namespace
