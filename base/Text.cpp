#include "base/Text.h"

#include <utility>

namespace base {
namespace {

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void AppendUtf16(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out += static_cast<char16_t>(c);
  } else {
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 | (c >> 10));
    out += static_cast<char16_t>(0xDC00 | (c & 0x3FF));
  }
}

constexpr char32_t kReplacement = 0xFFFD;

// Decodes UTF-8; an invalid byte becomes U+FFFD, or ends the decoding
// (false) when strict.
bool Decode(std::string_view text, std::u16string& out, bool strict) {
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    int length = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
    char32_t c = 0;
    bool valid = length != 0 && i + length <= text.size();
    if (valid) {
      c = length == 1 ? b : b & (0x7F >> length);
      for (int k = 1; k < length && valid; ++k) {
        const auto cont = static_cast<unsigned char>(text[i + k]);
        valid = (cont & 0xC0) == 0x80;
        c = (c << 6) | (cont & 0x3F);
      }
      // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
      static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
      valid = valid && c >= kMinimum[length] && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
    }
    if (!valid) {
      if (strict) return false;
      AppendUtf16(out, kReplacement);
      ++i;
      continue;
    }
    AppendUtf16(out, c);
    i += length;
  }
  return true;
}

// Encodes UTF-16; an unpaired surrogate becomes U+FFFD, or ends the encoding
// (false) when strict.
bool Encode(std::u16string_view text, std::string& out, bool strict) {
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      if (strict) return false;
      c = kReplacement;
    }
    AppendUtf8(out, c);
  }
  return true;
}

// The strict forms: the result only when the whole conversion succeeded.
template <typename In, typename Out>
bool Strictly(bool (*convert)(In, Out&, bool), In in, Out& result) {
  Out out;
  if (!convert(in, out, true)) return false;
  result = std::move(out);
  return true;
}

}  // namespace

std::u16string FromUtf8(std::string_view text) {
  std::u16string out;
  Decode(text, out, false);
  return out;
}

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  Encode(text, out, false);
  return out;
}

bool DecodeUtf8(std::string_view bytes, std::u16string& text) { return Strictly(Decode, bytes, text); }

bool EncodeUtf8(std::u16string_view text, std::string& bytes) { return Strictly(Encode, text, bytes); }

}  // namespace base
