// The WebKit browser control in a plain GTK window: completions per frame,
// the loading page, leave-page questions, the document's body, input
// pre-translation, teardown in the middle of things and the cache clearing.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "base/Text.h"
#include "platform/gtk/WebContext.h"
#include "platform/gtk/WebKitBrowser.h"
#include "platform/gtk/tests/BrowserTestSupport.h"

namespace {

using namespace browser_test;
using platform::gtk::WebKitBrowser;

// The login dialog's browser rectangle.
constexpr platform::Rect kBrowserRect{45, 30, 655, 366};
constexpr const char* kLoadingText = "加载中,请稍等...";

class BrowserTest : public ::testing::Test {
 protected:
  BareWindow window;
  std::unique_ptr<WebKitBrowser> browser = std::make_unique<WebKitBrowser>(window.MakeSite(), 1000, kBrowserRect);

  WebKitWebView* view() const { return WEBKIT_WEB_VIEW(browser->Widget()); }
  static std::string Page(const std::string& path) { return BrowserEnvironment::PagesBase() + path; }

  void Navigate(const std::string& address) { browser->Navigate(base::FromUtf8(address)); }

  // Navigates and waits until the top page has completed.
  ::testing::AssertionResult Load(const std::string& address) {
    const std::size_t before = window.completions.size();
    Navigate(address);
    const bool done = RunUntil([&] {
      return std::any_of(window.completions.begin() + static_cast<std::ptrdiff_t>(before), window.completions.end(),
                         [&](const Completion& c) { return c.address == address; });
    });
    if (!done) return ::testing::AssertionFailure() << "no completion of " << address;
    return ::testing::AssertionSuccess();
  }

