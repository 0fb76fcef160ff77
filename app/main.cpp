// zarek.exe: the Tessary client. It takes no command-line arguments and
// ignores any it is given.

#include <gtk/gtk.h>

#include <cstdio>
#include <string>

#include "app/CveloraApp.h"
#include "platform/gtk/GtkPlatform.h"
#include "platform/gtk/WebKitRendererWorkaround.h"

namespace {

bool IsSet(const char* name) {
  const char* value = g_getenv(name);
  return value && *value;
}

// The program places its windows itself: the login dialog stands inside the
// skin, the skin is centred, drags follow the pointer. A Wayland compositor
// lets no client do that, so the program runs on X11, through XWayland on a
// Wayland session. Without an X display it ends at once instead of opening
// windows that fall apart.
bool OpenX11Display() {
  if (!IsSet("DISPLAY")) {
    const bool wayland = IsSet("WAYLAND_DISPLAY") || g_strcmp0(g_getenv("XDG_SESSION_TYPE"), "wayland") == 0;
    std::fprintf(stderr, "%s",
                 wayland ? "zarek.exe: this program runs on X11, and this Wayland session offers no XWayland "
                           "(DISPLAY is not set). Turn XWayland on, or start the program in an X11 session.\n"
                         : "zarek.exe: there is no display to open (DISPLAY is not set).\n");
    return false;
  }
  gdk_set_allowed_backends("x11");
  // GDK_BACKEND would override that choice. It is set aside while GTK starts
  // and put back for the programs started from here (the default browser).
  const char* chosen = g_getenv("GDK_BACKEND");
  const std::string backend = chosen ? chosen : "";
  if (chosen) g_unsetenv("GDK_BACKEND");
  // GTK's own options are not the program's: nothing from the command line is read.
  const bool opened = gtk_init_check(nullptr, nullptr);
  if (chosen) g_setenv("GDK_BACKEND", backend.c_str(), TRUE);
  if (!opened) std::fprintf(stderr, "zarek.exe: cannot open the X display %s.\n", g_getenv("DISPLAY"));
  return opened;
}

}  // namespace

int main() {
  platform::gtk::ApplyWebKitRendererWorkaround();
  platform::gtk::GtkPlatform::NameProgram();
  if (!OpenX11Display()) return 1;
  int exitCode = 0;
  {
    platform::gtk::GtkPlatform platform;
    CveloraApp app(platform);
    app.InitInstance();
    exitCode = app.ExitInstance();
  }
  return exitCode;
}
