#include "platform/MessageRouting.h"

namespace platform {

bool WalkPreTranslate(const Msg& msg) {
  for (Window* w = msg.window; w != nullptr; w = w->Owner()) {
    if (w->Handler().PreTranslateMessage(msg)) return true;
  }
  return false;
}

}  // namespace platform
