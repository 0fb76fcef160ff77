#pragma once
// The web context the program's embedded browsers and its movie player
// share: one network process and session with the user's cookies and caches
// on disk, web processes that give memory back under pressure, and the
// "res" scheme that serves the program's own pages (res://zarek.exe/208 is
// the loading page).

#include <webkit2/webkit2.h>

#include <optional>
#include <string_view>

namespace platform::gtk {

// Made on first use and kept for the life of the process. Its data lives
// under $XDG_DATA_HOME/tessary/webkit, its caches under
// $XDG_CACHE_HOME/tessary/webkit.
WebKitWebContext* SharedWebContext();

// Clears the disk and memory caches of the shared context (the game
// window's clear-cache command). Cookies and stored logins stay. The work
// finishes in the background.
void ClearWebCaches();

// The page number a "res" address names inside the executable of that file
// name, or nullopt when it names none. The scheme and the executable name
// compare without regard to ASCII case, as module names do on the system
// the program comes from; the number is decimal, 1 to 65535; a query or
// fragment after it is ignored.
std::optional<int> ParseResourceAddress(std::string_view address, std::string_view executableName);

}  // namespace platform::gtk
