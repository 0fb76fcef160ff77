#pragma once
// What the movie player tests share: an X display (Xvfb :52, started when
// none answers there), private data folders, a server for the test movies,
// ways to wait for the main loop, to look into the bridge page and at the
// screen, and to click like a person.

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <functional>
#include <string>

namespace player_test {

// "http://127.0.0.1:PORT" of the server of the built test movies.
const std::string& MoviesBase();

// Runs the main loop until done() holds; false on time-out.
bool RunUntil(const std::function<bool()>& done, int timeoutMs = 30000);
void RunFor(int milliseconds);

// JSON of an expression's value in the page ("<error>" when it fails).
std::string EvaluateJson(WebKitWebView* view, const std::string& expression);

// The web view inside a player's widget.
WebKitWebView* ViewIn(GtkWidget* playerWidget);

// The screen as it is now (unref it), and one pixel of it as 0xRRGGBB.
GdkPixbuf* ScreenShot();
unsigned PixelAt(GdkPixbuf* screen, int x, int y);
// A widget's top-left corner on the screen.
void ScreenOrigin(GtkWidget* widget, int& x, int& y);
// Keeps a screenshot in the test's working folder for people to look at.
void KeepScreenShot(const std::string& name);

// A click through the X server's test extension (xdotool), as a person's.
void ClickAt(GtkWidget* widget, int x, int y, int button);

}  // namespace player_test
