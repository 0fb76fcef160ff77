#pragma once
// The game window's own title bar: five image buttons, the hit-test zones
// of its painted frame, and the small state machine that turns a press on a
// button into an action on the next non-client mouse move. Plain logic; the
// window class paints and acts.

#include <array>

#include "platform/Types.h"

namespace game {

// Action codes that hoverAction takes while the mouse is over a button.
enum HoverAction : int {
  kActionNone = 0,
  kActionMinimize = 1,
  kActionMaximize = 2,
  kActionMenu = 3,
  kActionTray = 4,
  kActionClose = 100,
};

struct TitleButton {
  platform::Rect rect;  // client coordinates, as last drawn
  int state = 0;        // 0 normal, 1 hover, 2 pressed
};

// Record order: menu, tray, minimise, maximise/restore, close.
enum TitleButtonIndex { kMenuButton, kTrayButton, kMinimizeButton, kMaximizeButton, kCloseButton };
constexpr int kTitleButtonCount = 5;

struct TitleBarState {
  std::array<TitleButton, kTitleButtonCount> buttons;
  bool buttonPressed = false;
  int hoverAction = kActionNone;
};

// The buttons' rectangles for a window of client width W.
std::array<platform::Rect, kTitleButtonCount> TitleButtonRects(int width);
// The action code of each button.
int TitleButtonAction(int index);
// Bitmap resource of a button for its state; the maximise button shows the
// restore images while the window is maximised.
int TitleButtonImage(int index, int state, bool maximized);

// WM_NCHITTEST of the painted frame: window rectangle in screen coordinates,
// the mouse position, and the platform's own answer d.
platform::LRESULT TitleHitTest(TitleBarState& state, const platform::Rect& window, platform::Point mouse,
                               platform::LRESULT platformAnswer);

// WM_NCLBUTTONDOWN: marks the first button under the press (screen point,
// window top-left given); true when one was marked and needs redrawing.
bool TitleButtonPress(TitleBarState& state, platform::Point windowOrigin, platform::Point press);

// WM_NCMOUSEMOVE: returns the action to run now (a pending press acts on
// the first move after it, chosen by hoverAction) and whether to redraw.
// The caller runs the action and then settles hoverAction, so the action
// still sees the code of its button.
struct TitleMoveResult {
  int action = kActionNone;  // kActionNone: nothing to run
  bool redraw = false;
};
TitleMoveResult TitleMouseMove(TitleBarState& state, platform::Point windowOrigin, platform::Point mouse);
// hoverAction becomes 0 when every button is normal.
void SettleHoverAction(TitleBarState& state);

// The player's mouse-move reset: true when any button was not normal (and
// everything went back to normal, needing a redraw).
bool ResetTitleButtons(TitleBarState& state);

}  // namespace game
