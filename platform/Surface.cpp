#include "platform/Surface.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cstring>

#include "base/Text.h"

namespace platform {
namespace {

constexpr int kMaxSide = 16384;

struct PngReader {
  std::span<const std::uint8_t> bytes;
  std::size_t offset = 0;
};

cairo_status_t ReadPng(void* closure, unsigned char* data, unsigned int length) {
  auto* reader = static_cast<PngReader*>(closure);
  if (reader->bytes.size() - reader->offset < length) return CAIRO_STATUS_READ_ERROR;
  std::memcpy(data, reader->bytes.data() + reader->offset, length);
  reader->offset += length;
  return CAIRO_STATUS_SUCCESS;
}

std::uint32_t ReadLe32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t ReadLe16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

void SetColor(cairo_t* cr, ColorRef color) {
  cairo_set_source_rgb(cr, (color & 0xFF) / 255.0, ((color >> 8) & 0xFF) / 255.0, ((color >> 16) & 0xFF) / 255.0);
}

void PaintScaled(cairo_surface_t* target, const Surface& source, const Rect& dst, cairo_operator_t op) {
  if (dst.Width() <= 0 || dst.Height() <= 0 || source.Width() <= 0 || source.Height() <= 0) return;
  cairo_t* cr = cairo_create(target);
  cairo_rectangle(cr, dst.left, dst.top, dst.Width(), dst.Height());
  cairo_clip(cr);
  cairo_translate(cr, dst.left, dst.top);
  cairo_scale(cr, static_cast<double>(dst.Width()) / source.Width(),
              static_cast<double>(dst.Height()) / source.Height());
  cairo_set_source_surface(cr, source.CairoSurface(), 0, 0);
  // Stretched frame pieces must repeat their edge pixels, not fade out.
  cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
  if (dst.Width() != source.Width() || dst.Height() != source.Height())
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  cairo_set_operator(cr, op);
  cairo_paint(cr);
  cairo_destroy(cr);
}

}  // namespace

Surface::Surface(cairo_surface_t* surface)
    : surface_(surface),
      width_(cairo_image_surface_get_width(surface)),
      height_(cairo_image_surface_get_height(surface)) {}

Surface::~Surface() { cairo_surface_destroy(surface_); }

std::unique_ptr<Surface> Surface::Create(int width, int height) {
  if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return nullptr;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    return nullptr;
  }
  return std::unique_ptr<Surface>(new Surface(s));
}

std::unique_ptr<Surface> Surface::FromPng(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return nullptr;
  PngReader reader{bytes};
  cairo_surface_t* s = cairo_image_surface_create_from_png_stream(ReadPng, &reader);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS || cairo_image_surface_get_format(s) != CAIRO_FORMAT_ARGB32) {
    // An opaque PNG decodes as RGB24; keep every surface ARGB32 so composition is uniform.
    if (cairo_surface_status(s) == CAIRO_STATUS_SUCCESS) {
      auto out = Create(cairo_image_surface_get_width(s), cairo_image_surface_get_height(s));
      if (out) {
        cairo_t* cr = cairo_create(out->surface_);
        cairo_set_source_surface(cr, s, 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_flush(out->surface_);
      }
      cairo_surface_destroy(s);
      return out;
    }
    cairo_surface_destroy(s);
    return nullptr;
  }
  return std::unique_ptr<Surface>(new Surface(s));
}

