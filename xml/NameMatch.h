// Matching element, attribute and end-tag names against given names.
#pragma once

#include <cstdint>
#include <string_view>

namespace xml {

namespace name_match {

// Characters that end a name in a tag or a declaration: white space,
// quotes and the markup's punctuation.
inline bool endsName(char16_t c) {
  switch (c) {
    case u'\t':
    case u'\n':
    case u'\r':
    case u' ':
    case u'!':
    case u'"':
    case u'\'':
    case u'/':
    case u';':
    case u'<':
    case u'=':
    case u'>':
    case u'?':
    case u'\\': return true;
    default: return false;
  }
}

inline char16_t foldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; }

// True when `given` agrees with the name over the name's whole length and then ends
// or goes on with ' ', '/', '=', '[' or ']'. Used for element names, attribute names
// and end tags against open start tags.
inline bool matches(const char16_t* name, int32_t nameLength, std::u16string_view given, bool ignoreCase) {
  if (nameLength < 0 || given.size() < static_cast<size_t>(nameLength)) return false;
  if (ignoreCase) {
    for (int32_t i = 0; i < nameLength; ++i)
      if (foldAscii(name[i]) != foldAscii(given[i])) return false;
  } else {
    for (int32_t i = 0; i < nameLength; ++i)
      if (name[i] != given[i]) return false;
  }
  if (given.size() == static_cast<size_t>(nameLength)) return true;
  const char16_t next = given[nameLength];
  return next == u' ' || next == u'/' || next == u'=' || next == u'[' || next == u']';
}

// A name given as a NUL-terminated argument.
inline std::u16string_view argument(const char16_t* text) {
  return text == nullptr ? std::u16string_view() : std::u16string_view(text);
}

}  // namespace name_match

}  // namespace xml
