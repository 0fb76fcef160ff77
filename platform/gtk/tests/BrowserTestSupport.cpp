#include "platform/gtk/tests/BrowserTestSupport.h"

#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>

#include "base/Text.h"

#ifndef TESSARY_TEST_PAGES_DIR
#error "TESSARY_TEST_PAGES_DIR names the folder of the test pages"
#endif

namespace browser_test {

namespace {

constexpr const char* kDisplay = ":51";

std::string pagesBase;
std::string demoBase;

// The server's socket; a half-made connection to probe it can upset the
// client that connects right after, so only its presence is looked at.
bool DisplaySocketExists() { return std::filesystem::exists("/tmp/.X11-unix/X51"); }

// Helpers end with the test program, however it ends.
GSubprocess* Spawn(const std::vector<std::string>& argv, GSubprocessFlags flags, GError** error) {
  std::vector<const char*> args;
  for (const auto& arg : argv) args.push_back(arg.c_str());
  args.push_back(nullptr);
  GSubprocessLauncher* launcher = g_subprocess_launcher_new(flags);
  g_subprocess_launcher_set_child_setup(
      launcher, [](gpointer) { prctl(PR_SET_PDEATHSIG, SIGTERM); }, nullptr, nullptr);
  GSubprocess* process = g_subprocess_launcher_spawnv(launcher, args.data(), error);
  g_object_unref(launcher);
  return process;
}

// Starts a helper program and reads its first line of output; the server
// announces its address there.
GSubprocess* StartServer(const std::vector<std::string>& argv, std::string& firstLine) {
  GError* error = nullptr;
  GSubprocess* process = Spawn(argv, G_SUBPROCESS_FLAGS_STDOUT_PIPE, &error);
  if (!process) {
    ADD_FAILURE() << "cannot start " << argv[0] << ": " << (error ? error->message : "");
    g_clear_error(&error);
    return nullptr;
  }
  GDataInputStream* lines = g_data_input_stream_new(g_subprocess_get_stdout_pipe(process));
  gchar* line = g_data_input_stream_read_line(lines, nullptr, nullptr, nullptr);
  firstLine = line ? line : "";
  g_free(line);
  g_object_unref(lines);
  return process;
}

// "pages on http://127.0.0.1:PORT" -> "http://127.0.0.1:PORT".
std::string AfterPrefix(const std::string& line, const std::string& prefix) {
  return line.rfind(prefix, 0) == 0 ? line.substr(line.find("http://")) : std::string();
}

void Stop(GSubprocess*& process) {
  if (!process) return;
  g_subprocess_send_signal(process, SIGTERM);
  g_subprocess_wait(process, nullptr, nullptr);
  g_clear_object(&process);
}

class Environment final : public ::testing::Environment {
 public:
  void SetUp() override {
    // Cookies and caches of the tests stay out of the user's folders.
    dataRoot_ = std::filesystem::temp_directory_path() / ("tessary-browser-" + std::to_string(getpid()));
    std::filesystem::create_directories(dataRoot_ / "data");
    std::filesystem::create_directories(dataRoot_ / "cache");
    setenv("XDG_DATA_HOME", (dataRoot_ / "data").c_str(), 1);
    setenv("XDG_CACHE_HOME", (dataRoot_ / "cache").c_str(), 1);

    if (!DisplaySocketExists()) {
      GError* error = nullptr;
      xvfb_ = Spawn({"Xvfb", kDisplay, "-screen", "0", "1280x800x24", "-nolisten", "tcp"},
                    G_SUBPROCESS_FLAGS_STDERR_SILENCE, &error);
      ASSERT_NE(xvfb_, nullptr) << "cannot start Xvfb: " << (error ? error->message : "");
      for (int i = 0; i < 200 && !DisplaySocketExists(); ++i) g_usleep(50 * 1000);
    }
    setenv("DISPLAY", kDisplay, 1);
    unsetenv("WAYLAND_DISPLAY");
    gdk_set_allowed_backends("x11");
    // A server that has just made its socket may not accept clients yet.
    bool opened = false;
    for (int i = 0; i < 50 && !(opened = gtk_init_check(nullptr, nullptr)); ++i) g_usleep(100 * 1000);
    ASSERT_TRUE(opened) << "no X server on " << kDisplay;

    std::string line;
    pages_ = StartServer({"python3", TESSARY_TEST_PAGES_DIR "/../page_server.py", TESSARY_TEST_PAGES_DIR}, line);
    pagesBase = AfterPrefix(line, "pages on http://");
    ASSERT_FALSE(pagesBase.empty()) << "the page server said: " << line;

#ifdef TESSARY_DEMO_SERVER
    if (std::filesystem::exists(TESSARY_DEMO_SERVER)) {
      demo_ = StartServer({"python3", TESSARY_DEMO_SERVER, "--port", "0", "--quiet"}, line);
      demoBase = AfterPrefix(line, "demo site on http://");
    }
#endif
  }

