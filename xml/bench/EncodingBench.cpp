// Conversion and file reading speed: convertText against iconv on its own for
// tens of megabytes of UTF-8 and GB2312, and read-file mode against loadString
// of the same text held in memory.

#include <benchmark/benchmark.h>
#include <iconv.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "xml/TagDocument.h"
#include "xml/TextEncoding.h"

namespace xml {

namespace {

constexpr std::size_t kTextBytes = 32 << 20;

// XML with Chinese text between ASCII markup, about as a game's data reads.
const std::u16string& documentText() {
  static const std::u16string text = [] {
    std::u16string t = u"<?xml version=\"1.0\"?><items>";
    for (int i = 0; t.size() * 2 < kTextBytes; ++i)
      t += u"<item id=\"" + std::u16string(1, char16_t(u'0' + i % 10)) +
           u"\" name=\"\u6E38\u620F\u9053\u5177\"><text>\u8FD9\u662F\u4E00\u4E2A\u4E2D\u6587"
           u"\u7684\u63CF\u8FF0, with some ASCII words too.</text><level>42</level></item>\n";
    return t + u"</items>";
  }();
  return text;
}

std::string encoded(const char16_t* encoding) {
  const std::u16string& text = documentText();
  const int size = convertText(u"UTF-16", encoding, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  convertText(u"UTF-16", encoding, text.data(), static_cast<int>(text.size()), bytes.data(), size);
  return bytes;
}

const std::string& utf8Bytes() {
  static const std::string bytes = encoded(u"UTF-8");
  return bytes;
}

const std::string& gb2312Bytes() {
  static const std::string bytes = encoded(u"GB2312");
  return bytes;
}

void convertWithConvertText(benchmark::State& state, const char16_t* encoding, const std::string& bytes) {
  std::u16string out(bytes.size() + 16, u'\0');
  for (auto _ : state) {
    const int units = convertText(encoding, u"UTF-16", bytes.data(), static_cast<int>(bytes.size()), out.data(),
                                  static_cast<int>(out.size()));
    benchmark::DoNotOptimize(units);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}

void convertWithIconv(benchmark::State& state, const char* encoding, const std::string& bytes) {
  std::u16string out(bytes.size() + 16, u'\0');
  iconv_t handle = iconv_open("UTF-16LE", encoding);
  for (auto _ : state) {
    iconv(handle, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char* to = reinterpret_cast<char*>(out.data());
    std::size_t outLeft = out.size() * 2;
    benchmark::DoNotOptimize(iconv(handle, &in, &inLeft, &to, &outLeft));
  }
  iconv_close(handle);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}

void Utf8ToUtf16_convertText(benchmark::State& state) { convertWithConvertText(state, u"UTF-8", utf8Bytes()); }
void Utf8ToUtf16_iconv(benchmark::State& state) { convertWithIconv(state, "UTF-8", utf8Bytes()); }
void Gb2312ToUtf16_convertText(benchmark::State& state) { convertWithConvertText(state, u"GB2312", gb2312Bytes()); }
void Gb2312ToUtf16_iconv(benchmark::State& state) { convertWithIconv(state, "CP936", gb2312Bytes()); }

BENCHMARK(Utf8ToUtf16_convertText)->Unit(benchmark::kMillisecond);
BENCHMARK(Utf8ToUtf16_iconv)->Unit(benchmark::kMillisecond);
BENCHMARK(Gb2312ToUtf16_convertText)->Unit(benchmark::kMillisecond);
BENCHMARK(Gb2312ToUtf16_iconv)->Unit(benchmark::kMillisecond);

// The same document from memory and from a file, in bytes of UTF-8.
void LoadString_inMemory(benchmark::State& state) {
  const std::u16string& text = documentText();
  TagDocument document;
  for (auto _ : state) benchmark::DoNotOptimize(document.loadString(text.c_str()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(utf8Bytes().size()));
}

void ReadFileMode(benchmark::State& state, const char16_t* encoding, const std::string& bytes) {
  char name[] = "/tmp/tessary-bench-XXXXXX";
  const int fd = mkstemp(name);
  if (fd < 0 || write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
    state.SkipWithError("cannot write the file");
    return;
  }
  close(fd);
  const std::string path = name;
  const std::u16string widePath(path.begin(), path.end());
  TagDocument document;
  for (auto _ : state) {
    benchmark::DoNotOptimize(document.openFile(widePath.c_str(), TagDocument::kReadFileMode, encoding,
                                               static_cast<int32_t>(state.range(0))));
    document.closeFile();
  }
  std::remove(name);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}

void ReadFileMode_utf8(benchmark::State& state) { ReadFileMode(state, u"UTF-8", utf8Bytes()); }
void ReadFileMode_detected(benchmark::State& state) { ReadFileMode(state, u"", utf8Bytes()); }
void ReadFileMode_gb2312(benchmark::State& state) { ReadFileMode(state, u"GB2312", gb2312Bytes()); }

BENCHMARK(LoadString_inMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadFileMode_utf8)->Arg(64 << 10)->Arg(4 << 10)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadFileMode_detected)->Arg(64 << 10)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadFileMode_gb2312)->Arg(64 << 10)->Unit(benchmark::kMillisecond);

}  // namespace

}  // namespace xml

BENCHMARK_MAIN();
