#include "platform/gtk/GtkFreeSizeFixed.h"

namespace platform::gtk {
namespace {

struct FreeSizeFixed {
  GtkFixed parent;
};
struct FreeSizeFixedClass {
  GtkFixedClass parent;
};
G_DEFINE_TYPE(FreeSizeFixed, free_size_fixed, GTK_TYPE_FIXED)

void FreeSizeFixedPreferred(GtkWidget*, gint* minimum, gint* natural) { *minimum = *natural = 1; }

void free_size_fixed_class_init(FreeSizeFixedClass* klass) {
  GTK_WIDGET_CLASS(klass)->get_preferred_width = FreeSizeFixedPreferred;
  GTK_WIDGET_CLASS(klass)->get_preferred_height = FreeSizeFixedPreferred;
}

void free_size_fixed_init(FreeSizeFixed*) {}

}  // namespace

GtkFixed* NewFreeSizeFixed() { return GTK_FIXED(g_object_new(free_size_fixed_get_type(), nullptr)); }

}  // namespace platform::gtk
