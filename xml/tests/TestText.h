// UTF-8 <-> UTF-16 for test data and readable failure messages.
#pragma once

#include <string>
#include <string_view>

namespace xml {

// UTF-8 <-> UTF-16 for test data and readable failure messages.
namespace test_text {

inline std::u16string fromUtf8(std::string_view in) {
  std::u16string out;
  for (size_t i = 0; i < in.size();) {
    const unsigned char c = static_cast<unsigned char>(in[i]);
    char32_t code = c;
    int extra = 0;
    if (c >= 0xF0) { code = c & 0x07; extra = 3; }
    else if (c >= 0xE0) { code = c & 0x0F; extra = 2; }
    else if (c >= 0xC0) { code = c & 0x1F; extra = 1; }
    ++i;
    for (int k = 0; k < extra && i < in.size(); ++k, ++i)
      code = (code << 6) | (static_cast<unsigned char>(in[i]) & 0x3F);
    if (code >= 0x10000) {
      code -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(code));
    }
  }
  return out;
}

inline std::string toUtf8(std::u16string_view in) {
  std::string out;
  for (size_t i = 0; i < in.size(); ++i) {
    char32_t code = in[i];
    if (code >= 0xD800 && code < 0xDC00 && i + 1 < in.size() && in[i + 1] >= 0xDC00 &&
        in[i + 1] < 0xE000) {
      code = 0x10000 + ((code - 0xD800) << 10) + (in[i + 1] - 0xDC00);
      ++i;
    }
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return out;
}

} // namespace test_text

}  // namespace xml
