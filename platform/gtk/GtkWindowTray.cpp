// A window's notification-area icons: clicks come back to the window as
// its callback message.

#include "platform/gtk/GtkDialogWindow.h"
#include "platform/gtk/GtkPlatform.h"
#include "platform/gtk/TrayIcon.h"

namespace platform::gtk {

bool GtkDialogWindow::NativeAddTrayIcon(UINT id, UINT callbackMessage, int iconResource, const std::u16string& tip) {
  auto icon = platform_.Tray().Add(platform_.IconPixbuf(iconResource), tip,
                                   [this, id, callbackMessage](LPARAM mouse) { Post(callbackMessage, id, mouse); });
  if (!icon) return false;
  trayIcons_[id] = std::move(icon);
  return true;
}

void GtkDialogWindow::NativeDeleteTrayIcon(UINT id) { trayIcons_.erase(id); }

}  // namespace platform::gtk
