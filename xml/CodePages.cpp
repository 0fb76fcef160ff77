#include "xml/CodePages.h"

#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <array>
#include <bit>
#include <iterator>

#include "xml/TextEncoding.h"

namespace xml {

namespace codepages {
namespace {

struct IconvEntry {
  int codePage;
  const char* iconvName;
};

// Every code page of the encoding table that glibc's iconv carries, sorted by
// number. Missing on purpose (iconv has no such encoding): 720, 853,
// 10001-10006, 10008, 10010, 10021, 10081, 10082, 20000-20005, 20105, 29001,
// 52936 and 57002-57011; those convert to nothing.
constexpr IconvEntry kIconvNames[] = {
    {154, "PT154"},
    {437, "IBM437"},
    {500, "IBM500"},
    {708, "ASMO-708"},
    {737, "CP737"},
    {775, "IBM775"},
    {850, "IBM850"},
    {852, "IBM852"},
    {855, "IBM855"},
    {857, "IBM857"},
    {858, "IBM858"},
    {860, "IBM860"},
    {861, "IBM861"},
    {862, "IBM862"},
    {863, "IBM863"},
    {864, "IBM864"},
    {865, "IBM865"},
    {866, "IBM866"},
    {869, "IBM869"},
    {874, "WINDOWS-874"},
    {932, "CP932"},
    {936, "CP936"},
    {949, "CP949"},
    {950, "CP950"},
    {1125, "CP1125"},
    {1133, "CP1133"},
    {1200, "UTF-16LE"},
    {1201, "UTF-16BE"},
    {1250, "CP1250"},
    {1251, "CP1251"},
    {1252, "CP1252"},
    {1253, "CP1253"},
    {1254, "CP1254"},
    {1255, "CP1255"},
    {1256, "CP1256"},
    {1257, "CP1257"},
    {1258, "CP1258"},
    {1361, "JOHAB"},
    {10000, "MACINTOSH"},
    {10007, "MAC-CYRILLIC"},
    {10017, "MAC-UK"},
    {10029, "MAC-CENTRALEUROPE"},
    {10079, "MAC-IS"},
    {12000, "UTF-32LE"},
    {12001, "UTF-32BE"},
    {20106, "DIN_66003"},
    {20107, "SEN_850200_B"},
    {20108, "NS_4551-1"},
    {20127, "ANSI_X3.4-1968"},
    {20261, "T.61-8BIT"},
    {20269, "ISO_6937"},
    {20866, "KOI8-R"},
    {20932, "EUC-JP"},
    {20936, "GB2312"},
    {20949, "EUC-KR"},
    {21866, "KOI8-U"},
    {28591, "ISO-8859-1"},
    {28592, "ISO-8859-2"},
    {28593, "ISO-8859-3"},
    {28594, "ISO-8859-4"},
    {28595, "ISO-8859-5"},
    {28596, "ISO-8859-6"},
    {28597, "ISO-8859-7"},
    {28598, "ISO-8859-8"},
    {28599, "ISO-8859-9"},
    {28603, "ISO-8859-13"},
    {28605, "ISO-8859-15"},
    {38598, "ISO-8859-8"},
    {50220, "ISO-2022-JP"},
    {50221, "ISO-2022-JP"},
    {50222, "ISO-2022-JP"},
    {50225, "ISO-2022-KR"},
    {50227, "ISO-2022-CN"},
    {51932, "EUC-JP-MS"},
    {51936, "EUC-CN"},
    {51949, "EUC-KR"},
    {54936, "GB18030"},
    {65000, "UTF-7"},
    {65001, "UTF-8"},
    {65005, "UTF-32LE"},
};

static_assert(std::is_sorted(std::begin(kIconvNames), std::end(kIconvNames),
                             [](const IconvEntry& a, const IconvEntry& b) { return a.codePage < b.codePage; }));

// The multi-byte code pages, with the longest character they hold. Those
// iconv does not carry are listed too: their chunk ends cannot be judged.
struct MultiByteEntry {
  int first;
  int last;
  int longestCharacter;
};

constexpr MultiByteEntry kMultiByte[] = {
    {874, 874, 2},
    {932, 932, 2},
    {936, 936, 2},
    {949, 949, 2},
    {950, 950, 2},
    {1200, 1201, 2},
    {1361, 1361, 2},
    {10001, 10003, 2},
    {10008, 10008, 2},
    {10021, 10021, 2},
    {12000, 12001, 4},
    {20000, 20004, 2},
    {20833, 20833, 2},
    {20932, 20932, 3},
    {20936, 20936, 2},
    {20949, 20949, 2},
    // ISO-2022: a character may follow a four-byte escape sequence.
    {50220, 50222, 4},
    {50225, 50225, 4},
    {50227, 50227, 4},
    {50930, 50931, 2},
    {50933, 50933, 2},
    {50935, 50935, 2},
    {50937, 50937, 2},
    {50939, 50939, 2},
    {51932, 51932, 3},
    {51936, 51936, 2},
    {51949, 51949, 2},
    {52936, 52936, 2},
    {54936, 54936, 4},
    {65005, 65005, 4},
};

bool inList(int codePage, std::initializer_list<int> list) {
  return std::find(list.begin(), list.end(), codePage) != list.end();
}

}  // namespace

const char* iconvName(int codePage) {
  if (codePage == kCodePageAnsi) return nullptr;
  const auto* it = std::lower_bound(std::begin(kIconvNames), std::end(kIconvNames), codePage,
                                    [](const IconvEntry& entry, int cp) { return entry.codePage < cp; });
  if (it == std::end(kIconvNames) || it->codePage != codePage) return nullptr;
  return it->iconvName;
}

std::string localeEncodingName() {
  // The user's locale is read from the environment without touching the
  // process's own locale, which the program may have left at "C".
  locale_t user = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
  if (user == static_cast<locale_t>(0)) return "ANSI_X3.4-1968";
  std::string name = nl_langinfo_l(CODESET, user);
  freelocale(user);
  return name.empty() ? "ANSI_X3.4-1968" : name;
}

int resolveAnsi(int codePage) {
  if (codePage != kCodePageAnsi) return codePage;
  const std::string name = localeEncodingName();
  std::u16string wide(name.begin(), name.end());
  const int resolved = codePageForName(wide.c_str());
  return resolved > 0 ? resolved : kCodePageAnsi;
}

bool refusesLossFlag(int codePage) {
  return (codePage >= 50220 && codePage <= 50222) ||
         inList(codePage, {50225, 50227, 50229, 52936, 54936, 65000, 65001}) ||
         (codePage >= 57002 && codePage <= 57011);
}

int maxIncompleteBytes(int codePage) {
  for (const MultiByteEntry& entry : kMultiByte)
    if (codePage >= entry.first && codePage <= entry.last) return entry.longestCharacter - 1;
  return 0;
}

}  // namespace codepages

}  // namespace xml
