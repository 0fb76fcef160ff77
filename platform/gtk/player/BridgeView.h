#pragma once
// One web view showing the player's bridge page, lent to one host player
// (a "session") and let go when that ends: its web process, and all the
// memory the movie's players used there, goes with it.

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

namespace platform::gtk {

// What the borrowing player hears from its movie.
class MovieSessionEvents {
 public:
  virtual ~MovieSessionEvents() = default;
  // The movie called its host; the request in the player's XML form. The
  // receiver may end the session (and free itself) before returning.
  virtual void OnMovieCall(const std::u16string& request) = 0;
  // 3: the movie's header is read and it starts playing; 4: it has loaded
  // completely.
  virtual void OnMovieReadyState(std::int32_t state) = 0;
  // A pointer event on the movie, before the movie sees it; true keeps it
  // from the movie.
  virtual bool OnMovieInput(const GdkEvent* /*event*/) { return false; }
};

class BridgeView : public std::enable_shared_from_this<BridgeView> {
 public:
  // shelf: the container (in an off-screen window) the view waits in while
  // it has no frame.
  BridgeView(WebKitWebContext* context, GtkWidget* shelf);
  ~BridgeView();
  BridgeView(const BridgeView&) = delete;
  BridgeView& operator=(const BridgeView&) = delete;

  GtkWidget* Widget() const { return GTK_WIDGET(view_); }
  WebKitWebView* WebView() const { return view_; }

  // The widget a borrower puts into its window: a frame holding the view.
  // When that window goes before the borrower is done, the view waits on
  // the shelf; a borrower in another window gets a new frame.
  GtkWidget* FrameFor(GtkWidget* windowContainer);
  // Puts a view that has no frame on the shelf, where it is drawn and runs
  // as if it were shown.
  void Shelve();
  // Builds one Ruffle instance in the page so that Ruffle's module is
  // compiled before the first movie is asked for; Warm() tells when done.
  void WarmUp() { Run("tessaryPlayer.warmUp()"); }
  // False once the page failed to load, its web process ended or the view
  // was destroyed: such a view is not lent again.
  bool Usable() const { return !broken_; }
  bool PageLoaded() const { return pageLoaded_ && !broken_; }
  // The page has built one Ruffle instance, so the module is compiled.
  bool Warm() const { return warm_; }

  // Runs script in the page, in order; held until the page has loaded.
  void Run(std::string script);

  // The session that owns the page from now on; messages of any other
  // session are dropped.
  void Attach(std::uint64_t session, MovieSessionEvents* events);
  void Detach(std::uint64_t session);

  // While the host waits for an answer from the movie, the movie's own calls
  // are held back; they reach the host afterwards, from the main loop.
  void HoldMessages() { ++holdDepth_; }
  void ReleaseMessages();

 private:
  struct Message {
    std::uint64_t session = 0;
    bool isCall = false;
    std::u16string request;
    std::int32_t state = 0;
  };

  static void OnScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer self);
  static void OnLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self);
  static gboolean OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error, gpointer self);
  static void OnProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason, gpointer self);
  static void OnDestroyed(GtkWidget*, gpointer self);
  static gboolean OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                 gpointer self);
  static gboolean OnInput(GtkWidget*, GdkEvent* event, gpointer self);
  static gboolean FlushHeld(gpointer self);
  static void OnFrameDestroyed(GtkWidget* frame, gpointer self);

  void Receive(Message message);
  void Deliver(const Message& message);

  WebKitWebView* view_ = nullptr;
  WebKitUserContentManager* content_ = nullptr;
  GtkWidget* shelf_ = nullptr;
  GtkWidget* frame_ = nullptr;
  bool pageLoaded_ = false;
  bool broken_ = false;
  bool warm_ = false;
  std::deque<std::string> pendingScripts_;

  std::uint64_t session_ = 0;
  MovieSessionEvents* events_ = nullptr;
  int holdDepth_ = 0;
  std::deque<Message> held_;
  guint flushSource_ = 0;
};

}  // namespace platform::gtk
