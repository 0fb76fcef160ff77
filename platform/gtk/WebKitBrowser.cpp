#include "platform/gtk/WebKitBrowser.h"

#include <webkit2/webkit2.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "platform/Text.h"
#include "platform/gtk/GtkDialogWindow.h"
#include "platform/gtk/WebContext.h"
#include "platform/gtk/WebsitePolicies.h"

namespace platform::gtk {

namespace {

// The frame reporter runs in a script world of its own, so the page can
// neither see nor imitate its messages.
constexpr const char* kReporterWorld = "tessary-frames";
constexpr const char* kReporterHandler = "frameLoaded";

// Injected into every document of every frame before the page's own
// scripts. It reports each frame's load event (a frame's load comes after
// those of the frames inside it, so inner frames report first) and, for the
// top document, whether its body is a body element, once at
// DOMContentLoaded and again at load. Capturing listeners registered first
// cannot be stopped by the page.
constexpr const char* kReporterScript = R"JS((function () {
  var handler = window.webkit.messageHandlers.frameLoaded;
  var isTop = window === window.top;
  function report(kind) {
    var body = document.body;
    try {
      handler.postMessage({kind: kind, top: isTop, address: String(document.URL),
                           body: !!body && body instanceof HTMLBodyElement});
    } catch (e) {}
  }
  if (isTop) document.addEventListener('DOMContentLoaded', function () { report('ready'); }, true);
  window.addEventListener('load', function () { report('load'); }, true);
})();)JS";

// Runs in the page's own world: attribute handlers belong to the world that
// set them. A string is no function, so the handler becomes null.
constexpr const char* kClearOnBeforeUnloadScript = R"JS((function () {
  var body = document.body;
  if (body instanceof HTMLBodyElement) body.onbeforeunload = '';
})();)JS";

// What the top document last said about its body.
enum class BodyReport { Unknown, Body, NoBody };

std::string StringProperty(JSCValue* object, const char* name) {
  JSCValue* value = jsc_value_object_get_property(object, name);
  std::string result;
  if (value && jsc_value_is_string(value)) {
    gchar* text = jsc_value_to_string(value);
    result = text ? text : "";
    g_free(text);
  }
  if (value) g_object_unref(value);
  return result;
}

bool BooleanProperty(JSCValue* object, const char* name) {
  JSCValue* value = jsc_value_object_get_property(object, name);
  const bool result = value && jsc_value_is_boolean(value) && jsc_value_to_boolean(value);
  if (value) g_object_unref(value);
  return result;
}

}  // namespace

struct WebKitBrowser::State : std::enable_shared_from_this<WebKitBrowser::State> {
  BrowserControl* control = nullptr;
  int controlId = 0;
  std::unique_ptr<BrowserSite> site;
  WebKitWebView* view = nullptr;
  WebKitUserContentManager* content = nullptr;
  // The view's widget was destroyed with its window: nothing more is done.
  bool widgetGone = false;
  // Counts main-frame commits; a document object belongs to one of them.
  std::uint64_t generation = 0;
  BodyReport body = BodyReport::Unknown;
  // The main-frame load that is finishing has failed: its own completion is
  // not reported (an error page, when WebKit shows one, reports itself).
  bool loadFailed = false;

  void QueueCompletion(std::string address);
};

namespace {

using State = WebKitBrowser::State;

// A completion waiting for delivery. Completions reach the window from the
// main loop rather than from inside WebKit's signal emission, so the
// window's handler may navigate, hide or destroy anything, this browser
// included; they keep their order.
struct PendingCompletion {
  std::weak_ptr<State> state;
  std::u16string address;
};

gboolean DeliverCompletion(gpointer data) {
  auto* pending = static_cast<PendingCompletion*>(data);
  ControlEvents* events = nullptr;
  int controlId = 0;
  if (auto state = pending->state.lock(); state && !state->widgetGone && state->site) {
    events = state->site->Events();
    controlId = state->controlId;
  }
  // Nothing of the browser is touched after the handler returns.
  if (events) events->OnDocumentComplete(controlId, pending->address);
  return G_SOURCE_REMOVE;
}

void FreePending(gpointer data) { delete static_cast<PendingCompletion*>(data); }

void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer data) {
  auto* state = static_cast<State*>(data);
  switch (event) {
    case WEBKIT_LOAD_STARTED:
      state->loadFailed = false;
      break;
    case WEBKIT_LOAD_COMMITTED:
      ++state->generation;
      state->body = BodyReport::Unknown;
      break;
    case WEBKIT_LOAD_FINISHED:
      if (state->loadFailed) {
        state->loadFailed = false;
      } else {
        const char* uri = webkit_web_view_get_uri(view);
        state->QueueCompletion(uri ? uri : "");
      }
      break;
    default:
      break;
  }
}

