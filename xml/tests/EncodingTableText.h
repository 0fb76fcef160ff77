// The encoding table written out as its users read it, for the tests.
#pragma once

#include <string>
#include <vector>

namespace xml {

namespace encoding_table {

// The encoding table as its users read it: code page, colon, the names.
// "cp1256 |" stands for the name with a trailing space.
inline const char16_t* const kNamesByCodePage =
    u"154: cp154, csptcp154, cyrillic-asian, pt154, ptcp154; "
    u"437: codepage437, cp437, cspc8, cspc8codepage437, ibm437; "
    u"500: cp500, csibm500, ebcdic-cp-be, ebcdic-cp-ch; "
    u"708: asmo-708; "
    u"720: dos-720; "
    u"737: cp737, ibm737; "
    u"775: cp775, cspc775baltic, ibm775; "
    u"850: cp850, cspc850multilingual, ibm850; "
    u"852: cp852, cspcp852, ibm852; "
    u"853: cp853; "
    u"855: cp855, csibm855, ibm855; "
    u"857: cp857, csibm857, ibm857; "
    u"858: ccsid00858, cp00858, cp858, ibm00858, pc-multilingual-850+euro; "
    u"860: cp860, csibm860, ibm860; "
    u"861: cp-is, cp861, csibm861, ibm861; "
    u"862: cp862, cspc862latinhebrew, dos-862, ibm862; "
    u"863: cp863, csibm863, ibm863; "
    u"864: cp864, csibm864, ibm864; "
    u"865: cp865, csibm865, ibm865; "
    u"866: cp866, csibm866, ibm866; "
    u"869: cp-gr, cp869, csibm869, ibm869; "
    u"874: cp874, dos-874, iso-8859-11, tis-620, windows-874; "
    u"932: cp932, csshiftjis, cswindows31j, ms932, ms_kanji, shifft_jis, shifft_jis-ms, "
    u"shift-jis, shift_jis, sjis, sjis-ms, sjis-open, sjis-win, windows-31j, windows-932, "
    u"x-ms-cp932, x-sjis; "
    u"936: chinese, cn-gb, cp936, csgb2312, csgb231280, csiso58gb231280, gb2312, "
    u"gb2312-80, gb231280, gb_2312-80, gbk, iso-ir-58, ms936, windows-936; "
    u"949: cp949, csksc56011987, iso-ir-149, korean, ks-c-5601, ks-c5601, ks_c_5601, "
    u"ks_c_5601-1987, ks_c_5601-1989, ks_c_5601_1987, ksc5601, ksc_5601, uhc; "
    u"950: big5, big5-hkscs, cn-big5, cp950, csbig5, x-x-big5; "
    u"1125: cp1125; "
    u"1133: cp1133, ibm-cp1133; "
    u"1200: cp1200, ucs-2, ucs-2le, unicode, utf-16, utf-16le, utf16, utf16le; "
    u"1201: cp1201, ucs-2be, unicodefffe, utf-16be, utf16be; "
    u"1250: cp1250, ms-ee, windows-1250, x-cp1250; "
    u"1251: cp1251, ms-cyrl, windows-1251, x-cp1251; "
    u"1252: cp1252, ms-ansi, windows-1252, x-ansi; "
    u"1253: cp1253, ms-greek, windows-1253; "
    u"1254: cp1254, ms-turk, windows-1254; "
    u"1255: cp1255, ms-hebr, windows-1255; "
    u"1256: cp1256, cp1256 |, ms-arab, windows-1256; "
    u"1257: cp1257, winbaltrim, windows-1257; "
    u"1258: cp1258, windows-1258; "
    u"1361: cp1361, johab; "
    u"10000: csmacintosh, mac, macintosh; "
    u"10001: x-mac-japanese; "
    u"10002: x-mac-chinesetrad; "
    u"10003: x-mac-korean; "
    u"10004: x-mac-arabic; "
    u"10005: x-mac-hebrew; "
    u"10006: x-mac-greek; "
    u"10007: x-mac-cyrillic; "
    u"10008: x-mac-chinesesimp; "
    u"10010: x-mac-romanian; "
    u"10017: x-mac-ukrainian; "
    u"10021: x-mac-thai; "
    u"10029: x-mac-ce; "
    u"10079: x-mac-icelandic; "
    u"10081: x-mac-turkish; "
    u"10082: x-mac-croatian; "
    u"12000: cp12000, utf-32, utf-32le, utf32, utf32le; "
    u"12001: cp12001, utf-32be, utf32be; "
    u"20000: x-chinese-cns, x-chinese_cns; "
    u"20001: x-cp20001; "
    u"20002: x-chinese-eten, x_chinese-eten; "
    u"20003: x-cp20003; "
    u"20004: x-cp20004; "
    u"20005: x-cp20005; "
    u"20105: x-ia5; "
    u"20106: x-ia5-german; "
    u"20107: x-ia5-swedish; "
    u"20108: x-ia5-norwegian; "
    u"20127: ansi_x3.4-1968, ansi_x3.4-1986, ascii, cp367, csascii, ibm367, iso-ir-6, "
    u"iso-ir-6us, iso646-us, iso_646.irv:1991, us, us-ascii; "
    u"20261: x-cp20261; "
    u"20269: x-cp20269; "
    u"20866: cskoi8r, koi, koi8, koi8-r, koi8r; "
    u"20932: cseucpkdfmtjapanese, euc-jp, extended_unix_code_packed_format_for_japanese; "
    u"20936: x-cp20936; "
    u"20949: x-cp20949; "
    u"21866: koi8-ru, koi8-u; "
    u"28591: cp819, csisolatin1, ibm819, iso-8859-1, iso-ir-100, iso8859-1, iso_8859-1, "
    u"iso_8859-1:1987, l1, latin1; "
    u"28592: csisolatin2, iso-8859-2, iso-ir-101, iso8859-2, iso_8859-2, iso_8859-2:1987, "
    u"l2, latin2; "
    u"28593: csisolatin3, iso-8859-3, iso-ir-109, iso8859-3, iso_8859-3, iso_8859-3:1988, "
    u"l3, latin3; "
    u"28594: csisolatin4, iso-8859-4, iso-ir-110, iso8859-4, iso_8859-4, iso_8859-4:1988, "
    u"l4, latin4; "
    u"28595: csisolatin5, csisolatincyrillic, cyrillic, iso-8859-5, iso-ir-144, "
    u"iso8859-5, iso_8859-5, iso_8859-5:1988; "
    u"28596: arabic, csisolatinarabic, ecma-114, iso-8859-6, iso-ir-127, iso8859-6, "
    u"iso_8859-6, iso_8859-6:1987; "
    u"28597: csisolatingreek, ecma-118, elot_928, greek, greek8, iso-8859-7, iso-ir-126, "
    u"iso8859-7, iso_8859-7, iso_8859-7:1987; "
    u"28598: csisolatinhebrew, hebrew, iso-8859-8, iso-ir-138, iso8859-8, iso_8859-8, "
    u"iso_8859-8:1988, visual; "
    u"28599: iso-8859-9, iso-ir-148, iso8859-9, iso_8859-9, iso_8859-9:1989, l5, latin5; "
    u"28603: iso-8859-13, iso8859-13; "
    u"28605: iso-8859-15, iso8859-15, iso_8859-15, l9, latin-9, latin9; "
    u"29001: x-europa; "
    u"38598: iso-8859-8-i, iso8859-8-i, logical; "
    u"50220: iso-2022-jp; "
    u"50221: _iso-2022-jp, cp50221, csiso2022jp, iso-2022-jp-ms, iso2022-jp-ms, ms50221, "
    u"windows-50221; "
    u"50222: _iso-2022-jp$sio; "
    u"50225: csiso2022kr, iso-2022-kr, iso2022-kr; "
    u"50227: x-cp50227; "
    u"51932: cp51932, ms51932, windows-51932, x-euc, x-euc-jp; "
    u"51936: euc-cn, x-euc-cn; "
    u"51949: cseuckr, euc-kr; "
    u"52936: hz-gb-2312; "
    u"54936: gb18030, iso-4873:1986; "
    u"57002: x-iscii-de; "
    u"57003: x-iscii-be; "
    u"57004: x-iscii-ta; "
    u"57005: x-iscii-te; "
    u"57006: x-iscii-as; "
    u"57007: x-iscii-or; "
    u"57008: x-iscii-ka; "
    u"57009: x-iscii-ma; "
    u"57010: x-iscii-gu; "
    u"57011: x-iscii-pa; "
    u"65000: csunicode11utf7, unicode-1-1-utf-7, utf-7, x-unicode-2-0-utf-7; "
    u"65001: cp65001, unicode-1-1-utf-8, unicode-2-0-utf-8, utf-8, utf8, "
    u"x-unicode-2-0-utf-8; ";

struct Name {
  std::u16string name;
  int codePage;
};

inline std::vector<Name> parseTable() {
  std::vector<Name> names;
  const std::u16string text = kNamesByCodePage;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t colon = text.find(u':', pos);
    const std::size_t groupEnd = text.find(u';', colon);
    const int codePage = std::stoi(std::string(text.begin() + pos, text.begin() + colon));
    std::size_t item = colon + 2;
    while (item < groupEnd) {
      std::size_t itemEnd = text.find(u',', item);
      if (itemEnd == std::u16string::npos || itemEnd > groupEnd) itemEnd = groupEnd;
      std::u16string name = text.substr(item, itemEnd - item);
      if (name.back() == u'|') name.pop_back();
      names.push_back({name, codePage});
      item = itemEnd + 2;
    }
    pos = groupEnd + 2;
  }
  return names;
}

}  // namespace encoding_table

}  // namespace xml
