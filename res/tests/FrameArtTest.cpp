// The game window's frame pieces join without seams, the title buttons sit
// invisibly on the bar, and the login dialog's edges never use its key colour.

#include <gtest/gtest.h>

#include <array>

#include "res/Resources.h"
#include "res/tests/ImageFiles.h"

namespace res {
namespace {

test::BmpImage Bitmap(int number) {
  auto image = test::BmpImage::Parse(FindResource(number, ResourceKind::Bitmap));
  if (!image) ADD_FAILURE() << "BITMAP " << number << " does not parse";
  return image ? *image : test::BmpImage{};
}

TEST(FrameArt, TitleBarPiecesJoinSeamlessly) {
  const auto left = Bitmap(150), middle = Bitmap(149), right = Bitmap(151);
  for (int y = 0; y < 29; ++y) {
    EXPECT_EQ(left.at(left.width() - 1, y), middle.at(0, y)) << "row " << y;
    EXPECT_EQ(right.at(0, y), middle.at(0, y)) << "row " << y;
    // The right end stays the bar's colour wherever the buttons may stand.
    for (int x = 0; x < 134; ++x) EXPECT_EQ(right.at(x, y), middle.at(0, y)) << x << "," << y;
  }
}

TEST(FrameArt, TitleButtonsMatchTheBarBehindThem) {
  const auto middle = Bitmap(149);
  const std::array<int, 18> buttons = {158, 159, 166, 213, 214, 215, 160, 161, 167,
                                       162, 163, 165, 205, 206, 207, 154, 155, 164};
  for (int number : buttons) {
    SCOPED_TRACE(number);
    const auto button = Bitmap(number);
    for (int y = 0; y < 24; ++y) {
      // Buttons stand at y 2 of the bar.
      EXPECT_EQ(button.at(0, y), middle.at(0, y + 2)) << "left column, row " << y;
      EXPECT_EQ(button.at(button.width() - 1, y), middle.at(0, y + 2)) << "right column, row " << y;
    }
  }
}

TEST(FrameArt, ButtonStatesDifferAndMaximiseDiffersFromRestore) {
  auto differ = [](const test::BmpImage& a, const test::BmpImage& b) {
    for (int y = 0; y < a.height(); ++y)
      for (int x = 0; x < a.width(); ++x)
        if (!(a.at(x, y) == b.at(x, y))) return true;
    return false;
  };
  for (const std::array<int, 3>& states :
       {std::array{158, 159, 166}, std::array{213, 214, 215}, std::array{160, 161, 167}, std::array{162, 163, 165},
        std::array{205, 206, 207}, std::array{154, 155, 164}}) {
    SCOPED_TRACE(states[0]);
    EXPECT_TRUE(differ(Bitmap(states[0]), Bitmap(states[1])));
    EXPECT_TRUE(differ(Bitmap(states[0]), Bitmap(states[2])));
    EXPECT_TRUE(differ(Bitmap(states[1]), Bitmap(states[2])));
  }
  EXPECT_TRUE(differ(Bitmap(162), Bitmap(205)));
}

TEST(FrameArt, BordersAndCornersShareTheirTones) {
  const auto left = Bitmap(152), right = Bitmap(157), bottom = Bitmap(153);
  const auto lowerLeft = Bitmap(169), lowerRight = Bitmap(168);
  for (int i = 0; i < 3; ++i) {
    // Top row of each corner continues the side border above it.
    EXPECT_EQ(lowerLeft.at(i, 0), left.at(i, 0)) << i;
    EXPECT_EQ(lowerRight.at(i, 0), right.at(i, 0)) << i;
    // The inner column of each corner continues the bottom edge beside it.
    EXPECT_EQ(lowerLeft.at(2, i), bottom.at(0, i + 1)) << i;
    EXPECT_EQ(lowerRight.at(0, i), bottom.at(0, i + 1)) << i;
  }
  // The right border mirrors the left one.
  for (int i = 0; i < 3; ++i) EXPECT_EQ(right.at(i, 0), left.at(2 - i, 0));
}

TEST(FrameArt, LoginEdgesAreUniformLinesWithoutTheKeyColour) {
  const test::Rgb key{255, 255, 254};
  struct Edge {
    int number;
    bool vertical;
    int outer;  // index of the outer line across the edge
  };
  const auto top = Bitmap(148);
  const test::Rgb outer = top.at(0, 0), inner = top.at(0, 1);
  EXPECT_FALSE(outer == inner);
  for (const Edge& edge : {Edge{170, true, 0}, Edge{148, false, 0}, Edge{171, true, 1}, Edge{172, false, 1}}) {
    SCOPED_TRACE(edge.number);
    const auto image = Bitmap(edge.number);
    const int length = edge.vertical ? image.height() : image.width();
    for (int along = 0; along < length; ++along) {
      for (int across = 0; across < 2; ++across) {
        const test::Rgb p = edge.vertical ? image.at(across, along) : image.at(along, across);
        EXPECT_FALSE(p == key);
        EXPECT_EQ(p, across == edge.outer ? outer : inner) << along << "," << across;
      }
    }
  }
}

}  // namespace
}  // namespace res
