// What a document needs from the file behind its read-file and write-file modes.
#pragma once

#include "xml/NodeScanner.h"

#include <cstdint>
#include <string>

namespace xml {

// What a TagDocument needs from the file behind read-file mode (options 0x10) and
// write-file mode (0x20). The text file stream of the encoding layer implements it.
//
// Read-file mode: the parser's scanner calls refill() (see ScannerRefill) whenever a
// node runs into the end of the loaded text.
// Write-file mode: writeChunk() takes text the document has finished with.
class FileModeStream : public ScannerRefill {
 public:
  ~FileModeStream() override = default;

  bool refill(const char16_t*& /*text*/, int32_t& /*length*/, int32_t /*keepFrom*/, int32_t& /*dropped*/) override {
    return false;
  }
  // Writes count units of text (-1: all); false on a failed write.
  virtual bool writeChunk(const char16_t* /*text*/, int32_t /*count*/) { return false; }
  // Records of the current chunk ("read", "write", "file_error", ...).
  virtual const std::u16string& chunkLog() const { return emptyLog_; }

 private:
  std::u16string emptyLog_;
};

}  // namespace xml
