#pragma once

// The version block of the executable and the built-in version that the
// self-update compares with the server's. The number comes from the build
// setting TESSARY_BUILT_IN_VERSION (CMake cache, default 1001).

#include <array>
#include <string_view>

#include "BuildSettings.h"

#define TESSARY_RES_TEXT2(x) #x
#define TESSARY_RES_TEXT(x) TESSARY_RES_TEXT2(x)

namespace res {

constexpr int kBuiltInVersion = TESSARY_BUILT_IN_VERSION;

constexpr std::u16string_view kProductDisplayName = u"Tessary";

struct VersionInfo {
  std::array<int, 4> fileVersion;  // numeric, most significant first
  std::array<int, 4> productVersion;
  std::u16string_view fileVersionText;
  std::u16string_view productVersionText;
  std::u16string_view fileDescription;
  std::u16string_view productName;
  std::u16string_view internalName;
  std::u16string_view originalFilename;
};

// The version texts carry the built-in version, so the block of a build
// always names the number its self-update compares.
constexpr VersionInfo kVersionInfo{
    {1, 0, 0, 2},
    {1, 0, 0, 2},
    u"" TESSARY_RES_TEXT(TESSARY_BUILT_IN_VERSION),
    u"" TESSARY_RES_TEXT(TESSARY_BUILT_IN_VERSION),
    kProductDisplayName,
    kProductDisplayName,
    kProductDisplayName,
    kProductDisplayName,
};

}  // namespace res
