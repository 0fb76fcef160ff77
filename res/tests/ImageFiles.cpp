#include "res/tests/ImageFiles.h"

#include <cairo.h>

#include <cstring>

namespace res::test {
namespace {

std::uint32_t Be32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

std::uint32_t Le32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}

std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

struct ReadState {
  std::span<const std::uint8_t> bytes;
  std::size_t offset = 0;
};

cairo_status_t ReadFromSpan(void* closure, unsigned char* data, unsigned int length) {
  auto* state = static_cast<ReadState*>(closure);
  if (state->bytes.size() - state->offset < length) return CAIRO_STATUS_READ_ERROR;
  std::memcpy(data, state->bytes.data() + state->offset, length);
  state->offset += length;
  return CAIRO_STATUS_SUCCESS;
}

}  // namespace

std::optional<PngHeader> ReadPngHeader(std::span<const std::uint8_t> bytes) {
  static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (bytes.size() < 8 + 8 + 13 + 4 || std::memcmp(bytes.data(), kSignature, 8) != 0) {
    return std::nullopt;
  }
  const std::uint8_t* chunk = bytes.data() + 8;
  if (Be32(chunk) != 13 || std::memcmp(chunk + 4, "IHDR", 4) != 0) return std::nullopt;
  if (Be32(chunk + 8 + 13) != Crc32(chunk + 4, 4 + 13)) return std::nullopt;
  const std::uint8_t* field = chunk + 8;
  return PngHeader{Be32(field), Be32(field + 4), field[8], field[9], field[12]};
}

std::optional<PngPixels> PngPixels::Decode(std::span<const std::uint8_t> bytes) {
  ReadState state{bytes};
  cairo_surface_t* surface = cairo_image_surface_create_from_png_stream(ReadFromSpan, &state);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return std::nullopt;
  }
  PngPixels image;
  image.width_ = cairo_image_surface_get_width(surface);
  image.height_ = cairo_image_surface_get_height(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  const bool hasAlpha = cairo_image_surface_get_format(surface) == CAIRO_FORMAT_ARGB32;
  const unsigned char* data = cairo_image_surface_get_data(surface);
  image.pixels_.reserve(static_cast<std::size_t>(image.width_) * image.height_);
  for (int y = 0; y < image.height_; ++y) {
    for (int x = 0; x < image.width_; ++x) {
      std::uint32_t v;
      std::memcpy(&v, data + y * stride + x * 4, 4);
      const int a = hasAlpha ? static_cast<int>(v >> 24) : 255;
      auto straight = [a](std::uint32_t c) { return a == 0 ? 0 : static_cast<int>((c * 255 + a / 2) / a); };
      image.pixels_.push_back({straight((v >> 16) & 255), straight((v >> 8) & 255), straight(v & 255), a});
    }
  }
  cairo_surface_destroy(surface);
  return image;
}

Rgba PngPixels::at(int x, int y) const { return pixels_[static_cast<std::size_t>(y) * width_ + x]; }

std::optional<BmpImage> BmpImage::Parse(std::span<const std::uint8_t> bytes) {
  constexpr std::size_t kHeaders = 14 + 40;
  if (bytes.size() < kHeaders || bytes[0] != 'B' || bytes[1] != 'M') return std::nullopt;
  const std::uint8_t* p = bytes.data();
  const std::uint32_t fileSize = Le32(p + 2);
  const std::uint32_t pixelOffset = Le32(p + 10);
  const std::uint32_t infoSize = Le32(p + 14);
  const auto width = static_cast<std::int32_t>(Le32(p + 18));
  const auto height = static_cast<std::int32_t>(Le32(p + 22));
  const std::uint16_t planes = Le16(p + 26);
  const std::uint16_t bitCount = Le16(p + 28);
  const std::uint32_t compression = Le32(p + 30);
  if (fileSize != bytes.size() || infoSize < 40 || planes != 1 || bitCount != 24 || compression != 0 || width <= 0 ||
      height == 0 || pixelOffset < 14 + infoSize) {
    return std::nullopt;
  }
  const int rows = height < 0 ? -height : height;
  const std::size_t rowSize = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
  if (bytes.size() < pixelOffset + rowSize * rows) return std::nullopt;
  BmpImage image;
  image.width_ = width;
  image.height_ = rows;
  image.pixels_.resize(static_cast<std::size_t>(width) * rows);
  for (int y = 0; y < rows; ++y) {
    const int stored = height > 0 ? rows - 1 - y : y;  // positive height: bottom-up
    const std::uint8_t* row = p + pixelOffset + rowSize * stored;
    for (int x = 0; x < width; ++x) {
      image.pixels_[static_cast<std::size_t>(y) * width + x] = {row[x * 3 + 2], row[x * 3 + 1], row[x * 3]};
    }
  }
  return image;
}

}  // namespace res::test
