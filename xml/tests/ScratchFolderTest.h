#pragma once
// What the reader's file tests share: a scratch folder of its own for every
// test, and the C library's locale at UTF-8 meanwhile.

#include <cstdlib>
#include <optional>
#include <string>

#include "base/tests/FolderTest.h"

namespace xml::testing {

class ScratchFolderTest : public base::testing::FolderTest {
 protected:
  void SetUp() override {
    FolderTest::SetUp();
    folder_ = folder.string();
    const char* locale = std::getenv("LC_ALL");
    savedLocale_ = locale ? std::optional<std::string>(locale) : std::nullopt;
    setenv("LC_ALL", "C.UTF-8", 1);
  }
  void TearDown() override {
    if (savedLocale_)
      setenv("LC_ALL", savedLocale_->c_str(), 1);
    else
      unsetenv("LC_ALL");
    FolderTest::TearDown();
  }

  std::string folder_;

 private:
  std::optional<std::string> savedLocale_;
};

}  // namespace xml::testing
