// Builds a document's element index from its text with the node scanner.
#pragma once

#include <cstdint>

namespace xml {

class TagDocument;

// Builds the element index of the document's text: one record per start tag, with
// offsets, tag lengths, levels and links. Never stops at a fault: faults go to the
// result log and into the index's flag bits. Returns the first top-level element, or 0.
int32_t parseDocument(TagDocument& document);

}  // namespace xml
