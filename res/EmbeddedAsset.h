#pragma once

// One embedded file as the build stores it (see res/cmake/EmbedFile.cmake).
// Constant-initialised, so lookups work even during static initialisation.

#include <cstddef>

namespace res::detail {

struct EmbeddedAsset {
  const unsigned char* data;
  std::size_t size;
};

}  // namespace res::detail
