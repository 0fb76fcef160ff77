#include "platform/gtk/player/InvokeXml.h"

#include <cmath>
#include <cstdlib>

#include "xml/TagDocument.h"

namespace platform::gtk {

using xml::TagDocument;

std::u16string EscapeXml(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char16_t c : text) {
    switch (c) {
      case u'&': out += u"&amp;"; break;
      case u'<': out += u"&lt;"; break;
      case u'>': out += u"&gt;"; break;
      case u'"': out += u"&quot;"; break;
      case u'\'': out += u"&apos;"; break;
      default: out += c;
    }
  }
  return out;
}

namespace {

void AppendValue(std::u16string& out, const ExternalValue& value) {
  using Kind = ExternalValue::Kind;
  switch (value.kind) {
    case Kind::Undefined: out += u"<undefined/>"; break;
    case Kind::Null: out += u"<null/>"; break;
    case Kind::Boolean: out += value.boolean ? u"<true/>" : u"<false/>"; break;
    case Kind::Number: out += u"<number>" + NumberText(value.number) + u"</number>"; break;
    case Kind::String: out += u"<string>" + EscapeXml(value.text) + u"</string>"; break;
    case Kind::Array:
      out += u"<array>";
      for (std::size_t i = 0; i < value.items.size(); ++i) {
        out += u"<property id=\"" + NumberText(static_cast<double>(i)) + u"\">";
        AppendValue(out, value.items[i]);
        out += u"</property>";
      }
      out += u"</array>";
      break;
    case Kind::Object:
      out += u"<object>";
      for (const auto& [key, item] : value.properties) {
        out += u"<property id=\"" + EscapeXml(key) + u"\">";
        AppendValue(out, item);
        out += u"</property>";
      }
      out += u"</object>";
      break;
  }
}

}  // namespace

std::u16string ValueXml(const ExternalValue& value) {
  std::u16string out;
  AppendValue(out, value);
  return out;
}

std::u16string InvokeRequestXml(std::u16string_view name, const std::vector<ExternalValue>& arguments) {
  std::u16string out = u"<invoke name=\"" + EscapeXml(name) + u"\" returntype=\"xml\"><arguments>";
  for (const ExternalValue& argument : arguments) AppendValue(out, argument);
  out += u"</arguments></invoke>";
  return out;
}

}  // namespace platform::gtk

// ---- Reading a host's request ----

namespace platform::gtk {

namespace {

// Array indices above this are dropped rather than allocated.
constexpr std::size_t kMaxArrayIndex = 1u << 20;

double ParseNumber(const std::u16string& text) {
  std::string ascii;
  for (char16_t c : text) {
    if (c > 0x7F) return std::nan("");
    ascii += static_cast<char>(c);
  }
  std::size_t first = ascii.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return std::nan("");
  ascii = ascii.substr(first, ascii.find_last_not_of(" \t\r\n") - first + 1);
  char* end = nullptr;
  double value = std::strtod(ascii.c_str(), &end);
  return end && *end == '\0' ? value : std::nan("");
}

std::optional<std::size_t> ParseIndex(const std::u16string& id) {
  if (id.empty() || id.size() > 7) return std::nullopt;
  std::size_t index = 0;
  for (char16_t c : id) {
    if (c < u'0' || c > u'9') return std::nullopt;
    index = index * 10 + static_cast<std::size_t>(c - u'0');
  }
  if (index > kMaxArrayIndex) return std::nullopt;
  return index;
}

ExternalValue ReadValue(TagDocument& doc, int depth);

// The value inside the current <property> element.
ExternalValue ReadPropertyValue(TagDocument& doc, int depth) {
  ExternalValue value;
  if (doc.enterElement()) {
    if (doc.findNextElement()) value = ReadValue(doc, depth);
    doc.leaveElement();
  }
  return value;
}

// The value the current element stands for.
ExternalValue ReadValue(TagDocument& doc, int depth) {
  std::u16string name = doc.currentName();
  if (name == u"string") return ExternalValue::String(doc.currentText());
  if (name == u"number") return ExternalValue::Number(ParseNumber(doc.currentText()));
  if (name == u"true") return ExternalValue::Boolean(true);
  if (name == u"false") return ExternalValue::Boolean(false);
  if (name == u"null") return ExternalValue::Null();
  bool isArray = name == u"array";
  if ((!isArray && name != u"object") || depth >= kMaxValueDepth) return ExternalValue::Undefined();

  ExternalValue out = isArray ? ExternalValue::Array() : ExternalValue::Object();
  if (doc.enterElement()) {
    while (doc.findNextElement()) {
      if (doc.currentName() != u"property") continue;
      std::u16string id = doc.attributeValue(u"id");
      if (!isArray) {
        out.properties.emplace_back(id, ReadPropertyValue(doc, depth + 1));
      } else if (auto index = ParseIndex(id)) {
        if (out.items.size() <= *index) out.items.resize(*index + 1);
        out.items[*index] = ReadPropertyValue(doc, depth + 1);
      }
    }
    doc.leaveElement();
  }
  return out;
}

}  // namespace

std::optional<InvokeRequest> ParseInvokeRequest(const std::u16string& request) {
  TagDocument doc;
  doc.loadString(std::u16string_view(request));
  doc.rewind();
  bool found = false;
  while (!found && doc.findNextElement()) found = doc.currentName() == u"invoke";
  if (!found) return std::nullopt;

  InvokeRequest out;
  out.name = doc.attributeValue(u"name");
  if (out.name.empty()) return std::nullopt;
  if (doc.enterElement()) {
    while (doc.findNextElement()) {
      if (doc.currentName() != u"arguments") continue;
      if (doc.enterElement()) {
        while (doc.findNextElement()) out.arguments.push_back(ReadValue(doc, 0));
        doc.leaveElement();
      }
      break;
    }
    doc.leaveElement();
  }
  return out;
}

}  // namespace platform::gtk
