#pragma once
// Script source text for values the host hands to the bridge page. The text
// is plain ASCII: every other character is written as a \u escape, so
// nothing in a value can end the literal or change the script around it.

#include <string>
#include <string_view>

#include "platform/gtk/player/ExternalValue.h"

namespace platform::gtk {

// A double-quoted string literal.
std::string JsString(std::u16string_view text);

// An expression that makes the value. Objects are built by calling
// objectMaker with an array of [key, value] pairs, so that no key (not even
// "__proto__") is read as anything but a plain property.
std::string JsValue(const ExternalValue& value, std::string_view objectMaker);

}  // namespace platform::gtk