  // Makes the page count as used by a person, which WebKit requires before
  // a page may ask whether to leave.
  void TouchPage() {
    EvaluateString(view(),
                   "window.touched = false;"
                   "addEventListener('mousedown', function () { window.touched = true; }, true)");
    for (int attempt = 0; attempt < 3 && EvaluateString(view(), "String(window.touched)") != "true"; ++attempt) {
      ClickAt(browser->Widget(), 20 + attempt, 20);
      RunFor(200);
    }
    ASSERT_EQ(EvaluateString(view(), "String(window.touched)"), "true") << "the click did not reach the page";
  }
};

TEST_F(BrowserTest, HasNoDocumentBeforeTheFirstPageAndOneAfterIt) {
  EXPECT_EQ(browser->GetDocument(), nullptr);
  Navigate(Page("/plain.html"));
  // Asked for, not yet there.
  EXPECT_EQ(browser->GetDocument(), nullptr);
  ASSERT_TRUE(RunUntil([&] { return !window.completions.empty(); }));
  auto document = browser->GetDocument();
  ASSERT_NE(document, nullptr);
  EXPECT_TRUE(document->ClearBodyOnBeforeUnload());
  EXPECT_EQ(browser->ControlId(), 1000);
}

TEST_F(BrowserTest, ShowsTheLoadingPageDecodedAsGb2312) {
  ASSERT_TRUE(Load("res://zarek.exe/208"));
  ASSERT_EQ(window.completions.size(), 1u);
  EXPECT_EQ(window.completions[0].controlId, 1000);
  EXPECT_EQ(window.completions[0].address, "res://zarek.exe/208");

  EXPECT_EQ(EvaluateString(view(), "document.querySelector('.load').textContent"), kLoadingText);
  EXPECT_EQ(EvaluateString(view(), "document.title"), "Tessary");
  EXPECT_EQ(EvaluateString(view(), "document.characterSet"), "GBK");  // WebKit's name for gb2312

  // The page is drawn: its dark brown ground and orange text are on screen.
  GdkPixbuf* shot = nullptr;
  const bool drawn = RunUntil([&] {
    if (shot) g_object_unref(shot);
    shot = GrabWidget(browser->Widget());
    return shot && PixelAt(shot, 5, 5) == 0x473321 && PixelAt(shot, 600, 330) == 0x473321;
  });
  ASSERT_NE(shot, nullptr);
  gdk_pixbuf_save(shot, "loading-page.png", "png", nullptr, nullptr);
  EXPECT_TRUE(drawn) << "pixel (5, 5) is " << std::hex << PixelAt(shot, 5, 5);
  int orange = 0;
  const int textRow = 344 / 2;
  for (int x = 0; x < gdk_pixbuf_get_width(shot); ++x) {
    const unsigned p = PixelAt(shot, x, textRow);
    const int r = int(p >> 16), g = int((p >> 8) & 0xFF), b = int(p & 0xFF);
    if (std::abs(r - 0xDE) < 24 && std::abs(g - 0x6A) < 24 && std::abs(b - 0x11) < 24) ++orange;
  }
  EXPECT_GT(orange, 5) << "no text of the loading page's colour on its middle row";
  g_object_unref(shot);
}

TEST_F(BrowserTest, ServesTheLoadingPageWhateverTheCaseOfTheExecutableName) {
  Navigate("res://ZAREK.EXE/208");
  ASSERT_TRUE(RunUntil([&] { return !window.completions.empty(); }));
  EXPECT_EQ(EvaluateString(view(), "document.querySelector('.load').textContent"), kLoadingText);
}

TEST_F(BrowserTest, BadResourceAddressesGiveAnErrorPageAndTheBrowserGoesOn) {
  for (const char* address : {"res://zarek.exe/9999", "res://other.exe/208", "res://zarek.exe/abc", "res://zarek.exe/",
                              "res://zarek.exe/70000", "res://zarek.exe/208x", "res://zarek.exe/0",
                              "res://zarek.exe/99999999999999999999", "res://zarek.exe", "res:///208"}) {
    SCOPED_TRACE(address);
    const std::size_t before = window.completions.size();
    Navigate(address);
    ASSERT_TRUE(RunUntil([&] { return window.completions.size() > before; }));
    EXPECT_EQ(EvaluateString(view(), "String(document.querySelector('.load'))"), "null");
  }
  ASSERT_TRUE(Load("res://zarek.exe/208"));
  EXPECT_EQ(EvaluateString(view(), "document.querySelector('.load').textContent"), kLoadingText);
}

TEST_F(BrowserTest, TheProgramOpensItsOwnPagesButWebPagesCannot) {
  ASSERT_TRUE(Load(Page("/embeds-res.html")));
  RunFor(300);
  for (const auto& completion : window.completions) EXPECT_NE(completion.address, "res://zarek.exe/208");
  // From a web page, the program's own navigation still reaches it.
  ASSERT_TRUE(Load("res://zarek.exe/208"));
  EXPECT_EQ(EvaluateString(view(), "document.querySelector('.load').textContent"), kLoadingText);
  // And a web page cannot send the browser there either.
  ASSERT_TRUE(Load(Page("/plain.html")));
  EvaluateString(view(), "location.href = 'res://zarek.exe/208'; 'sent'");
  RunFor(500);
  EXPECT_EQ(EvaluateString(view(), "document.title"), "plain");
}

TEST_F(BrowserTest, StrangeAddressesDoNotStopTheBrowser) {
  const std::u16string nonAscii = base::FromUtf8(Page("/plain.html?name=\xE4\xB8\xAD%zz&x=<>\"#frag"));
  const std::u16string lone = u"http://127.0.0.1/\xD800tail";  // an unpaired surrogate
  for (const std::u16string& address :
       {std::u16string(), std::u16string(u"not an address"), std::u16string(u"http://"), std::u16string(u"http://["),
        std::u16string(u"http://127.0.0.1:1/refused"), std::u16string(u"javascript:void(0)"), nonAscii, lone,
        base::FromUtf8(Page("/plain.html?") + std::string(100000, 'a'))}) {
    browser->Navigate(address);
    RunFor(150);
  }
  RunFor(1000);  // the last failures settle (and show their page) first
  ASSERT_TRUE(Load(Page("/plain.html")));
  EXPECT_EQ(EvaluateString(view(), "document.title"), "plain")
      << EvaluateString(view(), "document.URL.slice(0, 60) + ' | ' + document.body.innerText.slice(0, 60)");
}

TEST_F(BrowserTest, AHiddenPageIsNotHeldByItsQuestions) {
  gtk_widget_hide(window.toplevel());
  ASSERT_TRUE(Load(Page("/questions.html")));
  // Closed unseen: OK, Cancel, no text; the page runs on.
  EXPECT_TRUE(RunUntil([&] { return EvaluateString(view(), "String(window.answers.length)") == "3"; }, 5000));
  EXPECT_EQ(EvaluateString(view(), "window.answers.join(',')"), "alert,confirm:false,prompt:null");
  ASSERT_TRUE(Load(Page("/plain.html")));
}

TEST_F(BrowserTest, APageOnScreenShowsItsQuestions) {
  ASSERT_TRUE(Load(Page("/questions.html")));
  RunFor(500);
  // The message waits for the player; the page is held until it is answered.
  EXPECT_EQ(EvaluateString(view(), "'reached'", 1000), "<time-out>");
}

TEST_F(BrowserTest, FramesCompleteBeforeTheTopPageEachWithItsOwnAddress) {
  const std::string top = Page("/frames.html");
  ASSERT_TRUE(Load(top));
  RunFor(300);  // nothing more may follow
  const auto addresses = Addresses(window.completions);
  const std::string a = Page("/frame-a.html"), b = Page("/nested.html"), c = Page("/frame-c.html?delay=800");
  ASSERT_EQ(addresses.size(), 4u) << ::testing::PrintToString(addresses);
  EXPECT_EQ(addresses.back(), top);
  for (const auto& frame : {a, b, c}) EXPECT_EQ(std::count(addresses.begin(), addresses.end(), frame), 1) << frame;
  // The slow frame completes before the frame that holds it.
  EXPECT_LT(std::find(addresses.begin(), addresses.end(), c), std::find(addresses.begin(), addresses.end(), b));
  for (const auto& completion : window.completions) EXPECT_EQ(completion.controlId, 1000);
}

TEST_F(BrowserTest, AFrameAddedLaterCompletesOnItsOwn) {
  const std::string top = Page("/late-frame.html");
  ASSERT_TRUE(Load(top));
  ASSERT_TRUE(RunUntil([&] { return window.completions.size() == 2; }));
  EXPECT_EQ(Addresses(window.completions), (std::vector<std::string>{top, Page("/frame-a.html?late=1")}));
}

TEST_F(BrowserTest, AFramesetHasFramesButNoBodyElement) {
  const std::string top = Page("/frameset.html");
  ASSERT_TRUE(Load(top));
  const auto addresses = Addresses(window.completions);
  ASSERT_EQ(addresses.size(), 3u) << ::testing::PrintToString(addresses);
  EXPECT_EQ(addresses.back(), top);
  auto document = browser->GetDocument();
  ASSERT_NE(document, nullptr);
  EXPECT_FALSE(document->ClearBodyOnBeforeUnload());
}

TEST_F(BrowserTest, ClearingTheBodyHandlerRemovesItsLeavePageQuestion) {
  LeaveQuestionCounter questions;
  // Uncleared, the page asks (and the browser answers "leave").
  ASSERT_TRUE(Load(Page("/leave-attribute.html")));
  TouchPage();
  ASSERT_TRUE(Load(Page("/plain.html")));
  EXPECT_EQ(questions.count(), 1);

  // Cleared just before the next navigation, it does not ask.
  ASSERT_TRUE(Load(Page("/leave-attribute.html")));
  TouchPage();
  auto document = browser->GetDocument();
  ASSERT_NE(document, nullptr);
  EXPECT_TRUE(document->ClearBodyOnBeforeUnload());
  ASSERT_TRUE(Load(Page("/plain.html")));
  EXPECT_EQ(questions.count(), 1);
}

TEST_F(BrowserTest, APageThatAsksThroughAListenerIsLeftWithoutADialog) {
  LeaveQuestionCounter questions;
  ASSERT_TRUE(Load(Page("/leave-both.html")));
  TouchPage();
  auto document = browser->GetDocument();
  ASSERT_NE(document, nullptr);
  EXPECT_TRUE(document->ClearBodyOnBeforeUnload());
  // The listener still asks; the answer is "leave", and the next page loads.
  ASSERT_TRUE(Load(Page("/plain.html")));
  EXPECT_EQ(questions.count(), 1);
  EXPECT_EQ(EvaluateString(view(), "document.title"), "plain");
}

TEST_F(BrowserTest, ADocumentOfAnEarlierPageChangesNothing) {
  ASSERT_TRUE(Load(Page("/leave-attribute.html")));
  auto earlier = browser->GetDocument();
  ASSERT_TRUE(Load(Page("/leave-attribute.html?again=1")));
  TouchPage();
  EXPECT_FALSE(earlier->ClearBodyOnBeforeUnload());
  LeaveQuestionCounter questions;
  ASSERT_TRUE(Load(Page("/plain.html")));
  EXPECT_EQ(questions.count(), 1);  // the current page kept its handler
}

TEST_F(BrowserTest, InputPassesThePreTranslationFirst) {
  ASSERT_TRUE(Load(Page("/keys.html")));
  gtk_window_present(GTK_WINDOW(window.toplevel()));
  browser->SetFocus();
  RunFor(200);

  window.swallow = [](const GdkEvent* e) { return e->type == GDK_BUTTON_PRESS || e->type == GDK_KEY_PRESS; };
  ClickAt(browser->Widget(), 50, 50);
  PressKey(browser->Widget(), GDK_KEY_a);
  RunFor(400);
  EXPECT_NE(std::count(window.offered.begin(), window.offered.end(), GDK_BUTTON_PRESS), 0);
  EXPECT_NE(std::count(window.offered.begin(), window.offered.end(), GDK_KEY_PRESS), 0);
  EXPECT_EQ(EvaluateString(view(), "window.seen.join(',')"), "");

  window.swallow = nullptr;
  ClickAt(browser->Widget(), 50, 50);
  PressKey(browser->Widget(), GDK_KEY_b);
  RunFor(400);
  EXPECT_EQ(EvaluateString(view(), "window.seen.join(',')"), "down:0,key:b");
}

TEST_F(BrowserTest, TheWindowMayDestroyTheBrowserWhileACompletionIsDelivered) {
  window.onCompletion = [&](const Completion&) { browser.reset(); };
  Navigate(Page("/frames.html"));
  ASSERT_TRUE(RunUntil([&] { return !window.completions.empty(); }));
  RunFor(1500);
  EXPECT_EQ(window.completions.size(), 1u);
}

TEST_F(BrowserTest, NothingArrivesAfterTheWindowIsDestroyed) {
  Navigate(Page("/frames.html"));
  RunFor(300);  // frames are still loading
  const std::size_t before = window.completions.size();
  window.DestroyWidget();
  RunFor(1500);
  EXPECT_EQ(window.completions.size(), before);
  EXPECT_EQ(browser->GetDocument(), nullptr);
  Navigate(Page("/plain.html"));  // ignored, no crash
  browser->SetFocus();
  RunFor(300);
  EXPECT_EQ(window.completions.size(), before);
}

// The demo site's own test pages, when the demo site is part of the tree.
TEST_F(BrowserTest, DemoSiteFramesAndLeavePage) {
  const std::string demo = BrowserEnvironment::DemoBase();
  if (demo.empty()) GTEST_SKIP() << "no demo site";
  ASSERT_TRUE(Load(demo + "/test/frames"));
  EXPECT_EQ(Addresses(window.completions),
            (std::vector<std::string>{demo + "/test/frames/inner", demo + "/test/frames"}));

  LeaveQuestionCounter questions;
  ASSERT_TRUE(Load(demo + "/test/leave"));
  TouchPage();
  auto document = browser->GetDocument();
  ASSERT_NE(document, nullptr);
  EXPECT_TRUE(document->ClearBodyOnBeforeUnload());
  const std::string handover = EvaluateString(view(), "document.getElementById('handover').href");
  ASSERT_NE(handover.find("error"), std::string::npos) << handover;
  ASSERT_TRUE(Load(handover));
  EXPECT_LE(questions.count(), 1);
}

}  // namespace

