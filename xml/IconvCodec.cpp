#include "xml/IconvCodec.h"

#include <bit>
#include <cerrno>
#include <cstring>

namespace xml {

namespace {

static_assert(std::endian::native == std::endian::little, "char16_t buffers are handed to iconv as UTF-16LE");
constexpr const char* kUtf16 = "UTF-16LE";
constexpr char kQuestionMarkUtf16[] = {'?', 0};
constexpr std::size_t kCountingBlock = 4096;

bool isHighSurrogateAt(const char* p) {
  const unsigned unit = static_cast<unsigned char>(p[0]) | static_cast<unsigned char>(p[1]) << 8;
  return unit >= 0xD800 && unit <= 0xDBFF;
}

bool isLowSurrogateAt(const char* p) {
  const unsigned unit = static_cast<unsigned char>(p[0]) | static_cast<unsigned char>(p[1]) << 8;
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

std::unique_ptr<IconvCodec> IconvCodec::open(const char* encoding, Direction direction) {
  if (!encoding || !*encoding) return nullptr;
  iconv_t handle = direction == Direction::toUtf16 ? iconv_open(kUtf16, encoding) : iconv_open(encoding, kUtf16);
  if (handle == reinterpret_cast<iconv_t>(-1)) return nullptr;
  return std::unique_ptr<IconvCodec>(new IconvCodec(handle, direction));
}

IconvCodec::~IconvCodec() { iconv_close(handle_); }

void IconvCodec::reset() { iconv(handle_, nullptr, nullptr, nullptr, nullptr); }

bool IconvCodec::writeSubstitute(char*& out, std::size_t& left) {
  if (direction_ == Direction::toUtf16) {
    if (left < 2) return false;
    out[0] = '?';
    out[1] = 0;
    out += 2;
    left -= 2;
    return true;
  }
  // The target's own '?', spelt in the shift state it is in.
  char* in = const_cast<char*>(kQuestionMarkUtf16);
  std::size_t inLeft = sizeof kQuestionMarkUtf16;
  char* const before = out;
  const std::size_t leftBefore = left;
  if (iconv(handle_, &in, &inLeft, &out, &left) == static_cast<std::size_t>(-1)) {
    if (errno == E2BIG) {
      out = before;
      left = leftBefore;
      return false;
    }
    // A target without '?' simply drops the character.
  }
  return true;
}

bool IconvCodec::closeShiftState(char*& out, std::size_t& left) {
  if (iconv(handle_, nullptr, nullptr, &out, &left) != static_cast<std::size_t>(-1)) return true;
  if (errno != E2BIG) return false;
  char scratch[kScratch];
  char* end = scratch;
  std::size_t room = sizeof scratch;
  if (iconv(handle_, nullptr, nullptr, &end, &room) == static_cast<std::size_t>(-1)) return false;
  return copyOut(scratch, end, out, left);
}

// Some of glibc's converters want room for their longest character before
// they write even a short one, and so stop early at the end of an exact
// buffer; there the conversion goes on one character at a time through a
// scratch block.
IconvCodec::Step IconvCodec::convertOneCharacter(char*& source, std::size_t& sourceLeft, char*& out,
                                                 std::size_t& left) {
  const std::size_t unit = direction_ == Direction::fromUtf16 ? 2 : 1;
  std::size_t take = unit;
  for (; take <= sourceLeft && take <= kLongestSequence; take += unit) {
    char scratch[kScratch];
    char* in = source;
    std::size_t inLeft = take;
    char* end = scratch;
    std::size_t room = sizeof scratch;
    const bool converted = iconv(handle_, &in, &inLeft, &end, &room) != static_cast<std::size_t>(-1);
    if (!converted && errno == EINVAL) continue;          // the character needs more bytes
    if (!converted && in == source) return Step::failed;  // EILSEQ: for the caller to replace
    if (!copyOut(scratch, end, out, left)) return Step::full;
    sourceLeft -= static_cast<std::size_t>(in - source);
    source = in;
    return Step::done;
  }
  return take > sourceLeft ? Step::incomplete : Step::failed;
}

bool IconvCodec::copyOut(const char* from, const char* end, char*& out, std::size_t& left) {
  const auto size = static_cast<std::size_t>(end - from);
  if (size > left) return false;
  std::memcpy(out, from, size);
  out += size;
  left -= size;
  return true;
}

IconvCodec::Result IconvCodec::convert(const char* in, std::size_t length, char* out, std::size_t capacity,
                                       bool endOfText) {
  Result result;
  char block[kCountingBlock];
  const bool counting = out == nullptr;
  char* cursor = counting ? block : out;
  std::size_t left = counting ? sizeof block : capacity;
  char* source = const_cast<char*>(in);
  std::size_t sourceLeft = length;
  const std::size_t unit = direction_ == Direction::fromUtf16 ? 2 : 1;

  // In counting mode the block is emptied whenever it fills up.
  auto drainBlock = [&] {
    result.produced += static_cast<std::size_t>(cursor - block);
    cursor = block;
    left = sizeof block;
  };

  bool stateClosed = false;
  for (;;) {
    if (sourceLeft > 0 && iconv(handle_, &source, &sourceLeft, &cursor, &left) != static_cast<std::size_t>(-1))
      continue;  // all used; a further call with sourceLeft 0 ends the loop below
    if (sourceLeft == 0) {
      if (!endOfText || stateClosed) break;
      if (closeShiftState(cursor, left)) {
        stateClosed = true;
        break;
      }
      if (errno == E2BIG && counting) {
        drainBlock();
        continue;
      }
      result.outputFull = errno == E2BIG;
      break;
    }
    if (errno == E2BIG) {
      if (counting) {
        drainBlock();
        continue;
      }
      const Step step = convertOneCharacter(source, sourceLeft, cursor, left);
      if (step == Step::done) continue;
      if (step == Step::full) {
        result.outputFull = true;
        break;
      }
      errno = step == Step::incomplete ? EINVAL : EILSEQ;  // dealt with below
    }
    if (errno == EINVAL && !endOfText) {
      result.incomplete = sourceLeft;
      break;
    }
    // EILSEQ, or an unfinished character at the very end: one character of
    // the source becomes '?'.
    std::size_t skip = unit;
    if (errno == EINVAL) {
      skip = sourceLeft;
    } else if (direction_ == Direction::fromUtf16 && sourceLeft >= 4 && isHighSurrogateAt(source) &&
               isLowSurrogateAt(source + 2)) {
      skip = 4;
    }
    if (skip > sourceLeft) skip = sourceLeft;
    if (!writeSubstitute(cursor, left)) {
      if (counting) {
        drainBlock();
        continue;
      }
      result.outputFull = true;
      break;
    }
    result.substituted = true;
    source += skip;
    sourceLeft -= skip;
  }

  result.consumed = length - sourceLeft;
  if (counting)
    result.produced += static_cast<std::size_t>(cursor - block);
  else
    result.produced = static_cast<std::size_t>(cursor - out);
  return result;
}

}  // namespace xml
