#include "app/SkinButtons.h"

#include "login/Hosts.h"

namespace app {

using platform::Point;
using platform::Rect;

const std::array<SkinButtonSpec, kSkinButtonCount> kSkinButtonTable = {{
    {203, 204, 202, 633, 127, ButtonAction::OpenPage},  // official site
    {197, 198, 196, 503, 127, ButtonAction::OpenPage},  // top-up
    {194, 195, 193, 758, 127, ButtonAction::OpenPage},  // forum
    {200, 201, 199, 889, 127, ButtonAction::OpenPage},  // customer service
    {211, 212, 210, 394, 127, ButtonAction::OpenPage},  // news
    {177, 178, 176, 1023, 108, ButtonAction::Minimize},
    {181, 180, 179, 1058, 108, ButtonAction::Close},
}};

std::u16string SkinButtonAddress(int index) {
  switch (index) {
    case 0: return u"http://" + login::GameSiteHost() + u"/";
    case 1: return u"http://" + login::PortalHost() + u"/pay?gid=108";
    case 2: return u"http://" + login::ForumHost() + u"/forum.php?mod=forumdisplay&fid=464";
    case 3: return u"http://" + login::PortalHost() + u"/services";
    case 4: return u"http://" + login::GameSiteHost() + u"/news/";
    default: return {};
  }
}

int SkinButtonAt(const SkinButtons& buttons, Point point) {
  for (int i = 0; i < kSkinButtonCount; ++i)
    if (buttons[i].rect.Contains(point.x, point.y)) return i;
  return -1;
}

bool TrackSkinHover(SkinButtons& buttons, Point point) {
  bool changed = false;
  for (SkinButton& button : buttons) {
    const ButtonState next = !button.rect.Contains(point.x, point.y) ? ButtonState::Normal
                             : button.state == ButtonState::Normal   ? ButtonState::Hover
                                                                     : button.state;
    if (next != button.state) {
      button.state = next;
      changed = true;
    }
  }
  return changed;
}

bool AnySkinButtonActive(const SkinButtons& buttons) {
  for (const SkinButton& button : buttons)
    if (button.state != ButtonState::Normal) return true;
  return false;
}

void DrawSkin(platform::Surface& target, const platform::Surface* skin, const SkinButtons& buttons) {
  target.Clear();
  if (skin) target.DrawOver(*skin, {0, 0, skin->Width(), skin->Height()});
  for (const SkinButton& button : buttons) {
    // A missing hover or pressed image shows the normal one rather than a hole.
    const platform::Surface* image = button.images[static_cast<int>(button.state)].get();
    if (!image) image = button.images[0].get();
    if (image) target.DrawOver(*image, button.rect);
  }
}

Point CenterOnWorkArea(const Rect& workArea, int width, int height) {
  return {workArea.left + (workArea.Width() - width) / 2, workArea.top + (workArea.Height() - height) / 2};
}

}  // namespace app
