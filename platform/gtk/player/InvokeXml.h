#pragma once
// The player's XML form of external-interface calls, both ways:
//   <invoke name="..." returntype="xml"><arguments>...</arguments></invoke>
// with each value written as <string>, <number>, <true/>, <false/>, <null/>,
// <undefined/>, <array><property id="0">...</property></array> or
// <object><property id="key">...</property></object>.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gtk/player/ExternalValue.h"

namespace platform::gtk {

// Text escaped as the player escapes it: & < > " and ' become entities.
std::u16string EscapeXml(std::u16string_view text);

// One value in the XML form.
std::u16string ValueXml(const ExternalValue& value);

// The request string of a movie's call to its host.
std::u16string InvokeRequestXml(std::u16string_view name, const std::vector<ExternalValue>& arguments);

// A host's call into the movie, read back from its request string.
struct InvokeRequest {
  std::u16string name;
  std::vector<ExternalValue> arguments;
};

// Reads a request string; nullopt when it holds no <invoke> element with a
// name. Values it cannot read become undefined; nesting deeper than
// kMaxValueDepth is cut there.
std::optional<InvokeRequest> ParseInvokeRequest(const std::u16string& request);

inline constexpr int kMaxValueDepth = 64;

}  // namespace platform::gtk
