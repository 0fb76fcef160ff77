#pragma once
// The parameter string the web site hands over: key=value pairs joined by
// "&". Keys are searched together with their leading "&" and their "=",
// case-sensitively, and a value ends at the next "&"; a value with no "&"
// after it counts as empty (it is not taken to the end of the string).

#include <optional>
#include <string>
#include <string_view>

namespace game {

// Whether a key found at the very start of the string counts.
enum class KeyAtStart { Counts, Ignored };

std::optional<std::u16string> QueryValue(std::u16string_view query, std::u16string_view key,
                                         KeyAtStart atStart = KeyAtStart::Ignored);

}  // namespace game