namespace {

// The kinds of website data the shared context holds for the page server.
WebKitWebsiteDataTypes StoredKinds() {
  struct Fetch {
    bool done = false;
    int kinds = 0;
  } fetch;
  WebKitWebsiteDataManager* manager = webkit_web_context_get_website_data_manager(platform::gtk::SharedWebContext());
  webkit_website_data_manager_fetch(
      manager, static_cast<WebKitWebsiteDataTypes>(WEBKIT_WEBSITE_DATA_ALL), nullptr,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        auto* out = static_cast<Fetch*>(data);
        GList* records = webkit_website_data_manager_fetch_finish(WEBKIT_WEBSITE_DATA_MANAGER(source), result, nullptr);
        for (GList* r = records; r; r = r->next) {
          auto* record = static_cast<WebKitWebsiteData*>(r->data);
          const char* name = webkit_website_data_get_name(record);
          if (name && std::string(name).find("127.0.0.1") != std::string::npos) {
            out->kinds |= webkit_website_data_get_types(record);
          }
        }
        g_list_free_full(records, reinterpret_cast<GDestroyNotify>(webkit_website_data_unref));
        out->done = true;
      },
      &fetch);
  RunUntil([&] { return fetch.done; }, 10000);
  return static_cast<WebKitWebsiteDataTypes>(fetch.kinds);
}

TEST_F(BrowserTest, ClearingTheCachesKeepsTheCookies) {
  ASSERT_TRUE(Load(Page("/plain.html?cache=1")));
  EvaluateString(view(), "document.cookie = 'login=kept; max-age=3600; path=/'");
  ASSERT_TRUE(RunUntil([] { return (StoredKinds() & WEBKIT_WEBSITE_DATA_DISK_CACHE) != 0; }))
      << "the page never reached the disk cache";
  ASSERT_TRUE(RunUntil([] { return (StoredKinds() & WEBKIT_WEBSITE_DATA_COOKIES) != 0; }));

  platform::gtk::ClearWebCaches();
  EXPECT_TRUE(RunUntil([] { return (StoredKinds() & WEBKIT_WEBSITE_DATA_DISK_CACHE) == 0; }))
      << "the disk cache still holds the page";
  EXPECT_NE(StoredKinds() & WEBKIT_WEBSITE_DATA_COOKIES, 0);
  // The page is still there to be loaded again, from the server.
  ASSERT_TRUE(Load(Page("/plain.html?cache=1")));
  EXPECT_EQ(EvaluateString(view(), "document.cookie"), "login=kept");
}

}  // namespace
