#include "login/Hosts.h"

#include "BuildSettings.h"

namespace login {

std::u16string PortalHost() { return u"" TESSARY_PORTAL_HOST; }
std::u16string GameSiteHost() { return u"" TESSARY_GAMESITE_HOST; }
std::u16string ForumHost() { return u"" TESSARY_FORUM_HOST; }

}  // namespace login
