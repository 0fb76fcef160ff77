#pragma once
// The windows' container: a GtkFixed that asks for no size of its own.

#include <gtk/gtk.h>

namespace platform::gtk {

// Its children stand at the rectangles the program gives them and never
// hold the window up, so the smallest size the window manager allows is the
// program's own (WM_GETMINMAXINFO), not that of the player laid out for the
// whole work area.
GtkFixed* NewFreeSizeFixed();

}  // namespace platform::gtk
