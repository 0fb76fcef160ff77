#include "platform/gtk/tests/PlayerTestSupport.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <vector>

#include "platform/gtk/player/MovieSession.h"
#include "platform/gtk/player/PlayerFiles.h"

namespace player_test {

namespace {

constexpr const char* kDisplay = ":52";

std::string moviesBase;

bool DisplayAnswers() {
  GdkDisplay* display = gdk_display_open(kDisplay);
  if (!display) return false;
  gdk_display_close(display);
  return true;
}

// Serves the built test movies; says "movies on http://127.0.0.1:PORT".
constexpr const char* kServer = R"(
import functools, http.server, sys
class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Quiet, directory=sys.argv[1]))
print("movies on http://127.0.0.1:%d" % server.server_address[1], flush=True)
server.serve_forever()
)";

class Environment final : public ::testing::Environment {
 public:
  void SetUp() override {
    dataRoot_ = std::filesystem::temp_directory_path() / ("tessary-player-" + std::to_string(getpid()));
    std::filesystem::create_directories(dataRoot_ / "data");
    std::filesystem::create_directories(dataRoot_ / "cache");
    setenv("XDG_DATA_HOME", (dataRoot_ / "data").c_str(), 1);
    setenv("XDG_CACHE_HOME", (dataRoot_ / "cache").c_str(), 1);
    platform::gtk::UsePlayerFilesFolder(TESSARY_PLAYER_FILES);

    if (!DisplayAnswers()) {
      const char* argv[] = {"Xvfb", kDisplay, "-screen", "0", "1280x800x24", "-nolisten", "tcp", nullptr};
      GError* error = nullptr;
      xvfb_ = g_subprocess_newv(argv, G_SUBPROCESS_FLAGS_STDERR_SILENCE, &error);
      ASSERT_NE(xvfb_, nullptr) << "cannot start Xvfb: " << (error ? error->message : "");
      for (int i = 0; i < 200 && !DisplayAnswers(); ++i) g_usleep(50 * 1000);
    }
    ASSERT_TRUE(DisplayAnswers()) << "no X server on " << kDisplay;
    setenv("DISPLAY", kDisplay, 1);
    unsetenv("WAYLAND_DISPLAY");
    gdk_set_allowed_backends("x11");
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr));

    const char* argv[] = {"python3", "-c", kServer, TESSARY_PLAYER_TEST_MOVIES, nullptr};
    GError* error = nullptr;
    server_ = g_subprocess_newv(argv, G_SUBPROCESS_FLAGS_STDOUT_PIPE, &error);
    ASSERT_NE(server_, nullptr) << "cannot start the movie server: " << (error ? error->message : "");
    GDataInputStream* out = g_data_input_stream_new(g_subprocess_get_stdout_pipe(server_));
    char* line = g_data_input_stream_read_line_utf8(out, nullptr, nullptr, nullptr);
    g_object_unref(out);
    std::string said = line ? line : "";
    g_free(line);
    ASSERT_EQ(said.rfind("movies on http://", 0), 0u) << "the movie server said: " << said;
    moviesBase = said.substr(said.find("http://"));
  }

  void TearDown() override {
    platform::gtk::ShutdownMoviePlayer();
    RunFor(100);
    for (GSubprocess** process : {&server_, &xvfb_}) {
      if (!*process) continue;
      g_subprocess_send_signal(*process, SIGTERM);
      g_subprocess_wait(*process, nullptr, nullptr);
      g_clear_object(process);
    }
    std::error_code ignored;
    std::filesystem::remove_all(dataRoot_, ignored);
  }

 private:
  std::filesystem::path dataRoot_;
  GSubprocess* xvfb_ = nullptr;
  GSubprocess* server_ = nullptr;
};

}  // namespace

const std::string& MoviesBase() { return moviesBase; }

bool RunUntil(const std::function<bool()>& done, int timeoutMs) {
  gint64 end = g_get_monotonic_time() + gint64{timeoutMs} * 1000;
  while (!done()) {
    if (g_get_monotonic_time() > end) return false;
    g_main_context_iteration(nullptr, FALSE);
    g_usleep(1000);
  }
  return true;
}

