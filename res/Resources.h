#pragma once

// The program's embedded resources, referred to by number only.
//
// Files (images, icon, loading page) are embedded byte for byte at build time
// from res/artwork/out/; the dialog templates, the menu and the version block
// are data of this library. Lookups never fail loudly: a number that the
// program does not carry gives an empty span or a null pointer.

#include <cstdint>
#include <span>

#include "res/DialogTemplates.h"
#include "res/MenuResource.h"
#include "res/VersionInfo.h"

namespace res {

enum class ResourceKind {
  Png,     // custom type "PNG": a PNG file, 8-bit RGBA
  Bitmap,  // BITMAP: a 24-bit uncompressed BMP file, file header included
  Html,    // RT_HTML: the page as stored (the loading page is GB2312)
  Icon,    // icon group: one 128 x 128 image with alpha, stored as a PNG file
};

// The bytes of resource `number` of `kind`; empty when there is none.
std::span<const std::uint8_t> FindResource(int number, ResourceKind kind);

}  // namespace res
