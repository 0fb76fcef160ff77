// Character and entity references: decoding text, escaping markup, CDATA sections.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace xml {

namespace entity_mode {
inline constexpr uint32_t kAttribute = 0x01;       // also escape '"' and '\''
inline constexpr uint32_t kKeepReferences = 0x08;  // an '&' that starts a well-formed reference stays
}  // namespace entity_mode

// Copies text while resolving "&name;", "&#n;" and "&#xh;". length -1: up to the
// terminating NUL. Options 0x100 / 0x200 of the document trim (and collapse) whitespace.
std::u16string decodeEntities(const char16_t* text, int32_t length, uint32_t options);
inline std::u16string decodeEntities(std::u16string_view text, uint32_t options) {
  return decodeEntities(text.data(), static_cast<int32_t>(text.size()), options);
}

// Escapes '&', '<', '>' (and in attribute mode '"' and '\'') for writing markup.
std::u16string encodeEntities(std::u16string_view text, uint32_t mode);

// "<![CDATA[" text "]]>", every "]]>" inside split as "]]]]><![CDATA[>".
std::u16string wrapCdata(std::u16string_view text);

}  // namespace xml
