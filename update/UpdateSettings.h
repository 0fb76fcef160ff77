#pragma once
// The update server, built-in version and time limits this build was made with.

#include "update/DownloadToFile.h"

#include <cstdint>
#include <string>

namespace update {

struct UpdateSettings {
  std::u16string resourceHost;  // host[:port] of the update server
  int32_t builtInVersion = 1001;
  DownloadOptions download;
  // The minisign public key line new programs must be signed with; empty:
  // no signature is asked for.
  std::string publicKey;
};

// The values this build was configured with (ResourceHost and the built-in
// version), the user agent "Tessary/<version>" and the product's time limits.
UpdateSettings BuiltInUpdateSettings();

}  // namespace update