std::unique_ptr<Surface> Surface::FromBmp(std::span<const std::uint8_t> bytes) {
  // BITMAPFILEHEADER (14 bytes) + BITMAPINFOHEADER (at least 40 bytes).
  if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') return nullptr;
  const std::uint8_t* p = bytes.data();
  const std::uint32_t pixelOffset = ReadLe32(p + 10);
  const std::uint32_t headerSize = ReadLe32(p + 14);
  const auto width = static_cast<std::int32_t>(ReadLe32(p + 18));
  const auto rawHeight = static_cast<std::int32_t>(ReadLe32(p + 22));
  const std::uint16_t bits = ReadLe16(p + 28);
  const std::uint32_t compression = ReadLe32(p + 30);
  if (headerSize < 40 || (bits != 24 && bits != 32) || compression != 0) return nullptr;
  if (width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN) return nullptr;
  const bool bottomUp = rawHeight > 0;
  const int height = bottomUp ? rawHeight : -rawHeight;
  if (width > kMaxSide || height > kMaxSide) return nullptr;
  const std::size_t rowBytes = ((static_cast<std::size_t>(width) * bits + 31) / 32) * 4;
  if (pixelOffset > bytes.size() || (bytes.size() - pixelOffset) / rowBytes < static_cast<std::size_t>(height))
    return nullptr;
  auto out = Create(width, height);
  if (!out) return nullptr;
  cairo_surface_flush(out->surface_);
  unsigned char* data = cairo_image_surface_get_data(out->surface_);
  const int stride = cairo_image_surface_get_stride(out->surface_);
  const int bytesPerPixel = bits / 8;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* row = p + pixelOffset + rowBytes * (bottomUp ? height - 1 - y : y);
    auto* dst = reinterpret_cast<std::uint32_t*>(data + static_cast<std::size_t>(stride) * y);
    for (int x = 0; x < width; ++x) {
      const std::uint8_t* px = row + x * bytesPerPixel;
      dst[x] = 0xFF000000u | (px[2] << 16) | (px[1] << 8) | px[0];
    }
  }
  cairo_surface_mark_dirty(out->surface_);
  return out;
}

void Surface::Clear() {
  cairo_t* cr = cairo_create(surface_);
  cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
  cairo_paint(cr);
  cairo_destroy(cr);
}

void Surface::DrawOver(const Surface& source, const Rect& dst) {
  PaintScaled(surface_, source, dst, CAIRO_OPERATOR_OVER);
}

void Surface::CopyStretched(const Surface& source, const Rect& dst) {
  PaintScaled(surface_, source, dst, CAIRO_OPERATOR_SOURCE);
}

void Surface::CopyFrom(const Surface& other) {
  PaintScaled(surface_, other, {0, 0, other.Width(), other.Height()}, CAIRO_OPERATOR_SOURCE);
}

void Surface::DrawText(std::u16string_view text, const FontSpec& font, ColorRef color, int x, int y, TextAlign align,
                       const Rect& clip) {
  if (text.empty() || clip.Width() <= 0 || clip.Height() <= 0) return;
  cairo_t* cr = cairo_create(surface_);
  cairo_rectangle(cr, clip.left, clip.top, clip.Width(), clip.Height());
  cairo_clip(cr);
  PangoLayout* layout = pango_cairo_create_layout(cr);
  PangoFontDescription* description = pango_font_description_new();
  const std::string face = base::ToUtf8(font.face);
  pango_font_description_set_family(description, face.c_str());
  pango_font_description_set_absolute_size(description, font.height * PANGO_SCALE);
  pango_font_description_set_weight(description, static_cast<PangoWeight>(font.weight));
  pango_layout_set_font_description(layout, description);
  pango_layout_set_single_paragraph_mode(layout, TRUE);
  const std::string utf8 = base::ToUtf8(text);
  pango_layout_set_text(layout, utf8.c_str(), static_cast<int>(utf8.size()));
  int width = 0, height = 0;
  pango_layout_get_pixel_size(layout, &width, &height);
  const int left = align == TextAlign::Center ? x - width / 2 : x;
  SetColor(cr, color);
  cairo_move_to(cr, left, y);
  pango_cairo_show_layout(cr, layout);
  pango_font_description_free(description);
  g_object_unref(layout);
  cairo_destroy(cr);
  cairo_surface_flush(surface_);
}

Surface::Rgba Surface::PixelAt(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return {0, 0, 0, 0};
  cairo_surface_flush(surface_);
  const unsigned char* data = cairo_image_surface_get_data(surface_);
  const std::uint32_t px = *reinterpret_cast<const std::uint32_t*>(
      data + static_cast<std::size_t>(cairo_image_surface_get_stride(surface_)) * y + x * 4);
  const std::uint8_t a = px >> 24;
  if (a == 0) return {0, 0, 0, 0};
  auto unpremultiply = [a](std::uint32_t c) { return static_cast<std::uint8_t>((c * 255 + a / 2) / a); };
  return {unpremultiply((px >> 16) & 0xFF), unpremultiply((px >> 8) & 0xFF), unpremultiply(px & 0xFF), a};
}

const std::uint8_t* Surface::Data() const {
  cairo_surface_flush(surface_);
  return cairo_image_surface_get_data(surface_);
}

int Surface::Stride() const { return cairo_image_surface_get_stride(surface_); }

}  // namespace platform
