#pragma once
// An off-screen RGBA image with premultiplied alpha. The program decodes its
// embedded images into surfaces, composes windows into them and hands the
// result to the window layer. Drawing is plain cairo, so the in-memory test
// backend composes the very same pixels as the real one.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/Types.h"

typedef struct _cairo_surface cairo_surface_t;

namespace platform {

struct FontSpec {
  std::u16string face;
  int height = 12;  // cell height in pixels
  int width = 0;    // average character width in pixels; 0 keeps the face's own
  int weight = 400;
};

enum class TextAlign { Left, Center };

class Surface {
 public:
  struct Rgba {
    std::uint8_t r, g, b, a;
    friend bool operator==(const Rgba&, const Rgba&) = default;
  };

  // A fully transparent surface; null when the size is not positive or too large.
  static std::unique_ptr<Surface> Create(int width, int height);
  // Null when the bytes are not a PNG image cairo can decode.
  static std::unique_ptr<Surface> FromPng(std::span<const std::uint8_t> bytes);
  // Null unless the bytes are an uncompressed 24-bit or 32-bit BMP file.
  static std::unique_ptr<Surface> FromBmp(std::span<const std::uint8_t> bytes);

  ~Surface();
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  int Width() const { return width_; }
  int Height() const { return height_; }

  void Clear();
  // Source-over with per-pixel alpha, scaled from the whole source to dst.
  void DrawOver(const Surface& source, const Rect& dst);
  // Replaces the destination pixels (a stretched copy of the whole source).
  void CopyStretched(const Surface& source, const Rect& dst);
  // Copies other's pixels over this surface at (0, 0), replacing them.
  void CopyFrom(const Surface& other);
  // Draws one line of text with its reference point at (x, y): the top of the
  // text cell, horizontally at its left edge or its centre. Nothing outside
  // clip is touched.
  void DrawText(std::u16string_view text, const FontSpec& font, ColorRef color, int x, int y, TextAlign align,
                const Rect& clip);

  // Straight (not premultiplied) colour of one pixel; transparent outside.
  Rgba PixelAt(int x, int y) const;
  // Every pixel's alpha, row by row, for input and window shapes.
  const std::uint8_t* Data() const;
  int Stride() const;

  cairo_surface_t* CairoSurface() const { return surface_; }

 private:
  explicit Surface(cairo_surface_t* surface);

  cairo_surface_t* surface_;
  int width_;
  int height_;
};

}  // namespace platform
