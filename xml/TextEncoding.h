// Named text encodings: code pages of names and conversions between them.
#pragma once

#include <string>

namespace xml {

// Named text encodings of the XML reader: the code page of a name and the
// conversion between the encodings, done with iconv underneath.
//
// Code pages are the Windows numbers. Three of them are handled here without
// iconv and have their own unit size:
//   65005  UTF-32 (32-bit units in the machine's byte order),
//   1200   UTF-16 (16-bit units, char16_t),
//   65001  UTF-8  (bytes).
// Every other code page counts its text in bytes.

inline constexpr int kCodePageAnsi = 0;  // the user's locale encoding
inline constexpr int kCodePageUtf16 = 1200;
inline constexpr int kCodePageUtf16BE = 1201;
inline constexpr int kCodePageUtf32Table = 12000;
inline constexpr int kCodePageUtf32BE = 12001;
inline constexpr int kCodePageUtf32 = 65005;
inline constexpr int kCodePageUtf7 = 65000;
inline constexpr int kCodePageUtf8 = 65001;
inline constexpr int kNoCodePage = -1;

// The code page of an encoding name: 0 for an empty name (or null), 65005 for
// any name beginning with "UTF-32" (exactly so written), otherwise the code
// page of the encoding table (ASCII letters compared without case) for names
// shorter than 100 characters, and -1 for anything else.
int codePageForName(const char16_t* name);

// Converts `sourceUnits` units of `source` from one named encoding to another.
// Units are those of each code page (see above). With `target` null nothing is
// written and the result is the number of units the conversion needs;
// otherwise at most `targetCapacity` units are written, never a part of a
// character, and the result is the number written. Characters the target
// cannot hold and source sequences that are not valid become '?'; `loss` (when
// given) then tells so, except for the code pages that never report it (the
// ISO-2022 family, HZ, GB18030, ISCII, UTF-7 and UTF-8). Pairs of encodings
// that cannot be converted, and code pages iconv does not know, give 0.
// Bytes in one unit of a named encoding, as convertText counts them: 4 for
// UTF-32, 2 for UTF-16 and 1 for every other. Buffers are sized with it.
int unitSizeOf(const char16_t* encoding);

int convertText(const char16_t* sourceEncoding, const char16_t* targetEncoding, const void* source, int sourceUnits,
                void* target, int targetCapacity, bool* loss = nullptr);

// The encoding name that a text declares for itself: the "encoding" of an XML
// declaration at its very start, or the charset of the Content-Type meta
// element of an HTML page's head; empty when it declares none.
std::u16string detectDeclaredEncoding(const std::u16string& text);

}  // namespace xml
