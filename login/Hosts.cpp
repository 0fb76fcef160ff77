#include "login/Hosts.h"

#if !defined(TESSARY_PORTAL_HOST) || !defined(TESSARY_GAMESITE_HOST) || !defined(TESSARY_FORUM_HOST)
#error "the host names come from the build configuration"
#endif

namespace login {

std::u16string PortalHost() { return u"" TESSARY_PORTAL_HOST; }
std::u16string GameSiteHost() { return u"" TESSARY_GAMESITE_HOST; }
std::u16string ForumHost() { return u"" TESSARY_FORUM_HOST; }

}  // namespace login
