#pragma once
// Conversions between the program's UTF-16 text and the UTF-8 that GTK, GLib
// and the C library speak. Unpaired surrogates and invalid bytes become U+FFFD.

#include <optional>
#include <string>
#include <string_view>

namespace platform {

std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);
// Strict decoding: false (and text untouched) when the bytes are not
// well-formed UTF-8 (bad or cut sequences, overlong forms, surrogates).
bool DecodeUtf8(std::string_view bytes, std::u16string& text);

}  // namespace platform
