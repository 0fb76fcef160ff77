#include "update/UpdateSettings.h"

#include "BuildSettings.h"

namespace update {

UpdateSettings BuiltInUpdateSettings() {
  UpdateSettings settings;
  settings.resourceHost = u"" TESSARY_RESOURCE_HOST;
  settings.builtInVersion = TESSARY_BUILT_IN_VERSION;
  settings.publicKey = TESSARY_UPDATE_PUBLIC_KEY;  // empty: no signature asked for
  settings.download.userAgent = "Tessary/" + std::to_string(settings.builtInVersion);
  return settings;
}

}  // namespace update
