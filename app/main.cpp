// zarek.exe: the Tessary client. It takes no command-line arguments and
// ignores any it is given.

#include <gtk/gtk.h>

#include <cstdio>
#include <string>

#include "app/CveloraApp.h"
#include "platform/gtk/GtkPlatform.h"

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
  // WebKitGTK's DMA-BUF renderer, on a machine without a GPU render node
  // (Xvfb, virtual machines), left the login browser white for seconds at a
  // time: the loading page was often never seen. Frames through shared memory
  // show at once there. A value the user has set stands.
  if (!g_file_test("/dev/dri/renderD128", G_FILE_TEST_EXISTS))
    g_setenv("WEBKIT_DISABLE_DMABUF_RENDERER", "1", FALSE);
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
