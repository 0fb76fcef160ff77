#include "app/CveloraApp.h"

#include "app/bgDialog.h"

bool CveloraApp::InitInstance() {
  // Images need no start-up of their own (cairo), and the embedded browser
  // and player are ready once GTK is: the skin window comes next.
  bgDialog skin(platform_);
  if (skin.Create()) {
    platform_.RunModal(*skin.window());
    if (skin.window()) skin.window()->Destroy();
  }
  return false;
}

int CveloraApp::ExitInstance() { return 0; }
