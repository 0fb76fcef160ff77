#pragma once
// The publisher's hosts, compiled in from the build configuration.

#include <string>

namespace login {

std::u16string PortalHost();
std::u16string GameSiteHost();
std::u16string ForumHost();

}  // namespace login
