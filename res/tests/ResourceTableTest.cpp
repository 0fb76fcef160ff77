// Every resource the program refers to is embedded with its exact form and
// size, and nothing else is.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>

#include "res/AssetTable.h"
#include "res/Resources.h"
#include "res/tests/ImageFiles.h"

namespace res {
namespace {

struct Sized {
  int number;
  int width;
  int height;
};

// Skin window images: the skin and the seven button triples.
const Sized kPngs[] = {
    {191, 1155, 625}, {203, 155, 49}, {204, 155, 49}, {202, 155, 49},  // official site
    {197, 160, 49},   {198, 160, 49}, {196, 160, 49},                  // top-up
    {194, 160, 49},   {195, 160, 49}, {193, 160, 49},                  // forum
    {200, 138, 49},   {201, 138, 49}, {199, 138, 49},                  // customer service
    {211, 138, 49},   {212, 138, 49}, {210, 138, 49},                  // news
    {177, 27, 27},    {178, 27, 27},  {176, 27, 27},                   // minimise
    {181, 27, 27},    {180, 27, 27},  {179, 27, 27},                   // close
};

// Login dialog frame edges, game window frame and title-bar buttons.
const Sized kBitmaps[] = {
    {170, 2, 336}, {148, 610, 2},  {171, 2, 336}, {172, 610, 2}, {150, 130, 29},
    {149, 1, 29},  {151, 136, 29}, {152, 3, 1},   {157, 3, 1},   {153, 1, 4},
    {169, 3, 3},   {168, 3, 3},    {158, 28, 24}, {159, 28, 24}, {166, 28, 24},  // settings menu
    {213, 24, 24}, {214, 24, 24},  {215, 24, 24},                                // to tray
    {160, 24, 24}, {161, 24, 24},  {167, 24, 24},                                // minimise
    {162, 24, 24}, {163, 24, 24},  {165, 24, 24},                                // maximise
    {205, 24, 24}, {206, 24, 24},  {207, 24, 24},                                // restore
    {154, 24, 24}, {155, 24, 24},  {164, 24, 24},                                // close
};

TEST(ResourceTable, EveryPngIsEightBitRgbaOfItsSize) {
  for (const Sized& expected : kPngs) {
    SCOPED_TRACE(expected.number);
    const auto bytes = FindResource(expected.number, ResourceKind::Png);
    ASSERT_FALSE(bytes.empty());
    const auto header = test::ReadPngHeader(bytes);
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->width, static_cast<std::uint32_t>(expected.width));
    EXPECT_EQ(header->height, static_cast<std::uint32_t>(expected.height));
    EXPECT_EQ(header->bitDepth, 8);
    EXPECT_EQ(header->colourType, 6);
    // The whole file decodes, not just its header.
    const auto pixels = test::PngPixels::Decode(bytes);
    ASSERT_TRUE(pixels.has_value());
    EXPECT_EQ(pixels->width(), expected.width);
  }
}

TEST(ResourceTable, EveryBitmapIsUncompressedTwentyFourBitOfItsSize) {
  for (const Sized& expected : kBitmaps) {
    SCOPED_TRACE(expected.number);
    const auto bytes = FindResource(expected.number, ResourceKind::Bitmap);
    ASSERT_FALSE(bytes.empty());
    const auto image = test::BmpImage::Parse(bytes);
    ASSERT_TRUE(image.has_value());
    EXPECT_EQ(image->width(), expected.width);
    EXPECT_EQ(image->height(), expected.height);
  }
}

TEST(ResourceTable, IconIsA128PixelImageWithAlpha) {
  const auto bytes = FindResource(128, ResourceKind::Icon);
  const auto header = test::ReadPngHeader(bytes);
  ASSERT_TRUE(header.has_value());
  EXPECT_EQ(header->width, 128u);
  EXPECT_EQ(header->height, 128u);
  EXPECT_EQ(header->bitDepth, 8);
  EXPECT_EQ(header->colourType, 6);
  const auto pixels = test::PngPixels::Decode(bytes);
  ASSERT_TRUE(pixels.has_value());
  EXPECT_EQ(pixels->at(0, 0).a, 0) << "the icon's corners are transparent";
  EXPECT_EQ(pixels->at(64, 64).a, 255);
}

TEST(ResourceTable, HoldsExactlyTheProgramsResources) {
  std::set<std::pair<ResourceKind, int>> expected;
  for (const Sized& s : kPngs) expected.insert({ResourceKind::Png, s.number});
  for (const Sized& s : kBitmaps) expected.insert({ResourceKind::Bitmap, s.number});
  expected.insert({ResourceKind::Icon, 128});
  expected.insert({ResourceKind::Html, 208});

  std::set<std::pair<ResourceKind, int>> embedded;
  for (const detail::AssetRow& row : detail::AssetRows()) {
    EXPECT_TRUE(embedded.insert({row.kind, row.number}).second) << "resource " << row.number << " is embedded twice";
  }
  EXPECT_EQ(embedded, expected);
}

TEST(ResourceTable, MissingNumbersAndWrongKindsGiveNothing) {
  EXPECT_TRUE(FindResource(0, ResourceKind::Png).empty());
  EXPECT_TRUE(FindResource(-191, ResourceKind::Png).empty());
  EXPECT_TRUE(FindResource(192, ResourceKind::Png).empty());
  EXPECT_TRUE(FindResource(156, ResourceKind::Bitmap).empty()) << "the menu is not a file";
  EXPECT_TRUE(FindResource(209, ResourceKind::Html).empty());
  // The same number under another kind is another resource.
  EXPECT_FALSE(FindResource(191, ResourceKind::Png).empty());
  EXPECT_TRUE(FindResource(191, ResourceKind::Bitmap).empty());
  EXPECT_TRUE(FindResource(170, ResourceKind::Png).empty());
  EXPECT_TRUE(FindResource(128, ResourceKind::Png).empty());
  EXPECT_TRUE(FindResource(208, ResourceKind::Png).empty());
}

}  // namespace
}  // namespace res
