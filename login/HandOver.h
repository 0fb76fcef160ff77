#pragma once
// Reading the hand-over address that the web site loads once the player has
// chosen a game server.

#include <optional>
#include <string>
#include <string_view>

namespace login {

// What a completed document address asks of the login dialog.
enum class CompletedPage {
  LoadingPage,  // begins with "res://": go on to the login address
  Ordinary,     // an ordinary page of the site
  HandOver,     // contains "error" after its first character: enter the game
};

CompletedPage ClassifyCompletedAddress(std::u16string_view address);

// The text after the first "?" (all of the address when it has none).
std::u16string_view QueryOf(std::u16string_view address);

// The play address for a server id: PortalHost + "/game/play/108/<id>?ismicroclient=yes".
std::u16string PlayAddress(std::u16string_view portalHost, std::u16string_view serverId);

}  // namespace login
