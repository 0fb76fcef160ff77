#include "platform/gtk/player/JscValues.h"

#include "base/Text.h"
#include "platform/gtk/player/InvokeXml.h"

namespace platform::gtk {

namespace {

std::u16string StringOf(JSCValue* value) {
  char* text = jsc_value_to_string(value);
  std::u16string out = text ? base::FromUtf8(text) : std::u16string();
  g_free(text);
  return out;
}

ExternalValue Convert(JSCValue* value, int depth) {
  if (!value || jsc_value_is_undefined(value)) return ExternalValue::Undefined();
  if (jsc_value_is_null(value)) return ExternalValue::Null();
  if (jsc_value_is_boolean(value)) return ExternalValue::Boolean(jsc_value_to_boolean(value));
  if (jsc_value_is_number(value)) return ExternalValue::Number(jsc_value_to_double(value));
  if (jsc_value_is_string(value)) return ExternalValue::String(StringOf(value));
  if (depth >= kMaxValueDepth || jsc_value_is_function(value) || !jsc_value_is_object(value)) {
    return ExternalValue::Null();
  }
  if (jsc_value_is_array(value)) {
    JscRef length(jsc_value_object_get_property(value, "length"));
    double count = length.value ? jsc_value_to_double(length.value) : 0;
    ExternalValue out = ExternalValue::Array();
    for (guint i = 0; i < count && i < (1u << 20); ++i) {
      JscRef item(jsc_value_object_get_property_at_index(value, i));
      out.items.push_back(Convert(item.value, depth + 1));
    }
    return out;
  }
  ExternalValue out = ExternalValue::Object();
  gchar** names = jsc_value_object_enumerate_properties(value);
  for (gchar** name = names; name && *name; ++name) {
    JscRef item(jsc_value_object_get_property(value, *name));
    out.properties.emplace_back(base::FromUtf8(*name), Convert(item.value, depth + 1));
  }
  g_strfreev(names);
  return out;
}

}  // namespace

ExternalValue ValueFromJsc(JSCValue* value) { return Convert(value, 0); }

JSCValue* JscProperty(JSCValue* object, const char* name) {
  if (!object || !jsc_value_is_object(object) || !jsc_value_object_has_property(object, name)) return nullptr;
  return jsc_value_object_get_property(object, name);
}

std::optional<double> JscNumberProperty(JSCValue* object, const char* name) {
  JscRef value(JscProperty(object, name));
  if (!value.value || !jsc_value_is_number(value.value)) return std::nullopt;
  return jsc_value_to_double(value.value);
}

std::optional<std::u16string> JscStringProperty(JSCValue* object, const char* name) {
  JscRef value(JscProperty(object, name));
  if (!value.value || !jsc_value_is_string(value.value)) return std::nullopt;
  return StringOf(value.value);
}

bool JscTrueProperty(JSCValue* object, const char* name) {
  JscRef value(JscProperty(object, name));
  return value.value && jsc_value_is_boolean(value.value) && jsc_value_to_boolean(value.value);
}

}  // namespace platform::gtk
