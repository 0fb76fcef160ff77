// The movie player on the real backend: Ruffle in its web view inside a
// window of the GTK backend, playing the test movie (movies/PlayerTest)
// from a local server. The movie's calls must arrive as the Flash player's
// exact request strings, whatever their names; the host's calls must reach
// the movie's callbacks; players come and go as the game window makes them.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/Text.h"
#include "platform/gtk/GtkDialogWindow.h"
#include "platform/gtk/GtkPlatform.h"
#include "platform/gtk/RufflePlayer.h"
#include "platform/gtk/player/InvokeXml.h"
#include "platform/gtk/player/MovieSession.h"
#include "platform/gtk/player/PlayerFiles.h"
#include "platform/gtk/tests/PlayerTestSupport.h"

namespace {

using namespace player_test;
using namespace platform;

constexpr int kPlayerId = 1001;
// The test movie's stage is 400 x 300: shown one to one here.
constexpr Rect kPlayerRect{3, 29, 403, 329};
constexpr unsigned kMovieGreen = 0x2E7D32;  // the movie's box, stage (20, 20) to (380, 140)

struct Call {
  int controlId;
  std::string request;
};

std::string Request(const std::string& name, const std::string& arguments) {
  return "<invoke name=\"" + name + "\" returntype=\"xml\"><arguments>" + arguments + "</arguments></invoke>";
}

// The game window's part: it records what its player tells it.
class GameWindow final : public WindowHandler {
 public:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    return window()->DefaultProc(message, wParam, lParam);
  }
  bool PreTranslateMessage(const Msg& msg) override {
    if (msg.message != WM_RBUTTONDOWN) return false;
    rightClicks.push_back(msg);
    return true;  // the game window keeps right clicks from the movie
  }
  void OnFlashCall(int controlId, const std::u16string& request) override {
    calls.push_back({controlId, base::ToUtf8(request)});
    if (onCall) onCall(calls.back().request);
  }
  void OnReadyStateChange(int controlId, std::int32_t state) override { states.emplace_back(controlId, state); }

  bool Called(const std::string& name) const {
    for (const Call& call : calls) {
      if (call.request.rfind("<invoke name=\"" + name + "\"", 0) == 0) return true;
    }
    return false;
  }

  std::vector<Call> calls;
  std::vector<std::pair<int, std::int32_t>> states;
  std::vector<Msg> rightClicks;
  std::function<void(const std::string&)> onCall;
};

class RufflePlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform.CreateDialogWindow(WindowSpec{131, nullptr, WS_POPUP, 0, false}, game));
    game.window()->SetPosition(0, 0);
    game.window()->Show(SW_SHOW);
    player = game.window()->CreatePlayer(kPlayerId, kPlayerRect);
    ASSERT_NE(player, nullptr);
  }
  void TearDown() override {
    player.reset();
    if (game.window()) game.window()->Destroy();
    RunFor(100);
  }

  // As the game loads its movie: properties, then the movie, then Play.
  void Load(const std::string& flashVars, const std::string& address = "/PlayerTest.swf") {
    player->SetMenu(false);
    player->SetAllowFullScreen(u"true");
    player->SetAllowScriptAccess(u"always");
    player->SetWMode(u"direct");
    player->SetBackgroundColor(0);
    player->SetFlashVars(base::FromUtf8(flashVars));
    player->SetBaseAddress(base::FromUtf8(MoviesBase() + "/game/play/108/17?ismicroclient=yes&x=1"));
    player->LoadMovie(0, base::FromUtf8(address));
    player->Play();
    player->Show(SW_SHOW);
  }

  std::optional<std::string> CallMovie(const std::string& request) {
    auto answer = player->CallFunction(base::FromUtf8(request));
    if (!answer) return std::nullopt;
    return base::ToUtf8(*answer);
  }

  WebKitWebView* View() const { return ViewIn(static_cast<gtk::RufflePlayer*>(player.get())->Widget()); }
  // Notes every audio context that feeds its output (each does, every few
  // hundred milliseconds, while it runs) in window.testContexts.
  void WatchAudioContexts() const {
    ASSERT_EQ(EvaluateJson(View(),
                           "(() => { const seen = window.testContexts = new Set();"
                           " const make = AudioContext.prototype.createBufferSource;"
                           " AudioContext.prototype.createBufferSource = function () {"
                           " seen.add(this); return make.call(this); };"
                           " return true; })()"),
              "true");
  }

  gtk::GtkPlatform platform;
  GameWindow game;
  std::unique_ptr<PlayerControl> player;
};

