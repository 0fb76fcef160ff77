#include "update/CurlLibrary.h"

#include <dlfcn.h>

#include <cstdio>
#include <optional>

namespace update {

namespace {

template <typename Function>
bool Find(void* library, const char* name, Function*& function) {
  function = reinterpret_cast<Function*>(dlsym(library, name));
  if (!function) std::fprintf(stderr, "zarek.exe: libcurl lacks %s\n", name);
  return function != nullptr;
}

std::optional<CurlLibrary> Load() {
  void* library = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    const char* reason = dlerror();
    std::fprintf(stderr, "zarek.exe: cannot load libcurl: %s\n", reason ? reason : "libcurl.so.4");
    return std::nullopt;
  }
  CurlLibrary curl{};
  CURLcode (*globalInit)(long) = nullptr;
  if (!Find(library, "curl_global_init", globalInit) || !Find(library, "curl_easy_init", curl.easyInit) ||
      !Find(library, "curl_easy_setopt", curl.easySetopt) || !Find(library, "curl_easy_perform", curl.easyPerform) ||
      !Find(library, "curl_easy_getinfo", curl.easyGetinfo) || !Find(library, "curl_easy_cleanup", curl.easyCleanup)) {
    return std::nullopt;
  }
  // Stays loaded for the rest of the run, as a linked library would.
  if (globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) return std::nullopt;
  return curl;
}

}  // namespace

const CurlLibrary* Curl() {
  static const std::optional<CurlLibrary> curl = Load();
  return curl ? &*curl : nullptr;
}

}  // namespace update
