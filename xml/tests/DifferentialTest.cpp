// The reader against libxml2: for well-formed documents both must see the same tree.
#include "TestText.h"
#include "WellFormedCorpus.h"
#include "xml/TagDocument.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <string>
#include <utility>
#include <vector>

namespace xml {

namespace {

using test_text::fromUtf8;
using test_text::toUtf8;

struct Element {
  int depth = 0;
  std::u16string name;
  std::vector<std::pair<std::u16string, std::u16string>> attributes;
  std::u16string text;
  bool operator==(const Element&) const = default;
};

std::string describe(const Element& e) {
  std::string out = std::to_string(e.depth) + " <" + toUtf8(e.name);
  for (const auto& [name, value] : e.attributes) out += " " + toUtf8(name) + "=[" + toUtf8(value) + "]";
  return out + "> text=[" + toUtf8(e.text) + "]";
}

// ---------------------------------------------------------------- our walk

std::vector<Element> walkTagDocument(TagDocument& document) {
  std::vector<Element> elements;
  document.rewind();
  int depth = 0;
  for (;;) {
    if (document.findNextElement()) {
      Element e;
      e.depth = depth;
      e.name = document.currentName();
      for (int n = 0;; ++n) {
        const std::u16string name = document.attributeNameAt(n);
        if (name.empty()) break;
        e.attributes.emplace_back(name, document.attributeValue(name.c_str()));
      }
      e.text = document.currentText();
      elements.push_back(std::move(e));
      if (document.enterElement()) {
        ++depth;
        continue;
      }
    }
    if (!document.leaveElement()) return elements;
    --depth;
  }
}

// ---------------------------------------------------------------- libxml2's walk

bool isXmlSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

// The reader's text nodes inside mixed content: a piece ends after a '>' (not its first
// character), and a piece of whitespace that runs up to markup adds nothing.
std::u16string textPiecesOf(const std::u16string& segment) {
  std::u16string out;
  size_t s = 0;
  while (s < segment.size()) {
    size_t q = s + 1;
    if (isXmlSpace(segment[s])) {
      q = s;
      while (q < segment.size() && isXmlSpace(segment[q])) ++q;
      if (q == segment.size()) break;  // whitespace up to the markup
    }
    const size_t gt = segment.find(u'>', q);
    const size_t end = gt == std::u16string::npos ? segment.size() : gt + 1;
    out += segment.substr(s, end - s);
    s = end;
  }
  return out;
}

std::u16string contentOf(xmlNode* node) {
  xmlChar* content = xmlNodeGetContent(node);
  std::u16string out = content != nullptr ? fromUtf8(reinterpret_cast<const char*>(content)) : u"";
  xmlFree(content);
  return out;
}

std::u16string leafText(xmlNode* element) {
  bool mixed = false;
  for (xmlNode* child = element->children; child != nullptr; child = child->next) mixed |= child->type != XML_TEXT_NODE;
  std::u16string out;
  std::u16string segment;
  for (xmlNode* child = element->children; child != nullptr; child = child->next) {
    if (child->type == XML_TEXT_NODE) {
      segment += contentOf(child);
      continue;
    }
    out += mixed ? textPiecesOf(segment) : segment;
    segment.clear();
    if (child->type == XML_CDATA_SECTION_NODE) out += contentOf(child);
  }
  out += mixed ? textPiecesOf(segment) : segment;
  return out;
}

std::vector<Element> walkLibxml2(xmlDoc* document) {
  std::vector<Element> elements;
  std::vector<std::pair<xmlNode*, int>> pending;  // depth-first without recursion
  for (xmlNode* node = document->children; node != nullptr; node = node->next)
    if (node->type == XML_ELEMENT_NODE) pending.insert(pending.begin(), {node, 0});
  while (!pending.empty()) {
    auto [node, depth] = pending.back();
    pending.pop_back();
    Element e;
    e.depth = depth;
    e.name = fromUtf8(reinterpret_cast<const char*>(node->name));
    for (xmlAttr* attribute = node->properties; attribute != nullptr; attribute = attribute->next) {
      xmlChar* value = xmlNodeListGetString(document, attribute->children, 1);
      e.attributes.emplace_back(fromUtf8(reinterpret_cast<const char*>(attribute->name)),
                                value != nullptr ? fromUtf8(reinterpret_cast<const char*>(value)) : u"");
      xmlFree(value);
    }
    std::vector<xmlNode*> children;
    for (xmlNode* child = node->children; child != nullptr; child = child->next)
      if (child->type == XML_ELEMENT_NODE) children.push_back(child);
    if (children.empty()) e.text = leafText(node);
    elements.push_back(std::move(e));
    for (auto child = children.rbegin(); child != children.rend(); ++child) pending.emplace_back(*child, depth + 1);
  }
  return elements;
}

// ---------------------------------------------------------------- comparison

void expectSameTree(const std::string& utf8) {
  SCOPED_TRACE("document: " + utf8.substr(0, 2000));
  xmlParserCtxtPtr context = xmlNewParserCtxt();
  ASSERT_NE(context, nullptr);
  xmlDoc* oracle =
      xmlCtxtReadMemory(context, utf8.data(), static_cast<int>(utf8.size()), "corpus.xml", "UTF-8",
                        XML_PARSE_NOENT | XML_PARSE_HUGE | XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  const bool oracleWellFormed = oracle != nullptr && context->wellFormed != 0;
  xmlFreeParserCtxt(context);
  ASSERT_TRUE(oracleWellFormed) << "the corpus document itself is faulty";

  TagDocument document;
  const std::u16string text = fromUtf8(utf8);
  EXPECT_TRUE(document.loadString(text.c_str())) << toUtf8(document.resultLog());
  EXPECT_EQ(document.resultLog(), u"");

  const std::vector<Element> ours = walkTagDocument(document);
  const std::vector<Element> theirs = walkLibxml2(oracle);
  xmlFreeDoc(oracle);
  ASSERT_EQ(ours.size(), theirs.size());
  for (size_t i = 0; i < ours.size(); ++i) ASSERT_EQ(describe(ours[i]), describe(theirs[i])) << "element " << i;
}

TEST(AgainstLibxml2, HandWrittenDocuments) {
  for (const std::string& document : well_formed_corpus::handWritten()) expectSameTree(document);
}

TEST(AgainstLibxml2, GeneratedDocuments) {
  for (unsigned seed = 1; seed <= 3000; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    expectSameTree(well_formed_corpus::generated(seed));
  }
}

TEST(AgainstLibxml2, DeeplyNestedDocument) { expectSameTree(well_formed_corpus::deeplyNested(3000)); }

TEST(AgainstLibxml2, TheCorpusCoversWhatItShould) {
  std::string all;
  for (unsigned seed = 1; seed <= 500; ++seed) all += well_formed_corpus::generated(seed);
  for (const char* construct : {"<![CDATA[", "<!--", "<?pi", "<!DOCTYPE", "<!ENTITY", "='", "=\"", "&amp;", "&#x1F600;",
                                "&nbsp;", "\xe4\xb8\xad", "/>", " />"})
    EXPECT_NE(all.find(construct), std::string::npos) << construct;
}

}  // namespace

}  // namespace xml
