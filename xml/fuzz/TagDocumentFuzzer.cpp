// Loads arbitrary bytes as UTF-16 (little-endian units; the first byte picks the option
// bits) and walks the whole tree with every read operation, checking the index links.
#include "xml/ElementTable.h"
#include "xml/EntityCodec.h"
#include "xml/NodeScanner.h"
#include "xml/TagDocument.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace xml {

namespace {

void require(bool condition) {
  if (!condition) __builtin_trap();
}

// Rings closed, parents right, 0x80000 only on first children, every record reached once
// and inside the text.
void checkIndex(const TagDocument& document) {
  const int32_t count = document.nextFreeIndex();
  require(count >= 1 && count <= document.elements().capacity());
  std::vector<uint8_t> seen(static_cast<size_t>(count), 0);
  std::vector<int32_t> parents{0};
  const int64_t size = static_cast<int64_t>(document.text().size());
  while (!parents.empty()) {
    const int32_t parent = parents.back();
    parents.pop_back();
    const int32_t first = document.record(parent).firstChild;
    int32_t previous = first == 0 ? 0 : document.record(first).prevSibling;
    for (int32_t child = first; child != 0; child = document.record(child).nextSibling) {
      require(child > 0 && child < count && seen[static_cast<size_t>(child)]++ == 0);
      const ElementRecord& r = document.record(child);
      require(r.parent == parent);
      require(((r.flags & element_flags::kFirstChild) != 0) == (child == first));
      require(child == first || r.prevSibling == previous);
      require(r.nextSibling != 0 || document.record(first).prevSibling == child);
      require(r.start >= 0 && r.length >= document.startTagLength(child));
      require(static_cast<int64_t>(r.start) + r.length <= size);
      require(document.startTagLength(child) + document.endTagLength(child) <= r.length);
      previous = child;
      parents.push_back(child);
    }
  }
  for (int32_t i = 1; i < count; ++i) require(seen[static_cast<size_t>(i)] == 1);
}

void readEverything(TagDocument& document) {
  document.currentName();
  document.currentText();
  document.innerMarkup();
  for (int n = 0; n < 64; ++n) {
    const std::u16string name = document.attributeNameAt(n);
    if (name.empty()) break;
    document.attributeValue(name.c_str());
  }
  document.attributeValue(u"x");
}

void walk(TagDocument& document) {
  document.rewind();
  for (;;) {
    if (document.findNextElement()) {
      readEverything(document);
      const std::u16string name = document.currentName();
      if (document.enterElement()) continue;
      document.findNextElement(name.c_str());
    }
    if (!document.leaveElement()) break;
  }
  // The same text node by node, as the node-by-node position reads it.
  NodeScanner scanner(document.text().data(), static_cast<int32_t>(document.text().size()));
  scanner.setRecordFaults(false);
  for (NodeReport node = scanner.next(); node.kind != node_kind::kEnd; node = scanner.next()) {
    require(node.length > 0 && node.offset >= 0 &&
            node.offset + node.length <= static_cast<int32_t>(document.text().size()));
    const int32_t kind = node.kind == node_kind::kEndTag ? node_kind::kLoneEndTag : node.kind;
    if (kind > 1) {
      document.selectNode(kind, node.offset, node.length);
      readEverything(document);
    }
  }
}

}  // namespace

}  // namespace xml

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace xml;
  if (size == 0) return 0;
  static const uint32_t kOptions[] = {0, TagDocument::kIgnoreCase, TagDocument::kTrimText,
                                      TagDocument::kCollapseWhitespace,
                                      TagDocument::kIgnoreCase | TagDocument::kCollapseWhitespace};
  const uint32_t options = kOptions[data[0] % 5];
  std::u16string text;
  text.reserve(size / 2);
  for (size_t i = 1; i + 1 < size; i += 2) text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));

  TagDocument document;
  document.setOptions(options);
  document.loadString(std::u16string_view(text));
  require(document.resultLog().size() < 1000 + 200 + text.size() * 6);
  checkIndex(document);
  walk(document);

  decodeEntities(text, options);
  encodeEntities(text, entity_mode::kAttribute | entity_mode::kKeepReferences);
  wrapCdata(text);

  // The NUL-terminated form stops at the first NUL and must index that much alike.
  TagDocument terminated;
  terminated.loadString(text.c_str());
  checkIndex(terminated);
  return 0;
}
