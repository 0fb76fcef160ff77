// The version block names the same number as the self-update's built-in version.

#include <gtest/gtest.h>

#include <string>

#include "res/Resources.h"

namespace res {
namespace {

std::u16string Decimal(int value) {
  const std::string text = std::to_string(value);
  return {text.begin(), text.end()};
}

TEST(VersionInfo, TextsCarryTheBuiltInVersion) {
  EXPECT_GT(kBuiltInVersion, 0);
  EXPECT_EQ(kVersionInfo.fileVersionText, Decimal(kBuiltInVersion));
  EXPECT_EQ(kVersionInfo.productVersionText, Decimal(kBuiltInVersion));
}

TEST(VersionInfo, NumericVersionAndNames) {
  EXPECT_EQ(kVersionInfo.fileVersion, (std::array<int, 4>{1, 0, 0, 2}));
  EXPECT_EQ(kVersionInfo.productVersion, (std::array<int, 4>{1, 0, 0, 2}));
  EXPECT_EQ(kProductDisplayName, u"Tessary");
  EXPECT_EQ(kVersionInfo.fileDescription, u"Tessary");
  EXPECT_EQ(kVersionInfo.productName, u"Tessary");
  EXPECT_EQ(kVersionInfo.internalName, u"Tessary");
  EXPECT_EQ(kVersionInfo.originalFilename, u"Tessary");
}

#ifdef TESSARY_EXPECTED_DEFAULT_VERSION
TEST(VersionInfo, DefaultBuildIs1001) { EXPECT_EQ(kBuiltInVersion, 1001); }
#endif

}  // namespace
}  // namespace res
