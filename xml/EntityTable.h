// The table of named character references ("&amp;", "&eacute;", ...) and its hash.
#pragma once

#include <cstdint>

namespace xml {

// Named character references: a hash of 130 buckets over 253 entities. A name's bucket
// is the sum of its character codes (ASCII capitals folded to small) modulo 130; names
// themselves are matched exactly, so "Aring" and "aring" stay apart.
class EntityTable {
 public:
  static constexpr int kBucketCount = 130;
  static constexpr int kEntityCount = 253;

  // Code point of the entity, or 0 when the name is not in the table.
  static char32_t lookup(const char16_t* name, int32_t length);
  static int bucketOf(const char16_t* name, int32_t length);
  static int bucketSize(int bucket);
};

}  // namespace xml