gboolean OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar*, GError*, gpointer data) {
  static_cast<State*>(data)->loadFailed = true;
  return FALSE;  // WebKit's own error page, which completes on its own
}

void OnFrameLoaded(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer data) {
  auto* state = static_cast<State*>(data);
  JSCValue* message = webkit_javascript_result_get_js_value(result);
  if (!message || !jsc_value_is_object(message)) return;
  const std::string kind = StringProperty(message, "kind");
  if (BooleanProperty(message, "top")) {
    // The top page's own completion comes from the main-frame load.
    state->body = BooleanProperty(message, "body") ? BodyReport::Body : BodyReport::NoBody;
  } else if (kind == "load") {
    state->QueueCompletion(StringProperty(message, "address"));
  }
}

// The browser answers "leave" to every leave-page question itself: a page
// may ask through handlers that clearing onbeforeunload does not remove, and
// a hidden browser must never wait on a question nobody sees. For the same
// reason a message, confirmation or prompt of a page that is not on screen
// is closed at once (OK, Cancel, no text): WebKit shows it inside the view,
// and until it is answered the page's process loads nothing else. A page on
// screen shows its questions as usual.
gboolean OnScriptDialog(WebKitWebView* view, WebKitScriptDialog* dialog, gpointer) {
  if (webkit_script_dialog_get_dialog_type(dialog) == WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM) {
    webkit_script_dialog_confirm_set_confirmed(dialog, TRUE);
    return TRUE;
  }
  if (gtk_widget_get_mapped(GTK_WIDGET(view))) return FALSE;
  if (webkit_script_dialog_get_dialog_type(dialog) == WEBKIT_SCRIPT_DIALOG_CONFIRM) {
    webkit_script_dialog_confirm_set_confirmed(dialog, FALSE);
  }
  return TRUE;  // unanswered otherwise: closing gives the defaults above
}

gboolean OnInputEvent(GtkWidget*, GdkEvent* event, gpointer data) {
  auto* state = static_cast<State*>(data);
  if (state->widgetGone || !state->site) return FALSE;
  // The pre-translation may end this browser: its answer is all that is used.
  return state->site->PreTranslate(*state->control, event) ? TRUE : FALSE;
}

void OnWidgetDestroyed(GtkWidget*, gpointer data) {
  auto* state = static_cast<State*>(data);
  state->widgetGone = true;
  state->site.reset();  // the window that held the browser is going
}

class WebKitDocument final : public BrowserDocument {
 public:
  WebKitDocument(std::weak_ptr<State> state, std::uint64_t generation)
      : state_(std::move(state)), generation_(generation) {}

  bool ClearBodyOnBeforeUnload() override {
    auto state = state_.lock();
    if (!state || state->widgetGone || state->generation != generation_) return false;
    if (state->body == BodyReport::NoBody) return false;
    // Queued before any navigation the caller starts next, so the page runs
    // it before that navigation asks the page whether it may leave.
    webkit_web_view_evaluate_javascript(state->view, kClearOnBeforeUnloadScript, -1, nullptr, nullptr, nullptr,
                                        nullptr, nullptr);
    return true;
  }

 private:
  std::weak_ptr<State> state_;
  std::uint64_t generation_;
};

}  // namespace

void WebKitBrowser::State::QueueCompletion(std::string address) {
  auto* pending = new PendingCompletion{weak_from_this(), FromUtf8(address)};
  g_idle_add_full(G_PRIORITY_DEFAULT, DeliverCompletion, pending, FreePending);
}

