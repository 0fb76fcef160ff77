// A bare WebKitGTK page playing a movie in the same Ruffle the client ships,
// for comparing frame rates (a measurement tool, not a test): one window,
// one web view with the player's web settings, one Ruffle player filling
// it. The movie's "frameRate" calls (see game/movies/busy) are printed as
// they come, one a line: "frameRate <frames per second> <frames so far>".
//
// Usage: bare_player_page --ruffle DIR --movie URL [--vars QUERY]
//                         [--size WxH] [--seconds N] [--config SCRIPT_OBJECT]

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string JsString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    if (c == '<') {
      out += "\\x3c";
      continue;
    }
    out += c;
  }
  return out + "\"";
}

// config: more of Ruffle's settings, as a script object ("{quality:'low'}").
std::string Page(const std::string& movie, const std::string& vars, const std::string& config) {
  return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><style>"
         "html,body{margin:0;padding:0;width:100%;height:100%;overflow:hidden;background:#000}"
         "ruffle-player{display:block;position:absolute;left:0;top:0;width:100%;height:100%}</style>"
         "<script>window.RufflePlayer={config:{polyfills:false}};"
         "function frameRate(fps,frames){document.title='frameRate '+fps+' '+frames;}"
         "function busyStarted(){}</script><script src=\"ruffle.js\"></script></head><body><script>"
         "window.addEventListener('load',()=>{const p=window.RufflePlayer.newest().createPlayer();"
         "document.body.appendChild(p);p.ruffle().load(Object.assign({url:" +
         JsString(movie) + ",parameters:" + JsString(vars) +
         ",autoplay:'on',splashScreen:false,unmuteOverlay:'hidden',allowScriptAccess:true,wmode:'direct',"
         "backgroundColor:'#000000',menu:false,contextMenu:'off',letterbox:'fullscreen',logLevel:'error',"
         "upgradeToHttps:false,warnOnUnsupportedContent:false,polyfills:false}," +
         config + "));});</script></body></html>";
}

std::string folder;
std::string page;

// The page and Ruffle's files, served as the client serves its own (Ruffle
// needs an HTTP-like status for its module, which file addresses lack).
void Serve(WebKitURISchemeRequest* request, gpointer) {
  std::string path = webkit_uri_scheme_request_get_path(request);
  std::string name = path.substr(path.rfind('/') + 1);
  GInputStream* stream = nullptr;
  gint64 size = 0;
  const char* type = "application/octet-stream";
  if (name == "page.html") {
    stream = g_memory_input_stream_new_from_data(g_strdup(page.c_str()), static_cast<gssize>(page.size()), g_free);
    size = static_cast<gint64>(page.size());
    type = "text/html";
  } else if (!name.empty() && name.find("..") == std::string::npos) {
    gchar* contents = nullptr;
    gsize length = 0;
    if (g_file_get_contents((folder + "/" + name).c_str(), &contents, &length, nullptr)) {
      stream = g_memory_input_stream_new_from_data(contents, static_cast<gssize>(length), g_free);
      size = static_cast<gint64>(length);
      if (g_str_has_suffix(name.c_str(), ".js")) type = "text/javascript";
      if (g_str_has_suffix(name.c_str(), ".wasm")) type = "application/wasm";
    }
  }
  if (!stream) {
    GError* error = g_error_new(G_IO_ERROR, G_IO_ERROR_NOT_FOUND, "no such file: %s", path.c_str());
    webkit_uri_scheme_request_finish_error(request, error);
    g_error_free(error);
    return;
  }
  WebKitURISchemeResponse* response = webkit_uri_scheme_response_new(stream, size);
  webkit_uri_scheme_response_set_content_type(response, type);
  SoupMessageHeaders* headers = soup_message_headers_new(SOUP_MESSAGE_HEADERS_RESPONSE);
  soup_message_headers_append(headers, "Content-Type", type);
  webkit_uri_scheme_response_set_http_headers(response, headers);
  webkit_uri_scheme_request_finish_with_response(request, response);
  g_object_unref(response);
  g_object_unref(stream);
}

void OnTitle(WebKitWebView* view, GParamSpec*, gpointer) {
  const char* title = webkit_web_view_get_title(view);
  if (title && g_str_has_prefix(title, "frameRate ")) {
    std::printf("%s\n", title);
    std::fflush(stdout);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string ruffle, movie, vars, config = "{}", size = "1000x600";
  int seconds = 15;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string key = argv[i];
    if (key == "--ruffle")
      ruffle = argv[i + 1];
    else if (key == "--movie")
      movie = argv[i + 1];
    else if (key == "--vars")
      vars = argv[i + 1];
    else if (key == "--size")
      size = argv[i + 1];
    else if (key == "--config")
      config = argv[i + 1];
    else if (key == "--seconds")
      seconds = std::atoi(argv[i + 1]);
  }
  int width = 0, height = 0;
  if (ruffle.empty() || movie.empty() || std::sscanf(size.c_str(), "%dx%d", &width, &height) != 2 || width < 1 ||
      height < 1 || seconds < 1) {
    std::fprintf(stderr,
                 "usage: %s --ruffle DIR --movie URL [--vars QUERY] [--size WxH] [--seconds N] [--config OBJECT]\n",
                 argv[0]);
    return 2;
  }
  gtk_init(&argc, &argv);

  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
  gtk_window_set_default_size(GTK_WINDOW(window), width, height);
  gtk_window_move(GTK_WINDOW(window), 0, 0);
  // Ruffle does not start without a language (the client gives the user's).
  const gchar* languages[] = {"en-US", nullptr};
  webkit_web_context_set_preferred_languages(webkit_web_context_get_default(), languages);
  webkit_web_context_register_uri_scheme(webkit_web_context_get_default(), "bare", Serve, nullptr, nullptr);
  GtkWidget* view = webkit_web_view_new();
  WebKitSettings* settings = webkit_web_view_get_settings(WEBKIT_WEB_VIEW(view));
  // As the client's player page has them.
  webkit_settings_set_disable_web_security(settings, TRUE);
  webkit_settings_set_enable_webgl(settings, TRUE);
  webkit_settings_set_media_playback_requires_user_gesture(settings, FALSE);
  webkit_settings_set_enable_page_cache(settings, FALSE);
  webkit_settings_set_enable_write_console_messages_to_stdout(settings, g_getenv("BARE_PAGE_CONSOLE") != nullptr);
  g_signal_connect(view, "notify::title", G_CALLBACK(OnTitle), nullptr);
  gtk_container_add(GTK_CONTAINER(window), view);
  gtk_widget_show_all(window);

  folder = ruffle;
  page = Page(movie, vars, config);
  webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), "bare://player/page.html");

  g_timeout_add_seconds(
      static_cast<guint>(seconds),
      [](gpointer) {
        gtk_main_quit();
        return G_SOURCE_REMOVE;
      },
      nullptr);
  gtk_main();
  gtk_widget_destroy(window);
  return 0;
}
