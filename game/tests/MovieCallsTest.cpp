// The movie call protocol: the walk over a request, the four commands and
// the trace written piece by piece.

#include <gtest/gtest.h>

#include "game/MovieCalls.h"
#include "game/MovieLoading.h"
#include "game/QueryParameters.h"

using namespace game;

namespace {

class Recorder final : public MovieCommands {
 public:
  void Reload() override { events.push_back(u"reload"); }
  void SetReloadTips(const std::u16string& text) override { events.push_back(u"tips:" + text); }
  void SetWindowMax() override { events.push_back(u"max"); }
  void Disconnection() override { events.push_back(u"disconnect"); }
  void Trace(const std::u16string& piece) override {
    pieces.push_back(piece);
    trace += piece;
  }
  std::vector<std::u16string> events;
  std::vector<std::u16string> pieces;
  std::u16string trace;
};

std::u16string Invoke(const std::u16string& name, const std::u16string& arguments = u"") {
  return u"<invoke name=\"" + name + u"\" returntype=\"xml\"><arguments>" + arguments + u"</arguments></invoke>";
}

TEST(MovieCalls, ReloadTracesTheRequestAndTheCommandOnly) {
  Recorder r;
  const std::u16string request = Invoke(u"reload");
  OnFlashCall(request, r);
  EXPECT_EQ(r.events, std::vector<std::u16string>{u"reload"});
  EXPECT_EQ(r.pieces, (std::vector<std::u16string>{request, u"\nFlash刷新!!!!!!!!"}));
}

TEST(MovieCalls, SetReloadTipsSetsTheRawTextAndWalksOn) {
  Recorder r;
  const std::u16string request = Invoke(u"setReloadTips", u"<string>a&amp;b</string>");
  OnFlashCall(request, r);
  EXPECT_EQ(r.events, std::vector<std::u16string>{u"tips:a&amp;b"});
  EXPECT_EQ(r.trace, request + u"\n收到Flash方的信息!!!!!!!!" + u"  name=setReloadTips  returntype=xml  " +
                         u"Tag(invoke) = \n" + u"  Tag(arguments) = \n" + u"  Tag(string) = a&b\n");
}

TEST(MovieCalls, TracePiecesAreSeparate) {
  Recorder r;
  OnFlashCall(u"<a x=\"1\">t</a>", r);
  EXPECT_EQ(r.pieces, (std::vector<std::u16string>{u"<a x=\"1\">t</a>", u"  ", u"x", u"=", u"1", u"  ", u"Tag(a) = ",
                                                   u"t", u"\n"}));
}

TEST(MovieCalls, TipsKeepOtherMarkupAndRemoveEveryTagSequence) {
  EXPECT_EQ(ReloadTipsText(u"<arguments><string>x</string></arguments>"), u"x");
  EXPECT_EQ(ReloadTipsText(u"<arguments><number>5</number></arguments>"), u"<arguments><number>5</number></arguments>");
  EXPECT_EQ(ReloadTipsText(u"<arguments><string>a</string><string>b</string></arguments>"), u"a</string><string>b");
  EXPECT_EQ(ReloadTipsText(u"<arguments><string>1<arguments><string>2</string></arguments>"), u"12");
}

TEST(MovieCalls, CommandNamesAreCaseSensitive) {
  Recorder r;
  OnFlashCall(Invoke(u"Reload") + Invoke(u"SETWINDOWMAX") + Invoke(u"disconnection "), r);
  EXPECT_TRUE(r.events.empty());
  EXPECT_NE(r.trace.find(u"name=Reload"), std::u16string::npos);
}

TEST(MovieCalls, SiblingInvokesRunInOrderUntilAnEndingCommand) {
  Recorder r;
  OnFlashCall(
      u"<r>" + Invoke(u"setReloadTips", u"<string>q</string>") + Invoke(u"setWindowMax") + Invoke(u"reload") + u"</r>",
      r);
  EXPECT_EQ(r.events, (std::vector<std::u16string>{u"tips:q", u"max"}));
}

TEST(MovieCalls, NestedInvokeEndsOnlyItsOwnLevel) {
  Recorder r;
  OnFlashCall(u"<outer><inner>" + Invoke(u"reload") + Invoke(u"setWindowMax") + u"</inner><after/></outer>" +
                  Invoke(u"disconnection"),
              r);
  // reload ends the inner level (setWindowMax is skipped); <after> and the
  // top-level disconnection still run.
  EXPECT_EQ(r.events, (std::vector<std::u16string>{u"reload", u"disconnect"}));
  EXPECT_NE(r.trace.find(u"Tag(after)"), std::u16string::npos);
}

TEST(MovieCalls, BrokenAndHostileRequestsAreWalkedWithoutHarm) {
  Recorder r;
  OnFlashCall(u"", r);
  OnFlashCall(u"<invoke name=\"reload\"", r);
  OnFlashCall(u"<<<>>>&&&", r);
  std::u16string deep;
  for (int i = 0; i < 100000; ++i) deep += u"<a>";
  deep += Invoke(u"setWindowMax");
  OnFlashCall(deep, r);
  EXPECT_EQ(r.events.back(), u"max");
}

TEST(MovieLoading, LoaderAddressFromTheParameters) {
  EXPECT_EQ(LoaderMovieAddress(u"a=1&serverid=5&mainVersion=1.0.3&resourceHost=RES/&b=2"), u"RES/GameLoader_1.0.3.swf");
  EXPECT_EQ(LoaderMovieAddress(u"mainVersion=1.0.3&resourceHost=R/&x"), std::nullopt);
  EXPECT_EQ(LoaderMovieAddress(u"a&resourceHost=R/&mainVersion=1.0.3"), u"R/GameLoader_.swf");
  EXPECT_EQ(LoaderMovieAddress(u"&mainVersion=2&x"), u"GameLoader_2.swf");  // key at index 0 counts
  EXPECT_EQ(LoaderMovieAddress(u"&resourceHost=R/&mainVersion=2&x"), u"GameLoader_2.swf");
}

TEST(QueryParameters, KeysNeedTheirAmpersandAndValuesTheirEnd) {
  EXPECT_EQ(QueryValue(u"x=1&serverid=17&gameaddress=S1&y=2", u"&serverid="), u"17");
  EXPECT_EQ(QueryValue(u"x=1&serverid=17", u"&serverid="), u"");
  EXPECT_EQ(QueryValue(u"serverid=17&x", u"&serverid="), std::nullopt);
  EXPECT_EQ(QueryValue(u"&serverid=17&x", u"&serverid="), std::nullopt);
  EXPECT_EQ(QueryValue(u"&serverid=17&x", u"&serverid=", KeyAtStart::Counts), u"17");
  EXPECT_EQ(QueryValue(u"x&ServerId=1&", u"&serverid="), std::nullopt);
  EXPECT_EQ(QueryValue(u"x&serverid=&", u"&serverid="), u"");
}

}  // namespace
