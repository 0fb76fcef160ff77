#include <string_view>
#include <vector>

#include "xml/AttributeScanner.h"
#include "xml/NameMatch.h"
#include "xml/NodeScanner.h"
#include "xml/TextEncoding.h"

namespace xml {

// The encoding a text names for itself: in its XML declaration, or in the
// Content-Type meta element of an HTML page.

namespace {

char16_t foldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

bool sameName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (foldAscii(a[i]) != foldAscii(b[i])) return false;
  return true;
}

class TagReader {
 public:
  TagReader(const std::u16string& text, const NodeScanner& scanner, const NodeReport& node, int32_t nameStart)
      : text_(text) {
    name_ = std::u16string_view(text.data() + scanner.nameFirst(),
                                static_cast<std::size_t>(std::max(scanner.nameLength(), 0)));
    int32_t tagNameEnd = 0;
    AttributeScanner(text.data(), nameStart, node.offset + node.length).scan(attributes_, tagNameEnd);
  }

  std::u16string_view name() const { return name_; }

  // The raw value of the first attribute of that name, if the tag has one.
  bool value(std::u16string_view attribute, std::u16string_view& result) const {
    for (const AttributeToken& token : attributes_) {
      const std::u16string_view name(text_.data() + token.nameStart, static_cast<std::size_t>(token.nameLength));
      if (!sameName(name, attribute)) continue;
      result = token.hasValue
                   ? std::u16string_view(text_.data() + token.valueStart, static_cast<std::size_t>(token.valueLength))
                   : name;
      return true;
    }
    return false;
  }

 private:
  const std::u16string& text_;
  std::u16string_view name_;
  std::vector<AttributeToken> attributes_;
};

bool isSpace(char16_t c) { return c == u'\t' || c == u'\n' || c == u'\r' || c == u' '; }

// "text/html; charset=gb2312": the word after "charset" and "=". Every
// separator but whitespace is a token of its own.
std::u16string charsetOf(std::u16string_view content) {
  std::vector<std::u16string_view> tokens;
  std::size_t i = 0;
  while (i < content.size()) {
    if (isSpace(content[i])) {
      ++i;
    } else if (name_match::endsName(content[i])) {
      tokens.push_back(content.substr(i, 1));
      ++i;
    } else {
      std::size_t end = i;
      while (end < content.size() && !name_match::endsName(content[end])) ++end;
      tokens.push_back(content.substr(i, end - i));
      i = end;
    }
  }
  for (std::size_t k = 0; k + 2 < tokens.size(); ++k)
    if (sameName(tokens[k], u"charset") && tokens[k + 1] == u"=" && !name_match::endsName(tokens[k + 2].front()))
      return std::u16string(tokens[k + 2]);
  return {};
}

}  // namespace

std::u16string detectDeclaredEncoding(const std::u16string& text) {
  NodeScanner scanner(text.data(), static_cast<int32_t>(text.size()), 0);
  scanner.setRecordFaults(false);
  bool insideHtml = false;
  for (;;) {
    const NodeReport node = scanner.next();
    switch (node.kind) {
      case node_kind::kProcessingInstruction:
        if (node.offset == 0 && !insideHtml) {
          // Pseudo-attributes are read after "<?", the target being the first name.
          const TagReader declaration(text, scanner, node, node.offset + 2);
          if (!sameName(declaration.name(), u"xml")) break;
          std::u16string_view encoding;
          return declaration.value(u"encoding", encoding) ? std::u16string(encoding) : std::u16string();
        }
        break;
      case node_kind::kStartTag: {
        const TagReader tag(text, scanner, node, node.offset + 1);
        if (!insideHtml) {
          if (!sameName(tag.name(), u"html")) return {};
          insideHtml = true;
          break;
        }
        std::u16string_view httpEquiv, content;
        if (sameName(tag.name(), u"meta") && tag.value(u"http-equiv", httpEquiv) &&
            sameName(httpEquiv, u"Content-Type") && tag.value(u"content", content)) {
          std::u16string charset = charsetOf(content);
          if (!charset.empty()) return charset;
        }
        break;
      }
      case node_kind::kEndTag:
        if (insideHtml && sameName(std::u16string_view(text.data() + scanner.nameFirst(),
                                                       static_cast<std::size_t>(std::max(scanner.nameLength(), 0))),
                                   u"head"))
          return {};
        break;
      case node_kind::kFaulty:
      case node_kind::kEnd: return {};
      default: break;
    }
  }
}

}  // namespace xml
