// The document shapes the parse benchmark measures, in UTF-8 and UTF-16.
#pragma once

#include <cstddef>
#include <string>

namespace xml {

// The three document shapes the parsers are measured on, each generated in UTF-8 and
// in UTF-16 (what TagDocument indexes).
enum class Shape { Flat, Nested, AttributeHeavy };

struct BenchDocument {
  std::string utf8;
  std::u16string utf16;
  size_t elements = 0;
};

const char* shapeName(Shape shape);
const BenchDocument& benchDocument(Shape shape);

}  // namespace xml
