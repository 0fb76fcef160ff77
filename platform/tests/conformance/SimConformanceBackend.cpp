// The window conformance suite on the in-memory backend.

#include "platform/sim/SimPlatform.h"
#include "platform/tests/conformance/ConformanceBackend.h"

namespace platform::conformance {
namespace {

class SimBackend final : public ConformanceBackend {
 public:
  Platform& platform() override { return sim_; }
  bool RunUntil(const std::function<bool()>& done) override {
    sim_.PumpPosted();
    return done();
  }
  void Settle() override { sim_.PumpPosted(); }
  void LetTimersTick(Window& window) override {
    auto& w = sim::SimPlatform::Of(window);
    const auto timers = w.Timers();
    for (const auto& [id, interval] : timers) w.FireTimer(id);
  }
  void DesktopMinimizes(Window& window, bool minimized) override {
    sim::SimPlatform::Of(window).DesktopMinimizes(minimized);
  }

 private:
  sim::SimPlatform sim_;
};

}  // namespace

std::unique_ptr<ConformanceBackend> MakeConformanceBackend() { return std::make_unique<SimBackend>(); }

}  // namespace platform::conformance
