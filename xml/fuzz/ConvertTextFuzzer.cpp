// convertText between two encodings chosen by the input, over the rest of the
// input: the needed length, an exact buffer and a short one must agree, and
// nothing may be written or read outside the buffers.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "xml/TextEncoding.h"
#include "xml/fuzz/FuzzEncodings.h"

namespace xml {

namespace {

int unitSize(const char16_t* name) {
  const int codePage = codePageForName(name);
  return codePage == kCodePageUtf32 ? 4 : codePage == kCodePageUtf16 ? 2 : 1;
}

}  // namespace

}  // namespace xml

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace xml;
  if (size < 3) return 0;
  const auto& names = fuzzEncodingNames();
  const char16_t* from = names[data[0] % names.size()].c_str();
  const char16_t* to = names[data[1] % names.size()].c_str();
  const unsigned shortBy = data[2];
  data += 3;
  size -= 3;

  // The source in its own units, in a block of exactly that size.
  const int sourceUnit = unitSize(from);
  const int units = static_cast<int>(size / static_cast<size_t>(sourceUnit));
  std::unique_ptr<char[]> source(new char[static_cast<size_t>(units) * sourceUnit + 1]);
  std::memcpy(source.get(), data, static_cast<size_t>(units) * sourceUnit);

  bool loss = false;
  const int needed = convertText(from, to, source.get(), units, nullptr, 0, &loss);
  if (needed < 0) std::abort();
  const int targetUnit = unitSize(to);
  std::unique_ptr<char[]> exact(new char[static_cast<size_t>(needed) * targetUnit + 1]);
  const int written = convertText(from, to, source.get(), units, exact.get(), needed, &loss);
  if (written != needed) std::abort();

  // A buffer too short takes fewer units, never more.
  const int capacity = needed - static_cast<int>(shortBy % 8) - 1;
  if (capacity > 0) {
    std::unique_ptr<char[]> part(new char[static_cast<size_t>(capacity) * targetUnit]);
    const int got = convertText(from, to, source.get(), units, part.get(), capacity, &loss);
    if (got < 0 || got > capacity) std::abort();
  }
  return 0;
}
