// What a window shows and where it takes input: its painted image or its
// layered one, and the shapes that cut it where the program wants the
// desktop to show through.

#include <algorithm>
#include <vector>

#include "platform/gtk/GtkDialogWindow.h"
#include "platform/gtk/GtkPlatform.h"

namespace platform::gtk {
namespace {

// Without a compositing manager X shows no partial alpha: the window's
// shape takes the pixels of at least half alpha, drawn opaque, so a glow
// over a light desktop is cut at its middle rather than shown as a dark
// blob over black.
constexpr std::uint8_t kSolidAlpha = 128;

// The region of pixels whose alpha is at least minimumAlpha, built row by
// row from runs.
cairo_region_t* OpaqueRegion(const Surface& image, std::uint8_t minimumAlpha) {
  std::vector<cairo_rectangle_int_t> runs;
  const std::uint8_t* data = image.Data();
  const int stride = image.Stride();
  for (int y = 0; y < image.Height(); ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::size_t>(stride) * y);
    int x = 0;
    while (x < image.Width()) {
      while (x < image.Width() && (row[x] >> 24) < minimumAlpha) ++x;
      const int begin = x;
      while (x < image.Width() && (row[x] >> 24) >= minimumAlpha) ++x;
      if (x > begin) runs.push_back({begin, y, x - begin, 1});
    }
  }
  return cairo_region_create_rectangles(runs.data(), static_cast<int>(runs.size()));
}

// The image as an X server without a compositor shows it: pixels of at
// least half alpha opaque with their own colour, the others cleared.
std::unique_ptr<Surface> SolidCopy(const Surface& image) {
  auto solid = Surface::Create(image.Width(), image.Height());
  if (!solid) return nullptr;
  solid->CopyFrom(image);
  cairo_surface_flush(solid->CairoSurface());
  std::uint8_t* data = cairo_image_surface_get_data(solid->CairoSurface());
  const int stride = solid->Stride();
  for (int y = 0; y < solid->Height(); ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::size_t>(stride) * y);
    for (int x = 0; x < solid->Width(); ++x) {
      const std::uint32_t pixel = row[x];
      const std::uint32_t alpha = pixel >> 24;
      if (alpha < kSolidAlpha) {
        row[x] = 0;
        continue;
      }
      // Premultiplied channels back to their own colour.
      auto channel = [&](int shift) {
        return std::min<std::uint32_t>(255, (((pixel >> shift) & 0xFF) * 255 + alpha / 2) / alpha);
      };
      row[x] = 0xFF000000u | (channel(16) << 16) | (channel(8) << 8) | channel(0);
    }
  }
  cairo_surface_mark_dirty(solid->CairoSurface());
  return solid;
}

void UnionRect(cairo_region_t* region, const Rect& r) {
  cairo_rectangle_int_t rect{r.left, r.top, r.Width(), r.Height()};
  cairo_region_union_rectangle(region, &rect);
}

}  // namespace

void GtkDialogWindow::Paint(cairo_t* cr) {
  cairo_save(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  if (layered_ && !platform_.IsComposited()) {
    if (!layeredSolid_) layeredSolid_ = SolidCopy(*layered_);
    if (layeredSolid_) cairo_set_source_surface(cr, layeredSolid_->CairoSurface(), 0, 0);
    cairo_paint(cr);
  } else if (layered_) {
    cairo_set_source_surface(cr, layered_->CairoSurface(), 0, 0);
    cairo_paint_with_alpha(cr, layeredAlpha_ / 255.0);
  } else if (colorKey_) {
    // The key colour is never shown: the shape cuts all but the controls.
    cairo_set_source_rgba(cr, 0, 0, 0, 0);
    cairo_paint(cr);
  } else {
    cairo_set_source_surface(cr, WindowSurface().CairoSurface(), 0, 0);
    cairo_paint(cr);
  }
  cairo_restore(cr);
}

bool GtkDialogWindow::UpdateLayered(const Surface& image, std::uint8_t constantAlpha) {
  if (IsDestroyed()) return false;
  if (!layered_ || layered_->Width() != image.Width() || layered_->Height() != image.Height())
    layered_ = Surface::Create(image.Width(), image.Height());
  if (!layered_) return false;
  layered_->CopyFrom(image);
  layeredSolid_.reset();
  layeredAlpha_ = constantAlpha;
  const Rect r = PlacedRect();
  if (r.Width() != image.Width() || r.Height() != image.Height()) {
    AdoptSize(image.Width(), image.Height());
    gtk_widget_set_size_request(GTK_WIDGET(fixed_), image.Width(), image.Height());
    gtk_window_resize(GTK_WINDOW(window_), image.Width(), image.Height());
  }
  UpdateShape();
  gtk_widget_queue_draw(window_);
  return true;
}

void GtkDialogWindow::SetColorKey(ColorRef key) {
  colorKey_ = key;
  if (!gtk_widget_get_realized(window_)) {
    if (GdkVisual* rgba = gdk_screen_get_rgba_visual(gtk_widget_get_screen(window_)))
      gtk_widget_set_visual(window_, rgba);
  }
  UpdateShape();
}

void GtkDialogWindow::UpdateShape() {
  cairo_region_t* region = nullptr;
  const bool composited = platform_.IsComposited();
  if (layered_) {
    region = OpaqueRegion(*layered_, composited ? 1 : kSolidAlpha);
  } else if (colorKey_) {
    // Only the controls and the static bitmaps are seen and take input; the
    // rest of a colour-keyed window belongs to the window below.
    region = cairo_region_create();
    for (const auto& [widget, rect] : controls_)
      if (gtk_widget_get_visible(widget)) UnionRect(region, rect);
    for (const auto& [id, bitmap] : statics_)
      if (const auto rect = ChildRect(id)) UnionRect(region, *rect);
  }
  gtk_widget_input_shape_combine_region(window_, region);
  // Without a compositing manager X shows alpha as black, so the window's
  // own shape is cut too.
  gtk_widget_shape_combine_region(window_, composited ? nullptr : region);
  if (region) cairo_region_destroy(region);
}

}  // namespace platform::gtk
