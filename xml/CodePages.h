// Per-code-page facts beside the names: iconv's name, loss reporting, character length.
#pragma once

#include <string>

namespace xml {

// What the reader knows about each code page beyond its names: the iconv
// encoding that carries it, whether it reports lost characters, and how long
// its characters can be.
namespace codepages {

// The iconv name for a code page, or null when iconv has nothing for it.
// Code page 0 stands for the user's locale encoding.
const char* iconvName(int codePage);

// The encoding of the user's locale (LC_ALL, LC_CTYPE, LANG), as iconv names
// it; "ANSI_X3.4-1968" when the locale cannot be loaded.
std::string localeEncodingName();

// Code page 0 resolved to the locale's code page when the encoding table knows
// its name; other code pages are returned as they are.
int resolveAnsi(int codePage);

// Code pages whose conversion never reports lost characters.
bool refusesLossFlag(int codePage);

// For code pages whose characters span several bytes: the most bytes a
// character can leave unfinished at the end of a chunk (the longest character
// less one). 0 for code pages of single-byte characters.
int maxIncompleteBytes(int codePage);

}  // namespace codepages

}  // namespace xml