// The absolute address of the test movie, the way a hand-over would name it.
std::string MovieAddress() { return MoviesBase() + "/PlayerTest.swf"; }

TEST_F(RufflePlayerTest, TheMoviesCallsArriveAsTheFlashPlayersRequestStrings) {
  // A relative address resolves against the page the parameters came from:
  // "../../../PlayerTest.swf" from /game/play/108/17 is /PlayerTest.swf.
  Load("tag=types&script=types", "../../../PlayerTest.swf");
  ASSERT_TRUE(RunUntil([&] { return game.Called("done"); }));

  std::vector<std::string> expected{
      Request("ready", "<string>types</string>"),
      Request("types.string",
              "<string>plain</string><string>a&amp;b&lt;c&gt;&quot;d&apos;e</string><string></string>"
              "<string>中文 ✓</string><string> two  spaces </string>"),
      Request("types.number",
              "<number>0</number><number>1</number><number>-2</number><number>1.5</number><number>0.1</number>"
              "<number>-0.25</number><number>1e+21</number><number>1.5e-7</number><number>123456789012</number>"
              "<number>NaN</number><number>Infinity</number><number>-Infinity</number>"),
      Request("types.bool", "<true/><false/>"),
      Request("types.empty", "<null/><undefined/>"),
      Request("types.array",
              "<array><property id=\"0\"><number>1</number></property><property id=\"1\"><string>two</string>"
              "</property><property id=\"2\"><array><property id=\"0\"><true/></property><property id=\"1\">"
              "<null/></property></array></property></array><array></array>"),
      Request("types.object",
              "<object><property id=\"inner\"><object><property id=\"k&lt;&amp;&gt;\"><string>v&quot;&apos;"
              "</string></property></object></property></object><object></object>"),
      Request("types.noargs", ""),
      Request("done", "")};
  ASSERT_EQ(game.calls.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(game.calls[i].controlId, kPlayerId);
    EXPECT_EQ(game.calls[i].request, expected[i]) << "call " << i;
  }
  // The load events came first: the movie started (3), then it had loaded (4).
  ASSERT_GE(game.states.size(), 2u);
  EXPECT_EQ(game.states[0], std::make_pair(kPlayerId, 3));
  EXPECT_EQ(game.states[1], std::make_pair(kPlayerId, 4));
}

TEST_F(RufflePlayerTest, EveryNameTheMovieCallsReachesTheHostUnevaluated) {
  Load("tag=names");
  ASSERT_TRUE(RunUntil([&] { return game.Called("ready"); }));
  const std::vector<std::string> names{"reload",
                                       "setWindowMax",
                                       "no such.name(x)",
                                       "alert",
                                       "window.close",
                                       "document.title='taken'",
                                       "a\"b'c<d>&e",
                                       "})();throw 1;(function(){",
                                       "",
                                       "中文",
                                       "toString",
                                       "Function"};
  for (const std::string& name : names) {
    std::string request = base::ToUtf8(gtk::InvokeRequestXml(
        u"callHost", {gtk::ExternalValue::String(base::FromUtf8(name)),
                      gtk::ExternalValue::Array({gtk::ExternalValue::Number(1), gtk::ExternalValue::String(u"a&b")})}));
    EXPECT_EQ(CallMovie(request), "<string>called</string>") << name;
  }
  ASSERT_TRUE(RunUntil([&] { return game.calls.size() == 1 + names.size(); }));
  for (std::size_t i = 0; i < names.size(); ++i) {
    std::string escaped = base::ToUtf8(gtk::EscapeXml(base::FromUtf8(names[i])));
    EXPECT_EQ(game.calls[1 + i].request, Request(escaped, "<number>1</number><string>a&amp;b</string>"));
  }
  // None of the names ran as script in the page.
  EXPECT_EQ(EvaluateJson(View(), "document.title"), "\"Tessary movie player\"");
  EXPECT_EQ(EvaluateJson(View(), "typeof window.close"), "\"function\"");
}

