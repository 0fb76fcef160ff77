// Downloads one large file from loopback with DownloadToFile and with the
// curl command-line tool in the same run, from the same server, and prints
// the ratio of their times (below 1: DownloadToFile is faster).
//
// Servers: 0 = our sendfile server (the client is the bottleneck),
//          1 = python3 -m http.server (a typical plain web server).
#include "base/Text.h"
#include "update/DownloadToFile.h"
#include "update/PosixUpdateEnvironment.h"
#include "update/ProgressText.h"
#include "update/tests/LoopbackHttpServer.h"
#include "update/tests/RecordingEnvironment.h"

#include <benchmark/benchmark.h>
#include <gtk/gtk.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <thread>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace update;

constexpr size_t kFileSize = 400u * 1024 * 1024;

double Seconds(const timeval& time) { return static_cast<double>(time.tv_sec) + time.tv_usec / 1e6; }

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
}

// Runs a program with its output and errors silenced; waits for it unless
// started is given.
int RunProgram(std::vector<std::string> arguments, pid_t* started = nullptr, double* cpuSeconds = nullptr) {
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t child = 0;
  const int error = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) return -1;
  if (started) {
    *started = child;
    return 0;
  }
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  if (cpuSeconds) *cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

uint16_t FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

bool Accepts(uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return ok;
}

// The large file and the two servers, made once for the whole run.
class Fixture {
 public:
  Fixture() {
    source_ = folder_.Path() / "large.bin";
    std::ofstream out(source_, std::ios::binary);
    std::mt19937_64 random(42);
    std::vector<uint64_t> block(1 << 17);
    for (size_t written = 0; written < kFileSize; written += block.size() * 8) {
      for (uint64_t& word : block) word = random();
      out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size() * 8));
    }
    out.close();
    // Written back now, so that the first measurement does not pay for it.
    const int fd = ::open(source_.c_str(), O_RDONLY);
    ::fsync(fd);
    ::close(fd);
    server_.Serve("/large.bin", testing::Reply{.file = source_});

    pythonPort_ = FreePort();
    const std::string port = std::to_string(pythonPort_);
    if (RunProgram(
            {"python3", "-m", "http.server", "--bind", "127.0.0.1", "--directory", folder_.Path().string(), port},
            &python_) == 0) {
      for (int i = 0; i < 200 && !Accepts(pythonPort_); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
  }

  ~Fixture() {
    if (python_ > 0) {
      ::kill(python_, SIGTERM);
      ::waitpid(python_, nullptr, 0);
    }
  }

  std::string Address(int server) const {
    if (server == 0) return server_.Address("/large.bin");
    return "http://127.0.0.1:" + std::to_string(pythonPort_) + "/large.bin";
  }
  bool PythonRunning() const { return python_ > 0 && Accepts(pythonPort_); }
  fs::path Target() const { return folder_.Path() / "download.bin"; }

 private:
  testing::TemporaryFolder folder_;
  testing::LoopbackHttpServer server_;
  fs::path source_;
  uint16_t pythonPort_ = 0;
  pid_t python_ = -1;
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

// Every download's seconds per client and server, for the closing ratios.
struct Samples {
  std::vector<double> seconds;
  std::vector<double> cpuSeconds;  // of the downloading client alone
};
std::map<std::pair<std::string, int>, Samples> samples;

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double Minimum(const std::vector<double>& values) { return *std::min_element(values.begin(), values.end()); }

template <typename Fetch>
void Measure(benchmark::State& state, const std::string& client, Fetch fetch) {
  Fixture& fixture = Shared();
  const int server = static_cast<int>(state.range(0));
  if (server == 1 && !fixture.PythonRunning()) {
    state.SkipWithError("python3 http.server is not running");
    return;
  }
  const std::string address = fixture.Address(server);
  Samples& sample = samples[{client, server}];
  double cpuSeconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove(fixture.Target());
    state.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    double cpu = 0;
    const bool ok = fetch(address, fixture.Target(), cpu);
    sample.seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    sample.cpuSeconds.push_back(cpu);
    cpuSeconds += cpu;
    if (!ok || fs::file_size(fixture.Target()) != kFileSize) {
      state.SkipWithError("download failed");
      return;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
  state.counters["client_cpu_ms"] = benchmark::Counter(cpuSeconds * 1000 / static_cast<double>(state.iterations()));
}

// Our download of the file with the given environment and options. The
// client is this thread; the loopback server has threads of its own.
void MeasureDownload(benchmark::State& state, const std::string& client, UpdateEnvironment& environment,
                     const DownloadOptions& options) {
  Measure(state, client, [&](const std::string& address, const fs::path& target, double& cpu) {
    const double start = ThreadCpuSeconds();
    const bool ok = DownloadToFile(std::u16string(address.begin(), address.end()), target, environment, options);
    cpu = ThreadCpuSeconds() - start;
    return ok;
  });
}

void BM_DownloadToFile(benchmark::State& state) {
  PosixUpdateEnvironment environment(nullptr, nullptr);
  const DownloadOptions options;  // the product's: chunks of 10240 bytes
  MeasureDownload(state, "DownloadToFile", environment, options);
}

// The same with a progress function as the update runs it: called on every
// libcurl progress report, formatting a text at most ten times a second.
void BM_DownloadToFileWithProgress(benchmark::State& state) {
  PosixUpdateEnvironment environment(nullptr, nullptr);
  DownloadOptions options;
  std::string shown;
  auto next = std::chrono::steady_clock::now();
  options.progress = [&](uint64_t received, int64_t total) {
    const auto now = std::chrono::steady_clock::now();
    if (now < next) return true;
    next = now + std::chrono::milliseconds(100);
    char text[64];
    std::snprintf(text, sizeof text, "%d%% %.1f MB",
                  total > 0 ? static_cast<int>(received * 100 / static_cast<uint64_t>(total)) : 0,
                  static_cast<double>(received) / 1e6);
    shown = text;
    return true;
  };
  MeasureDownload(state, "DownloadToFile+progress", environment, options);
}

// The same with a window on screen, kept answering as the login dialog does:
// pending events handled every 20 ms, the progress text set every 200 ms.
void BM_DownloadToFileWithWindow(benchmark::State& state) {
  static GtkWidget* label = []() -> GtkWidget* {
    if (!gtk_init_check(nullptr, nullptr)) return nullptr;
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(window), 608, 344);
    GtkWidget* text = gtk_label_new("加载中,请稍等...");
    gtk_container_add(GTK_CONTAINER(window), text);
    gtk_widget_show_all(window);
    while (gtk_events_pending()) gtk_main_iteration();
    return text;
  }();
  if (!label) {
    state.SkipWithError("no display for a window");
    return;
  }
  PosixUpdateEnvironment environment(nullptr, nullptr);
  DownloadOptions options;
  auto nextEvents = std::chrono::steady_clock::now();
  auto nextText = nextEvents;
  options.progress = [&](uint64_t received, int64_t total) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= nextEvents) {
      nextEvents = now + std::chrono::milliseconds(20);
      for (int round = 0; round < 64 && g_main_context_pending(nullptr); ++round)
        g_main_context_iteration(nullptr, FALSE);
    }
    if (now >= nextText) {
      nextText = now + std::chrono::milliseconds(200);
      const std::u16string text = ProgressText(received, total);
      gtk_label_set_text(GTK_LABEL(label), ::base::ToUtf8(text).c_str());
    }
    return true;
  };
  MeasureDownload(state, "DownloadToFile+window", environment, options);
}

