#pragma once
// Conversions between the program's UTF-16 text and the UTF-8 that GTK, GLib,
// the C library and our text files speak.

#include <string>
#include <string_view>

namespace base {

// Lenient: unpaired surrogates and invalid bytes become U+FFFD.
std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

// Strict, for text that must round-trip exactly: false (and the output
// untouched) when the bytes are not well-formed UTF-8 (bad or cut sequences,
// overlong forms, surrogates, past U+10FFFF) ...
bool DecodeUtf8(std::string_view bytes, std::u16string& text);
// ... or when the text holds an unpaired surrogate.
bool EncodeUtf8(std::u16string_view text, std::string& bytes);

}  // namespace base
