#include "platform/gtk/player/JsLiteral.h"

#include <cmath>
#include <cstdio>

namespace platform::gtk {

std::string JsString(std::u16string_view text) {
  std::string out = "\"";
  for (char16_t c : text) {
    if (c == u'"' || c == u'\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
      out += escape;
    }
  }
  return out + "\"";
}

namespace {

std::string JsNumber(double value) {
  if (std::isnan(value)) return "NaN";
  if (value == 0 && std::signbit(value)) return "-0";
  std::u16string text = NumberText(value);  // "Infinity", "-1.5e-7" ...: valid source as written
  std::string out(text.begin(), text.end());
  return value < 0 ? "(" + out + ")" : out;
}

void AppendValue(std::string& out, const ExternalValue& value, std::string_view objectMaker) {
  using Kind = ExternalValue::Kind;
  switch (value.kind) {
    case Kind::Undefined: out += "undefined"; break;
    case Kind::Null: out += "null"; break;
    case Kind::Boolean: out += value.boolean ? "true" : "false"; break;
    case Kind::Number: out += JsNumber(value.number); break;
    case Kind::String: out += JsString(value.text); break;
    case Kind::Array:
      out += '[';
      for (std::size_t i = 0; i < value.items.size(); ++i) {
        if (i) out += ',';
        AppendValue(out, value.items[i], objectMaker);
      }
      out += ']';
      break;
    case Kind::Object:
      out += objectMaker;
      out += "([";
      for (std::size_t i = 0; i < value.properties.size(); ++i) {
        if (i) out += ',';
        out += '[' + JsString(value.properties[i].first) + ',';
        AppendValue(out, value.properties[i].second, objectMaker);
        out += ']';
      }
      out += "])";
      break;
  }
}

}  // namespace

std::string JsValue(const ExternalValue& value, std::string_view objectMaker) {
  std::string out;
  AppendValue(out, value, objectMaker);
  return out;
}

}  // namespace platform::gtk
