// The movie player's logic without a display: the request strings of movie
// calls, the host's requests read back, script literals, movie addresses and
// the files the player's scheme serves.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>

#include "platform/gtk/player/ExternalValue.h"
#include "platform/gtk/player/InvokeXml.h"
#include "platform/gtk/player/JsLiteral.h"
#include "platform/gtk/player/MovieAddress.h"
#include "platform/gtk/player/MovieSession.h"
#include "platform/gtk/player/PlayerFiles.h"

namespace platform::gtk {
namespace {

using V = ExternalValue;

TEST(PlayerNumberText, WritesNumbersAsTheScriptLanguageDoes) {
  EXPECT_EQ(NumberText(0), u"0");
  EXPECT_EQ(NumberText(-0.0), u"0");
  EXPECT_EQ(NumberText(1), u"1");
  EXPECT_EQ(NumberText(-2), u"-2");
  EXPECT_EQ(NumberText(1.5), u"1.5");
  EXPECT_EQ(NumberText(0.1), u"0.1");
  EXPECT_EQ(NumberText(-0.25), u"-0.25");
  EXPECT_EQ(NumberText(123456789012), u"123456789012");
  EXPECT_EQ(NumberText(1e21), u"1e+21");
  EXPECT_EQ(NumberText(1e20), u"100000000000000000000");
  EXPECT_EQ(NumberText(1.5e21), u"1.5e+21");
  EXPECT_EQ(NumberText(0.000001), u"0.000001");
  EXPECT_EQ(NumberText(1.5e-7), u"1.5e-7");
  EXPECT_EQ(NumberText(1e-7), u"1e-7");
  EXPECT_EQ(NumberText(0.1 + 0.2), u"0.30000000000000004");
  EXPECT_EQ(NumberText(std::numeric_limits<double>::max()), u"1.7976931348623157e+308");
  EXPECT_EQ(NumberText(5e-324), u"5e-324");
  EXPECT_EQ(NumberText(std::nan("")), u"NaN");
  EXPECT_EQ(NumberText(INFINITY), u"Infinity");
  EXPECT_EQ(NumberText(-INFINITY), u"-Infinity");
}

TEST(PlayerRequestXml, EscapesTheFiveCharactersEverywhere) {
  EXPECT_EQ(EscapeXml(u"a&b<c>\"d'e"), u"a&amp;b&lt;c&gt;&quot;d&apos;e");
  EXPECT_EQ(EscapeXml(u"&amp;"), u"&amp;amp;");
  EXPECT_EQ(InvokeRequestXml(u"a\"b&c", {V::String(u"<x>")}),
            u"<invoke name=\"a&quot;b&amp;c\" returntype=\"xml\"><arguments><string>&lt;x&gt;</string>"
            u"</arguments></invoke>");
  EXPECT_EQ(ValueXml(V::Object({{u"k<&>'", V::Null()}})),
            u"<object><property id=\"k&lt;&amp;&gt;&apos;\"><null/></property></object>");
}

TEST(PlayerRequestXml, WritesEveryKindOfValue) {
  std::vector<V> args{V::String(u"display"), V::Number(1.5), V::Boolean(true), V::Boolean(false), V::Null(),
                      V::Undefined(),        V::String(u"")};
  EXPECT_EQ(InvokeRequestXml(u"flashSetting", args),
            u"<invoke name=\"flashSetting\" returntype=\"xml\"><arguments><string>display</string>"
            u"<number>1.5</number><true/><false/><null/><undefined/><string></string></arguments></invoke>");
  EXPECT_EQ(InvokeRequestXml(u"reload", {}),
            u"<invoke name=\"reload\" returntype=\"xml\"><arguments></arguments></invoke>");
  V nested = V::Array({V::Number(1), V::String(u"two"), V::Array({V::Boolean(true), V::Null()})});
  EXPECT_EQ(ValueXml(nested),
            u"<array><property id=\"0\"><number>1</number></property><property id=\"1\"><string>two</string>"
            u"</property><property id=\"2\"><array><property id=\"0\"><true/></property><property id=\"1\">"
            u"<null/></property></array></property></array>");
  EXPECT_EQ(ValueXml(V::Array()), u"<array></array>");
  EXPECT_EQ(ValueXml(V::Object()), u"<object></object>");
  EXPECT_EQ(ValueXml(V::Object({{u"b", V::Number(2)}, {u"a", V::Number(1)}})),
            u"<object><property id=\"b\"><number>2</number></property><property id=\"a\"><number>1</number>"
            u"</property></object>");
  EXPECT_EQ(ValueXml(V::String(u"中文 ✓\n")), u"<string>中文 ✓\n</string>");
}

// What ParseInvokeRequest read, written back: a compact way to compare.
std::u16string ReadBack(const std::u16string& request) {
  auto call = ParseInvokeRequest(request);
  if (!call) return u"(none)";
  return InvokeRequestXml(call->name, call->arguments);
}

TEST(PlayerHostRequest, ReadsTheSettingsRequest) {
  auto call = ParseInvokeRequest(
      u"<invoke name=\"flashSetting\" returntype=\"xml\"><arguments><string>display</string></arguments></invoke>");
  ASSERT_TRUE(call);
  EXPECT_EQ(call->name, u"flashSetting");
  ASSERT_EQ(call->arguments.size(), 1u);
  EXPECT_EQ(call->arguments[0].kind, V::Kind::String);
  EXPECT_EQ(call->arguments[0].text, u"display");
}

TEST(PlayerHostRequest, ReadsBackEveryRequestItWrites) {
  std::vector<V> args{V::String(u"a&b<c>\"d'e"),
                      V::Number(-0.25),
                      V::Number(1e21),
                      V::Boolean(true),
                      V::Boolean(false),
                      V::Null(),
                      V::Undefined(),
                      V::String(u""),
                      V::Array({V::Number(1), V::Array({V::String(u"x")}), V::Object()}),
                      V::Object({{u"k<&>", V::String(u"v\"'")}, {u"n", V::Array()}})};
  std::u16string request = InvokeRequestXml(u"echo", args);
  EXPECT_EQ(ReadBack(request), request);
}

TEST(PlayerHostRequest, DecodesEntitiesAndKeepsSpaces) {
  EXPECT_EQ(ParseInvokeRequest(u"<invoke name=\"a&amp;b\"><arguments><string>  &lt;&#x4E2D;&gt; </string>"
                               u"</arguments></invoke>")
                ->arguments[0]
                .text,
            u"  <中> ");
  EXPECT_EQ(ParseInvokeRequest(u"<invoke name=\"a&amp;b\"/>")->name, u"a&b");
}

TEST(PlayerHostRequest, NumbersReadLeniently) {
  auto number = [](const std::u16string& text) {
    auto call =
        ParseInvokeRequest(u"<invoke name=\"f\"><arguments><number>" + text + u"</number></arguments></invoke>");
    return call->arguments.at(0).number;
  };
  EXPECT_EQ(number(u"42"), 42);
  EXPECT_EQ(number(u" -1.5e3 "), -1500);
  EXPECT_TRUE(std::isinf(number(u"Infinity")));
  EXPECT_TRUE(std::isnan(number(u"NaN")));
  EXPECT_TRUE(std::isnan(number(u"")));
  EXPECT_TRUE(std::isnan(number(u"12abc")));
  EXPECT_TRUE(std::isnan(number(u"１")));
}

TEST(PlayerHostRequest, WithoutAnInvokeOrANameThereIsNoCall) {
  EXPECT_EQ(ReadBack(u""), u"(none)");
  EXPECT_EQ(ReadBack(u"not xml at all"), u"(none)");
  EXPECT_EQ(ReadBack(u"<call name=\"f\"/>"), u"(none)");
  EXPECT_EQ(ReadBack(u"<invoke returntype=\"xml\"><arguments/></invoke>"), u"(none)");
  EXPECT_EQ(ReadBack(u"<invoke name=\"\"/>"), u"(none)");
  // Letter case counts, as everywhere in the call protocol.
  EXPECT_EQ(ReadBack(u"<Invoke name=\"f\"/>"), u"(none)");
}

TEST(PlayerHostRequest, ToleratesOddShapes) {
  // No arguments element, an empty one, unknown values, properties without ids.
  EXPECT_EQ(ReadBack(u"<invoke name=\"f\"/>"), InvokeRequestXml(u"f", {}));
  EXPECT_EQ(ReadBack(u"<invoke name=\"f\"><arguments/></invoke>"), InvokeRequestXml(u"f", {}));
  EXPECT_EQ(ReadBack(u"<invoke name=\"f\"><arguments><date>1</date><string>s</string></arguments></invoke>"),
            InvokeRequestXml(u"f", {V::Undefined(), V::String(u"s")}));
  // Array items go to their ids; holes are undefined; bad ids are dropped.
  EXPECT_EQ(ReadBack(u"<invoke name=\"f\"><arguments><array><property id=\"2\"><true/></property>"
                     u"<property id=\"x\"><false/></property><property id=\"0\"><null/></property>"
                     u"<property id=\"99999999\"><null/></property></array></arguments></invoke>"),
            InvokeRequestXml(u"f", {V::Array({V::Null(), V::Undefined(), V::Boolean(true)})}));
  // A property with no value is undefined.
  EXPECT_EQ(ReadBack(u"<invoke name=\"f\"><arguments><object><property id=\"k\"/></object></arguments></invoke>"),
            InvokeRequestXml(u"f", {V::Object({{u"k", V::Undefined()}})}));
  // A second invoke is not looked at; leading text and comments are skipped.
  EXPECT_EQ(ReadBack(u"<!-- c --><invoke name=\"a\"/><invoke name=\"b\"/>"), InvokeRequestXml(u"a", {}));
  // An unclosed request still names its call.
  auto unclosed = ParseInvokeRequest(u"<invoke name=\"f\"><arguments><string>x</string>");
  ASSERT_TRUE(unclosed);
  EXPECT_EQ(unclosed->name, u"f");
}

TEST(PlayerHostRequest, DeepNestingIsCutNotFollowed) {
  std::u16string open, close;
  for (int i = 0; i < 5000; ++i) {
    open += u"<array><property id=\"0\">";
    close += u"</property></array>";
  }
  auto call =
      ParseInvokeRequest(u"<invoke name=\"f\"><arguments>" + open + u"<true/>" + close + u"</arguments></invoke>");
  ASSERT_TRUE(call);
  int depth = 0;
  const V* value = &call->arguments.at(0);
  while (value->kind == V::Kind::Array && !value->items.empty()) {
    value = &value->items[0];
    ++depth;
  }
  EXPECT_EQ(depth, kMaxValueDepth);
  EXPECT_EQ(value->kind, V::Kind::Undefined);
}

TEST(PlayerScriptLiteral, StringsAreAsciiAndCannotEscape) {
  EXPECT_EQ(JsString(u"plain"), "\"plain\"");
  EXPECT_EQ(JsString(u"q\"b\\"), "\"q\\\"b\\\\\"");
  EXPECT_EQ(JsString(u"\n\r\t\x01"), "\"\\u000A\\u000D\\u0009\\u0001\"");
  EXPECT_EQ(JsString(u"</script>\u2028中"), "\"</script>\\u2028\\u4E2D\"");
  std::u16string lone(1, char16_t(0xD800));
  EXPECT_EQ(JsString(lone), "\"\\uD800\"");
  EXPECT_EQ(JsString(u"\x7F"), "\"\\u007F\"");
}

TEST(PlayerScriptLiteral, ValuesAndObjectsThroughTheMaker) {
  EXPECT_EQ(JsValue(V::Undefined(), "O"), "undefined");
  EXPECT_EQ(JsValue(V::Null(), "O"), "null");
  EXPECT_EQ(JsValue(V::Number(-1.5), "O"), "(-1.5)");
  EXPECT_EQ(JsValue(V::Number(-0.0), "O"), "-0");
  EXPECT_EQ(JsValue(V::Number(std::nan("")), "O"), "NaN");
  EXPECT_EQ(JsValue(V::Number(-INFINITY), "O"), "(-Infinity)");
  EXPECT_EQ(JsValue(V::Number(1e21), "O"), "1e+21");
  EXPECT_EQ(JsValue(V::Array({V::Boolean(true), V::Undefined()}), "O"), "[true,undefined]");
  EXPECT_EQ(JsValue(V::Object({{u"__proto__", V::Number(1)}, {u"k", V::Object()}}), "O"),
            "O([[\"__proto__\",1],[\"k\",O([])]])");
}

TEST(PlayerMovieAddress, AbsoluteAddressesStandAsTheyAre) {
  EXPECT_EQ(ResolveMovieAddress(u"http://res.example/x/GameLoader_1.0.3.swf", u""),
            "http://res.example/x/GameLoader_1.0.3.swf");
  EXPECT_EQ(ResolveMovieAddress(u"  HTTPS://Res.Example:8443/a.swf?v=1 ", u"http://other/"),
            "https://Res.Example:8443/a.swf?v=1");
}

TEST(PlayerMovieAddress, RelativeAddressesResolveAgainstThePage) {
  std::u16string page = u"http://127.0.0.1:8310/game/play/108/17?ismicroclient=yes";
  EXPECT_EQ(ResolveMovieAddress(u"GameLoader_1.0.3.swf", page),
            "http://127.0.0.1:8310/game/play/108/GameLoader_1.0.3.swf");
  EXPECT_EQ(ResolveMovieAddress(u"RES/GameLoader_.swf", page),
            "http://127.0.0.1:8310/game/play/108/RES/GameLoader_.swf");
  EXPECT_EQ(ResolveMovieAddress(u"/movies/a.swf", page), "http://127.0.0.1:8310/movies/a.swf");
  EXPECT_EQ(ResolveMovieAddress(u"../a.swf", page), "http://127.0.0.1:8310/game/play/a.swf");
  EXPECT_EQ(ResolveMovieAddress(u"//cdn.example/a.swf", page), "http://cdn.example/a.swf");
  EXPECT_EQ(ResolveMovieAddress(u"?v=2", page), "http://127.0.0.1:8310/game/play/108/17?v=2");
}

TEST(PlayerMovieAddress, CharactersAnAddressCannotHoldAreEncoded) {
  EXPECT_EQ(ResolveMovieAddress(u"http://h/游戏 1.swf", u""), "http://h/%E6%B8%B8%E6%88%8F%201.swf");
  EXPECT_EQ(ResolveMovieAddress(u"a b.swf", u"http://h/dir/"), "http://h/dir/a%20b.swf");
  // Escapes stay escapes (those of plain letters may be written plainly).
  EXPECT_EQ(ResolveMovieAddress(u"x%2F%26.swf", u"http://h/"), "http://h/x%2F%26.swf");
  EXPECT_EQ(ResolveMovieAddress(u"x%41.swf", u"http://h/"), "http://h/xA.swf");
}

TEST(PlayerMovieAddress, OnlyWebAddressesAreLoaded) {
  EXPECT_EQ(ResolveMovieAddress(u"GameLoader_.swf", u""), std::nullopt);
  EXPECT_EQ(ResolveMovieAddress(u"GameLoader_.swf", u"res://zarek.exe/208"), std::nullopt);
  EXPECT_EQ(ResolveMovieAddress(u"file:///etc/passwd", u"http://h/"), std::nullopt);
  EXPECT_EQ(ResolveMovieAddress(u"javascript:alert(1)", u"http://h/"), std::nullopt);
  EXPECT_EQ(ResolveMovieAddress(u"tessary-player://player/bridge.html", u"http://h/"), std::nullopt);
  EXPECT_EQ(ResolveMovieAddress(u"http:///x.swf", u""), std::nullopt);
  EXPECT_EQ(ResolveMovieAddress(u"   ", u"http://h/"), std::nullopt);
  EXPECT_EQ(ResolveMovieAddress(u"C:\\games\\a.swf", u"http://h/"), std::nullopt);
}

TEST(PlayerScriptAccess, FollowsTheFlashPlayersValues) {
  std::u16string page = u"http://127.0.0.1:8310/game/play/108/17";
  EXPECT_TRUE(MovieMayCallHost(u"always", "http://elsewhere/a.swf", page));
  EXPECT_TRUE(MovieMayCallHost(u"ALWAYS", "http://elsewhere/a.swf", u""));
  EXPECT_FALSE(MovieMayCallHost(u"never", "http://127.0.0.1:8310/a.swf", page));
  EXPECT_TRUE(MovieMayCallHost(u"sameDomain", "http://127.0.0.1:8310/r/a.swf", page));
  EXPECT_TRUE(MovieMayCallHost(u"samedomain", "HTTP://127.0.0.1:8310/a.swf", page));
  EXPECT_FALSE(MovieMayCallHost(u"sameDomain", "http://127.0.0.1:8311/a.swf", page));
  EXPECT_FALSE(MovieMayCallHost(u"sameDomain", "https://127.0.0.1:8310/a.swf", page));
  EXPECT_FALSE(MovieMayCallHost(u"sameDomain", "http://localhost:8310/a.swf", page));
  EXPECT_TRUE(MovieMayCallHost(u"", "http://h/a.swf", u"http://h:80/page"));
  EXPECT_FALSE(MovieMayCallHost(u"sameDomain", "http://h/a.swf", u""));
}

TEST(PlayerFiles, ServesOnlyPlainFilesOfTheFolder) {
  auto folder = std::filesystem::temp_directory_path() / ("player-files-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder / "sub");
  std::ofstream(folder / "bridge.html") << "x";
  std::ofstream(folder / ".hidden") << "x";
  std::ofstream(folder / "sub" / "a.js") << "x";
  EXPECT_EQ(PlayerFileForPath(folder, "/bridge.html"), folder / "bridge.html");
  EXPECT_EQ(PlayerFileForPath(folder, "/missing.js"), std::nullopt);
  EXPECT_EQ(PlayerFileForPath(folder, "/.hidden"), std::nullopt);
  EXPECT_EQ(PlayerFileForPath(folder, "/sub/a.js"), std::nullopt);
  EXPECT_EQ(PlayerFileForPath(folder, "/sub"), std::nullopt);
  EXPECT_EQ(PlayerFileForPath(folder, "/../etc/passwd"), std::nullopt);
  EXPECT_EQ(PlayerFileForPath(folder, "/.."), std::nullopt);
  EXPECT_EQ(PlayerFileForPath(folder, "/bridge.html%00"), std::nullopt);
  EXPECT_EQ(PlayerFileForPath(folder, "bridge.html"), std::nullopt);
  EXPECT_EQ(PlayerFileForPath(folder, "/"), std::nullopt);
  EXPECT_EQ(PlayerFileForPath({}, "/bridge.html"), std::nullopt);
  std::filesystem::remove_all(folder);

  EXPECT_EQ(PlayerFileContentType("72a20ef1c0b8ceb37720.wasm"), "application/wasm");
  EXPECT_EQ(PlayerFileContentType("core.ruffle.c801.js"), "text/javascript; charset=utf-8");
  EXPECT_EQ(PlayerFileContentType("bridge.html"), "text/html; charset=utf-8");
  EXPECT_EQ(PlayerFileContentType("LICENSE_MIT"), "application/octet-stream");
}

TEST(PlayerLoadScript, CarriesEveryProperty) {
  MovieSettings settings;
  settings.address = "http://h/a.swf?x=\"1\"";
  settings.flashVars = u"a=1&b=中";
  settings.menu = false;
  settings.allowFullScreen = true;
  settings.scriptAccess = true;
  settings.wmode = u"Direct";
  settings.background = 0x000000;
  EXPECT_EQ(MovieLoadScript(7, settings),
            "tessaryPlayer.load(7,{url:\"http://h/a.swf?x=\\\"1\\\"\",base:\"http://h/a.swf?x=\\\"1\\\"\","
            "parameters:\"a=1&b=\\u4E2D\",allowScriptAccess:true,allowFullscreen:true,wmode:\"direct\","
            "backgroundColor:\"#000000\",menu:false,contextMenu:\"off\"})");
  settings.wmode = u"bogus";
  settings.background = std::nullopt;
  settings.menu = true;
  EXPECT_NE(MovieLoadScript(7, settings).find("wmode:\"window\",backgroundColor:null,menu:true,contextMenu:\"on\""),
            std::string::npos);
  settings.background = 0x123456;
  EXPECT_NE(MovieLoadScript(7, settings).find("\"#123456\""), std::string::npos);
}

}  // namespace
}  // namespace platform::gtk
