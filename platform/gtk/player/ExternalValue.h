#pragma once
// A value that crosses between the movie and its host through the player's
// external interface: the seven kinds the player's XML request form knows.

#include <string>
#include <utility>
#include <vector>

namespace platform::gtk {

struct ExternalValue {
  enum class Kind { Undefined, Null, Boolean, Number, String, Array, Object };

  Kind kind = Kind::Undefined;
  bool boolean = false;
  double number = 0;
  std::u16string text;
  // Array items in index order.
  std::vector<ExternalValue> items;
  // Object properties in the order the movie enumerated them.
  std::vector<std::pair<std::u16string, ExternalValue>> properties;

  static ExternalValue Undefined() { return {}; }
  static ExternalValue Null() { return Make(Kind::Null); }
  static ExternalValue Boolean(bool value) {
    ExternalValue v = Make(Kind::Boolean);
    v.boolean = value;
    return v;
  }
  static ExternalValue Number(double value) {
    ExternalValue v = Make(Kind::Number);
    v.number = value;
    return v;
  }
  static ExternalValue String(std::u16string value) {
    ExternalValue v = Make(Kind::String);
    v.text = std::move(value);
    return v;
  }
  static ExternalValue Array(std::vector<ExternalValue> values = {}) {
    ExternalValue v = Make(Kind::Array);
    v.items = std::move(values);
    return v;
  }
  static ExternalValue Object(std::vector<std::pair<std::u16string, ExternalValue>> values = {}) {
    ExternalValue v = Make(Kind::Object);
    v.properties = std::move(values);
    return v;
  }

 private:
  static ExternalValue Make(Kind kind) {
    ExternalValue v;
    v.kind = kind;
    return v;
  }
};

// A number as the player writes it, which is the script language's
// Number-to-string conversion: "1.5", "1e+21", "1.5e-7", "NaN", "-Infinity",
// and "0" for negative zero.
std::u16string NumberText(double value);

}  // namespace platform::gtk