TEST_F(RufflePlayerTest, TheHostsCallReachesTheMovieAndReturnsItsAnswer) {
  Load("tag=answers");
  ASSERT_TRUE(RunUntil([&] { return game.Called("ready"); }));

  EXPECT_EQ(CallMovie(Request("flashSetting", "<string>display</string>")), "<string>shown display</string>");
  // Values go to the movie and come back unchanged.
  for (const std::string& value :
       {std::string("<string>a&amp;b&lt;&gt;&quot;&apos; 中</string>"), std::string("<string></string>"),
        std::string("<number>1.5</number>"), std::string("<number>-1e-7</number>"), std::string("<number>NaN</number>"),
        std::string("<true/>"), std::string("<false/>"), std::string("<null/>"), std::string("<undefined/>"),
        std::string("<array><property id=\"0\"><string>x</string></property><property id=\"1\"><array>"
                    "</array></property></array>"),
        std::string("<object><property id=\"k&amp;\"><number>2</number></property></object>")}) {
    EXPECT_EQ(CallMovie(Request("echo", value)), value);
  }
  EXPECT_EQ(CallMovie(Request("echoAll", "<number>1</number><string>b</string>")),
            "<array><property id=\"0\"><number>1</number></property><property id=\"1\"><string>b</string>"
            "</property><property id=\"2\"><undefined/></property></array>");
}

TEST_F(RufflePlayerTest, AMissingOrFailingCallbackGivesNoAnswer) {
  // Before any movie there is nothing to call.
  EXPECT_EQ(CallMovie(Request("flashSetting", "<string>display</string>")), std::nullopt);
  Load("tag=missing");
  ASSERT_TRUE(RunUntil([&] { return game.Called("ready"); }));

  EXPECT_EQ(CallMovie(Request("nothingHere", "")), std::nullopt);
  EXPECT_EQ(CallMovie(Request("boom", "")), std::nullopt);
  // The player element's own members are not the movie's callbacks.
  for (const char* member : {"play", "load", "toString", "constructor", "__proto__", "remove"}) {
    EXPECT_EQ(CallMovie(Request(member, "")), std::nullopt) << member;
  }
  EXPECT_EQ(CallMovie("not a request"), std::nullopt);
  EXPECT_EQ(CallMovie("<invoke returntype=\"xml\"/>"), std::nullopt);
  // The movie still answers afterwards.
  EXPECT_EQ(CallMovie(Request("flashSetting", "<string>display</string>")), "<string>shown display</string>");
}

TEST_F(RufflePlayerTest, AnAnswerThatTakesTooLongIsNotAwaited) {
  Load("tag=slow");
  ASSERT_TRUE(RunUntil([&] { return game.Called("ready"); }));
  static_assert(gtk::MovieSession::kCallTimeoutMs < 7000);
  EXPECT_EQ(CallMovie(Request("spin", "<number>7000</number>")), std::nullopt);
  // The late answer does not stand in for the next one.
  EXPECT_EQ(CallMovie(Request("flashSetting", "<string>display</string>")), "<string>shown display</string>");
  EXPECT_EQ(CallMovie(Request("spin", "<number>10</number>")), "<string>spun</string>");
}

TEST_F(RufflePlayerTest, StopHaltsTheMovieAndPlayResumesIt) {
  Load("tag=frames");
  ASSERT_TRUE(RunUntil([&] { return game.Called("ready"); }));
  auto frames = [&] { return std::stod(CallMovie(Request("frames", "")).value_or("<number>-1</number>").substr(8)); };
  EXPECT_TRUE(RunUntil([&] { return frames() > 0; }, 10000));
  player->Stop();
  RunFor(200);
  double stopped = frames();
  RunFor(400);
  EXPECT_EQ(frames(), stopped);
  player->Play();
  EXPECT_TRUE(RunUntil([&] { return frames() > stopped; }, 10000));
}