void BM_CurlCommand(benchmark::State& state) {
  Measure(state, "curl", [](const std::string& address, const fs::path& target, double& cpu) {
    return RunProgram({"curl", "--silent", "--fail", "--output", target.string(), address}, nullptr, &cpu) == 0;
  });
}

BENCHMARK(BM_DownloadToFile)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3)
    ->Repetitions(3);
// Receive buffers other than the product's, for profiling: the client's CPU
// time shows what the extra calls per piece cost.
void BM_DownloadToFileBuffer(benchmark::State& state) {
  PosixUpdateEnvironment environment(nullptr, nullptr);
  DownloadOptions options;
  options.chunkSize = static_cast<size_t>(state.range(1));
  MeasureDownload(state, "DownloadToFile buffer " + std::to_string(options.chunkSize), environment, options);
}

BENCHMARK(BM_DownloadToFileBuffer)
    ->Args({0, 102400})
    ->Args({0, 524288})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3)
    ->Repetitions(3);
BENCHMARK(BM_DownloadToFileWithProgress)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3)
    ->Repetitions(3);
BENCHMARK(BM_DownloadToFileWithWindow)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3)
    ->Repetitions(3);
BENCHMARK(BM_CurlCommand)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3)->Repetitions(3);

}  // namespace

int main(int argc, char** argv) {
  // Repetitions of both clients interleave, so that both see the same
  // machine load and the same amount of page cache write-back.
  std::vector<char*> arguments(argv, argv + argc);
  char interleave[] = "--benchmark_enable_random_interleaving=true";
  arguments.insert(arguments.begin() + 1, interleave);
  argc = static_cast<int>(arguments.size());
  argv = arguments.data();
  Shared();  // the file and the servers before any measurement
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("Per %zu MiB download (median of all downloads, fastest in brackets):\n", kFileSize >> 20);
  for (int server : {0, 1}) {
    const auto ours = samples.find({"DownloadToFile", server});
    const auto curl = samples.find({"curl", server});
    if (ours == samples.end() || curl == samples.end() || ours->second.seconds.empty() || curl->second.seconds.empty())
      continue;
    const Samples& a = ours->second;
    const Samples& b = curl->second;
    std::printf(
        "server %d (%s): DownloadToFile %.0f ms (%.0f), CPU %.0f ms; "
        "curl %.0f ms (%.0f), CPU %.0f ms\n"
        "  ratio DownloadToFile/curl: time %.3f (fastest %.3f), client CPU %.3f\n",
        server, server == 0 ? "sendfile" : "python3 http.server", Median(a.seconds) * 1000, Minimum(a.seconds) * 1000,
        Median(a.cpuSeconds) * 1000, Median(b.seconds) * 1000, Minimum(b.seconds) * 1000, Median(b.cpuSeconds) * 1000,
        Median(a.seconds) / Median(b.seconds), Minimum(a.seconds) / Minimum(b.seconds),
        Median(a.cpuSeconds) / Median(b.cpuSeconds));
    for (const char* variant : {"DownloadToFile+progress", "DownloadToFile+window", "DownloadToFile buffer 102400",
                                "DownloadToFile buffer 524288"}) {
      const auto found = samples.find({variant, server});
      if (found == samples.end() || found->second.seconds.empty()) continue;
      const Samples& c = found->second;
      std::printf(
          "  %s: %.0f ms, CPU %.0f ms; ratio to without: time %.3f, CPU %.3f; "
          "time to curl %.3f\n",
          variant, Median(c.seconds) * 1000, Median(c.cpuSeconds) * 1000, Median(c.seconds) / Median(a.seconds),
          Median(c.cpuSeconds) / Median(a.cpuSeconds), Median(c.seconds) / Median(b.seconds));
    }
  }
  return 0;
}
