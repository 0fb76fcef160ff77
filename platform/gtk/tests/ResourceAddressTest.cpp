// Which addresses of the "res" scheme name a page of the program.

#include <gtest/gtest.h>

#include "platform/gtk/WebContext.h"

namespace {

using platform::gtk::ParseResourceAddress;

TEST(ResourceAddress, NamesAPageOfThisExecutable) {
  EXPECT_EQ(ParseResourceAddress("res://zarek.exe/208", "zarek.exe"), 208);
  EXPECT_EQ(ParseResourceAddress("res://zarek.exe/1", "zarek.exe"), 1);
  EXPECT_EQ(ParseResourceAddress("res://zarek.exe/65535", "zarek.exe"), 65535);
  EXPECT_EQ(ParseResourceAddress("res://zarek.exe/00208", "zarek.exe"), 208);
  // Query and fragment do not change the page.
  EXPECT_EQ(ParseResourceAddress("res://zarek.exe/208?x=1", "zarek.exe"), 208);
  EXPECT_EQ(ParseResourceAddress("res://zarek.exe/208#top", "zarek.exe"), 208);
}

TEST(ResourceAddress, SchemeAndExecutableNameIgnoreAsciiCase) {
  EXPECT_EQ(ParseResourceAddress("RES://ZAREK.EXE/208", "zarek.exe"), 208);
  EXPECT_EQ(ParseResourceAddress("res://Zarek.Exe/208", "zarek.exe"), 208);
  EXPECT_EQ(ParseResourceAddress("res://zarek.exe/208", "ZAREK.exe"), 208);
}

TEST(ResourceAddress, OtherExecutablesAndOtherSchemesNameNothing) {
  EXPECT_EQ(ParseResourceAddress("res://other.exe/208", "zarek.exe"), std::nullopt);
  EXPECT_EQ(ParseResourceAddress("res://zarek.ex/208", "zarek.exe"), std::nullopt);
  EXPECT_EQ(ParseResourceAddress("res://zarek.exe.exe/208", "zarek.exe"), std::nullopt);
  EXPECT_EQ(ParseResourceAddress("res:///208", "zarek.exe"), std::nullopt);
  EXPECT_EQ(ParseResourceAddress("res:///208", ""), std::nullopt);
  EXPECT_EQ(ParseResourceAddress("http://zarek.exe/208", "zarek.exe"), std::nullopt);
  EXPECT_EQ(ParseResourceAddress("resx://zarek.exe/208", "zarek.exe"), std::nullopt);
  EXPECT_EQ(ParseResourceAddress("res:/zarek.exe/208", "zarek.exe"), std::nullopt);
  EXPECT_EQ(ParseResourceAddress("", "zarek.exe"), std::nullopt);
  EXPECT_EQ(ParseResourceAddress("res://", "zarek.exe"), std::nullopt);
}

TEST(ResourceAddress, OnlyAPlainNumberFrom1To65535IsAPage) {
  for (const char* address :
       {"res://zarek.exe", "res://zarek.exe/", "res://zarek.exe/abc", "res://zarek.exe/0", "res://zarek.exe/65536",
        "res://zarek.exe/100000", "res://zarek.exe/208x", "res://zarek.exe/208/1", "res://zarek.exe/-208",
        "res://zarek.exe/+208", "res://zarek.exe/ 208", "res://zarek.exe/#208", "res://zarek.exe/23/208",
        "res://zarek.exe/99999999999999999999999"}) {
    EXPECT_EQ(ParseResourceAddress(address, "zarek.exe"), std::nullopt) << address;
  }
}

TEST(ResourceAddress, TextWithNulOrHighBytesIsNoPage) {
  using namespace std::string_view_literals;
  EXPECT_EQ(ParseResourceAddress("res://zarek.exe/2\0"sv
                                 "08",
                                 "zarek.exe"),
            std::nullopt);
  EXPECT_EQ(ParseResourceAddress("res://zarek\xC3\xA9.exe/208", "zarek.exe"), std::nullopt);
  EXPECT_EQ(ParseResourceAddress("res://zarek.exe\0/208"sv, "zarek.exe"), std::nullopt);
}

}  // namespace
