#include "platform/gtk/PlayerWarmUp.h"

#include "platform/gtk/WebEngineLibrary.h"
#include "platform/gtk/player/MovieSession.h"

namespace platform::gtk {

void PlayerWarmUp::Schedule() {
  Cancel();
  // Ruffle's module takes seconds to compile: the player's page warms up
  // while the player logs in, once the login page has had its turn.
  constexpr guint kDelayMs = 1500;
  source_ = g_timeout_add(
      kDelayMs,
      +[](gpointer self) -> gboolean {
        static_cast<PlayerWarmUp*>(self)->source_ = 0;
        if (LoadWebEngine()) PrewarmMoviePlayer();
        return G_SOURCE_REMOVE;
      },
      this);
}

void PlayerWarmUp::Cancel() {
  if (source_) g_source_remove(source_);
  source_ = 0;
}

}  // namespace platform::gtk