  void TearDown() override {
    Stop(pages_);
    Stop(demo_);
    Stop(xvfb_);
    std::error_code ignored;
    std::filesystem::remove_all(dataRoot_, ignored);
  }

 private:
  std::filesystem::path dataRoot_;
  GSubprocess* xvfb_ = nullptr;
  GSubprocess* pages_ = nullptr;
  GSubprocess* demo_ = nullptr;
};

[[maybe_unused]] ::testing::Environment* const environment = ::testing::AddGlobalTestEnvironment(new Environment);

}  // namespace

const std::string& BrowserEnvironment::PagesBase() { return pagesBase; }
const std::string& BrowserEnvironment::DemoBase() { return demoBase; }

bool RunUntil(const std::function<bool()>& done, int timeoutMs) {
  const gint64 end = g_get_monotonic_time() + gint64{timeoutMs} * 1000;
  // A steady tick, so the loop looks at the clock even when nothing happens.
  const guint tick = g_timeout_add(
      10, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
  bool met = done();
  while (!met && g_get_monotonic_time() < end) {
    g_main_context_iteration(nullptr, TRUE);
    met = done();
  }
  g_source_remove(tick);
  return met;
}

void RunFor(int milliseconds) {
  const gint64 end = g_get_monotonic_time() + gint64{milliseconds} * 1000;
  RunUntil([end] { return g_get_monotonic_time() >= end; }, milliseconds + 1000);
}

std::string EvaluateString(WebKitWebView* view, const std::string& expression, int timeoutMs) {
  struct Result {
    bool done = false;
    std::string text;
  };
  // The answer may come after the wait has ended: the callback keeps its own share.
  auto result = std::make_shared<Result>();
  webkit_web_view_evaluate_javascript(
      view, expression.c_str(), -1, nullptr, nullptr, nullptr,
      [](GObject* source, GAsyncResult* async, gpointer data) {
        std::unique_ptr<std::shared_ptr<Result>> out(static_cast<std::shared_ptr<Result>*>(data));
        GError* error = nullptr;
        JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), async, &error);
        if (value) {
          gchar* text = jsc_value_to_string(value);
          (*out)->text = text ? text : "";
          g_free(text);
          g_object_unref(value);
        } else {
          (*out)->text = "<error>";
          g_clear_error(&error);
        }
        (*out)->done = true;
      },
      new std::shared_ptr<Result>(result));
  if (!RunUntil([&] { return result->done; }, timeoutMs)) return "<time-out>";
  return result->text;
}

LeaveQuestionCounter::LeaveQuestionCounter() {
  signal_ = g_signal_lookup("script-dialog", WEBKIT_TYPE_WEB_VIEW);
  hook_ = g_signal_add_emission_hook(signal_, 0, Hook, this, nullptr);
}

LeaveQuestionCounter::~LeaveQuestionCounter() { g_signal_remove_emission_hook(signal_, hook_); }

gboolean LeaveQuestionCounter::Hook(GSignalInvocationHint*, guint count, const GValue* values, gpointer data) {
  if (count >= 2) {
    auto* dialog = static_cast<WebKitScriptDialog*>(g_value_get_boxed(&values[1]));
    if (dialog && webkit_script_dialog_get_dialog_type(dialog) == WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM) {
      ++static_cast<LeaveQuestionCounter*>(data)->count_;
    }
  }
  return TRUE;  // stay installed
}

class BareWindow::Site final : public platform::gtk::BrowserSite {
 public:
  explicit Site(BareWindow& window) : window_(window) {}
  void Place(GtkWidget* widget, const platform::Rect& rect) override {
    gtk_widget_set_size_request(widget, rect.Width(), rect.Height());
    gtk_fixed_put(GTK_FIXED(window_.fixed_), widget, rect.left, rect.top);
  }
  platform::ControlEvents* Events() override { return &events_; }
  bool PreTranslate(platform::BrowserControl&, const GdkEvent* event) override {
    window_.offered.push_back(event->type);
    return window_.swallow && window_.swallow(event);
  }
  void OpenWebPage(const std::string& address) override { window_.openedPages.push_back(address); }
  bool AskToLeavePage() override {
    ++window_.leaveQuestions;
    return window_.leaveAnswer;
  }

