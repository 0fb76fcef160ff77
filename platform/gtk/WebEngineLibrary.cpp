#include "platform/gtk/WebEngineLibrary.h"

#include "base/DeferredLibrary.h"

namespace platform::gtk {

bool LoadWebEngine() {
  // Its script engine and network library come with it.
  static const bool loaded = base::LoadDeferredLibrary("libwebkit2gtk-4.1.so.0", "webkit_get_major_version");
  return loaded;
}

}  // namespace platform::gtk
