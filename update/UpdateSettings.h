#pragma once

#include "update/DownloadToFile.h"

#include <cstdint>
#include <string>

namespace tessary::update {

struct UpdateSettings {
    std::u16string resourceHost;  // host[:port] of the update server
    int32_t builtInVersion = 1001;
    DownloadOptions download;
};

// The values this build was configured with (ResourceHost and the built-in
// version), the user agent "Tessary/<version>" and the product's time limits.
UpdateSettings BuiltInUpdateSettings();

} // namespace tessary::update
