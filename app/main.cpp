// zarek.exe: the Tessary client. It takes no command-line arguments and
// ignores any it is given.

#include <gtk/gtk.h>

#include "app/CveloraApp.h"
#include "platform/gtk/GtkPlatform.h"

int main() {
  // WebKitGTK's DMA-BUF renderer, on a machine without a GPU render node
  // (Xvfb, virtual machines), left the login browser white for seconds at a
  // time: the loading page was often never seen. Frames through shared memory
  // show at once there. A value the user has set stands.
  if (!g_file_test("/dev/dri/renderD128", G_FILE_TEST_EXISTS))
    g_setenv("WEBKIT_DISABLE_DMABUF_RENDERER", "1", FALSE);
  // GTK's own options are not the program's: nothing from the command line is read.
  if (!gtk_init_check(nullptr, nullptr)) return 0;
  int exitCode = 0;
  {
    platform::gtk::GtkPlatform platform;
    CveloraApp app(platform);
    app.InitInstance();
    exitCode = app.ExitInstance();
  }
  return exitCode;
}
