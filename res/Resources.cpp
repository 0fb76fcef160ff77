#include "res/Resources.h"

#include "res/AssetTable.h"

namespace res {

std::span<const std::uint8_t> FindResource(int number, ResourceKind kind) {
  for (const detail::AssetRow& row : detail::AssetRows()) {
    if (row.kind == kind && row.number == number) {
      return {reinterpret_cast<const std::uint8_t*>(row.asset->data), row.asset->size};
    }
  }
  return {};
}

}  // namespace res
