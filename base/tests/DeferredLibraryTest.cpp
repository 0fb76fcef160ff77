// Loading a library when first needed: one already there is found without
// loading, one loaded becomes callable for the whole program, a missing one
// is reported.

#include <gtest/gtest.h>

#include <dlfcn.h>

#include "base/DeferredLibrary.h"

namespace {

TEST(DeferredLibraryTest, FindsLoadsOrReports) {
  // The C library is always there.
  EXPECT_TRUE(base::LoadDeferredLibrary("libc.so.6", "malloc"));
  // sqlite (one of the web engine's libraries) is not linked to the tests:
  // once loaded its functions are found from anywhere in the program.
  ASSERT_EQ(dlsym(RTLD_DEFAULT, "sqlite3_libversion"), nullptr);
  EXPECT_TRUE(base::LoadDeferredLibrary("libsqlite3.so.0", "sqlite3_libversion"));
  EXPECT_NE(dlsym(RTLD_DEFAULT, "sqlite3_libversion"), nullptr);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(base::LoadDeferredLibrary("libtessary-no-such-library.so.9", "no_such_function"));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("libtessary-no-such-library.so.9"), std::string::npos);
}

}  // namespace