TEST_F(RufflePlayerTest, OutOfSightTheMovieRunsUndrawnAndAnswersAndShowsAgainAtOnce) {
  Load("tag=frames");
  ASSERT_TRUE(RunUntil([&] { return game.Called("ready"); }));
  auto frames = [&] { return std::stod(CallMovie(Request("frames", "")).value_or("<number>-1</number>").substr(8)); };
  ASSERT_TRUE(RunUntil([&] { return frames() > 0; }, 10000));
  GtkWidget* widget = static_cast<gtk::RufflePlayer*>(player.get())->Widget();
  GtkWidget* top = gtk_widget_get_toplevel(widget);
  // As a window manager reports a minimised window: GTK keeps it mapped.
  auto iconify = [&](bool iconified) {
    GdkEvent* event = gdk_event_new(GDK_WINDOW_STATE);
    event->window_state.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(top)));
    event->window_state.changed_mask = GDK_WINDOW_STATE_ICONIFIED;
    event->window_state.new_window_state = iconified ? GDK_WINDOW_STATE_ICONIFIED : GdkWindowState{};
    gtk_main_do_event(event);
    gdk_event_free(event);
  };
  struct Way {
    const char* name;
    std::function<void()> away, back;
  };
  // The movie plays no sound: out of sight its sound output pauses, and
  // runs again when the window comes back.
  ASSERT_NO_FATAL_FAILURE(WatchAudioContexts());
  auto sound = [&] {
    return EvaluateJson(View(), "[...window.testContexts].filter((c) => c.state !== 'closed').map((c) => c.state)");
  };
  for (const Way& way :
       {Way{"hidden in the tray", [&] { game.window()->Show(SW_HIDE); }, [&] { game.window()->Show(SW_SHOW); }},
        Way{"minimised", [&] { iconify(true); }, [&] { iconify(false); }}}) {
    SCOPED_TRACE(way.name);
    way.away();
    ASSERT_TRUE(RunUntil([&] { return EvaluateJson(View(), "document.hidden") == "true"; }, 5000));
    EXPECT_TRUE(RunUntil([&] { return sound() == "[\"suspended\"]"; }, 5000)) << sound();
    // The movie plays on, and the host's calls get their answers.
    double before = frames();
    EXPECT_TRUE(RunUntil([&] { return frames() > before; }, 10000));
    EXPECT_EQ(CallMovie(Request("flashSetting", "<string>display</string>")), "<string>shown display</string>");
    EXPECT_EQ(CallMovie(Request("echo", "<number>17</number>")), "<number>17</number>");

    way.back();
    EXPECT_TRUE(RunUntil([&] { return EvaluateJson(View(), "document.hidden") == "false"; }, 5000));
    EXPECT_TRUE(RunUntil([&] { return sound() == "[\"running\"]"; }, 2000)) << sound();
    EXPECT_TRUE(RunUntil(
        [&] {
          int x = 0, y = 0;
          ScreenOrigin(widget, x, y);
          GdkPixbuf* screen = ScreenShot();
          bool drawn = PixelAt(screen, x + 200, y + 130) == kMovieGreen;
          g_object_unref(screen);
          return drawn;
        },
        2000));
    double shown = frames();
    EXPECT_TRUE(RunUntil([&] { return frames() > shown; }, 5000));
  }
}

TEST_F(RufflePlayerTest, StopThenDestroyLeavesNothingRunning) {
  Load("tag=ticks&ticks=1");
  ASSERT_TRUE(RunUntil([&] { return game.Called("tick"); }));
  WebKitWebView* view = View();
  g_object_add_weak_pointer(G_OBJECT(view), reinterpret_cast<gpointer*>(&view));

  player->Stop();
  player.reset();
  std::size_t seen = game.calls.size();
  RunFor(600);
  EXPECT_EQ(game.calls.size(), seen);
  // The player's page went with it, and its web process with the view.
  EXPECT_TRUE(RunUntil([&] { return view == nullptr; }, 5000));
  if (view) g_object_remove_weak_pointer(G_OBJECT(view), reinterpret_cast<gpointer*>(&view));

  // A new player in the same window plays again.
  game.calls.clear();
  player = game.window()->CreatePlayer(kPlayerId, kPlayerRect);
  Load("tag=again");
  ASSERT_TRUE(RunUntil([&] { return game.Called("ready"); }));
  RunFor(300);
  ASSERT_EQ(game.calls.size(), 1u);
  EXPECT_EQ(game.calls[0].request, Request("ready", "<string>again</string>"));
}

