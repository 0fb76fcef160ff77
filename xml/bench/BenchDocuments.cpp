#include "BenchDocuments.h"

#include <map>

#include "base/Text.h"

namespace xml {

namespace {

constexpr size_t kTargetBytes = 24u << 20;

std::u16string toUtf16(const std::string& in) { return base::FromUtf8(in); }

// Many small elements side by side.
BenchDocument flat() {
  BenchDocument d;
  d.utf8 = "<?xml version=\"1.0\"?>\n<root>\n";
  for (size_t i = 0; d.utf8.size() < kTargetBytes; ++i) {
    const std::string n = std::to_string(i);
    d.utf8 += "  <item id=\"" + n + "\">value " + n + "</item>\n";
    d.utf8 += "  <flag/>\n";
    d.elements += 2;
  }
  d.utf8 += "</root>\n";
  d.elements += 1;
  return d;
}

// Chains a thousand elements deep, one after the other.
BenchDocument nested() {
  BenchDocument d;
  d.utf8 = "<root>";
  d.elements = 1;
  constexpr int kDepth = 1000;
  while (d.utf8.size() < kTargetBytes) {
    for (int level = 0; level < kDepth; ++level) d.utf8 += "<level n=\"" + std::to_string(level) + "\">t";
    d.utf8 += "<leaf>deep</leaf>";
    for (int level = kDepth - 1; level >= 0; --level) d.utf8 += "</level>";
    d.elements += kDepth + 1;
  }
  d.utf8 += "</root>";
  return d;
}

// Records with many attributes and long text holding references and non-ASCII text.
BenchDocument attributeHeavy() {
  BenchDocument d;
  d.utf8 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<records>\n";
  d.elements = 1;
  for (size_t i = 0; d.utf8.size() < kTargetBytes; ++i) {
    const std::string n = std::to_string(i);
    d.utf8 += "<record id=\"" + n + "\" name=\"Name &amp; Partner " + n + "\" city='Z\xc3\xbcrich' email=\"user." + n +
              "@example.com\" note=\"a &lt; b &gt; c\" score=\"98.5\" tags=\"alpha beta gamma\""
              " lang='\xe4\xb8\xad\xe6\x96\x87'>"
              "Some longer text about record " +
              n +
              " with &amp; references, &#x263A; symbols, \xc3\xa9t\xc3\xa9 words and a "
              "<em kind=\"strong\">marked</em> part that runs on for a while.</record>\n";
    d.elements += 2;
  }
  d.utf8 += "</records>\n";
  return d;
}

}  // namespace

const char* shapeName(Shape shape) {
  switch (shape) {
    case Shape::Flat: return "flat";
    case Shape::Nested: return "nested";
    case Shape::AttributeHeavy: return "attributes";
  }
  return "?";
}

const BenchDocument& benchDocument(Shape shape) {
  static std::map<Shape, BenchDocument> documents;
  auto found = documents.find(shape);
  if (found != documents.end()) return found->second;
  BenchDocument d = shape == Shape::Flat ? flat() : shape == Shape::Nested ? nested() : attributeHeavy();
  d.utf16 = toUtf16(d.utf8);
  return documents.emplace(shape, std::move(d)).first->second;
}

}  // namespace xml
