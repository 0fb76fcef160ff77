#pragma once
// Conversions between the program's UTF-16 text and the UTF-8 that GTK, GLib
// and the C library speak. Unpaired surrogates and invalid bytes become U+FFFD.

#include <string>
#include <string_view>

namespace platform {

std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view text);

}  // namespace platform