TEST_F(RufflePlayerTest, APlayerDestroyedWhileItsMovieLoadsLeavesNothingRunning) {
  for (int i = 0; i < 3; ++i) {
    Load("tag=early&ticks=1");
    RunFor(i * 40);
    player.reset();
    player = game.window()->CreatePlayer(kPlayerId, kPlayerRect);
  }
  Load("tag=last");
  ASSERT_TRUE(RunUntil([&] { return game.Called("ready"); }));
  // Every running audio context feeds its output a buffer every few hundred
  // milliseconds: noted so, those left running can be counted at the end.
  ASSERT_NO_FATAL_FAILURE(WatchAudioContexts());
  RunFor(1000);
  ASSERT_EQ(game.calls.size(), 1u);
  EXPECT_EQ(game.calls[0].request, Request("ready", "<string>last</string>"));
  EXPECT_EQ(EvaluateJson(View(), "document.querySelectorAll('ruffle-player:not(.warming)').length"), "1");
  // Only the last player's sound output runs (the warm-up's and the
  // destroyed players' were closed).
  EXPECT_EQ(EvaluateJson(View(), "[...window.testContexts].filter((c) => c.state !== 'closed').length"), "1");
}

TEST_F(RufflePlayerTest, AReloadShowsNothingOfTheOldMovie) {
  Load("tag=one");
  ASSERT_TRUE(RunUntil([&] { return game.Called("ready"); }));
  GtkWidget* frame = static_cast<gtk::RufflePlayer*>(player.get())->Widget();
  WebKitWebView* view = View();
  player.reset();
  EXPECT_FALSE(gtk_widget_get_visible(frame));  // the old movie is out of sight at once

  game.calls.clear();
  player = game.window()->CreatePlayer(kPlayerId, kPlayerRect);
  EXPECT_NE(View(), view);  // a page of its own
  frame = static_cast<gtk::RufflePlayer*>(player.get())->Widget();
  EXPECT_FALSE(gtk_widget_get_visible(frame));  // shown only when the window says so
  // Shown at once, it shows nothing of the old movie.
  player->Show(SW_SHOW);
  for (int i = 0; i < 20; ++i) g_main_context_iteration(nullptr, FALSE);
  int x = 0, y = 0;
  ScreenOrigin(frame, x, y);
  GdkPixbuf* screen = ScreenShot();
  EXPECT_NE(PixelAt(screen, x + 200, y + 130), kMovieGreen);
  g_object_unref(screen);
  Load("tag=two");
  ASSERT_TRUE(RunUntil([&] { return game.Called("ready"); }));
  EXPECT_EQ(game.calls[0].request, Request("ready", "<string>two</string>"));
}

TEST_F(RufflePlayerTest, TheHandlerMayDestroyThePlayerDuringACall) {
  game.onCall = [&](const std::string& request) {
    if (request.find("\"ready\"") != std::string::npos) player.reset();
  };
  Load("tag=gone&script=types&ticks=1");
  ASSERT_TRUE(RunUntil([&] { return game.Called("ready"); }));
  RunFor(600);
  // Nothing of the destroyed player's movie arrives after its first call.
  EXPECT_EQ(game.calls.size(), 1u);
  EXPECT_EQ(player, nullptr);

  game.onCall = nullptr;
  player = game.window()->CreatePlayer(kPlayerId, kPlayerRect);
  Load("tag=after");
  ASSERT_TRUE(RunUntil([&] { return game.Called("ready") && game.calls.size() == 2; }));
}

