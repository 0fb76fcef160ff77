#pragma once
// The Windows font names the program's resources carry, mapped to the faces
// a Linux desktop has.

namespace platform::gtk {

// Loads the aliases into fontconfig and tells pango; once, before windows
// draw text.
void AddFontAliases();

}  // namespace platform::gtk
