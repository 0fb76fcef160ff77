#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "xml/CodePages.h"
#include "xml/TextEncoding.h"
#include "xml/tests/EncodingTableText.h"

namespace xml {

// Every code page that has an iconv encoding behind it converts exactly as iconv
// alone does: random text drawn from the code page's repertoire goes to bytes
// and back unchanged, and the bytes are those iconv writes.

namespace {

struct Iconv {
  iconv_t handle;
  Iconv(const char* to, const char* from) : handle(iconv_open(to, from)) {}
  ~Iconv() {
    if (ok()) iconv_close(handle);
  }
  bool ok() const { return handle != reinterpret_cast<iconv_t>(-1); }

  // The whole input in one go, or false when iconv refuses any of it.
  bool run(const std::string& in, std::string& out) {
    iconv(handle, nullptr, nullptr, nullptr, nullptr);
    out.assign(in.size() * 4 + 16, '\0');
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char* dst = out.data();
    std::size_t dstLeft = out.size();
    if (iconv(handle, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1)) return false;
    if (iconv(handle, nullptr, nullptr, &dst, &dstLeft) == static_cast<std::size_t>(-1)) return false;
    out.resize(out.size() - dstLeft);
    return true;
  }
};

std::string asBytes(const std::u16string& s) {
  return std::string(reinterpret_cast<const char*>(s.data()), s.size() * 2);
}

std::u16string asUnits(const std::string& b) {
  std::u16string s(b.size() / 2, u'\0');
  std::memcpy(s.data(), b.data(), s.size() * 2);
  return s;
}

// Characters (one or two UTF-16 units) that iconv takes to the encoding and
// back to themselves.
std::vector<std::u16string> repertoire(const char* encoding) {
  Iconv encode(encoding, "UTF-16LE");
  Iconv decode("UTF-16LE", encoding);
  std::vector<std::u16string> found;
  if (!encode.ok() || !decode.ok()) return found;
  auto tryCharacter = [&](char32_t c) {
    std::u16string ch;
    if (c < 0x10000) {
      ch.push_back(static_cast<char16_t>(c));
    } else {
      ch.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      ch.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    }
    std::string bytes, back;
    if (encode.run(asBytes(ch), bytes) && decode.run(bytes, back) && asUnits(back) == ch) found.push_back(ch);
  };
  // Text of XML documents: no control characters but tab, line feed and
  // carriage return (ESC, SO and SI could not pass a stateful code page anyway).
  for (char32_t c : {U'\t', U'\n', U'\r'}) tryCharacter(c);
  for (char32_t c = 0x20; c < 0x10000; ++c)
    if (c < 0xD800 || c > 0xDFFF) tryCharacter(c);
  for (char32_t c = 0x10000; c <= 0x10FFFF; c += 251) tryCharacter(c);
  return found;
}

// Random text of the repertoire that iconv itself reads back. (glibc's
// ISO-2022-CN does not read back a GB2312 character written after a CNS one;
// such neighbours are left out, since the check is against iconv.)
std::u16string randomText(const char* encoding, const std::vector<std::u16string>& chars, std::mt19937& random) {
  Iconv encode(encoding, "UTF-16LE");
  Iconv decode("UTF-16LE", encoding);
  auto readsBack = [&](const std::u16string& text) {
    std::string bytes, back;
    return encode.run(asBytes(text), bytes) && decode.run(bytes, back) && asUnits(back) == text;
  };
  std::u16string text;
  for (int i = 0; i < 3000; ++i) text += chars[random() % chars.size()];
  if (readsBack(text)) return text;
  text.clear();
  for (int i = 0; i < 3000; ++i) {
    const std::u16string& next = chars[random() % chars.size()];
    if (readsBack(text + next)) text += next;
  }
  return text;
}

// Where two texts first differ, for short failure messages.
std::string firstDifference(const std::u16string& a, const std::u16string& b) {
  std::size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
  if (i == a.size() && i == b.size()) return "same";
  auto unit = [](const std::u16string& s, std::size_t k) {
    return k < s.size() ? std::to_string(static_cast<unsigned>(s[k])) : std::string("end");
  };
  return "differ at " + std::to_string(i) + ": " + unit(a, i) + " vs " + unit(b, i);
}

std::string firstDifference(const std::string& a, const std::string& b) {
  return firstDifference(std::u16string(a.begin(), a.end()), std::u16string(b.begin(), b.end()));
}

// One name of the table for every code page.
std::map<int, std::u16string> namePerCodePage() {
  std::map<int, std::u16string> names;
  for (const encoding_table::Name& n : encoding_table::parseTable()) names.emplace(n.codePage, n.name);
  return names;
}

TEST(ConvertAgainstIconv, RandomRepertoireTextRoundTripsForEveryIconvCodePage) {
  std::mt19937 random(2024);
  int checked = 0;
  int unchanged = 0;
  for (const auto& [codePage, name] : namePerCodePage()) {
    const char* encoding = codepages::iconvName(codePage);
    // UTF-16 and UTF-32 count their own units; they are checked elsewhere.
    if (!encoding || codePage == 1200 || codePage == 12000 || codePage == 12001 || codePage == 65005) continue;
    SCOPED_TRACE(std::string(name.begin(), name.end()) + " / " + encoding);
    const std::vector<std::u16string> chars = repertoire(encoding);
    ASSERT_GT(chars.size(), 30u);
    std::u16string text = randomText(encoding, chars, random);

    std::string expected, iconvBack;
    ASSERT_TRUE(Iconv(encoding, "UTF-16LE").run(asBytes(text), expected));
    ASSERT_TRUE(Iconv("UTF-16LE", encoding).run(expected, iconvBack));
    // Code pages with combining marks (1255, 1258) come back composed from
    // iconv too; everywhere else the text comes back as it was.
    const std::u16string decodedByIconv = asUnits(iconvBack);
    if (decodedByIconv == text) ++unchanged;

    // To the code page: same bytes as iconv, no loss.
    bool loss = true;
    const int needed = convertText(u"UTF-16", name.c_str(), text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::string bytes(static_cast<std::size_t>(needed), '\0');
    const int written =
        convertText(u"UTF-16", name.c_str(), text.data(), static_cast<int>(text.size()), bytes.data(), needed, &loss);
    EXPECT_EQ(written, needed);
    EXPECT_EQ(firstDifference(bytes, expected), "same");
    EXPECT_FALSE(loss);

    // And back: the text itself.
    const int units =
        convertText(name.c_str(), u"UTF-16", expected.data(), static_cast<int>(expected.size()), nullptr, 0);
    std::u16string back(static_cast<std::size_t>(units), u'\0');
    convertText(name.c_str(), u"UTF-16", expected.data(), static_cast<int>(expected.size()), back.data(), units, &loss);
    EXPECT_EQ(firstDifference(back, decodedByIconv), "same");
    EXPECT_FALSE(loss);

    // A buffer one unit short holds the beginning of the text.
    if (units > 0) {
      std::u16string part(static_cast<std::size_t>(units - 1), u'\0');
      const int got = convertText(name.c_str(), u"UTF-16", expected.data(), static_cast<int>(expected.size()),
                                  part.data(), units - 1);
      EXPECT_LE(got, units - 1);
      EXPECT_GE(got, units - 2);
      part.resize(static_cast<std::size_t>(got));
      EXPECT_EQ(firstDifference(part, decodedByIconv.substr(0, part.size())), "same");
    }
    ++checked;
  }
  std::printf("%d code pages checked against iconv, %d read back unchanged\n", checked, unchanged);
  EXPECT_GE(checked, 75);
  EXPECT_GE(unchanged, checked - 2);
}

TEST(ConvertAgainstIconv, UnicodeTableCodePagesCountBytes) {
  const std::u16string text = u"a\u00E9\u4E2D\U0001F600";
  for (const char16_t* name : {u"utf-16be", u"utf-32", u"utf-32be", u"UTF-16LE"}) {
    SCOPED_TRACE(std::string(name, name + std::char_traits<char16_t>::length(name)));
    const int needed = convertText(u"UTF-16", name, text.data(), 5, nullptr, 0);
    std::string bytes(static_cast<std::size_t>(needed), '\0');
    convertText(u"UTF-16", name, text.data(), 5, bytes.data(), needed);
    const int units = convertText(name, u"UTF-16", bytes.data(), needed, nullptr, 0);
    std::u16string back(static_cast<std::size_t>(units), u'\0');
    convertText(name, u"UTF-16", bytes.data(), needed, back.data(), units);
    if (codePageForName(name) == 1200) {
      EXPECT_EQ(needed, 5);  // UTF-16 to UTF-16 copies units
    } else {
      EXPECT_EQ(back, text);
    }
  }
}

}  // namespace

}  // namespace xml
