#include "platform/gtk/player/MovieSession.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/gtk/WebContext.h"
#include "platform/gtk/player/JsLiteral.h"
#include "platform/gtk/player/JscValues.h"
#include "platform/gtk/player/PlayerFiles.h"

namespace platform::gtk {

namespace {

constexpr const char* kObjectMaker = "tessaryPlayer.object";

// The bridge page's files, and nothing else, for the player's scheme.
void ServePlayerFile(WebKitURISchemeRequest* request, gpointer) {
  const char* path = webkit_uri_scheme_request_get_path(request);
  std::optional<std::filesystem::path> file = PlayerFileForPath(PlayerFilesFolder(), path ? path : "");
  GError* error = nullptr;
  GFile* gfile = file ? g_file_new_for_path(file->c_str()) : nullptr;
  GFileInputStream* stream = gfile ? g_file_read(gfile, nullptr, &error) : nullptr;
  std::error_code sizeError;
  std::uintmax_t size = file ? std::filesystem::file_size(*file, sizeError) : 0;
  if (!stream || sizeError) {
    if (!error) error = g_error_new(G_IO_ERROR, G_IO_ERROR_NOT_FOUND, "no such file: %s", path ? path : "");
    webkit_uri_scheme_request_finish_error(request, error);
    g_error_free(error);
  } else {
    std::string type = PlayerFileContentType(file->filename().string());
    WebKitURISchemeResponse* response =
        webkit_uri_scheme_response_new(G_INPUT_STREAM(stream), static_cast<gint64>(size));
    webkit_uri_scheme_response_set_content_type(response, type.c_str());
    // Scripts read the type from the headers (the module is compiled while
    // it streams in only when it says application/wasm).
    SoupMessageHeaders* headers = soup_message_headers_new(SOUP_MESSAGE_HEADERS_RESPONSE);
    soup_message_headers_append(headers, "Content-Type", type.c_str());
    webkit_uri_scheme_response_set_http_headers(response, headers);
    webkit_uri_scheme_request_finish_with_response(request, response);
    g_object_unref(response);
  }
  if (stream) g_object_unref(stream);
  if (gfile) g_object_unref(gfile);
}

// The user's languages as the web engine wants them ("zh-CN"); Ruffle
// cannot start without at least one.
std::vector<std::string> PreferredLanguages() {
  std::vector<std::string> out;
  for (const gchar* const* name = g_get_language_names(); name && *name; ++name) {
    std::string tag = *name;
    tag = tag.substr(0, tag.find_first_of(".@"));
    if (tag.empty() || tag == "C" || tag == "POSIX") continue;
    for (char& c : tag) c = c == '_' ? '-' : c;
    bool plain = tag.size() >= 2 && g_ascii_isalpha(tag[0]) && g_ascii_isalpha(tag[1]);
    for (char c : tag) plain = plain && (g_ascii_isalnum(c) || c == '-');
    if (plain && std::find(out.begin(), out.end(), tag) == out.end()) out.push_back(tag);
  }
  if (out.empty()) out.push_back("en-US");
  return out;
}

class PlayerPool {
 public:
  static PlayerPool& Get() {
    if (!Instance()) Instance() = new PlayerPool();
    return *Instance();
  }
  static PlayerPool*& Instance() {
    static PlayerPool* pool = nullptr;
    return pool;
  }

  // The player shares the login browser's web context, and so its network
  // process and cookies, as the Flash player shared the browser's.
  PlayerPool() {
    context_ = WEBKIT_WEB_CONTEXT(g_object_ref(SharedWebContext()));

    std::vector<std::string> languages = PreferredLanguages();
    std::vector<const gchar*> list;
    for (const std::string& language : languages) list.push_back(language.c_str());
    list.push_back(nullptr);
    webkit_web_context_set_preferred_languages(context_, list.data());
    // The context outlives the pool (tests make several): its scheme is registered once.
    static bool registered = false;
    if (!registered) {
      webkit_web_context_register_uri_scheme(context_, kPlayerScheme, ServePlayerFile, nullptr, nullptr);
      registered = true;
    }
  }

  ~PlayerPool() {
    if (retireSource_) g_source_remove(retireSource_);
    retired_.clear();
    idle_.reset();
    if (shelf_) gtk_widget_destroy(shelf_);
    g_object_unref(context_);
  }

