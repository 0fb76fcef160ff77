#pragma once
// The application object: prepares the platform, runs the skin window as
// the one modal main window and ends when its loop ends.

#include "platform/Platform.h"

class CveloraApp {
 public:
  explicit CveloraApp(platform::Platform& platform) : platform_(platform) {}

  // Runs everything from start-up to the end of the main window; always
  // false, so no message loop of its own follows.
  bool InitInstance();
  // The process exit code.
  int ExitInstance();

 private:
  platform::Platform& platform_;
};
