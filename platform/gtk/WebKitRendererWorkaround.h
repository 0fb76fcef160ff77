#pragma once
// Chooses how WebKitGTK hands its frames to the program where its default way leaves pages blank.

namespace platform::gtk {

// Call before GTK and WebKit start (the web processes read the choice from
// the environment they inherit).
void ApplyWebKitRendererWorkaround();

}  // namespace platform::gtk