  // Every session has a view, and so a web process, of its own: when the
  // session ends (the game reloads by destroying its player) the view goes
  // and its process ends, giving all the memory of the session's players
  // back at once. Kept from session to session, one process held every old
  // player's garbage until its collector happened to run, some 60 MB a
  // reload. Only the page warmed up before the first session is lent; no
  // spare is kept warm for later ones, as it costs a process of its own
  // (some 200 MB) for as long as the game runs.
  std::shared_ptr<BridgeView> Borrow() {
    std::shared_ptr<BridgeView> view = std::move(idle_);
    if (view && view->Usable()) return view;
    if (view) Retire(std::move(view));
    return std::make_shared<BridgeView>(context_, Shelf());
  }

  void GiveBack(std::shared_ptr<BridgeView> view) { Retire(std::move(view)); }

  void Prewarm() {
    if (idle_ && !idle_->Usable()) Retire(std::move(idle_));
    if (idle_) return;
    idle_ = std::make_shared<BridgeView>(context_, Shelf());
    // It waits off the screen, drawn and running as if it were shown, so
    // that it starts up as a shown one would.
    idle_->Shelve();
    idle_->WarmUp();
  }

  bool IdleWarm() const { return idle_ && idle_->Warm(); }
  WebKitWebContext* Context() const { return context_; }

 private:
  // Views are let go from the main loop, never inside one of their own signals.
  void Retire(std::shared_ptr<BridgeView> view) {
    retired_.push_back(std::move(view));
    if (!retireSource_) {
      retireSource_ = g_idle_add(
          [](gpointer data) {
            auto* self = static_cast<PlayerPool*>(data);
            self->retireSource_ = 0;
            auto views = std::move(self->retired_);
            self->retired_.clear();
            return G_SOURCE_REMOVE;
          },
          this);
    }
  }

  // A view with no window (the warm page, one whose window went before its
  // session ended) waits in one off the screen. Several may wait at a time:
  // they stand side by side in a row there, as a window holds only one
  // widget of its own.
  GtkWidget* Shelf() {
    if (!shelf_) {
      shelf_ = gtk_offscreen_window_new();
      gtk_window_set_default_size(GTK_WINDOW(shelf_), 800, 600);
      shelfRow_ = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
      gtk_box_set_homogeneous(GTK_BOX(shelfRow_), TRUE);
      gtk_container_add(GTK_CONTAINER(shelf_), shelfRow_);
      gtk_widget_show_all(shelf_);
    }
    return shelfRow_;
  }

  WebKitWebContext* context_ = nullptr;
  GtkWidget* shelf_ = nullptr;
  GtkWidget* shelfRow_ = nullptr;  // inside shelf_
  std::shared_ptr<BridgeView> idle_;
  std::vector<std::shared_ptr<BridgeView>> retired_;
  guint retireSource_ = 0;
};

std::uint64_t NextSessionId() {
  static std::uint64_t next = 0;
  return ++next;
}

std::string WModeName(const std::u16string& wmode) {
  std::string lower;
  for (char16_t c : wmode) lower += c < 0x80 ? static_cast<char>(g_ascii_tolower(static_cast<char>(c))) : '?';
  for (const char* known : {"window", "opaque", "transparent", "direct", "gpu"}) {
    if (lower == known) return lower;
  }
  return "window";
}

}  // namespace

std::string MovieLoadScript(std::uint64_t session, const MovieSettings& settings) {
  std::u16string address(settings.address.begin(), settings.address.end());
  std::string background = "null";
  if (settings.background) {
    char color[16];
    std::snprintf(color, sizeof color, "\"#%06X\"", static_cast<unsigned>(*settings.background & 0xFFFFFF));
    background = color;
  }
  return "tessaryPlayer.load(" + std::to_string(session) + ",{url:" + JsString(address) + ",base:" + JsString(address) +
         ",parameters:" + JsString(settings.flashVars) +
         ",allowScriptAccess:" + (settings.scriptAccess ? "true" : "false") +
         ",allowFullscreen:" + (settings.allowFullScreen ? "true" : "false") + ",wmode:\"" + WModeName(settings.wmode) +
         "\",backgroundColor:" + background + ",menu:" + (settings.menu ? "true" : "false") + ",contextMenu:\"" +
         (settings.menu ? "on" : "off") + "\"})";
}

struct MovieSession::PendingCall {
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  bool answered = false;
  bool abandoned = false;
  bool found = false;
  bool failed = false;
  ExternalValue value;
  ~PendingCall() { g_main_loop_unref(loop); }
};

MovieSession::MovieSession(MovieSessionEvents& events, GtkWidget* windowContainer)
    : bridge_(PlayerPool::Get().Borrow()), id_(NextSessionId()) {
  frame_ = GTK_WIDGET(g_object_ref(bridge_->FrameFor(windowContainer)));
  bridge_->Attach(id_, &events);
  bridge_->Run("tessaryPlayer.open(" + std::to_string(id_) + ")");
}

MovieSession::~MovieSession() {
  for (auto& waiting : waiting_) {
    if (auto call = waiting.lock()) {
      call->abandoned = true;
      g_main_loop_quit(call->loop);
    }
  }
  bridge_->Run("tessaryPlayer.close(" + std::to_string(id_) + ")");
  bridge_->Detach(id_);
  // The old movie is out of sight at once; the view and its frame go from
  // the main loop.
  gtk_widget_hide(frame_);
  g_object_unref(frame_);
  PlayerPool::Get().GiveBack(std::move(bridge_));
}

void MovieSession::Load(const MovieSettings& settings) { bridge_->Run(MovieLoadScript(id_, settings)); }

void MovieSession::Unload() { bridge_->Run("tessaryPlayer.open(" + std::to_string(id_) + ")"); }

void MovieSession::Play() { bridge_->Run("tessaryPlayer.play(" + std::to_string(id_) + ")"); }

void MovieSession::Stop() { bridge_->Run("tessaryPlayer.stop(" + std::to_string(id_) + ")"); }

void MovieSession::SetWindowShown(bool shown) {
  bridge_->Run("tessaryPlayer.shown(" + std::to_string(id_) + (shown ? ",true)" : ",false)"));
}

void MovieSession::Focus() {
  gtk_widget_grab_focus(bridge_->Widget());
  bridge_->Run("tessaryPlayer.focus(" + std::to_string(id_) + ")");
}

std::optional<ExternalValue> MovieSession::Call(const std::u16string& name,
                                                const std::vector<ExternalValue>& arguments) {
  if (!bridge_->PageLoaded()) return std::nullopt;
  std::string script = "tessaryPlayer.call(" + std::to_string(id_) + "," + JsString(name) + ",[";
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (i) script += ',';
    script += JsValue(arguments[i], kObjectMaker);
  }
  script += "])";