void RunFor(int milliseconds) {
  gint64 end = g_get_monotonic_time() + gint64{milliseconds} * 1000;
  while (g_get_monotonic_time() < end) {
    g_main_context_iteration(nullptr, FALSE);
    g_usleep(1000);
  }
}

std::string EvaluateJson(WebKitWebView* view, const std::string& expression) {
  struct Result {
    bool done = false;
    std::string json;
  } result;
  std::string script = "JSON.stringify(" + expression + ")";
  webkit_web_view_evaluate_javascript(
      view, script.c_str(), -1, nullptr, nullptr, nullptr,
      [](GObject* source, GAsyncResult* async, gpointer data) {
        auto* out = static_cast<Result*>(data);
        GError* error = nullptr;
        JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), async, &error);
        if (value && jsc_value_is_string(value)) {
          char* text = jsc_value_to_string(value);
          out->json = text;
          g_free(text);
        } else {
          out->json = "<error>";
        }
        if (value) g_object_unref(value);
        g_clear_error(&error);
        out->done = true;
      },
      &result);
  RunUntil([&] { return result.done; }, 10000);
  return result.json;
}

WebKitWebView* ViewIn(GtkWidget* playerWidget) {
  GList* children = gtk_container_get_children(GTK_CONTAINER(playerWidget));
  WebKitWebView* view = children ? WEBKIT_WEB_VIEW(children->data) : nullptr;
  g_list_free(children);
  return view;
}

GdkPixbuf* ScreenShot() {
  GdkWindow* root = gdk_get_default_root_window();
  gdk_display_sync(gdk_window_get_display(root));
  return gdk_pixbuf_get_from_window(root, 0, 0, gdk_window_get_width(root), gdk_window_get_height(root));
}

unsigned PixelAt(GdkPixbuf* screen, int x, int y) {
  const int channels = gdk_pixbuf_get_n_channels(screen);
  const guchar* p = gdk_pixbuf_get_pixels(screen) + y * gdk_pixbuf_get_rowstride(screen) + x * channels;
  return (unsigned{p[0]} << 16) | (unsigned{p[1]} << 8) | unsigned{p[2]};
}

void ScreenOrigin(GtkWidget* widget, int& x, int& y) {
  gdk_window_get_origin(gtk_widget_get_window(widget), &x, &y);
  if (!gtk_widget_get_has_window(widget)) {
    GtkAllocation area;
    gtk_widget_get_allocation(widget, &area);
    x += area.x;
    y += area.y;
  }
}

// Beside the end-to-end tests' screenshots, never in the current folder
// (which may be the source tree).
void KeepScreenShot(const std::string& name) {
  const char* folder = g_getenv("E2E_OUT");
  gchar* fallback = g_build_filename(g_get_tmp_dir(), "e2e-shots", nullptr);
  g_mkdir_with_parents(folder ? folder : fallback, 0755);
  gchar* path = g_build_filename(folder ? folder : fallback, (name + ".png").c_str(), nullptr);
  GdkPixbuf* shot = ScreenShot();
  gdk_pixbuf_save(shot, path, "png", nullptr, nullptr);
  g_object_unref(shot);
  g_free(path);
  g_free(fallback);
}

void ClickAt(GtkWidget* widget, int x, int y, int button) {
  gdk_display_sync(gtk_widget_get_display(widget));
  int originX = 0, originY = 0;
  ScreenOrigin(widget, originX, originY);
  std::string px = std::to_string(originX + x), py = std::to_string(originY + y), b = std::to_string(button);
  const char* argv[] = {"xdotool", "mousemove", px.c_str(), py.c_str(), "click", b.c_str(), nullptr};
  GError* error = nullptr;
  GSubprocess* process = g_subprocess_newv(argv, G_SUBPROCESS_FLAGS_NONE, &error);
  if (!process) {
    ADD_FAILURE() << "cannot run xdotool: " << (error ? error->message : "");
    g_clear_error(&error);
    return;
  }
  bool done = false;
  g_subprocess_wait_async(
      process, nullptr, [](GObject*, GAsyncResult*, gpointer flag) { *static_cast<bool*>(flag) = true; }, &done);
  RunUntil([&] { return done; }, 10000);
  g_object_unref(process);
}

}  // namespace player_test

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new player_test::Environment);
  return RUN_ALL_TESTS();
}
