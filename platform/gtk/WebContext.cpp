#include "platform/gtk/WebContext.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "base/Process.h"
#include "res/Resources.h"

namespace platform::gtk {

namespace {

constexpr char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

// Pages address the program as res://<its name>.exe/<number>, the name being
// its file name without extension, as the login dialog builds the address:
// installed as "zarek" or "tessary" it is still found.
const std::string& ExecutableName() {
  static const std::string name = [] {
    const std::filesystem::path path = base::ExecutablePath();
    return path.empty() ? std::string("zarek.exe") : path.stem().string() + ".exe";
  }();
  return name;
}

void FailRequest(WebKitURISchemeRequest* request, const char* uri) {
  GError* error = g_error_new(WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_FILE_DOES_NOT_EXIST, "no such page in %s: %s",
                              ExecutableName().c_str(), uri);
  webkit_uri_scheme_request_finish_error(request, error);
  g_error_free(error);
}

// The program's pages are GB2312 text; saying so in the response decodes
// them correctly even where a page lacks its own charset declaration.
void ServeResourcePage(WebKitURISchemeRequest* request, gpointer) {
  const char* uri = webkit_uri_scheme_request_get_uri(request);
  const auto number = ParseResourceAddress(uri ? uri : "", ExecutableName());
  const std::span<const std::uint8_t> page =
      number ? res::FindResource(*number, res::ResourceKind::Html) : std::span<const std::uint8_t>();
  if (page.empty()) {
    FailRequest(request, uri ? uri : "");
    return;
  }
  // The bytes are part of the executable: the stream reads them in place.
  GInputStream* stream = g_memory_input_stream_new_from_data(page.data(), static_cast<gssize>(page.size()), nullptr);
  WebKitURISchemeResponse* response = webkit_uri_scheme_response_new(stream, static_cast<gint64>(page.size()));
  webkit_uri_scheme_response_set_content_type(response, "text/html; charset=gb2312");
  webkit_uri_scheme_request_finish_with_response(request, response);
  g_object_unref(response);
  g_object_unref(stream);
}

std::string DataDirectory(const char* base) {
  gchar* path = g_build_filename(base, "tessary", "webkit", nullptr);
  std::string result(path);
  g_free(path);
  return result;
}

WebKitWebContext* MakeContext() {
  const std::string data = DataDirectory(g_get_user_data_dir());
  const std::string cache = DataDirectory(g_get_user_cache_dir());
  WebKitWebsiteDataManager* manager = webkit_website_data_manager_new("base-data-directory", data.c_str(),
                                                                      "base-cache-directory", cache.c_str(), nullptr);
  // Logins survive a restart, as they do in the system browser.
  const std::string cookies = data + "/cookies.sqlite";
  webkit_cookie_manager_set_persistent_storage(webkit_website_data_manager_get_cookie_manager(manager), cookies.c_str(),
                                               WEBKIT_COOKIE_PERSISTENT_STORAGE_SQLITE);
  // The web processes give memory back (collect garbage, drop caches) well
  // before they reach what a modest machine can spare: without it the game's
  // garbage piles up at every reload, a page this quiet seldom collecting.
  WebKitMemoryPressureSettings* pressure = webkit_memory_pressure_settings_new();
  // Of 256 MB: gentle release from WebKit's default third on, strict from 3/4.
  webkit_memory_pressure_settings_set_memory_limit(pressure, 256);  // MB
  webkit_memory_pressure_settings_set_strict_threshold(pressure, 0.75);
  webkit_memory_pressure_settings_set_poll_interval(pressure, 5);
  auto* context = WEBKIT_WEB_CONTEXT(g_object_new(WEBKIT_TYPE_WEB_CONTEXT, "website-data-manager", manager,
                                                  "memory-pressure-settings", pressure, nullptr));
  webkit_memory_pressure_settings_free(pressure);
  g_object_unref(manager);
  webkit_web_context_set_cache_model(context, WEBKIT_CACHE_MODEL_WEB_BROWSER);
  // The name is taken now, with the first browser: the self-update renames
  // the running file (to "zarek_.exe") before the loading page is served.
  ExecutableName();
  webkit_web_context_register_uri_scheme(context, "res", ServeResourcePage, nullptr, nullptr);
  // Like files on disk, the program's pages are the program's own: a web
  // site may not load them into its pages; the program itself navigates.
  webkit_security_manager_register_uri_scheme_as_local(webkit_web_context_get_security_manager(context), "res");
  return context;
}

void CachesCleared(GObject* manager, GAsyncResult* result, gpointer) {
  GError* error = nullptr;
  if (!webkit_website_data_manager_clear_finish(WEBKIT_WEBSITE_DATA_MANAGER(manager), result, &error)) {
    g_log("tessary", G_LOG_LEVEL_DEBUG, "clearing the browser caches failed: %s", error ? error->message : "");
    g_clear_error(&error);
  }
}

}  // namespace

WebKitWebContext* SharedWebContext() {
  static WebKitWebContext* const context = MakeContext();
  return context;
}

void ClearWebCaches() {
  WebKitWebsiteDataManager* manager = webkit_web_context_get_website_data_manager(SharedWebContext());
  const auto kinds =
      static_cast<WebKitWebsiteDataTypes>(WEBKIT_WEBSITE_DATA_MEMORY_CACHE | WEBKIT_WEBSITE_DATA_DISK_CACHE);
  webkit_website_data_manager_clear(manager, kinds, 0, nullptr, CachesCleared, nullptr);
}

std::optional<int> ParseResourceAddress(std::string_view address, std::string_view executableName) {
  constexpr std::string_view scheme = "res://";
  if (address.size() < scheme.size() || !EqualsIgnoringAsciiCase(address.substr(0, scheme.size()), scheme)) {
    return std::nullopt;
  }
  std::string_view rest = address.substr(scheme.size());
  const std::size_t slash = rest.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  if (executableName.empty() || !EqualsIgnoringAsciiCase(rest.substr(0, slash), executableName)) {
    return std::nullopt;
  }
  rest = rest.substr(slash + 1);

  // Resource numbers are 16-bit; more than five digits is never one.
  int number = 0;
  std::size_t digits = 0;
  while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9') {
    if (digits == 5) return std::nullopt;
    number = number * 10 + (rest[digits] - '0');
    ++digits;
  }
  if (digits == 0 || number < 1 || number > 0xFFFF) return std::nullopt;
  if (digits < rest.size() && rest[digits] != '?' && rest[digits] != '#') return std::nullopt;
  return number;
}

}  // namespace platform::gtk
