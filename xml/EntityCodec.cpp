#include "xml/EntityCodec.h"

#include "xml/CharSearch.h"
#include "xml/EntityTable.h"

namespace xml {

using char_search::isSpace;

namespace {

constexpr uint32_t kTrim = 0x100;
constexpr uint32_t kCollapse = 0x200;
constexpr int kMaxReferenceName = 9;

int hexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// The value of the leading digits of a character reference ("#65", "#x41"); digits
// that do not parse give 0. Values beyond Unicode give 0 as well: no code point.
char32_t characterReference(const char16_t* name, int32_t length) {
  int32_t i = 1;
  int base = 10;
  if (i < length && (name[i] == u'x' || name[i] == u'X')) {
    base = 16;
    ++i;
  }
  uint32_t value = 0;
  for (; i < length; ++i) {
    const int digit = base == 16 ? hexValue(name[i]) : (name[i] >= u'0' && name[i] <= u'9' ? name[i] - u'0' : -1);
    if (digit < 0) break;
    value = value * base + static_cast<uint32_t>(digit);
    if (value > 0x10FFFF) return 0;
  }
  return value;
}

void appendCodePoint(std::u16string& out, char32_t code) {
  if (code < 0x10000) {
    out.push_back(static_cast<char16_t>(code));
    return;
  }
  const char32_t bits = code - 0x10000;
  out.push_back(static_cast<char16_t>(0xD800 + ((bits >> 10) & 0x3FF)));
  out.push_back(static_cast<char16_t>(0xDC00 + (bits & 0x3FF)));
}

// Code point of the reference whose name lies between '&' and ';', or 0.
char32_t resolve(const char16_t* name, int32_t length) {
  if (length > 0 && name[0] == u'#') return characterReference(name, length);
  return EntityTable::lookup(name, length);
}

bool isNameCharacter(char16_t c) {
  return c == u'-' || c == u'.' || (c >= u'0' && c <= u'9') || c == u':' || (c >= u'A' && c <= u'Z') || c == u'_' ||
         (c >= u'a' && c <= u'z') || c >= 0x80;
}

bool opensReferenceName(char16_t c) {
  return c == u'#' || c == u':' || c == u'_' || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c >= 0x80;
}

// The '&' at text[at] starts "&name;" made only of name characters.
bool startsWellFormedReference(std::u16string_view text, size_t at) {
  size_t i = at + 1;
  if (i >= text.size() || !opensReferenceName(text[i])) return false;
  for (++i; i < text.size(); ++i) {
    if (text[i] == u';') return true;
    if (!isNameCharacter(text[i])) return false;
  }
  return false;
}

}  // namespace

std::u16string decodeEntities(const char16_t* text, int32_t length, uint32_t options) {
  std::u16string out;
  if (text == nullptr) return out;
  if (length < 0) {
    length = 0;
    while (text[length] != 0) ++length;
  }
  const bool trim = (options & (kTrim | kCollapse)) != 0;
  const bool collapse = (options & kCollapse) != 0;
  out.reserve(static_cast<size_t>(length));

  // Trimming state: whether anything but whitespace was written, and where the
  // current run of whitespace began in the output (npos when not in a run).
  bool seenContent = false;
  size_t runStart = std::u16string::npos;

  for (int32_t i = 0; i < length; ++i) {
    const char16_t c = text[i];
    if (trim && isSpace(c)) {
      if (!seenContent) continue;
      if (runStart == std::u16string::npos) {
        runStart = out.size();
        out.push_back(collapse ? u' ' : c);
      } else if (!collapse) {
        out.push_back(c);
      }
      continue;
    }
    runStart = std::u16string::npos;
    seenContent = true;
    if (c != u'&') {
      out.push_back(c);
      continue;
    }
    // Up to nine characters up to ';'; a character of 128 or above stops the search.
    int32_t semicolon = -1;
    for (int32_t k = 1; k <= kMaxReferenceName + 1 && i + k < length; ++k) {
      const char16_t n = text[i + k];
      if (n == u';') {
        semicolon = i + k;
        break;
      }
      if (n >= 0x80) break;
    }
    const char32_t code = semicolon < 0 ? 0 : resolve(text + i + 1, semicolon - i - 1);
    if (code == 0) {
      out.push_back(u'&');
      continue;
    }
    appendCodePoint(out, code);
    i = semicolon;
  }
  if (trim && runStart != std::u16string::npos) out.resize(runStart);
  return out;
}

std::u16string encodeEntities(std::u16string_view text, uint32_t mode) {
  const bool attribute = (mode & entity_mode::kAttribute) != 0;
  const bool keepReferences = (mode & entity_mode::kKeepReferences) != 0;
  // The buffer starts at the input length plus a tenth plus 7 and is quadrupled
  // whenever fewer than 6 places (the longest escape) remain.
  size_t capacity = text.size() + text.size() / 10 + 7;
  std::u16string out(capacity, u'\0');
  size_t used = 0;
  const auto put = [&](std::u16string_view piece) {
    for (char16_t c : piece) out[used++] = c;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    if (capacity - used < 6) {
      capacity *= 4;
      out.resize(capacity);
    }
    const char16_t c = text[i];
    switch (c) {
      case u'&':
        if (keepReferences && startsWellFormedReference(text, i))
          out[used++] = c;
        else
          put(u"&amp;");
        break;
      case u'<': put(u"&lt;"); break;
      case u'>': put(u"&gt;"); break;
      case u'"':
        if (attribute)
          put(u"&quot;");
        else
          out[used++] = c;
        break;
      case u'\'':
        if (attribute)
          put(u"&apos;");
        else
          out[used++] = c;
        break;
      default: out[used++] = c; break;
    }
  }
  out.resize(used);
  return out;
}

std::u16string wrapCdata(std::u16string_view text) {
  std::u16string out = u"<![CDATA[";
  size_t from = 0;
  for (;;) {
    const size_t found = text.find(u"]]>", from);
    if (found == std::u16string_view::npos) break;
    out.append(text.substr(from, found - from));
    out.append(u"]]]]><![CDATA[>");
    from = found + 3;
  }
  out.append(text.substr(from));
  out.append(u"]]>");
  return out;
}

}  // namespace xml