WebKitBrowser::WebKitBrowser(std::unique_ptr<BrowserSite> site, int controlId, const Rect& rect)
    : state_(std::make_shared<State>()) {
  State& state = *state_;
  state.control = this;
  state.controlId = controlId;
  state.site = std::move(site);

  state.content = webkit_user_content_manager_new();
  webkit_user_content_manager_register_script_message_handler_in_world(state.content, kReporterHandler,
                                                                       kReporterWorld);
  g_signal_connect(state.content, "script-message-received::frameLoaded", G_CALLBACK(OnFrameLoaded), &state);
  WebKitUserScript* reporter =
      webkit_user_script_new_for_world(kReporterScript, WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                                       WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, kReporterWorld, nullptr, nullptr);
  webkit_user_content_manager_add_script(state.content, reporter);
  webkit_user_script_unref(reporter);

  state.view = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", SharedWebContext(),
                                            "website-policies", SoundWithoutClickPolicies(),
                                            "user-content-manager", state.content, nullptr));
  g_object_ref_sink(state.view);
  g_signal_connect(state.view, "load-changed", G_CALLBACK(OnLoadChanged), &state);
  g_signal_connect(state.view, "load-failed", G_CALLBACK(OnLoadFailed), &state);
  g_signal_connect(state.view, "script-dialog", G_CALLBACK(OnScriptDialog), &state);
  g_signal_connect(state.view, "destroy", G_CALLBACK(OnWidgetDestroyed), &state);
  for (const char* signal : {"key-press-event", "key-release-event", "button-press-event", "button-release-event",
                             "motion-notify-event"}) {
    g_signal_connect(state.view, signal, G_CALLBACK(OnInputEvent), &state);
  }

  GtkWidget* widget = GTK_WIDGET(state.view);
  if (state.site) state.site->Place(widget, rect);
  gtk_widget_show(widget);
}

WebKitBrowser::~WebKitBrowser() {
  State& state = *state_;
  g_signal_handlers_disconnect_by_data(state.view, &state);
  g_signal_handlers_disconnect_by_data(state.content, &state);
  if (!state.widgetGone) gtk_widget_destroy(GTK_WIDGET(state.view));
  g_object_unref(state.view);
  g_object_unref(state.content);
}

int WebKitBrowser::ControlId() const { return state_->controlId; }

void WebKitBrowser::Navigate(const std::u16string& address) {
  if (state_->widgetGone) return;
  webkit_web_view_load_uri(state_->view, ToUtf8(address).c_str());
}

std::unique_ptr<BrowserDocument> WebKitBrowser::GetDocument() {
  if (state_->widgetGone || state_->generation == 0) return nullptr;
  return std::make_unique<WebKitDocument>(state_, state_->generation);
}

void WebKitBrowser::SetFocus() {
  if (!state_->widgetGone) gtk_widget_grab_focus(GTK_WIDGET(state_->view));
}

GtkWidget* WebKitBrowser::Widget() const { return GTK_WIDGET(state_->view); }

// The browser in a window of the backend.
namespace {

bool BrowserPreTranslate(const void* control, const Msg& msg) {
  // The browser translates nothing of its own (see BrowserControl).
  return static_cast<BrowserControl*>(const_cast<void*>(control))->PreTranslateMessage(msg);
}

// The browser forgets its site when its widget is destroyed, which happens
// when the window is destroyed, before the window object is released.
class DialogBrowserSite final : public BrowserSite {
 public:
  explicit DialogBrowserSite(GtkDialogWindow& window) : window_(window) {}

  void Place(GtkWidget* widget, const Rect& rect) override { window_.PlaceChild(widget, rect); }

  ControlEvents* Events() override { return window_.IsDestroyed() ? nullptr : &window_.Handler(); }

  bool PreTranslate(BrowserControl& control, const GdkEvent* event) override {
    return PreTranslateControlEvent(window_, static_cast<const BrowserControl*>(&control), BrowserPreTranslate, event);
  }

 private:
  GtkDialogWindow& window_;
};

}  // namespace

WebKitBrowser::WebKitBrowser(GtkDialogWindow& parent, int controlId, const Rect& rect)
    : WebKitBrowser(std::make_unique<DialogBrowserSite>(parent), controlId, rect) {}

}  // namespace platform::gtk
