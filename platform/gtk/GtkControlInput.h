#pragma once
// Input that GTK delivers to a control's own widget, turned into the run
// loop's messages so the program's pre-translation sees it.

#include <gtk/gtk.h>

#include "platform/Window.h"

namespace platform::gtk {

class GtkDialogWindow;

// Offers an input event that GTK delivered to a control's widget (a button
// press, a pointer motion) to the pre-translation of the run loop, as the
// message the event stands for, addressed to that control.
// controlPreTranslate is the control's own pre-translation, asked first.
// True when the event was swallowed and must not reach the control.
bool PreTranslateControlEvent(GtkDialogWindow& window, const void* control,
                              bool (*controlPreTranslate)(const void* control, const Msg&), const GdkEvent* event);

// The virtual-key number of a GDK key value (Enter 13, Escape 27, F5 116 ...).
WPARAM VirtualKeyOf(guint keyval);

}  // namespace platform::gtk
