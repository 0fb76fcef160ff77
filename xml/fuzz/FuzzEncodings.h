// Encoding names the fuzz targets choose from.
#pragma once

#include <string>
#include <vector>

#include "xml/tests/EncodingTableText.h"

namespace xml {

// Encoding names the fuzz targets choose from: one name of every code page of
// the table, and a few that are not in it.
inline const std::vector<std::u16string>& fuzzEncodingNames() {
  static const std::vector<std::u16string> names = [] {
    std::vector<std::u16string> list = {u"", u"UTF-32", u"UTF-32BE", u"no-such-encoding"};
    int last = -1;
    for (const encoding_table::Name& n : encoding_table::parseTable()) {
      if (n.codePage == last) continue;
      last = n.codePage;
      list.push_back(n.name);
    }
    return list;
  }();
  return names;
}

}  // namespace xml
