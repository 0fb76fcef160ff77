#include "xml/TextEncoding.h"

#include <array>

namespace xml {

// The encoding table: every name the reader knows, in lower case, with its
// code page, kept in hash buckets (sum of the name's character codes with
// ASCII capitals folded, modulo 155) so that a look-up compares few names.

namespace {

struct EncodingName {
  const char16_t* name;
  int codePage;
};

constexpr EncodingName kEncodingNames[] = {
    {u"cp154", 154},
    {u"csptcp154", 154},
    {u"cyrillic-asian", 154},
    {u"pt154", 154},
    {u"ptcp154", 154},
    {u"codepage437", 437},
    {u"cp437", 437},
    {u"cspc8", 437},
    {u"cspc8codepage437", 437},
    {u"ibm437", 437},
    {u"cp500", 500},
    {u"csibm500", 500},
    {u"ebcdic-cp-be", 500},
    {u"ebcdic-cp-ch", 500},
    {u"asmo-708", 708},
    {u"dos-720", 720},
    {u"cp737", 737},
    {u"ibm737", 737},
    {u"cp775", 775},
    {u"cspc775baltic", 775},
    {u"ibm775", 775},
    {u"cp850", 850},
    {u"cspc850multilingual", 850},
    {u"ibm850", 850},
    {u"cp852", 852},
    {u"cspcp852", 852},
    {u"ibm852", 852},
    {u"cp853", 853},
    {u"cp855", 855},
    {u"csibm855", 855},
    {u"ibm855", 855},
    {u"cp857", 857},
    {u"csibm857", 857},
    {u"ibm857", 857},
    {u"ccsid00858", 858},
    {u"cp00858", 858},
    {u"cp858", 858},
    {u"ibm00858", 858},
    {u"pc-multilingual-850+euro", 858},
    {u"cp860", 860},
    {u"csibm860", 860},
    {u"ibm860", 860},
    {u"cp-is", 861},
    {u"cp861", 861},
    {u"csibm861", 861},
    {u"ibm861", 861},
    {u"cp862", 862},
    {u"cspc862latinhebrew", 862},
    {u"dos-862", 862},
    {u"ibm862", 862},
    {u"cp863", 863},
    {u"csibm863", 863},
    {u"ibm863", 863},
    {u"cp864", 864},
    {u"csibm864", 864},
    {u"ibm864", 864},
    {u"cp865", 865},
    {u"csibm865", 865},
    {u"ibm865", 865},
    {u"cp866", 866},
    {u"csibm866", 866},
    {u"ibm866", 866},
    {u"cp-gr", 869},
    {u"cp869", 869},
    {u"csibm869", 869},
    {u"ibm869", 869},
    {u"cp874", 874},
    {u"dos-874", 874},
    {u"iso-8859-11", 874},
    {u"tis-620", 874},
    {u"windows-874", 874},
    {u"cp932", 932},
    {u"csshiftjis", 932},
    {u"cswindows31j", 932},
    {u"ms932", 932},
    {u"ms_kanji", 932},
    {u"shifft_jis", 932},
    {u"shifft_jis-ms", 932},
    {u"shift-jis", 932},
    {u"shift_jis", 932},
    {u"sjis", 932},
    {u"sjis-ms", 932},
    {u"sjis-open", 932},
    {u"sjis-win", 932},
    {u"windows-31j", 932},
    {u"windows-932", 932},
    {u"x-ms-cp932", 932},
    {u"x-sjis", 932},
    {u"chinese", 936},
    {u"cn-gb", 936},
    {u"cp936", 936},
    {u"csgb2312", 936},
    {u"csgb231280", 936},
    {u"csiso58gb231280", 936},
    {u"gb2312", 936},
    {u"gb2312-80", 936},
    {u"gb231280", 936},
    {u"gb_2312-80", 936},
    {u"gbk", 936},
    {u"iso-ir-58", 936},
    {u"ms936", 936},
    {u"windows-936", 936},
    {u"cp949", 949},
    {u"csksc56011987", 949},
    {u"iso-ir-149", 949},
    {u"korean", 949},
    {u"ks-c-5601", 949},
    {u"ks-c5601", 949},
    {u"ks_c_5601", 949},
    {u"ks_c_5601-1987", 949},
    {u"ks_c_5601-1989", 949},
    {u"ks_c_5601_1987", 949},
    {u"ksc5601", 949},
    {u"ksc_5601", 949},
    {u"uhc", 949},
    {u"big5", 950},
    {u"big5-hkscs", 950},
    {u"cn-big5", 950},
    {u"cp950", 950},
    {u"csbig5", 950},
    {u"x-x-big5", 950},
    {u"cp1125", 1125},
    {u"cp1133", 1133},
    {u"ibm-cp1133", 1133},
    {u"cp1200", 1200},
    {u"ucs-2", 1200},
    {u"ucs-2le", 1200},
    {u"unicode", 1200},
    {u"utf-16", 1200},
    {u"utf-16le", 1200},
    {u"utf16", 1200},
    {u"utf16le", 1200},
    {u"cp1201", 1201},
    {u"ucs-2be", 1201},
    {u"unicodefffe", 1201},
    {u"utf-16be", 1201},
    {u"utf16be", 1201},
    {u"cp1250", 1250},
    {u"ms-ee", 1250},
    {u"windows-1250", 1250},
    {u"x-cp1250", 1250},
    {u"cp1251", 1251},
    {u"ms-cyrl", 1251},
    {u"windows-1251", 1251},
    {u"x-cp1251", 1251},
    {u"cp1252", 1252},
    {u"ms-ansi", 1252},
    {u"windows-1252", 1252},
    {u"x-ansi", 1252},
    {u"cp1253", 1253},
    {u"ms-greek", 1253},
    {u"windows-1253", 1253},
    {u"cp1254", 1254},
    {u"ms-turk", 1254},
    {u"windows-1254", 1254},
    {u"cp1255", 1255},
    {u"ms-hebr", 1255},
    {u"windows-1255", 1255},
    {u"cp1256", 1256},
    {u"cp1256 ", 1256},
    {u"ms-arab", 1256},
    {u"windows-1256", 1256},
    {u"cp1257", 1257},
    {u"winbaltrim", 1257},
    {u"windows-1257", 1257},
    {u"cp1258", 1258},
    {u"windows-1258", 1258},
    {u"cp1361", 1361},
    {u"johab", 1361},
    {u"csmacintosh", 10000},
    {u"mac", 10000},
    {u"macintosh", 10000},
    {u"x-mac-japanese", 10001},
    {u"x-mac-chinesetrad", 10002},
    {u"x-mac-korean", 10003},
    {u"x-mac-arabic", 10004},
    {u"x-mac-hebrew", 10005},
    {u"x-mac-greek", 10006},
    {u"x-mac-cyrillic", 10007},
    {u"x-mac-chinesesimp", 10008},
    {u"x-mac-romanian", 10010},
    {u"x-mac-ukrainian", 10017},
    {u"x-mac-thai", 10021},
    {u"x-mac-ce", 10029},
    {u"x-mac-icelandic", 10079},
    {u"x-mac-turkish", 10081},
    {u"x-mac-croatian", 10082},
    {u"cp12000", 12000},
    {u"utf-32", 12000},
    {u"utf-32le", 12000},
    {u"utf32", 12000},
    {u"utf32le", 12000},
    {u"cp12001", 12001},
    {u"utf-32be", 12001},
    {u"utf32be", 12001},
    {u"x-chinese-cns", 20000},
    {u"x-chinese_cns", 20000},
    {u"x-cp20001", 20001},
    {u"x-chinese-eten", 20002},
    {u"x_chinese-eten", 20002},
    {u"x-cp20003", 20003},
    {u"x-cp20004", 20004},
    {u"x-cp20005", 20005},
    {u"x-ia5", 20105},
    {u"x-ia5-german", 20106},
    {u"x-ia5-swedish", 20107},
    {u"x-ia5-norwegian", 20108},
    {u"ansi_x3.4-1968", 20127},
    {u"ansi_x3.4-1986", 20127},
    {u"ascii", 20127},
    {u"cp367", 20127},
    {u"csascii", 20127},
    {u"ibm367", 20127},
    {u"iso-ir-6", 20127},
    {u"iso-ir-6us", 20127},
    {u"iso646-us", 20127},
    {u"iso_646.irv:1991", 20127},
    {u"us", 20127},
    {u"us-ascii", 20127},
    {u"x-cp20261", 20261},
    {u"x-cp20269", 20269},
    {u"cskoi8r", 20866},
    {u"koi", 20866},
    {u"koi8", 20866},
    {u"koi8-r", 20866},
    {u"koi8r", 20866},
    {u"cseucpkdfmtjapanese", 20932},
    {u"euc-jp", 20932},
    {u"extended_unix_code_packed_format_for_japanese", 20932},
    {u"x-cp20936", 20936},
    {u"x-cp20949", 20949},
    {u"koi8-ru", 21866},
    {u"koi8-u", 21866},
    {u"cp819", 28591},
    {u"csisolatin1", 28591},
    {u"ibm819", 28591},
    {u"iso-8859-1", 28591},
    {u"iso-ir-100", 28591},
    {u"iso8859-1", 28591},
    {u"iso_8859-1", 28591},
    {u"iso_8859-1:1987", 28591},
    {u"l1", 28591},
    {u"latin1", 28591},
    {u"csisolatin2", 28592},
    {u"iso-8859-2", 28592},
    {u"iso-ir-101", 28592},
    {u"iso8859-2", 28592},
    {u"iso_8859-2", 28592},
    {u"iso_8859-2:1987", 28592},
    {u"l2", 28592},
    {u"latin2", 28592},
    {u"csisolatin3", 28593},
    {u"iso-8859-3", 28593},
    {u"iso-ir-109", 28593},
    {u"iso8859-3", 28593},
    {u"iso_8859-3", 28593},
    {u"iso_8859-3:1988", 28593},
    {u"l3", 28593},
    {u"latin3", 28593},
    {u"csisolatin4", 28594},
    {u"iso-8859-4", 28594},
    {u"iso-ir-110", 28594},
    {u"iso8859-4", 28594},
    {u"iso_8859-4", 28594},
    {u"iso_8859-4:1988", 28594},
    {u"l4", 28594},
    {u"latin4", 28594},
    {u"csisolatin5", 28595},
    {u"csisolatincyrillic", 28595},
    {u"cyrillic", 28595},
    {u"iso-8859-5", 28595},
    {u"iso-ir-144", 28595},
    {u"iso8859-5", 28595},
    {u"iso_8859-5", 28595},
    {u"iso_8859-5:1988", 28595},
    {u"arabic", 28596},
    {u"csisolatinarabic", 28596},
    {u"ecma-114", 28596},
    {u"iso-8859-6", 28596},
    {u"iso-ir-127", 28596},
    {u"iso8859-6", 28596},
    {u"iso_8859-6", 28596},
    {u"iso_8859-6:1987", 28596},
    {u"csisolatingreek", 28597},
    {u"ecma-118", 28597},
    {u"elot_928", 28597},
    {u"greek", 28597},
    {u"greek8", 28597},
    {u"iso-8859-7", 28597},
    {u"iso-ir-126", 28597},
    {u"iso8859-7", 28597},
    {u"iso_8859-7", 28597},
    {u"iso_8859-7:1987", 28597},
    {u"csisolatinhebrew", 28598},
    {u"hebrew", 28598},
    {u"iso-8859-8", 28598},
    {u"iso-ir-138", 28598},
    {u"iso8859-8", 28598},
    {u"iso_8859-8", 28598},
    {u"iso_8859-8:1988", 28598},
    {u"visual", 28598},
    {u"iso-8859-9", 28599},
    {u"iso-ir-148", 28599},
    {u"iso8859-9", 28599},
    {u"iso_8859-9", 28599},
    {u"iso_8859-9:1989", 28599},
    {u"l5", 28599},
    {u"latin5", 28599},
    {u"iso-8859-13", 28603},
    {u"iso8859-13", 28603},
    {u"iso-8859-15", 28605},
    {u"iso8859-15", 28605},
    {u"iso_8859-15", 28605},
    {u"l9", 28605},
    {u"latin-9", 28605},
    {u"latin9", 28605},
    {u"x-europa", 29001},
    {u"iso-8859-8-i", 38598},
    {u"iso8859-8-i", 38598},
    {u"logical", 38598},
    {u"iso-2022-jp", 50220},
    {u"_iso-2022-jp", 50221},
    {u"cp50221", 50221},
    {u"csiso2022jp", 50221},
    {u"iso-2022-jp-ms", 50221},
    {u"iso2022-jp-ms", 50221},
    {u"ms50221", 50221},
    {u"windows-50221", 50221},
    {u"_iso-2022-jp$sio", 50222},
    {u"csiso2022kr", 50225},
    {u"iso-2022-kr", 50225},
    {u"iso2022-kr", 50225},
    {u"x-cp50227", 50227},
    {u"cp51932", 51932},
    {u"ms51932", 51932},
    {u"windows-51932", 51932},
    {u"x-euc", 51932},
    {u"x-euc-jp", 51932},
    {u"euc-cn", 51936},
    {u"x-euc-cn", 51936},
    {u"cseuckr", 51949},
    {u"euc-kr", 51949},
    {u"hz-gb-2312", 52936},
    {u"gb18030", 54936},
    {u"iso-4873:1986", 54936},
    {u"x-iscii-de", 57002},
    {u"x-iscii-be", 57003},
    {u"x-iscii-ta", 57004},
    {u"x-iscii-te", 57005},
    {u"x-iscii-as", 57006},
    {u"x-iscii-or", 57007},
    {u"x-iscii-ka", 57008},
    {u"x-iscii-ma", 57009},
    {u"x-iscii-gu", 57010},
    {u"x-iscii-pa", 57011},
    {u"csunicode11utf7", 65000},
    {u"unicode-1-1-utf-7", 65000},
    {u"utf-7", 65000},
    {u"x-unicode-2-0-utf-7", 65000},
    {u"cp65001", 65001},
    {u"unicode-1-1-utf-8", 65001},
    {u"unicode-2-0-utf-8", 65001},
    {u"utf-8", 65001},
    {u"utf8", 65001},
    {u"x-unicode-2-0-utf-8", 65001},
};

constexpr int kNameCount = static_cast<int>(std::size(kEncodingNames));
constexpr int kBucketCount = 155;
constexpr int kNameLengthLimit = 100;

constexpr char16_t foldAsciiCapital(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

constexpr int bucketOf(const char16_t* name, int length) {
  unsigned sum = 0;
  for (int i = 0; i < length; ++i) sum += foldAsciiCapital(name[i]);
  return static_cast<int>(sum % kBucketCount);
}

constexpr int lengthOf(const char16_t* name) {
  int n = 0;
  while (name[n]) ++n;
  return n;
}

// Table positions ordered by bucket; bucket b owns order[first[b]] up to
// order[first[b + 1]].
struct BucketIndex {
  std::array<short, kBucketCount + 1> first{};
  std::array<short, kNameCount> order{};
};

constexpr BucketIndex buildBucketIndex() {
  BucketIndex index;
  std::array<short, kBucketCount + 1> fill{};
  for (const EncodingName& entry : kEncodingNames) ++index.first[bucketOf(entry.name, lengthOf(entry.name)) + 1];
  for (int b = 0; b < kBucketCount; ++b) index.first[b + 1] += index.first[b];
  for (int b = 0; b <= kBucketCount; ++b) fill[b] = index.first[b];
  for (int i = 0; i < kNameCount; ++i) {
    const EncodingName& entry = kEncodingNames[i];
    index.order[fill[bucketOf(entry.name, lengthOf(entry.name))]++] = static_cast<short>(i);
  }
  return index;
}

constexpr BucketIndex kBuckets = buildBucketIndex();

bool equalsFolded(const char16_t* given, int length, const char16_t* lowerName) {
  for (int i = 0; i < length; ++i)
    if (lowerName[i] != foldAsciiCapital(given[i])) return false;
  return lowerName[length] == 0;
}

bool startsWithUtf32(const char16_t* name) {
  static constexpr char16_t kPrefix[] = u"UTF-32";
  for (int i = 0; kPrefix[i]; ++i)
    if (name[i] != kPrefix[i]) return false;
  return true;
}

}  // namespace

int codePageForName(const char16_t* name) {
  if (!name || !name[0]) return kCodePageAnsi;
  if (startsWithUtf32(name)) return kCodePageUtf32;
  int length = 0;
  while (name[length] && length < kNameLengthLimit) ++length;
  if (length >= kNameLengthLimit) return kNoCodePage;
  const int bucket = bucketOf(name, length);
  for (int k = kBuckets.first[bucket]; k < kBuckets.first[bucket + 1]; ++k) {
    const EncodingName& entry = kEncodingNames[kBuckets.order[k]];
    if (equalsFolded(name, length, entry.name)) return entry.codePage;
  }
  return kNoCodePage;
}

}  // namespace xml
