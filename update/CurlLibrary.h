#pragma once
// libcurl's functions, loaded when the first download starts.

#include <curl/curl.h>

namespace update {

// zarek.exe is not linked to libcurl: with the libraries it brings (some 25)
// it took a tenth of the skin's start to load, and the first download
// comes only after the skin shows.
struct CurlLibrary {
  CURL* (*easyInit)();
  CURLcode (*easySetopt)(CURL*, CURLoption, ...);
  CURLcode (*easyPerform)(CURL*);
  CURLcode (*easyGetinfo)(CURL*, CURLINFO, ...);
  void (*easyCleanup)(CURL*);
};

// Loaded and initialised once; nullptr, with the reason on stderr, when
// libcurl cannot be loaded or lacks a function.
const CurlLibrary* Curl();

}  // namespace update
