// Feeds arbitrary request strings to the game window's movie-call handler on
// the in-memory backend: nothing may crash, hang or grow without bound.

#include <cstdint>
#include <cstring>
#include <memory>

#include "game/veloraGame.h"
#include "platform/sim/SimPlatform.h"

namespace {

class Owner final : public platform::WindowHandler, public game::GameOwner {
 public:
  platform::LRESULT WindowProc(platform::UINT m, platform::WPARAM w, platform::LPARAM l) override {
    return window()->DefaultProc(m, w, l);
  }
  const std::u16string& playAddress() const override { return play; }
  platform::BrowserControl* loginBrowser() const override { return nullptr; }
  std::u16string play = u"http://portal/play";
};

struct World {
  World() {
    sim.CreateDialogWindow(platform::WindowSpec{102}, owner);
    game = std::make_unique<veloraGame>(sim, owner);
  }
  platform::sim::SimPlatform sim;
  Owner owner;
  std::unique_ptr<veloraGame> game;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static World world;
  if (!world.game->window()) {
    world.game->Create(world.owner.window());
    world.game->LoadGame(u"x&mainVersion=1&y");
  }
  std::u16string request(size / 2, u'\0');
  std::memcpy(request.data(), data, request.size() * 2);
  // Answer the close question Yes now and then, so the window also goes away.
  world.sim.messageBoxAnswers = {size % 3 == 0 ? platform::IDYES : platform::IDNO};
  world.game->OnFlashCall(veloraGame::kPlayerId, request);
  world.sim.PumpPosted();
  world.sim.debugOutput.clear();
  world.sim.messageBoxes.clear();
  world.sim.log.clear();
  return 0;
}
