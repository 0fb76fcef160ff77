// Menu 156 and the three dialog templates, and the dialog-unit arithmetic the
// windows use to size themselves from them.

#include <gtest/gtest.h>

#include "res/Resources.h"

namespace res {
namespace {

TEST(TitleMenu, HasRefreshAndClearCacheUnderSettings) {
  const MenuResource* menu = FindMenu(156);
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->title, u"设置");
  ASSERT_EQ(menu->items.size(), 2u);
  EXPECT_EQ(menu->items[0].command, 32772);
  EXPECT_EQ(menu->items[0].text, u"刷新  F5");
  EXPECT_EQ(menu->items[1].command, 32773);
  EXPECT_EQ(menu->items[1].text, u"清空缓存");
}

TEST(TitleMenu, OtherNumbersHaveNoMenu) {
  EXPECT_EQ(FindMenu(0), nullptr);
  EXPECT_EQ(FindMenu(155), nullptr);
  EXPECT_EQ(FindMenu(157), nullptr);
  EXPECT_EQ(FindMenu(-156), nullptr);
}

TEST(DialogTemplates, SkinAndGameWindowsHaveNoControls) {
  const DialogTemplate* skin = FindDialogTemplate(103);
  ASSERT_NE(skin, nullptr);
  EXPECT_EQ(skin->number, 103);
  EXPECT_EQ(skin->cx, 319);
  EXPECT_EQ(skin->cy, 199);
  EXPECT_EQ(skin->fontPoint, 9);
  EXPECT_EQ(skin->fontFace, u"MS Shell Dlg");
  EXPECT_EQ(skin->style, 0x80000048u);  // WS_POPUP | DS_SETFONT | DS_FIXEDSYS
  EXPECT_EQ(skin->exStyle, 0u);
  EXPECT_TRUE(skin->controls.empty());

  const DialogTemplate* game = FindDialogTemplate(131);
  ASSERT_NE(game, nullptr);
  EXPECT_EQ(game->cx, 442);
  EXPECT_EQ(game->cy, 207);
  EXPECT_EQ(game->fontPoint, 8);
  EXPECT_EQ(game->fontWeight, 400);
  EXPECT_EQ(game->fontFace, u"MS Shell Dlg");
  EXPECT_EQ(game->style, 0x80000048u);
  EXPECT_EQ(game->exStyle, 0x00040000u);  // WS_EX_APPWINDOW
  EXPECT_TRUE(game->controls.empty());
}

TEST(DialogTemplates, LoginDialogHasItsFourFrameEdges) {
  const DialogTemplate* login = FindDialogTemplate(102);
  ASSERT_NE(login, nullptr);
  EXPECT_EQ(login->cx, 500);
  EXPECT_EQ(login->cy, 299);
  EXPECT_EQ(login->fontPoint, 9);
  EXPECT_EQ(login->style, 0x80000048u);
  EXPECT_EQ(login->exStyle, 0u);
  ASSERT_EQ(login->controls.size(), 4u);
  const ControlTemplate expected[] = {
      {1021, 170, 10, 13, 1, 191, 0x5000080Eu},
      {1022, 148, 10, 12, 318, 2, 0x5000080Eu},
      {1023, 171, 328, 12, 1, 191, 0x5000080Eu},
      {1024, 172, 11, 202, 318, 2, 0x5000080Eu},
  };
  for (std::size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    const ControlTemplate& c = login->controls[i];
    EXPECT_EQ(c.id, expected[i].id);
    EXPECT_EQ(c.bitmap, expected[i].bitmap);
    EXPECT_EQ(c.x, expected[i].x);
    EXPECT_EQ(c.y, expected[i].y);
    EXPECT_EQ(c.cx, expected[i].cx);
    EXPECT_EQ(c.cy, expected[i].cy);
    // Visible child static bitmap without SS_NOTIFY: clicks reach the dialog.
    EXPECT_EQ(c.style, expected[i].style);
    EXPECT_EQ(c.style & 0x100u, 0u);
    // Every control shows an embedded bitmap.
    EXPECT_FALSE(FindResource(c.bitmap, ResourceKind::Bitmap).empty());
  }
}

TEST(DialogTemplates, UnknownNumbersHaveNoTemplate) {
  EXPECT_EQ(FindDialogTemplate(0), nullptr);
  EXPECT_EQ(FindDialogTemplate(101), nullptr);
  EXPECT_EQ(FindDialogTemplate(156), nullptr);
}

TEST(DialogUnits, BaseUnitsFollowTheTemplateFont) {
  EXPECT_EQ(BaseUnitsOf(*FindDialogTemplate(103)).x, 7);
  EXPECT_EQ(BaseUnitsOf(*FindDialogTemplate(103)).y, 15);
  EXPECT_EQ(BaseUnitsOf(*FindDialogTemplate(131)).x, 6);
  EXPECT_EQ(BaseUnitsOf(*FindDialogTemplate(131)).y, 13);
}

TEST(DialogUnits, WindowSizesInPixels) {
  // 9 point: 7 x 15 pixels per 4 x 8 units; 8 point: 6 x 13.
  EXPECT_EQ(DialogUnitsToPixels(*FindDialogTemplate(102), 500, 299), std::pair(875, 561));
  EXPECT_EQ(DialogUnitsToPixels(*FindDialogTemplate(103), 319, 199), std::pair(558, 373));
  EXPECT_EQ(DialogUnitsToPixels(*FindDialogTemplate(131), 442, 207), std::pair(663, 336));
}

TEST(DialogUnits, RoundHalvesAwayFromZero) {
  const DialogTemplate& nine = *FindDialogTemplate(102);
  EXPECT_EQ(DialogUnitsToPixels(nine, 0, 0), std::pair(0, 0));
  EXPECT_EQ(DialogUnitsToPixels(nine, 10, 4), std::pair(18, 8));    // 17.5, 7.5
  EXPECT_EQ(DialogUnitsToPixels(nine, 1, 1), std::pair(2, 2));      // 1.75, 1.875
  EXPECT_EQ(DialogUnitsToPixels(nine, 1, 191), std::pair(2, 358));  // 1.75, 358.125
  EXPECT_EQ(DialogUnitsToPixels(nine, -10, -4), std::pair(-18, -8));
  EXPECT_EQ(DialogUnitsToPixels(nine, 2, 0), std::pair(4, 0));  // 3.5
  // Large values do not overflow the intermediate product.
  EXPECT_EQ(DialogUnitsToPixels(nine, 1 << 28, 0).first, 469762048);
}

}  // namespace
}  // namespace res
