#pragma once
// What the browser tests share: an X display (Xvfb :51, started when none
// answers there), private data folders, the test page server and the demo
// site, a bare GTK window to hold a browser, and ways to wait for WebKit.

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/gtk/WebKitBrowser.h"

namespace browser_test {

// Started once per test program, before the first test.
class BrowserEnvironment {
 public:
  // "http://127.0.0.1:PORT" of the page server (platform/gtk/tests/pages).
  static const std::string& PagesBase();
  // "http://127.0.0.1:PORT" of the demo site, empty when it is not there.
  static const std::string& DemoBase();
};

// Runs the main loop until done() holds; false on time-out.
bool RunUntil(const std::function<bool()>& done, int timeoutMs = 15000);
// Runs the main loop for a while.
void RunFor(int milliseconds);

// Evaluates an expression in the page's own world; its value as a string
// ("<error>" when the evaluation fails, "<time-out>" when no answer came).
std::string EvaluateString(WebKitWebView* view, const std::string& expression, int timeoutMs = 10000);

// Counts leave-page questions asked of any web view, whoever answers them.
class LeaveQuestionCounter {
 public:
  LeaveQuestionCounter();
  ~LeaveQuestionCounter();
  int count() const { return count_; }

 private:
  static gboolean Hook(GSignalInvocationHint*, guint, const GValue*, gpointer);
  gulong hook_ = 0;
  guint signal_ = 0;
  int count_ = 0;
};

// One completion as the window received it.
struct Completion {
  int controlId;
  std::string address;
};

// A plain top-level window with a GtkFixed, standing in for a window of the
// backend. It records the completions it receives and answers the input
// pre-translation through `swallow`.
class BareWindow {
 public:
  BareWindow(int width = 700, int height = 420);
  ~BareWindow();

  std::unique_ptr<platform::gtk::BrowserSite> MakeSite();
  GtkWidget* toplevel() const { return window_; }
  // Destroys the GTK window (with any browser inside it).
  void DestroyWidget();

  std::vector<Completion> completions;
  // Types of the input events offered for pre-translation.
  std::vector<GdkEventType> offered;
  std::function<bool(const GdkEvent*)> swallow;
  // Called from inside each completion delivery, after it was recorded.
  std::function<void(const Completion&)> onCompletion;
  // Addresses handed to the user's browser.
  std::vector<std::string> openedPages;
  // Leave-page questions asked of the player, and the answer (leave).
  int leaveQuestions = 0;
  bool leaveAnswer = true;

 private:
  class Site;
  GtkWidget* window_ = nullptr;
  GtkWidget* fixed_ = nullptr;
};

// Addresses of the completions, in order.
std::vector<std::string> Addresses(const std::vector<Completion>& completions);

// The on-screen pixels of a widget's window area.
GdkPixbuf* GrabWidget(GtkWidget* widget);
// The colour of one pixel as 0xRRGGBB.
unsigned PixelAt(GdkPixbuf* pixbuf, int x, int y);

// Clicks (or presses a key) through the X server, as a user would.
void ClickAt(GtkWidget* widget, int x, int y);
void PressKey(GtkWidget* widget, guint keyval);

}  // namespace browser_test
