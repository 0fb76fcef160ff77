#pragma once
// The website policies of the program's web views: pages may play sound
// without a click first, as the Flash player and the Windows browser
// control did (WebKit's default keeps a page's audio suspended until the
// user clicks into it, so the game's opening music would be lost).

#include <webkit2/webkit2.h>

namespace platform::gtk {

// For a web view's construct-only "website-policies" property; one shared
// object, kept for the life of the process.
inline WebKitWebsitePolicies* SoundWithoutClickPolicies() {
  static WebKitWebsitePolicies* const policies =
      webkit_website_policies_new_with_policies("autoplay", WEBKIT_AUTOPLAY_ALLOW, nullptr);
  return policies;
}

}  // namespace platform::gtk
