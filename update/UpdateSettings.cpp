#include "update/UpdateSettings.h"

#ifndef TESSARY_RESOURCE_HOST
#error "TESSARY_RESOURCE_HOST comes from the build configuration"
#endif
#ifndef TESSARY_BUILT_IN_VERSION
#error "TESSARY_BUILT_IN_VERSION comes from the build configuration"
#endif

namespace update {

UpdateSettings BuiltInUpdateSettings() {
    UpdateSettings settings;
    settings.resourceHost = u"" TESSARY_RESOURCE_HOST;
    settings.builtInVersion = TESSARY_BUILT_IN_VERSION;
#ifdef TESSARY_UPDATE_PUBLIC_KEY
    settings.publicKey = TESSARY_UPDATE_PUBLIC_KEY;
#endif
    settings.download.userAgent = "Tessary/" + std::to_string(settings.builtInVersion);
    return settings;
}

} // namespace update
