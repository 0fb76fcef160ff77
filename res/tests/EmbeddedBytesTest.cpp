// The build step that embeds files keeps them byte for byte: the committed
// asset files, and fixtures at the edges of its line splitting.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "res/AssetTable.h"
#include "res/EmbeddedAsset.h"

namespace res::detail {
extern const EmbeddedAsset kFixture_empty;
extern const EmbeddedAsset kFixture_one;
extern const EmbeddedAsset kFixture_line;
extern const EmbeddedAsset kFixture_line_plus_one;
extern const EmbeddedAsset kFixture_all_bytes;
}  // namespace res::detail

namespace res {
namespace {

std::vector<unsigned char> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<unsigned char> Bytes(const detail::EmbeddedAsset& asset) { return {asset.data, asset.data + asset.size}; }

const char* FolderOf(ResourceKind kind) {
  switch (kind) {
    case ResourceKind::Png: return "png";
    case ResourceKind::Bitmap: return "bitmap";
    case ResourceKind::Html: return "html";
    case ResourceKind::Icon: return "icon";
  }
  return "";
}

const char* ExtensionOf(ResourceKind kind) {
  switch (kind) {
    case ResourceKind::Bitmap: return ".bmp";
    case ResourceKind::Html: return ".html";
    default: return ".png";
  }
}

TEST(EmbeddedBytes, EqualTheCommittedAssetFiles) {
  const std::filesystem::path dir = TESSARY_RES_ASSET_DIR;
  ASSERT_FALSE(detail::AssetRows().empty());
  for (const detail::AssetRow& row : detail::AssetRows()) {
    const auto path = dir / FolderOf(row.kind) / (std::to_string(row.number) + ExtensionOf(row.kind));
    SCOPED_TRACE(path.string());
    const auto file = ReadFile(path);
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(Bytes(*row.asset), file);
  }
}

TEST(EmbeddedBytes, KeepFilesAtTheEdgesOfLineSplitting) {
  EXPECT_EQ(detail::kFixture_empty.size, 0u);
  EXPECT_EQ(Bytes(detail::kFixture_one), std::vector<unsigned char>{0x00});

  std::vector<unsigned char> line;  // exactly one line of 32 bytes
  for (int b = 0xE0; b <= 0xFF; ++b) line.push_back(static_cast<unsigned char>(b));
  EXPECT_EQ(Bytes(detail::kFixture_line), line);
  line.push_back('A');  // a hex digit right after \xff must stay its own byte
  EXPECT_EQ(Bytes(detail::kFixture_line_plus_one), line);

  std::vector<unsigned char> all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<unsigned char>(b));
  for (int b = 255; b >= 0; --b) all.push_back(static_cast<unsigned char>(b));
  EXPECT_EQ(Bytes(detail::kFixture_all_bytes), all);
}

}  // namespace
}  // namespace res