TEST_F(RufflePlayerTest, AHandlerCallingBackDuringAnAnswerWaitsItsTurn) {
  // The movie's own calls made while the host waits for an answer reach the
  // host after that answer, not inside it.
  Load("tag=nested");
  ASSERT_TRUE(RunUntil([&] { return game.Called("ready"); }));
  bool answered = false;
  game.onCall = [&](const std::string&) { EXPECT_TRUE(answered); };
  std::string request = base::ToUtf8(
      gtk::InvokeRequestXml(u"callHost", {gtk::ExternalValue::String(u"inner"), gtk::ExternalValue::Array()}));
  EXPECT_EQ(CallMovie(request), "<string>called</string>");
  answered = true;
  ASSERT_TRUE(RunUntil([&] { return game.Called("inner"); }));
}

TEST_F(RufflePlayerTest, TheMoviesPropertiesReachRuffle) {
  Load("tag=props&a=1%262&b=x+y");
  ASSERT_TRUE(RunUntil([&] { return game.Called("ready"); }));
  std::string config =
      EvaluateJson(View(),
                   "(() => { const c = document.querySelector('ruffle-player:not(.warming)').ruffle().loadedConfig;"
                   " return [c.contextMenu, c.menu, c.allowFullscreen, c.allowScriptAccess, c.wmode, c.backgroundColor,"
                   " c.parameters, c.url === c.base]; })()");
  EXPECT_EQ(config, "[\"off\",false,true,true,\"direct\",\"#000000\",\"tag=props&a=1%262&b=x+y\",true]");
}

TEST_F(RufflePlayerTest, ScriptAccessNeverKeepsTheMoviesCallsAway) {
  player->SetAllowScriptAccess(u"never");
  player->SetFlashVars(u"tag=never");
  player->LoadMovie(0, base::FromUtf8(MovieAddress()));
  player->Play();
  ASSERT_TRUE(RunUntil([&] { return game.states.size() >= 2; }));
  RunFor(500);
  EXPECT_TRUE(game.calls.empty());
}

TEST_F(RufflePlayerTest, AMovieThatCannotBeFoundLoadsNothing) {
  player->SetFlashVars(u"tag=x");
  player->LoadMovie(0, u"NoBase.swf");  // relative, and no base address: nothing to load
  player->LoadMovie(0, base::FromUtf8(MoviesBase() + "/Missing.swf"));
  player->LoadMovie(1, base::FromUtf8(MovieAddress()));  // only layer 0 is played
  player->Play();
  RunFor(1500);
  EXPECT_TRUE(game.calls.empty());
  EXPECT_TRUE(game.states.empty());
  EXPECT_EQ(CallMovie(Request("flashSetting", "<string>display</string>")), std::nullopt);
}

// Ruffle's own error screen is English, points at its project and asks for
// bug reports: the page's notice stands in its place, and goes with the
// next movie.
TEST_F(RufflePlayerTest, AMovieThatCannotBePlayedShowsTheNoticeInstead) {
  const char* notice = "!document.getElementById('failure').hidden";
  const char* players = "document.querySelectorAll('ruffle-player:not(.warming)').length";
  struct Case {
    const char* what;
    std::string address;
  };
  for (const Case& c :
       {Case{"missing", MoviesBase() + "/Missing.swf"}, Case{"no movie (a folder listing)", MoviesBase() + "/"}}) {
    SCOPED_TRACE(c.what);
    Load("tag=failing", c.address);
    ASSERT_TRUE(RunUntil([&] { return EvaluateJson(View(), notice) == "true"; }, 15000));
    EXPECT_EQ(EvaluateJson(View(), players), "0");  // Ruffle's screen went with its player
    EXPECT_TRUE(game.calls.empty());
  }
  // On the screen: the skin's dark brown around the loading page's panel.
  int x = 0, y = 0;
  ScreenOrigin(static_cast<gtk::RufflePlayer*>(player.get())->Widget(), x, y);
  auto shown = [&] {
    GdkPixbuf* screen = ScreenShot();
    bool seen = PixelAt(screen, x + 4, y + 4) == 0x24170Cu && PixelAt(screen, x + 200, y + 80) == 0x473321u;
    g_object_unref(screen);
    return seen;
  };
  EXPECT_TRUE(RunUntil(shown, 10000));
  KeepScreenShot("player-failure-notice");

  Load("tag=recovered");
  ASSERT_TRUE(RunUntil([&] { return game.Called("ready"); }));
  EXPECT_EQ(EvaluateJson(View(), notice), "false");
}

