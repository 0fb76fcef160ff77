#pragma once

// The table of embedded files, generated at build time from res/artwork/out/:
// one row per file, its kind from the folder and its number from the name.

#include <span>

#include "res/EmbeddedAsset.h"
#include "res/Resources.h"

namespace res::detail {

struct AssetRow {
  ResourceKind kind;
  int number;
  const EmbeddedAsset* asset;
};

std::span<const AssetRow> AssetRows();

}  // namespace res::detail
