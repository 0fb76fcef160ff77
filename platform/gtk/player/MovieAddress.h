#pragma once
// Where a movie comes from. The game passes the loader movie's address as it
// built it from the hand-over parameters; a relative one resolves against the
// page those parameters came from (the player's base address).

#include <optional>
#include <string>

namespace platform::gtk {

// The absolute http(s) address of a movie, UTF-8 with every character that
// does not belong in an address percent-encoded (UTF-8 bytes, spaces,
// control characters). An absolute address is taken as it stands; anything
// else is a reference resolved against base as a browser resolves a link on
// that page (so "GameLoader_1.swf" lands beside the page, "/x.swf" at the
// host's root, "//host/x.swf" on another host). nullopt when the result is
// not an http or https address with a host, or a relative address has no
// usable base.
std::optional<std::string> ResolveMovieAddress(const std::u16string& address, const std::u16string& base);

// Whether the movie may call its host, from the AllowScriptAccess value as
// the player reads it (letter case ignored): "always" allows, "never"
// forbids, and anything else ("sameDomain", the default, or an unknown word)
// allows only a movie from the same scheme, host and port as the base page.
bool MovieMayCallHost(const std::u16string& allowScriptAccess, const std::string& movieAddress,
                      const std::u16string& base);

}  // namespace platform::gtk
