// Read-file mode over a large file: generates a file of small elements (1 GiB by
// default; TESSARY_STREAM_BENCH_MB sets another size, TMPDIR the folder), reads it
// through with openFile, walks every element reading its name, an attribute and its
// text, and deletes the file. Reports MB/s of each pass and the peak resident memory,
// which the dropped text keeps near the element index rather than the file's size.
#include "xml/TagDocument.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace xml {

namespace {

std::string makeFile(long long bytes) {
  const char* folder = std::getenv("TMPDIR");
  std::string path = std::string(folder && *folder ? folder : "/tmp") + "/tessary-stream-XXXXXX";
  const int fd = mkstemp(path.data());
  if (fd < 0) return {};
  std::string block = "<items>\n";
  char element[96];
  bool ok = true;
  for (long long written = 0, n = 0; ok && written < bytes; ++n) {
    const int length = std::snprintf(element, sizeof element, "<item id=\"%lld\" kind=\"k%lld\">value %lld</item>\n", n,
                                     n % 7, n * 13);
    block.append(element, static_cast<size_t>(length));
    if (block.size() >= (1 << 20) || written + static_cast<long long>(block.size()) >= bytes) {
      ok = write(fd, block.data(), block.size()) == static_cast<ssize_t>(block.size());
      written += static_cast<long long>(block.size());
      block.clear();
    }
  }
  ok = ok && write(fd, "</items>\n", 9) == 9;
  close(fd);
  if (!ok) {
    std::remove(path.c_str());
    return {};
  }
  return path;
}

// CPU seconds of this process so far (the machine is shared, so wall time is noisy).
double cpuSeconds() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double peakResidentMiB() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

void ReadFileModeLargeFile(benchmark::State& state) {
  const char* size = std::getenv("TESSARY_STREAM_BENCH_MB");
  const long long megabytes = size ? std::atoll(size) : 1024;
  const std::string path = makeFile(megabytes << 20);
  if (path.empty()) {
    state.SkipWithError("cannot write the file");
    return;
  }
  const std::u16string widePath(path.begin(), path.end());
  const double before = peakResidentMiB();
  long long elements = 0;
  double openSeconds = 0;
  double walkSeconds = 0;
  double openCpu = 0;
  double walkCpu = 0;
  for (auto _ : state) {
    TagDocument document;
    auto start = std::chrono::steady_clock::now();
    const double cpuStart = cpuSeconds();
    const bool read = document.openFile(widePath.c_str(), TagDocument::kReadFileMode, u"UTF-8");
    auto opened = std::chrono::steady_clock::now();
    const double cpuOpened = cpuSeconds();
    if (!read) state.SkipWithError("the file did not read as well formed");
    long long walked = 0;
    if (document.findNextElement() && document.enterElement()) {
      while (document.findNextElement()) {
        benchmark::DoNotOptimize(document.currentName());
        benchmark::DoNotOptimize(document.attributeValue(u"id"));
        benchmark::DoNotOptimize(document.currentText());
        ++walked;
      }
    }
    auto done = std::chrono::steady_clock::now();
    openCpu = cpuOpened - cpuStart;
    walkCpu = cpuSeconds() - cpuOpened;
    elements = document.nextFreeIndex() - 1;
    openSeconds = std::chrono::duration<double>(opened - start).count();
    walkSeconds = std::chrono::duration<double>(done - opened).count();
    if (walked + 1 != elements) state.SkipWithError("the walk did not reach every element");
    document.closeFile();
  }
  std::remove(path.c_str());
  const double mib = static_cast<double>(megabytes);
  state.counters["file_MiB"] = mib;
  state.counters["elements_M"] = static_cast<double>(elements) / 1e6;
  state.counters["index_MiB"] = static_cast<double>(elements + 1) * 32 / (1 << 20);
  state.counters["peak_RSS_MiB"] = peakResidentMiB();
  state.counters["RSS_before_MiB"] = before;
  state.counters["open_MBps"] = mib * 1.048576 / openSeconds;
  state.counters["walk_MBps"] = mib * 1.048576 / walkSeconds;
  state.counters["open_MBps_cpu"] = mib * 1.048576 / openCpu;
  state.counters["walk_MBps_cpu"] = mib * 1.048576 / walkCpu;
}

BENCHMARK(ReadFileModeLargeFile)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

}  // namespace xml

BENCHMARK_MAIN();
