#pragma once

#include <string>
#include <string_view>

namespace tessary::update {

// UTF-8 for libcurl and file names; unpaired surrogates become U+FFFD.
std::string ToUtf8(std::u16string_view text);

// Strict decoding: false when the bytes are not well-formed UTF-8.
bool DecodeUtf8(std::string_view bytes, std::u16string& text);

} // namespace tessary::update
