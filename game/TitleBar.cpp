#include "game/TitleBar.h"

namespace game {

using platform::LRESULT;
using platform::Point;
using platform::Rect;

std::array<Rect, kTitleButtonCount> TitleButtonRects(int w) {
  return {{
      {w - 108, 2, w - 80, 26},   // menu
      {w - 135, 2, w - 111, 26},  // tray
      {w - 78, 2, w - 54, 26},    // minimise
      {w - 52, 2, w - 28, 26},    // maximise / restore
      {w - 26, 2, w - 2, 26},     // close
  }};
}

int TitleButtonAction(int index) {
  static constexpr int kActions[kTitleButtonCount] = {kActionMenu, kActionTray, kActionMinimize, kActionMaximize,
                                                      kActionClose};
  return index >= 0 && index < kTitleButtonCount ? kActions[index] : kActionNone;
}

int TitleButtonImage(int index, int state, bool maximized) {
  // normal, hover, pressed
  static constexpr int kImages[kTitleButtonCount][3] = {
      {158, 159, 166}, {213, 214, 215}, {160, 161, 167}, {162, 163, 165}, {154, 155, 164}};
  static constexpr int kRestoreImages[3] = {205, 206, 207};
  // Any state other than normal and pressed shows the hover image.
  const int slot = state == 0 ? 0 : state == 2 ? 2 : 1;
  if (index == kMaximizeButton && maximized) return kRestoreImages[slot];
  return kImages[index][slot];
}

LRESULT TitleHitTest(TitleBarState& state, const Rect& window, Point mouse, LRESULT d) {
  const int x = mouse.x, y = mouse.y;
  const int l = window.left, t = window.top, r = window.right, b = window.bottom;
  const LRESULT captionOrDefault = d == platform::HTCLIENT ? platform::HTCAPTION : d;
  if (x <= l + 10 && y <= t + 10) {
    state.hoverAction = kActionNone;
    return captionOrDefault;
  }
  if (x >= r - 10 && y <= t + 10) return d;
  if (x <= l + 10 && y >= b - 10) {
    state.hoverAction = kActionNone;
    return platform::HTBOTTOMLEFT;
  }
  if (x >= r - 10 && y >= b - 10) {
    state.hoverAction = kActionNone;
    return platform::HTBOTTOMRIGHT;
  }
  if (x <= l + 3) {
    state.hoverAction = kActionNone;
    return platform::HTLEFT;
  }
  if (x >= r - 3) {
    state.hoverAction = kActionNone;
    return platform::HTRIGHT;
  }
  if (y <= t + 3) {
    state.hoverAction = kActionNone;
    return captionOrDefault;
  }
  if (y >= b - 3) {
    state.hoverAction = kActionNone;
    return platform::HTBOTTOM;
  }
  return captionOrDefault;
}

bool TitleButtonPress(TitleBarState& state, Point origin, Point press) {
  for (TitleButton& button : state.buttons) {
    if (button.rect.Offset(origin.x, origin.y).Contains(press.x, press.y)) {
      button.state = 2;
      state.buttonPressed = true;
      return true;
    }
  }
  return false;
}

TitleMoveResult TitleMouseMove(TitleBarState& state, Point origin, Point mouse) {
  TitleMoveResult result;
  if (state.buttonPressed) {
    state.buttonPressed = false;
    int index = -1;
    switch (state.hoverAction) {
      case kActionClose: index = kCloseButton; break;
      case kActionTray: index = kTrayButton; break;
      case kActionMinimize: index = kMinimizeButton; break;
      case kActionMaximize: index = kMaximizeButton; break;
      case kActionMenu: index = kMenuButton; break;
      default: break;
    }
    if (index >= 0) {
      state.buttons[index].state = 0;
      result.action = state.hoverAction;
      result.redraw = true;
    }
  } else {
    for (int i = 0; i < kTitleButtonCount; ++i) {
      TitleButton& button = state.buttons[i];
      if (button.rect.Offset(origin.x, origin.y).Contains(mouse.x, mouse.y)) {
        if (button.state == 0) {
          button.state = 1;
          state.hoverAction = TitleButtonAction(i);
        }
      } else {
        button.state = 0;
      }
    }
    result.redraw = true;
  }
  return result;
}

void SettleHoverAction(TitleBarState& state) {
  for (const TitleButton& button : state.buttons)
    if (button.state != 0) return;
  state.hoverAction = kActionNone;
}

bool ResetTitleButtons(TitleBarState& state) {
  bool anyActive = false;
  for (const TitleButton& button : state.buttons) anyActive = anyActive || button.state != 0;
  if (!anyActive) return false;
  for (TitleButton& button : state.buttons) button.state = 0;
  state.buttonPressed = false;
  state.hoverAction = kActionNone;
  return true;
}

}  // namespace game
