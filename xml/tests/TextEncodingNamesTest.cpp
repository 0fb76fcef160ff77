#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "xml/TextEncoding.h"
#include "xml/tests/EncodingTableText.h"

namespace xml {

namespace {

using encoding_table::Name;
using encoding_table::parseTable;

std::u16string upper(std::u16string s) {
  for (char16_t& c : s)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
  return s;
}

TEST(CodePageNames, EveryNameOfTheTableGivesItsCodePage) {
  const std::vector<Name> names = parseTable();
  ASSERT_EQ(names.size(), 365u);
  std::set<std::u16string> distinct;
  std::set<int> buckets;
  for (const Name& n : names) {
    distinct.insert(n.name);
    unsigned sum = 0;
    for (char16_t c : n.name) sum += c;
    buckets.insert(static_cast<int>(sum % 155));
    EXPECT_EQ(codePageForName(n.name.c_str()), n.codePage) << std::string(n.name.begin(), n.name.end());
    // In capitals the UTF-32 names meet the prefix rule first.
    const std::u16string capitals = upper(n.name);
    const int expected = capitals.starts_with(u"UTF-32") ? 65005 : n.codePage;
    EXPECT_EQ(codePageForName(capitals.c_str()), expected) << std::string(n.name.begin(), n.name.end());
  }
  EXPECT_EQ(distinct.size(), 365u);
  EXPECT_LE(buckets.size(), 155u);
}

TEST(CodePageNames, EdgeCasesOfTheLookUp) {
  EXPECT_EQ(codePageForName(u"UTF-32BE"), 65005);
  EXPECT_EQ(codePageForName(u"UTF-32"), 65005);
  EXPECT_EQ(codePageForName(u"UTF-32anything at all"), 65005);
  // The prefix is exact about letter case; other spellings use the table.
  EXPECT_EQ(codePageForName(u"utf-32"), 12000);
  EXPECT_EQ(codePageForName(u"Utf-32BE"), 12001);
  EXPECT_EQ(codePageForName(u"utf-32x"), -1);
  EXPECT_EQ(codePageForName(u"GB2312"), 936);
  EXPECT_EQ(codePageForName(u"Shift_JIS"), 932);
  EXPECT_EQ(codePageForName(u""), 0);
  EXPECT_EQ(codePageForName(nullptr), 0);
  EXPECT_EQ(codePageForName(u"no-such-encoding"), -1);
  EXPECT_EQ(codePageForName(u"cp1256 "), 1256);
  EXPECT_EQ(codePageForName(u"cp1252 "), -1);
  EXPECT_EQ(codePageForName(u" cp1252"), -1);
  EXPECT_EQ(codePageForName(u"cp125"), -1);
  EXPECT_EQ(codePageForName(u"utf-80"), -1);
}

TEST(CodePageNames, OnlyAsciiLettersAreFolded) {
  // U+212A KELVIN SIGN folds to 'k' in Unicode, but not here.
  EXPECT_EQ(codePageForName(u"\u212Aoi8-r"), -1);
  EXPECT_EQ(codePageForName(u"KOI8-R"), 20866);
  // A name with the same character sum as a table name is still not it.
  EXPECT_EQ(codePageForName(u"8ftu"), -1);
  EXPECT_EQ(codePageForName(u"ftu8"), -1);
}

TEST(CodePageNames, LengthLimitOfOneHundredCharacters) {
  std::u16string name = u"utf-8";
  name.append(94, u'x');
  ASSERT_EQ(name.size(), 99u);
  EXPECT_EQ(codePageForName(name.c_str()), -1);  // looked up, not found
  name.push_back(u'x');
  EXPECT_EQ(codePageForName(name.c_str()), -1);
  std::u16string utf32 = u"UTF-32";
  utf32.append(200, u'x');
  EXPECT_EQ(codePageForName(utf32.c_str()), 65005);  // the prefix wins over the limit
}

}  // namespace

}  // namespace xml
