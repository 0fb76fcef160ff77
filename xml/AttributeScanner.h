// Cuts a start tag (or processing instruction) into its name and attribute tokens.
#pragma once

#include <cstdint>
#include <vector>

namespace xml {

// One attribute of a start tag (or processing instruction), as offsets into the text.
struct AttributeToken {
  int32_t nameStart = 0;
  int32_t nameLength = 0;
  bool hasValue = false;   // written with '='
  int32_t valueStart = 0;  // the value without its quotes
  int32_t valueLength = 0;
  int32_t tokenEnd = 0;         // end of the attribute's last token (quotes included)
  int32_t valueTokenStart = 0;  // where the value token begins (its opening quote)
};

// Cuts a start tag into tokens, starting after its '<' (or "<?"): the tag name, then
// names, '=' and values. A name without '=' has its own name as value.
class AttributeScanner {
 public:
  // Scans [from, end) of text.
  AttributeScanner(const char16_t* text, int32_t from, int32_t end) : text_(text), pos_(from), end_(end) {}

  // All attributes after the tag name, in order. nameEnd receives the end of the
  // tag name (the place to insert after when there are no attributes).
  void scan(std::vector<AttributeToken>& attributes, int32_t& tagNameEnd);

 private:
  const char16_t* text_;
  int32_t pos_;
  int32_t end_;
};

}  // namespace xml
