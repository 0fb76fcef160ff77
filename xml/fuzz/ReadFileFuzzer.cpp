// Random bytes read as a file in read-file mode with a random chunk size and
// encoding, walked, and also read by the stream alone chunk by chunk.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "xml/TagDocument.h"
#include "xml/TextFileStream.h"
#include "xml/fuzz/FuzzEncodings.h"

namespace xml {

namespace {

// The input as a file without touching the disk.
class MemoryFile {
 public:
  MemoryFile(const uint8_t* data, size_t size) : fd_(memfd_create("fuzz", 0)) {
    if (fd_ >= 0 && size > 0 && write(fd_, data, size) != static_cast<ssize_t>(size)) {
      close(fd_);
      fd_ = -1;
    }
  }
  ~MemoryFile() {
    if (fd_ >= 0) close(fd_);
  }
  bool ok() const { return fd_ >= 0; }
  std::string path() const { return "/proc/self/fd/" + std::to_string(fd_); }

 private:
  int fd_;
};

void walk(TagDocument& document, int depth) {
  for (int n = 0; n < 64 && document.findNextElement(); ++n) {
    document.currentName();
    document.attributeNameAt(0);
    document.currentText();
    if (depth < 16 && document.enterElement()) {
      walk(document, depth + 1);
      document.leaveElement();
    }
  }
}

}  // namespace

}  // namespace xml

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace xml;
  if (size < 2) return 0;
  const int32_t chunkSize = 1 + data[0] % 64;
  const auto& names = fuzzEncodingNames();
  const std::u16string& encoding = names[data[1] % names.size()];
  MemoryFile file(data + 2, size - 2);
  if (!file.ok()) return 0;
  const std::string path = file.path();

  TagDocument document;
  const std::u16string widePath(path.begin(), path.end());
  document.openFile(widePath.c_str(), TagDocument::kReadFileMode, encoding.c_str(), chunkSize);
  walk(document, 0);
  document.closeFile();

  std::u16string log;
  if (auto stream = TextFileStream::openForReading(path, encoding, chunkSize, log)) {
    std::u16string text;
    for (int guard = 0; !stream->atEnd() && guard < 1 << 20; ++guard)
      if (!stream->readChunk(text)) break;
  }
  return 0;
}
