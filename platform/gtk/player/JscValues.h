#pragma once
// Values the bridge page hands to the host (script messages, script
// results), read into the player's value model.

#include <jsc/jsc.h>

#include <optional>
#include <string>

#include "platform/gtk/player/ExternalValue.h"

namespace platform::gtk {

// Owns one reference to a script value.
struct JscRef {
  JSCValue* value;
  explicit JscRef(JSCValue* v) : value(v) {}
  ~JscRef() {
    if (value) g_object_unref(value);
  }
  JscRef(const JscRef&) = delete;
  JscRef& operator=(const JscRef&) = delete;
};

// Functions and other objects that are neither arrays nor plain data become
// null; nesting deeper than kMaxValueDepth is cut there (as null).
ExternalValue ValueFromJsc(JSCValue* value);

// A named property of an object value, or null when absent.
JSCValue* JscProperty(JSCValue* object, const char* name);  // new reference
std::optional<double> JscNumberProperty(JSCValue* object, const char* name);
std::optional<std::u16string> JscStringProperty(JSCValue* object, const char* name);
bool JscTrueProperty(JSCValue* object, const char* name);

}  // namespace platform::gtk
