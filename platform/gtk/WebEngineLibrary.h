#pragma once
// Loads the web engine (WebKitGTK), which zarek.exe leaves out of its start so the skin shows first.

namespace platform::gtk {

// Makes the web engine's functions callable; call it before the first of
// them (see base/DeferredLibrary.h). Loaded once; false, with the reason on
// stderr, when the library cannot be loaded.
bool LoadWebEngine();

}  // namespace platform::gtk