 private:
  struct Recorder final : platform::ControlEvents {
    explicit Recorder(BareWindow& w) : window(w) {}
    void OnDocumentComplete(int controlId, const std::u16string& address) override {
      Completion completion{controlId, base::ToUtf8(address)};
      window.completions.push_back(completion);
      if (window.onCompletion) window.onCompletion(completion);
    }
    BareWindow& window;
  };
  BareWindow& window_;
  Recorder events_{window_};
};

BareWindow::BareWindow(int width, int height) {
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  g_object_ref_sink(window_);
  gtk_window_set_default_size(GTK_WINDOW(window_), width, height);
  gtk_window_move(GTK_WINDOW(window_), 0, 0);
  fixed_ = gtk_fixed_new();
  gtk_container_add(GTK_CONTAINER(window_), fixed_);
  gtk_widget_show_all(window_);
}

BareWindow::~BareWindow() {
  DestroyWidget();
  g_object_unref(window_);
}

void BareWindow::DestroyWidget() {
  if (fixed_) gtk_widget_destroy(window_);
  fixed_ = nullptr;
}

std::unique_ptr<platform::gtk::BrowserSite> BareWindow::MakeSite() { return std::make_unique<Site>(*this); }

std::vector<std::string> Addresses(const std::vector<Completion>& completions) {
  std::vector<std::string> result;
  for (const auto& c : completions) result.push_back(c.address);
  return result;
}

GdkPixbuf* GrabWidget(GtkWidget* widget) {
  GtkWidget* toplevel = gtk_widget_get_toplevel(widget);
  int x = 0, y = 0;
  gtk_widget_translate_coordinates(widget, toplevel, 0, 0, &x, &y);
  return gdk_pixbuf_get_from_window(gtk_widget_get_window(toplevel), x, y, gtk_widget_get_allocated_width(widget),
                                    gtk_widget_get_allocated_height(widget));
}

unsigned PixelAt(GdkPixbuf* pixbuf, int x, int y) {
  const int channels = gdk_pixbuf_get_n_channels(pixbuf);
  const guchar* p = gdk_pixbuf_get_pixels(pixbuf) + y * gdk_pixbuf_get_rowstride(pixbuf) + x * channels;
  return (unsigned{p[0]} << 16) | (unsigned{p[1]} << 8) | unsigned{p[2]};
}

namespace {

// Input comes through the X server's test extension, exactly as a person's
// would (xdotool), so the page sees it as the user's own.
void RunXdotool(const std::vector<std::string>& args) {
  std::vector<std::string> argv{"xdotool"};
  argv.insert(argv.end(), args.begin(), args.end());
  GError* error = nullptr;
  GSubprocess* process = Spawn(argv, G_SUBPROCESS_FLAGS_NONE, &error);
  if (!process) {
    ADD_FAILURE() << "cannot run xdotool: " << (error ? error->message : "");
    g_clear_error(&error);
    return;
  }
  // Let the main loop run meanwhile: the events must reach GTK.
  bool done = false;
  g_subprocess_wait_async(
      process, nullptr, [](GObject*, GAsyncResult*, gpointer d) { *static_cast<bool*>(d) = true; }, &done);
  RunUntil([&] { return done; }, 10000);
  g_object_unref(process);
}

}  // namespace

void ClickAt(GtkWidget* widget, int x, int y) {
  gdk_display_sync(gtk_widget_get_display(widget));
  int originX = 0, originY = 0;
  gdk_window_get_origin(gtk_widget_get_window(widget), &originX, &originY);
  GtkAllocation area;
  gtk_widget_get_allocation(widget, &area);
  if (gtk_widget_get_has_window(widget) == FALSE) {
    originX += area.x;
    originY += area.y;
  }
  RunXdotool({"mousemove", std::to_string(originX + x), std::to_string(originY + y), "click", "1"});
}

void PressKey(GtkWidget*, guint keyval) { RunXdotool({"key", gdk_keyval_name(keyval)}); }

}  // namespace browser_test
