#include "platform/gtk/player/MovieAddress.h"

#include <glib.h>

#include <cctype>
#include <cstdio>
#include <memory>

#include "base/Text.h"

namespace platform::gtk {

namespace {

struct UriDeleter {
  void operator()(GUri* uri) const { g_uri_unref(uri); }
};
using UriPtr = std::unique_ptr<GUri, UriDeleter>;

// UTF-8 with the bytes an address cannot carry as they are percent-encoded.
std::string EncodeForAddress(const std::u16string& text) {
  std::string out;
  for (unsigned char c : base::ToUtf8(text)) {
    if (c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>' || c == '\\' || c == '^' || c == '`' || c == '{' ||
        c == '|' || c == '}') {
      char escape[4];
      std::snprintf(escape, sizeof escape, "%%%02X", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

UriPtr Parse(const std::string& address) {
  return UriPtr(g_uri_parse(address.c_str(), static_cast<GUriFlags>(G_URI_FLAGS_ENCODED), nullptr));
}

bool IsWebAddress(GUri* uri) {
  const char* scheme = g_uri_get_scheme(uri);
  const char* host = g_uri_get_host(uri);
  return scheme && (g_ascii_strcasecmp(scheme, "http") == 0 || g_ascii_strcasecmp(scheme, "https") == 0) && host &&
         *host;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

std::optional<std::string> ResolveMovieAddress(const std::u16string& address, const std::u16string& base) {
  // Surrounding blanks are not part of an address (a browser drops them too).
  std::size_t first = address.find_first_not_of(u" \t\r\n");
  if (first == std::u16string::npos) return std::nullopt;
  std::size_t last = address.find_last_not_of(u" \t\r\n");
  std::string reference = EncodeForAddress(address.substr(first, last - first + 1));

  UriPtr resolved;
  if (g_uri_peek_scheme(reference.c_str())) {
    resolved = Parse(reference);
  } else {
    UriPtr baseUri = Parse(EncodeForAddress(base));
    if (!baseUri || !IsWebAddress(baseUri.get())) return std::nullopt;
    resolved = UriPtr(
        g_uri_parse_relative(baseUri.get(), reference.c_str(), static_cast<GUriFlags>(G_URI_FLAGS_ENCODED), nullptr));
  }
  if (!resolved || !IsWebAddress(resolved.get())) return std::nullopt;
  char* text = g_uri_to_string(resolved.get());
  std::string out = text;
  g_free(text);
  return out;
}

bool MovieMayCallHost(const std::u16string& allowScriptAccess, const std::string& movieAddress,
                      const std::u16string& base) {
  std::string access = Lower(base::ToUtf8(allowScriptAccess));
  if (access == "always") return true;
  if (access == "never") return false;
  UriPtr movie = Parse(movieAddress);
  UriPtr page = Parse(EncodeForAddress(base));
  if (!movie || !page || !IsWebAddress(movie.get()) || !IsWebAddress(page.get())) return false;
  auto port = [](GUri* uri) {
    int p = g_uri_get_port(uri);
    if (p > 0) return p;
    return g_ascii_strcasecmp(g_uri_get_scheme(uri), "https") == 0 ? 443 : 80;
  };
  return Lower(g_uri_get_scheme(movie.get())) == Lower(g_uri_get_scheme(page.get())) &&
         Lower(g_uri_get_host(movie.get())) == Lower(g_uri_get_host(page.get())) &&
         port(movie.get()) == port(page.get());
}

}  // namespace platform::gtk
