// Well-formed XML documents for checking the reader against another parser.
#pragma once

#include <string>
#include <vector>

namespace xml {

// Well-formed XML documents (UTF-8) for checking the reader against another parser:
// hand-written ones and documents generated from a seed. They avoid what XML itself
// rewrites and the reader keeps raw (whitespace characters inside attribute values,
// carriage returns, namespaces, non-CDATA attribute types, entities other than those
// whose HTML meaning matches their declaration).
namespace well_formed_corpus {

std::vector<std::string> handWritten();
std::string generated(unsigned seed);
std::string deeplyNested(int depth);

}  // namespace well_formed_corpus

}  // namespace xml
