#pragma once
// What the window conformance suite needs of a backend: its platform, a way
// to run its loop, and the desktop's own actions. Each backend's test
// executable defines MakeConformanceBackend.

#include <functional>
#include <memory>

#include "platform/Platform.h"

namespace platform::conformance {

class ConformanceBackend {
 public:
  virtual ~ConformanceBackend() = default;
  virtual Platform& platform() = 0;
  // Runs the loop until `done` holds or a few seconds have passed; returns done().
  virtual bool RunUntil(const std::function<bool()>& done) = 0;
  // Runs the loop until what is pending has been handled.
  virtual void Settle() = 0;
  // Lets the window's running timers tick at least once.
  virtual void LetTimersTick(Window& window) = 0;
  // The desktop (its task bar) minimises or restores the window.
  virtual void DesktopMinimizes(Window& window, bool minimized) = 0;
};

std::unique_ptr<ConformanceBackend> MakeConformanceBackend();

}  // namespace platform::conformance
