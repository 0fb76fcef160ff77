// One iconv conversion to or from UTF-16 that substitutes '?' instead of stopping.
#pragma once

#include <iconv.h>

#include <cstddef>
#include <memory>

namespace xml {

// One iconv conversion between a code page and UTF-16 (in either direction),
// which goes on where iconv alone would stop: what the source cannot say and
// the target cannot hold becomes '?'. It keeps iconv's shift state between
// calls, so a stateful encoding can be fed in pieces.
class IconvCodec {
 public:
  enum class Direction { toUtf16, fromUtf16 };

  // Null when iconv does not know the encoding.
  static std::unique_ptr<IconvCodec> open(const char* encoding, Direction direction);
  ~IconvCodec();
  IconvCodec(const IconvCodec&) = delete;
  IconvCodec& operator=(const IconvCodec&) = delete;

  struct Result {
    std::size_t consumed = 0;    // source bytes used
    std::size_t produced = 0;    // target bytes written (or counted)
    bool substituted = false;    // some character became '?'
    bool outputFull = false;     // stopped because the next character did not fit
    std::size_t incomplete = 0;  // source bytes of an unfinished character left at the end
  };

  // Converts `length` source bytes into at most `capacity` target bytes (or
  // only counts them when `out` is null). With `endOfText` an unfinished
  // character at the end becomes '?' and the shift state is closed; without
  // it the unfinished bytes are left, counted in `incomplete`.
  Result convert(const char* in, std::size_t length, char* out, std::size_t capacity, bool endOfText);

  // Back to the initial shift state.
  void reset();

 private:
  IconvCodec(iconv_t handle, Direction direction) : handle_(handle), direction_(direction) {}
  enum class Step { done, full, incomplete, failed };
  static constexpr std::size_t kScratch = 64;
  static constexpr std::size_t kLongestSequence = 8;  // source bytes of one character

  bool writeSubstitute(char*& out, std::size_t& left);
  bool closeShiftState(char*& out, std::size_t& left);
  Step convertOneCharacter(char*& source, std::size_t& sourceLeft, char*& out, std::size_t& left);
  static bool copyOut(const char* from, const char* end, char*& out, std::size_t& left);

  iconv_t handle_;
  Direction direction_;
};

}  // namespace xml
