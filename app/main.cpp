// zarek.exe: the Tessary client. It takes no command-line arguments and
// ignores any it is given.

#include <gtk/gtk.h>

#include "app/CveloraApp.h"
#include "platform/gtk/GtkPlatform.h"

int main() {
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
