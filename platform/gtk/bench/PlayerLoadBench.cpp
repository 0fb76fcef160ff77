// How long the game waits for its movie: from the moment the game window
// makes a player (LoadGame) to the movie's first external call, for
//   - a cold start (no bridge page yet: web process, page and Ruffle's
//     WebAssembly module compile included),
//   - a start after PrewarmMoviePlayer (the page warmed while the program
//     showed its other windows),
//   - a reload (the game destroys its player and makes a new one).
// Also the resident memory of the program and its web processes.
//
// Runs under Xvfb :52 (started when nothing answers there) with the test
// movie served from the build tree.

#include <benchmark/benchmark.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "base/Text.h"
#include "platform/gtk/GtkDialogWindow.h"
#include "platform/gtk/GtkPlatform.h"
#include "platform/gtk/player/MovieSession.h"
#include "platform/gtk/player/PlayerFiles.h"

namespace {

using namespace platform;

std::string moviesBase;

void RunUntil(const std::function<bool()>& done, int timeoutMs = 60000) {
  gint64 end = g_get_monotonic_time() + gint64{timeoutMs} * 1000;
  while (!done() && g_get_monotonic_time() < end) g_main_context_iteration(nullptr, TRUE);
}

class GameWindow final : public WindowHandler {
 public:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    return window()->DefaultProc(message, wParam, lParam);
  }
  void OnFlashCall(int, const std::u16string&) override { ++calls; }
  int calls = 0;
};

struct Game {
  gtk::GtkPlatform platform;
  GameWindow window;
  std::unique_ptr<PlayerControl> player;

  Game() {
    platform.CreateDialogWindow(WindowSpec{131, nullptr, WS_POPUP, 0, false}, window);
    window.window()->SetPosition(0, 0);
    window.window()->Show(SW_SHOW);
  }
  ~Game() {
    player.reset();
    window.window()->Destroy();
  }

  // LoadGame's part: a new player, its properties, the movie, Play; then
  // the time until the movie's first call.
  double LoadGame() {
    auto start = std::chrono::steady_clock::now();
    player.reset();
    window.calls = 0;
    player = window.window()->CreatePlayer(1001, {3, 29, 803, 629});
    player->SetMenu(false);
    player->SetAllowFullScreen(u"true");
    player->SetAllowScriptAccess(u"always");
    player->SetWMode(u"direct");
    player->SetBackgroundColor(0);
    player->SetFlashVars(u"tag=bench");
    player->SetBaseAddress(base::FromUtf8(moviesBase + "/game/play/108/17?ismicroclient=yes"));
    player->LoadMovie(0, u"/PlayerTest.swf");
    player->Play();
    player->Show(SW_SHOW);
    RunUntil([&] { return window.calls > 0; });
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
};

void ColdStart(benchmark::State& state) {
  for (auto _ : state) {
    gtk::ShutdownMoviePlayer();
    Game game;
    state.SetIterationTime(game.LoadGame());
  }
}
BENCHMARK(ColdStart)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void StartAfterPrewarm(benchmark::State& state) {
  for (auto _ : state) {
    gtk::ShutdownMoviePlayer();
    gtk::PrewarmMoviePlayer();
    RunUntil([] { return gtk::MoviePlayerWarm(); });
    Game game;
    state.SetIterationTime(game.LoadGame());
  }
}
BENCHMARK(StartAfterPrewarm)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

long ResidentKb(const std::string& pid) {
  std::ifstream status("/proc/" + pid + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return 0;
}

// The program's own resident memory and that of its web engine's processes
// (web process and network process).
void CountMemory(benchmark::State& state) {
  long own = ResidentKb(std::to_string(getpid())), web = 0;
  int processes = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    std::string pid = entry.path().filename();
    std::ifstream stat("/proc/" + pid + "/stat");
    std::string text;
    std::getline(stat, text);
    auto close = text.rfind(')');
    if (close == std::string::npos) continue;
    int parent = 0;
    char kind = 0;
    std::sscanf(text.c_str() + close + 1, " %c %d", &kind, &parent);
    if (parent == getpid() && text.find("(WebKit") != std::string::npos) {
      web += ResidentKb(pid);
      ++processes;
    }
  }
  state.counters["own_MB"] = own / 1024.0;
  state.counters["web_MB"] = web / 1024.0;
  state.counters["web_processes"] = processes;
}

void Reload(benchmark::State& state) {
  Game game;
  game.LoadGame();
  for (auto _ : state) state.SetIterationTime(game.LoadGame());
  CountMemory(state);
}
BENCHMARK(Reload)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

bool DisplayAnswers(const char* name) {
  GdkDisplay* display = gdk_display_open(name);
  if (display) gdk_display_close(display);
  return display != nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  auto data = std::filesystem::temp_directory_path() / ("tessary-player-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(data / "data");
  std::filesystem::create_directories(data / "cache");
  setenv("XDG_DATA_HOME", (data / "data").c_str(), 1);
  setenv("XDG_CACHE_HOME", (data / "cache").c_str(), 1);
  gtk::UsePlayerFilesFolder(TESSARY_PLAYER_FILES);

  GSubprocess* xvfb = nullptr;
  if (!DisplayAnswers(":52")) {
    const char* args[] = {"Xvfb", ":52", "-screen", "0", "1280x800x24", "-nolisten", "tcp", nullptr};
    xvfb = g_subprocess_newv(args, G_SUBPROCESS_FLAGS_STDERR_SILENCE, nullptr);
    for (int i = 0; i < 200 && !DisplayAnswers(":52"); ++i) g_usleep(50 * 1000);
  }
  setenv("DISPLAY", ":52", 1);
  gdk_set_allowed_backends("x11");
  if (!gtk_init_check(nullptr, nullptr)) return 1;

  const char* server[] = {
      "python3", "-m", "http.server", "0", "--bind", "127.0.0.1", "--directory", TESSARY_PLAYER_TEST_MOVIES, nullptr};
  GSubprocess* movies = g_subprocess_newv(server, G_SUBPROCESS_FLAGS_STDOUT_PIPE, nullptr);
  GDataInputStream* out = g_data_input_stream_new(g_subprocess_get_stdout_pipe(movies));
  char* line = g_data_input_stream_read_line_utf8(out, nullptr, nullptr, nullptr);
  // "Serving HTTP on 127.0.0.1 port 40123 (http://127.0.0.1:40123/) ..."
  std::string said = line ? line : "";
  g_free(line);
  g_object_unref(out);
  auto at = said.find("(http://");
  if (at == std::string::npos) return 1;
  moviesBase = said.substr(at + 1, said.find('/', at + 8) - at - 1);

  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  gtk::ShutdownMoviePlayer();
  for (GSubprocess* process : {movies, xvfb}) {
    if (!process) continue;
    g_subprocess_send_signal(process, SIGTERM);
    g_subprocess_wait(process, nullptr, nullptr);
    g_object_unref(process);
  }
  std::filesystem::remove_all(data);
  return 0;
}
