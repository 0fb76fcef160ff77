#pragma once
// UTF-8 <-> UTF-16 for test data and readable failure messages.

#include <string>
#include <string_view>

#include "base/Text.h"

namespace xml::test_text {

inline std::u16string fromUtf8(std::string_view in) { return base::FromUtf8(in); }
inline std::string toUtf8(std::u16string_view in) { return base::ToUtf8(in); }

}  // namespace xml::test_text
