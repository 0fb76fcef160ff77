#pragma once

// Test-side readers for the two image forms the program embeds: the PNG
// header fields and pixels (decoded with cairo) and 24-bit BMP files.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace res::test {

struct PngHeader {
  std::uint32_t width;
  std::uint32_t height;
  int bitDepth;
  int colourType;
  int interlace;
};

// Signature, then IHDR as the first chunk with a correct CRC; nullopt otherwise.
std::optional<PngHeader> ReadPngHeader(std::span<const std::uint8_t> bytes);

struct Rgba {
  int r, g, b, a;
};

// Straight (not premultiplied) RGBA pixels of a PNG file.
class PngPixels {
 public:
  static std::optional<PngPixels> Decode(std::span<const std::uint8_t> bytes);
  int width() const { return width_; }
  int height() const { return height_; }
  Rgba at(int x, int y) const;

 private:
  int width_ = 0, height_ = 0;
  std::vector<Rgba> pixels_;
};

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
};

// A 24-bit uncompressed BMP: header fields checked, pixels top row first.
class BmpImage {
 public:
  // nullopt when the file is not a well-formed 24-bit BI_RGB bitmap.
  static std::optional<BmpImage> Parse(std::span<const std::uint8_t> bytes);
  int width() const { return width_; }
  int height() const { return height_; }
  Rgb at(int x, int y) const { return pixels_[static_cast<std::size_t>(y) * width_ + x]; }

 private:
  int width_ = 0, height_ = 0;
  std::vector<Rgb> pixels_;
};

}  // namespace res::test
