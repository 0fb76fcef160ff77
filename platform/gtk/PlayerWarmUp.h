#pragma once
// The movie player's warm-up: Ruffle's page loads and its module compiles while the player logs in.

#include <glib.h>

namespace platform::gtk {

// Started once the program's first window is up; the game's first movie
// then finds the player ready.
class PlayerWarmUp {
 public:
  PlayerWarmUp() = default;
  ~PlayerWarmUp() { Cancel(); }
  PlayerWarmUp(const PlayerWarmUp&) = delete;
  PlayerWarmUp& operator=(const PlayerWarmUp&) = delete;

  // Warms the player up a little after a window has shown, so the login
  // page has its turn first. A warm-up still waiting is moved, not doubled.
  void Schedule();
  // Drops a warm-up that has not begun yet.
  void Cancel();

 private:
  guint source_ = 0;
};

}  // namespace platform::gtk
