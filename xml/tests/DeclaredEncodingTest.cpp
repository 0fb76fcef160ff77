#include <gtest/gtest.h>

#include "xml/TextEncoding.h"

namespace xml {

namespace {

TEST(DeclaredEncoding, XmlDeclarationAtTheVeryStart) {
  EXPECT_EQ(detectDeclaredEncoding(u"<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><a/>"), u"Shift_JIS");
  EXPECT_EQ(detectDeclaredEncoding(u"<?XML encoding='gb2312' version='1.0'?><a/>"), u"gb2312");
  // The raw value, not decoded.
  EXPECT_EQ(detectDeclaredEncoding(u"<?xml version=\"1.0\" encoding=\"a&amp;b\"?>"), u"a&amp;b");
  // A declaration without encoding declares none, whatever follows.
  EXPECT_EQ(detectDeclaredEncoding(u"<?xml version=\"1.0\"?><html><head><meta http-equiv=\"Content-Type\" "
                                   u"content=\"text/html; charset=gb2312\"></head></html>"),
            u"");
  // Not at offset 0: not the declaration (and no html either).
  EXPECT_EQ(detectDeclaredEncoding(u" <?xml version=\"1.0\" encoding=\"UTF-8\"?><a/>"), u"");
  EXPECT_EQ(detectDeclaredEncoding(u"<?xml-stylesheet encoding=\"x\"?><a/>"), u"");
}

TEST(DeclaredEncoding, MetaElementOfAnHtmlPage) {
  EXPECT_EQ(detectDeclaredEncoding(u"<!DOCTYPE html><!-- page --><HTML><head><title>t</title>"
                                   u"<META HTTP-EQUIV=\"content-type\" CONTENT=\"text/html; charset=gb2312\">"
                                   u"</head><body/></HTML>"),
            u"gb2312");
  EXPECT_EQ(detectDeclaredEncoding(u"<html><meta http-equiv=Content-Type content='text/html;charset = big5 '>"),
            u"big5");
  // Other meta elements, and a Content-Type without charset, are passed over.
  EXPECT_EQ(detectDeclaredEncoding(u"<html><head><meta name=\"x\" content=\"charset=koi8-r\">"
                                   u"<meta http-equiv=\"Content-Type\" content=\"text/html\">"
                                   u"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=euc-kr\">"),
            u"euc-kr");
}

TEST(DeclaredEncoding, WhereTheSearchGivesUp) {
  // The first element is not "html".
  EXPECT_EQ(detectDeclaredEncoding(u"<body><html><meta http-equiv=\"Content-Type\" "
                                   u"content=\"text/html; charset=gb2312\"></html></body>"),
            u"");
  // The end of the head.
  EXPECT_EQ(detectDeclaredEncoding(u"<html><head></head><meta http-equiv=\"Content-Type\" "
                                   u"content=\"text/html; charset=gb2312\"></html>"),
            u"");
  // A faulty node.
  EXPECT_EQ(detectDeclaredEncoding(u"<html>< 1><meta http-equiv=\"Content-Type\" content=\"charset=gb2312\">"), u"");
  // "charset" with no "=" and a name after it.
  EXPECT_EQ(detectDeclaredEncoding(u"<html><meta http-equiv=\"Content-Type\" content=\"text/html; charset gb2312\">"),
            u"");
  EXPECT_EQ(detectDeclaredEncoding(u"<html><meta http-equiv=\"Content-Type\" content=\"text/html; charset=\">"), u"");
  EXPECT_EQ(detectDeclaredEncoding(u""), u"");
  EXPECT_EQ(detectDeclaredEncoding(u"<html><meta http-equiv=\"Content-Type\" content=\"charset=x"), u"");
}

}  // namespace

}  // namespace xml
