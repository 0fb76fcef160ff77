#include "xml/TextEncoding.h"

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "xml/CodePages.h"
#include "xml/IconvCodec.h"
#include "xml/UnicodeForms.h"

namespace xml {

// Conversion between named encodings. UTF-32, UTF-16 and UTF-8 are converted
// here; every other code page goes through iconv, always by way of UTF-16.

namespace {

struct Outcome {
  std::size_t produced = 0;
  bool substituted = false;
};

Outcome fromForm(const unicode::Converted& converted) { return {converted.produced, converted.substituted}; }

// Opening an iconv conversion costs more than converting a short text, so
// each thread keeps the few it used last, reset to their initial state.
IconvCodec* openCodec(int codePage, IconvCodec::Direction direction) {
  struct Cached {
    std::string encoding;
    IconvCodec::Direction direction;
    std::unique_ptr<IconvCodec> codec;
  };
  constexpr std::size_t kKept = 8;
  thread_local std::vector<Cached> cache;  // the most recently used last

  const char* name = codePage == kCodePageAnsi ? nullptr : codepages::iconvName(codePage);
  const std::string encoding =
      codePage == kCodePageAnsi ? codepages::localeEncodingName() : std::string(name ? name : "");
  if (encoding.empty()) return nullptr;
  for (auto it = cache.begin(); it != cache.end(); ++it) {
    if (it->encoding != encoding || it->direction != direction) continue;
    Cached found = std::move(*it);
    cache.erase(it);
    found.codec->reset();
    cache.push_back(std::move(found));
    return cache.back().codec.get();
  }
  std::unique_ptr<IconvCodec> codec = IconvCodec::open(encoding.c_str(), direction);
  if (!codec) return nullptr;
  if (cache.size() == kKept) cache.erase(cache.begin());
  cache.push_back({encoding, direction, std::move(codec)});
  return cache.back().codec.get();
}

// UTF-16 to a byte code page (UTF-8 included).
Outcome encodeFromUtf16(int codePage, const char16_t* in, std::size_t units, unsigned char* out, std::size_t capacity) {
  if (codePage == kCodePageUtf8) return fromForm(unicode::utf16ToUtf8(in, units, out, capacity));
  IconvCodec* codec = openCodec(codePage, IconvCodec::Direction::fromUtf16);
  if (!codec) return {};
  const IconvCodec::Result r =
      codec->convert(reinterpret_cast<const char*>(in), units * 2, reinterpret_cast<char*>(out), capacity, true);
  return {r.produced, r.substituted};
}

// A byte code page (UTF-8 included) to UTF-16.
Outcome decodeToUtf16(int codePage, const unsigned char* in, std::size_t bytes, char16_t* out, std::size_t capacity) {
  if (codePage == kCodePageUtf8) return fromForm(unicode::utf8ToUtf16(in, bytes, out, capacity));
  IconvCodec* codec = openCodec(codePage, IconvCodec::Direction::toUtf16);
  if (!codec) return {};
  const IconvCodec::Result r =
      codec->convert(reinterpret_cast<const char*>(in), bytes, reinterpret_cast<char*>(out), capacity * 2, true);
  return {r.produced / 2, r.substituted};
}

Outcome convertFromUtf32(int target, const char32_t* in, std::size_t units, void* out, std::size_t capacity) {
  if (target == kCodePageUtf8)
    return fromForm(unicode::utf32ToUtf8(in, units, static_cast<unsigned char*>(out), capacity));
  if (target == kCodePageUtf16)
    return fromForm(unicode::utf32ToUtf16(in, units, static_cast<char16_t*>(out), capacity));
  return {};
}

Outcome convertFromUtf16(int target, const char16_t* in, std::size_t units, void* out, std::size_t capacity) {
  if (target == kCodePageUtf32)
    return fromForm(unicode::utf16ToUtf32(in, units, static_cast<char32_t*>(out), capacity));
  if (target == kCodePageUtf16) {
    const std::size_t copied = out && capacity < units ? capacity : units;
    if (out) std::char_traits<char16_t>::copy(static_cast<char16_t*>(out), in, copied);
    return {copied, false};
  }
  return encodeFromUtf16(target, in, units, static_cast<unsigned char*>(out), capacity);
}

Outcome convertFromBytes(int source, int target, const unsigned char* in, std::size_t bytes, void* out,
                         std::size_t capacity) {
  if (target == kCodePageUtf16) return decodeToUtf16(source, in, bytes, static_cast<char16_t*>(out), capacity);
  if (target == kCodePageUtf32) {
    if (source != kCodePageUtf8) return {};
    return fromForm(unicode::utf8ToUtf32(in, bytes, static_cast<char32_t*>(out), capacity));
  }
  // Any other pair goes by way of UTF-16.
  const Outcome needed = decodeToUtf16(source, in, bytes, nullptr, 0);
  if (needed.produced == 0) return {};
  std::u16string middle(needed.produced, u'\0');
  const Outcome decoded = decodeToUtf16(source, in, bytes, middle.data(), middle.size());
  Outcome encoded =
      encodeFromUtf16(target, middle.data(), decoded.produced, static_cast<unsigned char*>(out), capacity);
  encoded.substituted |= decoded.substituted;
  return encoded;
}

}  // namespace

int unitSizeOf(const char16_t* encoding) {
  const int codePage = codepages::resolveAnsi(std::max(codePageForName(encoding), 0));
  if (codePage == kCodePageUtf32) return 4;
  if (codePage == kCodePageUtf16) return 2;
  return 1;
}

int convertText(const char16_t* sourceEncoding, const char16_t* targetEncoding, const void* source, int sourceUnits,
                void* target, int targetCapacity, bool* loss) {
  if (loss) *loss = false;
  if (!source || sourceUnits <= 0) return 0;
  if (target && targetCapacity <= 0) return 0;

  // An unknown name counts as the locale's encoding, as an empty one does.
  const int from = codepages::resolveAnsi(std::max(codePageForName(sourceEncoding), 0));
  const int to = codepages::resolveAnsi(std::max(codePageForName(targetEncoding), 0));
  const auto units = static_cast<std::size_t>(sourceUnits);
  const auto capacity = target ? static_cast<std::size_t>(targetCapacity) : 0;

  Outcome outcome;
  if (from == kCodePageUtf32)
    outcome = convertFromUtf32(to, static_cast<const char32_t*>(source), units, target, capacity);
  else if (from == kCodePageUtf16)
    outcome = convertFromUtf16(to, static_cast<const char16_t*>(source), units, target, capacity);
  else
    outcome = convertFromBytes(from, to, static_cast<const unsigned char*>(source), units, target, capacity);

  if (loss && outcome.substituted && !codepages::refusesLossFlag(to)) *loss = true;
  return static_cast<int>(std::min<std::size_t>(outcome.produced, INT_MAX));
}

}  // namespace xml