// Web views without a window wait in one off-screen window, however many
// there are at a time: the warm-up's page, and the page of a player made
// before the warm-up once its window goes with the player still in it (a
// hand-over that comes at once, then again).
// GTK warns through GLib's structured log: this writer counts warnings and
// criticals of every domain and passes everything on.
int loggedTrouble = 0;
GLogWriterOutput CountingLogWriter(GLogLevelFlags level, const GLogField* fields, gsize count, gpointer) {
  if (level & (G_LOG_LEVEL_WARNING | G_LOG_LEVEL_CRITICAL)) ++loggedTrouble;
  return g_log_writer_default(level, fields, count, nullptr);
}

TEST_F(RufflePlayerTest, ViewsWithoutAWindowShareTheShelfQuietly) {
  static const bool counting = (g_log_set_writer_func(CountingLogWriter, nullptr, nullptr), true);
  ASSERT_TRUE(counting);
  player.reset();
  gtk::ShutdownMoviePlayer();
  const int before = loggedTrouble;
  player = game.window()->CreatePlayer(kPlayerId, kPlayerRect);
  gtk::PrewarmMoviePlayer();
  Load("tag=early");
  ASSERT_TRUE(RunUntil([&] { return game.Called("ready"); }));
  game.window()->Destroy();
  RunFor(100);
  player.reset();
  EXPECT_TRUE(RunUntil([] { return gtk::MoviePlayerWarm(); }));
  EXPECT_EQ(loggedTrouble, before);
}

TEST_F(RufflePlayerTest, TheMovieShowsInThePlayersRectangle) {
  Load("tag=shown");
  ASSERT_TRUE(RunUntil([&] { return game.Called("ready"); }));
  int x = 0, y = 0;
  ScreenOrigin(static_cast<gtk::RufflePlayer*>(player.get())->Widget(), x, y);
  // The first frame follows the movie's first call; a software renderer
  // on a busy machine takes its time.
  RunUntil([&] {
    GdkPixbuf* shot = ScreenShot();
    const bool drawn = PixelAt(shot, x + 200, y + 130) == kMovieGreen;
    g_object_unref(shot);
    return drawn;
  });
  KeepScreenShot("player-shown");
  GdkPixbuf* screen = ScreenShot();
  EXPECT_EQ(PixelAt(screen, x + 200, y + 130), kMovieGreen);
  // BackgroundColor 0 paints the stage black instead of the movie's blue.
  EXPECT_EQ(PixelAt(screen, x + 200, y + 250), 0x000000u);
  g_object_unref(screen);

  // Hidden and moved as the window says.
  player->Show(SW_HIDE);
  RunFor(300);
  screen = ScreenShot();
  EXPECT_NE(PixelAt(screen, x + 200, y + 130), kMovieGreen);
  g_object_unref(screen);
  player->Move({53, 39, 453, 339}, true);
  player->Show(SW_SHOW);
  RunFor(500);
  screen = ScreenShot();
  EXPECT_EQ(PixelAt(screen, x + 50 + 200, y + 10 + 130), kMovieGreen);
  g_object_unref(screen);
}

TEST_F(RufflePlayerTest, RightClicksPassThePreTranslationAddressedToThePlayer) {
  Load("tag=clicks");
  ASSERT_TRUE(RunUntil([&] { return game.Called("ready"); }));
  RunFor(300);
  ClickAt(static_cast<gtk::RufflePlayer*>(player.get())->Widget(), 100, 60, 3);
  // Awaited, then a moment more in which a second delivery would show.
  ASSERT_TRUE(RunUntil([&] { return !game.rightClicks.empty(); }));
  RunFor(300);
  ASSERT_EQ(game.rightClicks.size(), 1u);
  EXPECT_EQ(game.rightClicks[0].target, static_cast<const void*>(player.get()));
  EXPECT_EQ(game.rightClicks[0].window, game.window());
  EXPECT_EQ(PointFromParam(game.rightClicks[0].lParam), (Point{100, 60}));
  // No menu of Ruffle's or the web engine's came up.
  EXPECT_EQ(EvaluateJson(View(),
                         "getComputedStyle(document.querySelector('ruffle-player:not(.warming)')"
                         ".shadowRoot.getElementById('context-menu-overlay')).display"),
            "\"none\"");
}

