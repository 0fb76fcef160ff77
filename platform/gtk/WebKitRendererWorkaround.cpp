#include "platform/gtk/WebKitRendererWorkaround.h"

#include <glib.h>

namespace platform::gtk {

void ApplyWebKitRendererWorkaround() {
  // WebKitGTK's DMA-BUF renderer, on a machine without a GPU render node
  // (Xvfb, virtual machines), left the login browser white for seconds at a
  // time: the loading page was often never seen. Frames through shared memory
  // show at once there. A value the user has set stands.
  if (!g_file_test("/dev/dri/renderD128", G_FILE_TEST_EXISTS)) g_setenv("WEBKIT_DISABLE_DMABUF_RENDERER", "1", FALSE);
}

}  // namespace platform::gtk
