#pragma once
// How a run-loop message reaches the pre-translation of its window and the
// windows that own it.

#include "platform/Window.h"

namespace platform {

// Offers a run-loop message to the handler of the window that contains its
// target and then to each owner in turn, up to the unowned main window, as a
// dialog framework's pre-translation does. True when one of them swallowed it.
bool WalkPreTranslate(const Msg& msg);

}  // namespace platform
