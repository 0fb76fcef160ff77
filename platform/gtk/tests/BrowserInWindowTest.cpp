// The browser inside a real window of the GTK backend, made as the login
// dialog makes it: completions reach the window's handler by control id,
// clicks pass the run loop's pre-translation, and the handler may destroy
// its window in the middle of a completion.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/Text.h"
#include "platform/gtk/GtkDialogWindow.h"
#include "platform/gtk/GtkPlatform.h"
#include "platform/gtk/tests/BrowserTestSupport.h"

namespace {

using namespace browser_test;
using namespace platform;

constexpr Rect kBrowserRect{45, 30, 655, 366};

class RecordingDialog final : public WindowHandler {
 public:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    return window()->DefaultProc(message, wParam, lParam);
  }
  bool PreTranslateMessage(const Msg& msg) override {
    if (msg.message == WM_LBUTTONDOWN) clicks.push_back(msg);
    return msg.message == WM_LBUTTONDOWN && swallowClicks;
  }
  void OnDocumentComplete(int controlId, const std::u16string& address) override {
    completions.push_back({controlId, base::ToUtf8(address)});
    if (onCompletion) onCompletion();
  }

  std::vector<Completion> completions;
  std::vector<Msg> clicks;
  bool swallowClicks = false;
  std::function<void()> onCompletion;
};

class BrowserInWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform.CreateDialogWindow(WindowSpec{102, nullptr, WS_POPUP, 0, false}, dialog));
    dialog.window()->SetPosition(0, 0);
    dialog.window()->Show(SW_SHOW);
    browser = dialog.window()->CreateBrowser(1000, kBrowserRect);
    ASSERT_NE(browser, nullptr);
  }
  void TearDown() override {
    browser.reset();
    if (dialog.window()) dialog.window()->Destroy();
    RunFor(50);
  }

  GtkWidget* FindView() const { return static_cast<gtk::WebKitBrowser*>(browser.get())->Widget(); }

  gtk::GtkPlatform platform;
  RecordingDialog dialog;
  std::unique_ptr<BrowserControl> browser;
};

TEST_F(BrowserInWindowTest, TheLoadingPageCompletesToTheDialogAndFillsTheBrowserRectangle) {
  browser->Navigate(u"res://zarek.exe/208");
  ASSERT_TRUE(RunUntil([&] { return !dialog.completions.empty(); }));
  ASSERT_EQ(dialog.completions.size(), 1u);
  EXPECT_EQ(dialog.completions[0].controlId, 1000);
  EXPECT_EQ(dialog.completions[0].address, "res://zarek.exe/208");

  // Read back from the window itself, at window coordinates.
  GtkWidget* toplevel = static_cast<gtk::GtkDialogWindow*>(dialog.window())->Toplevel();
  GdkPixbuf* shot = nullptr;
  const bool drawn = RunUntil([&] {
    if (shot) g_object_unref(shot);
    shot = gdk_pixbuf_get_from_window(gtk_widget_get_window(toplevel), 0, 0, 700, 400);
    return shot && PixelAt(shot, kBrowserRect.left + 3, kBrowserRect.top + 3) == 0x473321 &&
           PixelAt(shot, kBrowserRect.right - 8, kBrowserRect.bottom - 3) == 0x473321;
  });
  ASSERT_NE(shot, nullptr);
  gdk_pixbuf_save(shot, "loading-page-in-window.png", "png", nullptr, nullptr);
  EXPECT_TRUE(drawn);
  // Outside the rectangle the page does not show.
  EXPECT_NE(PixelAt(shot, kBrowserRect.left - 3, kBrowserRect.top + 3), 0x473321u);
  EXPECT_NE(PixelAt(shot, kBrowserRect.left + 3, kBrowserRect.bottom + 3), 0x473321u);
  g_object_unref(shot);
}

TEST_F(BrowserInWindowTest, ClicksPassThePreTranslationAddressedToTheBrowser) {
  const std::string page = BrowserEnvironment::PagesBase() + "/keys.html";
  browser->Navigate(base::FromUtf8(page));
  ASSERT_TRUE(RunUntil([&] { return !dialog.completions.empty(); }));
  RunFor(200);

  dialog.swallowClicks = true;
  ClickAt(FindView(), 40, 50);
  RunFor(400);
  ASSERT_EQ(dialog.clicks.size(), 1u);
  EXPECT_EQ(dialog.clicks[0].target, static_cast<const void*>(browser.get()));
  EXPECT_EQ(dialog.clicks[0].window, dialog.window());
  EXPECT_EQ(PointFromParam(dialog.clicks[0].lParam), (Point{40, 50}));
  EXPECT_EQ(EvaluateString(WEBKIT_WEB_VIEW(FindView()), "window.seen.join(',')"), "");

  dialog.swallowClicks = false;
  ClickAt(FindView(), 40, 50);
  RunFor(400);
  EXPECT_EQ(dialog.clicks.size(), 2u);
  EXPECT_EQ(EvaluateString(WEBKIT_WEB_VIEW(FindView()), "window.seen.join(',')"), "down:0");
}

TEST_F(BrowserInWindowTest, TheHandlerMayDestroyItsWindowDuringACompletion) {
  dialog.onCompletion = [&] {
    if (dialog.window()) dialog.window()->Destroy();
  };
  browser->Navigate(base::FromUtf8(BrowserEnvironment::PagesBase() + "/frames.html"));
  ASSERT_TRUE(RunUntil([&] { return !dialog.completions.empty(); }));
  RunFor(1500);
  EXPECT_EQ(dialog.completions.size(), 1u);
  EXPECT_EQ(dialog.window(), nullptr);
  // The browser outlives its window quietly.
  EXPECT_EQ(browser->GetDocument(), nullptr);
  browser->Navigate(u"res://zarek.exe/208");
  RunFor(300);
  EXPECT_EQ(dialog.completions.size(), 1u);
}

}  // namespace
