// The skin window's images have the look its window logic relies on:
// transparent surroundings, an opaque panel under the browser and buttons,
// link tabs whose slanted edges interlock, and brighter/darker states.

#include <gtest/gtest.h>

#include <array>

#include "res/Resources.h"
#include "res/tests/ImageFiles.h"

namespace res {
namespace {

test::PngPixels Decode(int number) {
  auto image = test::PngPixels::Decode(FindResource(number, ResourceKind::Png));
  if (!image) ADD_FAILURE() << "PNG " << number << " does not decode";
  return image ? *image : test::PngPixels{};
}

struct Tab {
  std::array<int, 3> images;  // normal, hover, pressed
  int left;                   // place on the skin, top 127
};

// In the skin window's table order.
const Tab kTabs[] = {
    {{203, 204, 202}, 633}, {{197, 198, 196}, 503}, {{194, 195, 193}, 758},
    {{200, 201, 199}, 889}, {{211, 212, 210}, 394},
};

double MeanOpaqueLuminance(const test::PngPixels& image) {
  double sum = 0;
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const test::Rgba p = image.at(x, y);
      if (p.a == 255) {
        sum += 0.299 * p.r + 0.587 * p.g + 0.114 * p.b;
        ++count;
      }
    }
  }
  return count ? sum / count : 0.0;
}

TEST(SkinArt, AboutAQuarterOfTheSkinIsFullyTransparent) {
  const auto skin = Decode(191);
  int transparent = 0;
  for (int y = 0; y < skin.height(); ++y)
    for (int x = 0; x < skin.width(); ++x) transparent += skin.at(x, y).a == 0;
  const double share = static_cast<double>(transparent) / (1155.0 * 625.0);
  EXPECT_GT(share, 0.20);
  EXPECT_LT(share, 0.32);
  for (auto [x, y] : {std::pair{0, 0}, {1154, 0}, {0, 624}, {1154, 624}}) {
    EXPECT_EQ(skin.at(x, y).a, 0) << x << "," << y;
  }
}

TEST(SkinArt, PanelIsOpaqueUnderTheBrowserTheStripAndTheWindowButtons) {
  const auto skin = Decode(191);
  auto expectOpaque = [&](int left, int top, int right, int bottom, const char* what) {
    int holes = 0;
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x) holes += skin.at(x, y).a != 255;
    EXPECT_EQ(holes, 0) << what;
  };
  expectOpaque(407, 184, 1017, 520, "browser area of the login dialog");
  expectOpaque(394, 127, 1027, 176, "header strip under the link buttons");
  expectOpaque(1023, 108, 1085, 135, "seat of minimise and close");
}

TEST(SkinArt, HeroineStandsOnTheLeftAndReachesOverTheFrame) {
  const auto skin = Decode(191);
  int opaqueLeft = 0;
  for (int y = 0; y < 625; ++y)
    for (int x = 0; x < 330; ++x) opaqueLeft += skin.at(x, y).a == 255;
  EXPECT_GT(opaqueLeft, 330 * 625 / 5);
}

TEST(SkinArt, LinkTabsHavePartlyTransparentSlantedSides) {
  for (const Tab& tab : kTabs) {
    for (int number : tab.images) {
      SCOPED_TRACE(number);
      const auto image = Decode(number);
      const int middle = image.width() / 2;
      for (int y = 0; y < image.height(); ++y) {
        EXPECT_LT(image.at(0, y).a, 255) << "row " << y;
        EXPECT_LT(image.at(image.width() - 1, y).a, 255) << "row " << y;
      }
      for (int y = 4; y < 45; ++y) EXPECT_EQ(image.at(middle, y).a, 255) << "row " << y;
      // The side edge is a slant about 16 pixels wide: the first opaque
      // pixel moves right from the bottom row to the top row.
      auto firstOpaque = [&](int y) {
        int x = 0;
        while (x < middle && image.at(x, y).a != 255) ++x;
        return x;
      };
      const int slant = firstOpaque(6) - firstOpaque(42);
      EXPECT_GE(slant, 10);
      EXPECT_LE(slant, 20);
    }
  }
}

TEST(SkinArt, NeighbouringTabsInterlockWithoutCoveringEachOther) {
  // Where two tab rectangles overlap, no pixel is opaque in both bodies, so
  // drawing order never hides part of a label or edge.
  for (const Tab& a : kTabs) {
    for (const Tab& b : kTabs) {
      if (a.left >= b.left) continue;
      const auto left = Decode(a.images[0]);
      const auto right = Decode(b.images[0]);
      const int overlapStart = b.left, overlapEnd = a.left + left.width();
      for (int x = overlapStart; x < overlapEnd; ++x) {
        for (int y = 0; y < 49; ++y) {
          const bool both = left.at(x - a.left, y).a == 255 && right.at(x - b.left, y).a == 255;
          EXPECT_FALSE(both) << "tabs at " << a.left << " and " << b.left << ": " << x << "," << y;
        }
      }
    }
  }
}

TEST(SkinArt, HoverIsBrighterAndPressedDarkerThanNormal) {
  for (const Tab& tab : kTabs) {
    SCOPED_TRACE(tab.images[0]);
    const double normal = MeanOpaqueLuminance(Decode(tab.images[0]));
    EXPECT_GT(MeanOpaqueLuminance(Decode(tab.images[1])), normal + 10);
    EXPECT_LT(MeanOpaqueLuminance(Decode(tab.images[2])), normal - 5);
  }
  for (const std::array<int, 3>& round : {std::array{177, 178, 176}, std::array{181, 180, 179}}) {
    SCOPED_TRACE(round[0]);
    const double normal = MeanOpaqueLuminance(Decode(round[0]));
    EXPECT_GT(MeanOpaqueLuminance(Decode(round[1])), normal + 5);
    EXPECT_LT(MeanOpaqueLuminance(Decode(round[2])), normal - 5);
  }
}

TEST(SkinArt, MinimiseAndCloseAreRoundRedButtons) {
  for (int number : {177, 178, 176, 181, 180, 179}) {
    SCOPED_TRACE(number);
    const auto image = Decode(number);
    for (auto [x, y] : {std::pair{0, 0}, {26, 0}, {0, 26}, {26, 26}}) {
      EXPECT_EQ(image.at(x, y).a, 0) << "corner " << x << "," << y;
    }
    const test::Rgba ball = image.at(13, 20);  // below the glyph, inside the ball
    EXPECT_EQ(ball.a, 255);
    EXPECT_GT(ball.r, ball.g + 60);
    EXPECT_GT(ball.r, ball.b + 60);
  }
  // Bar and cross: the close glyph reaches the diagonal, the bar does not.
  const auto minimise = Decode(177), close = Decode(181);
  auto brightness = [](test::Rgba p) { return p.r + p.g + p.b; };
  EXPECT_GT(brightness(close.at(10, 10)), brightness(minimise.at(10, 10)) + 150);
  EXPECT_GT(brightness(minimise.at(13, 14)), 600);
}

}  // namespace
}  // namespace res