  auto call = std::make_shared<PendingCall>();
  std::erase_if(waiting_, [](const auto& w) { return w.expired(); });
  waiting_.push_back(call);
  // Locals only from here on: the session may end while the loop runs.
  std::shared_ptr<BridgeView> bridge = bridge_;
  bridge->HoldMessages();
  webkit_web_view_evaluate_javascript(
      bridge->WebView(), script.c_str(), static_cast<gssize>(script.size()), nullptr, nullptr, nullptr,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        std::unique_ptr<std::shared_ptr<PendingCall>> holder(static_cast<std::shared_ptr<PendingCall>*>(data));
        PendingCall& answer = **holder;
        GError* error = nullptr;
        JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, &error);
        if (value) {
          answer.found = JscTrueProperty(value, "found");
          answer.failed = JscTrueProperty(value, "failed");
          JSCValue* returned = JscProperty(value, "value");
          answer.value = ValueFromJsc(returned);
          if (returned) g_object_unref(returned);
          g_object_unref(value);
        }
        g_clear_error(&error);
        answer.answered = true;
        g_main_loop_quit(answer.loop);
      },
      new std::shared_ptr<PendingCall>(call));

  GSource* timeout = g_timeout_source_new(kCallTimeoutMs);
  g_source_set_callback(
      timeout,
      [](gpointer data) {
        g_main_loop_quit(static_cast<PendingCall*>(data)->loop);
        return G_SOURCE_REMOVE;
      },
      call.get(), nullptr);
  g_source_attach(timeout, nullptr);
  if (!call->answered && !call->abandoned) g_main_loop_run(call->loop);
  g_source_destroy(timeout);
  g_source_unref(timeout);
  bridge->ReleaseMessages();

  if (call->abandoned || !call->answered || !call->found || call->failed) return std::nullopt;
  return std::move(call->value);
}

void PrewarmMoviePlayer() { PlayerPool::Get().Prewarm(); }

bool MoviePlayerWarm() { return PlayerPool::Instance() && PlayerPool::Instance()->IdleWarm(); }

void ClearMoviePlayerCaches() {
  if (!PlayerPool::Instance()) return;
  WebKitWebsiteDataManager* manager = webkit_web_context_get_website_data_manager(PlayerPool::Get().Context());
  webkit_website_data_manager_clear(
      manager, static_cast<WebKitWebsiteDataTypes>(WEBKIT_WEBSITE_DATA_DISK_CACHE | WEBKIT_WEBSITE_DATA_MEMORY_CACHE),
      0, nullptr, nullptr, nullptr);
}

void ShutdownMoviePlayer() {
  delete PlayerPool::Instance();
  PlayerPool::Instance() = nullptr;
}

}  // namespace platform::gtk
