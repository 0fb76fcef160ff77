// Write-file mode in an encoding of the table chosen by the input: the rest of
// the input is a script of element writes, attributes and end tags whose names
// and texts are cut from the input itself, so every unit (surrogates and
// characters the encoding cannot hold included) reaches the conversion.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "xml/TagDocument.h"
#include "xml/fuzz/FuzzEncodings.h"

namespace xml {

namespace {

// Takes the next string of up to 15 units from the input.
std::u16string take(const uint8_t*& p, const uint8_t* end) {
  if (p == end) return u"x";
  std::size_t units = *p++ % 16;
  std::u16string text;
  for (; units > 0 && end - p >= 2; --units, p += 2) text += static_cast<char16_t>(p[0] | p[1] << 8);
  return text.empty() || text[0] == 0 ? u"x" : text;
}

}  // namespace

}  // namespace xml

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace xml;
  if (size < 2) return 0;
  const auto& names = fuzzEncodingNames();
  const std::u16string& encoding = names[data[0] % names.size()];
  const int32_t chunkSize = 1 + data[1] % 64;
  const int fd = memfd_create("fuzz", 0);
  if (fd < 0) return 0;
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  const std::u16string widePath(path.begin(), path.end());

  TagDocument document;
  if (document.openFile(widePath.c_str(), TagDocument::kWriteFileMode, encoding.c_str(), chunkSize)) {
    const uint8_t* p = data + 2;
    const uint8_t* end = data + size;
    for (int step = 0; p < end && step < 256; ++step) {
      const uint8_t op = *p++;
      const std::u16string name = take(p, end);
      switch (op % 6) {
        case 0: document.appendElement(name.c_str(), nullptr, op & 0x06); break;
        case 1: document.appendElement(name.c_str(), take(p, end).c_str(), op & 0x07); break;
        case 2:
          document.appendElement(name.c_str(), nullptr,
                                 TagDocument::kAppendStartTagOnly | (op & 0x40 ? TagDocument::kAppendAsChild : 0));
          break;
        case 3: document.setAttribute(name.c_str(), take(p, end).c_str()); break;
        case 4: document.leaveElement(); break;
        default: document.appendElement((u"/" + name).c_str()); break;
      }
    }
    document.closeFile();
  }
  close(fd);
  return 0;
}
