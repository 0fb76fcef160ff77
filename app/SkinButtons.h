#pragma once
// The skin window's seven image buttons: their table, hit testing, state
// changes and the composition of skin and buttons into one image. Nothing
// here knows about windows.

#include <array>
#include <memory>
#include <string>

#include "platform/Surface.h"
#include "platform/Types.h"

namespace app {

enum class ButtonState : int { Normal = 0, Hover = 1, Pressed = 2 };

enum class ButtonAction { OpenPage, Minimize, Close };

struct SkinButton {
  std::array<std::unique_ptr<platform::Surface>, 3> images;  // normal, hover, pressed
  std::array<bool, 3> read{};                                // looked for (a missing image is not looked for again)
  platform::Rect rect;
  ButtonState state = ButtonState::Normal;
};

// One row of the button table.
struct SkinButtonSpec {
  int normal, hover, pressed;  // PNG resource numbers
  int left, top;
  ButtonAction action;
};

constexpr int kSkinButtonCount = 7;
constexpr int kSkinImage = 191;
// Table order is both the drawing order and the hit-test priority.
extern const std::array<SkinButtonSpec, kSkinButtonCount> kSkinButtonTable;

using SkinButtons = std::array<SkinButton, kSkinButtonCount>;

// The address button index opens (only link buttons have one).
std::u16string SkinButtonAddress(int index);

// The first button in table order whose rectangle holds the point, or -1.
int SkinButtonAt(const SkinButtons& buttons, platform::Point point);

// Hover tracking of a pointer move; true when any state changed.
bool TrackSkinHover(SkinButtons& buttons, platform::Point point);

bool AnySkinButtonActive(const SkinButtons& buttons);

// Draws the skin and then every button's current image, source-over, into target.
void DrawSkin(platform::Surface& target, const platform::Surface* skin, const SkinButtons& buttons);

// Top-left that centres a window of the given size on the work area, with
// halving that truncates toward zero (negative when the window is larger).
platform::Point CenterOnWorkArea(const platform::Rect& workArea, int width, int height);

}  // namespace app