TEST_F(RufflePlayerTest, AnEndedWebProcessCostsOnlyThatPlayer) {
  Load("tag=crash");
  ASSERT_TRUE(RunUntil([&] { return game.Called("ready"); }));
  webkit_web_view_terminate_web_process(View());
  RunFor(300);
  EXPECT_EQ(CallMovie(Request("flashSetting", "<string>display</string>")), std::nullopt);
  player->Stop();
  player->Play();

  // The next player gets a page of its own.
  game.calls.clear();
  player = game.window()->CreatePlayer(kPlayerId, kPlayerRect);
  Load("tag=recovered");
  ASSERT_TRUE(RunUntil([&] { return game.Called("ready"); }));
  EXPECT_EQ(game.calls[0].request, Request("ready", "<string>recovered</string>"));
  EXPECT_EQ(CallMovie(Request("flashSetting", "<string>display</string>")), "<string>shown display</string>");
}

TEST_F(RufflePlayerTest, WithoutItsFilesThePlayerStaysEmptyAndQuiet) {
  player.reset();
  gtk::ShutdownMoviePlayer();
  auto empty = std::filesystem::temp_directory_path() / ("no-player-files-" + std::to_string(getpid()));
  std::filesystem::create_directories(empty);
  gtk::UsePlayerFilesFolder(empty);

  player = game.window()->CreatePlayer(kPlayerId, kPlayerRect);
  Load("tag=nofiles");
  RunFor(1500);
  EXPECT_TRUE(game.calls.empty());
  EXPECT_TRUE(game.states.empty());
  EXPECT_EQ(CallMovie(Request("flashSetting", "<string>display</string>")), std::nullopt);
  player.reset();

  // With its files back, a new player plays.
  gtk::UsePlayerFilesFolder(TESSARY_PLAYER_FILES);
  player = game.window()->CreatePlayer(kPlayerId, kPlayerRect);
  Load("tag=files");
  ASSERT_TRUE(RunUntil([&] { return game.Called("ready"); }));
  std::filesystem::remove_all(empty);
}

TEST_F(RufflePlayerTest, APlayerInANewWindowPlaysInAPageOfItsOwn) {
  Load("tag=first");
  ASSERT_TRUE(RunUntil([&] { return game.Called("ready"); }));
  std::string origin = EvaluateJson(View(), "performance.timeOrigin");

  // The game reloads: its window goes, with the player still in it, and a
  // new window makes a new player.
  game.window()->Destroy();
  RunFor(100);
  player.reset();
  GameWindow second;
  ASSERT_TRUE(platform.CreateDialogWindow(WindowSpec{131, nullptr, WS_POPUP, 0, false}, second));
  second.window()->SetPosition(0, 0);
  second.window()->Show(SW_SHOW);
  player = second.window()->CreatePlayer(kPlayerId, kPlayerRect);
  player->SetAllowScriptAccess(u"always");
  player->SetFlashVars(u"tag=second");
  player->LoadMovie(0, base::FromUtf8(MovieAddress()));
  player->Play();
  player->Show(SW_SHOW);
  ASSERT_TRUE(RunUntil([&] { return second.Called("ready"); }));
  EXPECT_EQ(second.calls[0].request, Request("ready", "<string>second</string>"));
  EXPECT_NE(EvaluateJson(View(), "performance.timeOrigin"), origin);
  RunFor(300);
  KeepScreenShot("player-second-window");
  int x = 0, y = 0;
  ScreenOrigin(static_cast<gtk::RufflePlayer*>(player.get())->Widget(), x, y);
  GdkPixbuf* screen = ScreenShot();
  EXPECT_EQ(PixelAt(screen, x + 200, y + 130), kMovieGreen);
  g_object_unref(screen);
  player.reset();
  second.window()->Destroy();
  RunFor(100);
}

}  // namespace
