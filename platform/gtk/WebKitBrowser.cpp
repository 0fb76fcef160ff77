#include "platform/gtk/WebKitBrowser.h"

#include <webkit2/webkit2.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "base/Text.h"
#include "platform/BrowserPages.h"
#include "platform/gtk/GtkDialogWindow.h"
#include "platform/gtk/GtkPlatform.h"
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
  // not reported (the page shown in its place reports itself).
  bool loadFailed = false;
  // The main page the server answered "not found" for, refused so that the
  // program's own page shows in its place.
  std::string notFoundAddress;
  // The program's Navigate calls, and their count when the current load started.
  std::uint64_t navigations = 0;
  std::uint64_t navigationsAtStart = 0;
  // The address of the main-frame load in progress (after its redirects).
  std::string loadingAddress;
  // The program's first load, held back until the view has been drawn.
  std::optional<std::string> heldLoad;
  guint heldLoadSource = 0;
  gulong heldLoadDraw = 0;

  void QueueCompletion(std::string address);
  void HoldLoad(std::string address);
  void StartHeldLoad();
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
    case WEBKIT_LOAD_REDIRECTED: {
      if (event == WEBKIT_LOAD_STARTED) {
        state->loadFailed = false;
        state->navigationsAtStart = state->navigations;
      }
      const char* uri = webkit_web_view_get_uri(view);
      state->loadingAddress = uri ? uri : "";
      break;
    }
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
    default: break;
  }
}

struct PendingFailurePage {
  std::weak_ptr<State> state;
  LoadFailure failure;
  std::string address;
  std::uint64_t navigations;
};

gboolean ShowFailurePage(gpointer data) {
  const auto* pending = static_cast<const PendingFailurePage*>(data);
  auto state = pending->state.lock();
  if (!state || state->widgetGone || state->navigations != pending->navigations ||
      state->loadingAddress != pending->address || webkit_web_view_is_loading(state->view))
    return G_SOURCE_REMOVE;
  webkit_web_view_load_alternate_html(state->view, LoadFailurePage(pending->failure, pending->address).c_str(),
                                      pending->address.c_str(), nullptr);
  return G_SOURCE_REMOVE;
}

// A page that cannot be loaded shows the program's own page in its place,
// in the player's language, under the failed address (so it completes with
// that address, as WebKit's own error page did).
gboolean OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* failingUri, GError* error, gpointer data) {
  auto* state = static_cast<State*>(data);
  state->loadFailed = true;
  const std::string address = failingUri ? failingUri : "";
  const bool refusedAsMissing = !state->notFoundAddress.empty() && state->notFoundAddress == address;
  state->notFoundAddress.clear();
  LoadFailure failure = LoadFailure::NoConnection;
  if (refusedAsMissing || g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_FILE_DOES_NOT_EXIST)) {
    failure = LoadFailure::NotFound;
  } else if (g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED) ||
             error->domain == WEBKIT_POLICY_ERROR || error->domain == WEBKIT_PLUGIN_ERROR ||
             error->domain == WEBKIT_DOWNLOAD_ERROR) {
    return FALSE;  // another load took over, or nothing was meant to show
  }
  // Shown once the failed load has finished, and only if nothing else was
  // loaded meanwhile: a failure that arrives after the browser was sent
  // elsewhere must not replace the newer page.
  if (state->navigations != state->navigationsAtStart || address != state->loadingAddress) return TRUE;
  auto* pending = new PendingFailurePage{state->weak_from_this(), failure, address, state->navigations};
  g_idle_add_full(G_PRIORITY_LOW, ShowFailurePage, pending,
                  [](gpointer p) { delete static_cast<PendingFailurePage*>(p); });
  return TRUE;
}

std::string RequestAddress(WebKitNavigationAction* action) {
  WebKitURIRequest* request = action ? webkit_navigation_action_get_request(action) : nullptr;
  const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
  return uri ? uri : "";
}

// Links that open a new window (target="_blank", window.open) go to the
// user's default browser, as the skin's link buttons do; only web addresses
// leave the program, anything else is dropped.
void OpenOutside(State& state, const std::string& address) {
  if (IsWebAddress(address) && state.site && !state.widgetGone) state.site->OpenWebPage(address);
}

GtkWidget* OnCreateWindow(WebKitWebView*, WebKitNavigationAction* action, gpointer data) {
  OpenOutside(*static_cast<State*>(data), RequestAddress(action));
  return nullptr;  // no window of the program's own
}

gboolean OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type, gpointer data) {
  auto* state = static_cast<State*>(data);
  if (type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION) {
    OpenOutside(*state, RequestAddress(webkit_navigation_policy_decision_get_navigation_action(
                            WEBKIT_NAVIGATION_POLICY_DECISION(decision))));
    webkit_policy_decision_ignore(decision);
    return TRUE;
  }
  if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
    auto* response = WEBKIT_RESPONSE_POLICY_DECISION(decision);
    WebKitURIResponse* answer = webkit_response_policy_decision_get_response(response);
    const guint status = answer ? webkit_uri_response_get_status_code(answer) : 0;
    if (webkit_response_policy_decision_is_main_frame_main_resource(response) && (status == 404 || status == 410)) {
      const char* uri = webkit_uri_response_get_uri(answer);
      state->notFoundAddress = uri ? uri : "";
      webkit_policy_decision_ignore(decision);
      return TRUE;
    }
  }
  return FALSE;  // WebKit's own decision
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

// A leave-page question waiting for the player's answer.
struct PendingLeaveQuestion {
  std::weak_ptr<State> state;
  WebKitScriptDialog* dialog;
};

// Asked from the main loop: the message box runs the event loop, which must
// not happen inside WebKit's signal emission. The page waits meanwhile.
gboolean AskLeaveQuestion(gpointer data) {
  auto* pending = static_cast<PendingLeaveQuestion*>(data);
  bool leave = true;
  if (auto state = pending->state.lock();
      state && !state->widgetGone && state->site && gtk_widget_get_mapped(GTK_WIDGET(state->view)))
    leave = state->site->AskToLeavePage();
  webkit_script_dialog_confirm_set_confirmed(pending->dialog, leave);
  webkit_script_dialog_close(pending->dialog);
  return G_SOURCE_REMOVE;
}

void FreeLeaveQuestion(gpointer data) {
  auto* pending = static_cast<PendingLeaveQuestion*>(data);
  webkit_script_dialog_unref(pending->dialog);
  delete pending;
}

// A page on screen asks its leave-page questions of the player, in the
// program's own box, as a browser does. A hidden page is answered "leave"
// at once: the login dialog's hand-over and a reload of the game move the
// hidden browser on, and it must never wait on a question nobody sees. For
// the same reason a message, confirmation or prompt of a page that is not
// on screen is closed at once (OK, Cancel, no text): WebKit shows it inside
// the view, and until it is answered the page's process loads nothing else.
// A page on screen shows those as usual.
gboolean OnScriptDialog(WebKitWebView* view, WebKitScriptDialog* dialog, gpointer data) {
  auto* state = static_cast<State*>(data);
  const bool onScreen = gtk_widget_get_mapped(GTK_WIDGET(view));
  if (webkit_script_dialog_get_dialog_type(dialog) == WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM) {
    if (!onScreen || !state->site) {
      webkit_script_dialog_confirm_set_confirmed(dialog, TRUE);
      return TRUE;
    }
    auto* pending = new PendingLeaveQuestion{state->weak_from_this(), webkit_script_dialog_ref(dialog)};
    g_idle_add_full(G_PRIORITY_DEFAULT, AskLeaveQuestion, pending, FreeLeaveQuestion);
    return TRUE;
  }
  if (onScreen) return FALSE;
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

// A JavaScript string literal of any text: everything but plain ASCII escaped.
std::string ScriptString(const std::u16string& text) {
  std::string literal = "\"";
  for (const char16_t unit : text) {
    if (unit >= 0x20 && unit < 0x7F && unit != u'"' && unit != u'\\' && unit != u'<') {
      literal += static_cast<char>(unit);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(unit));
      literal += escaped;
    }
  }
  return literal + "\"";
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
    webkit_web_view_evaluate_javascript(state->view, kClearOnBeforeUnloadScript, -1, nullptr, nullptr, nullptr, nullptr,
                                        nullptr);
    return true;
  }

  bool SetTextOfClass(const std::u16string& className, const std::u16string& text) override {
    auto state = state_.lock();
    if (!state || state->widgetGone || state->generation != generation_) return false;
    if (state->body == BodyReport::NoBody) return false;
    const std::string script = "(function () { var e = document.getElementsByClassName(" + ScriptString(className) +
                               ")[0]; if (e) e.textContent = " + ScriptString(text) + "; })()";
    webkit_web_view_evaluate_javascript(state->view, script.c_str(), -1, nullptr, nullptr, nullptr, nullptr, nullptr);
    return true;
  }

 private:
  std::weak_ptr<State> state_;
  std::uint64_t generation_;
};

}  // namespace

void WebKitBrowser::State::QueueCompletion(std::string address) {
  auto* pending = new PendingCompletion{weak_from_this(), base::FromUtf8(address)};
  g_idle_add_full(G_PRIORITY_DEFAULT, DeliverCompletion, pending, FreePending);
}

WebKitBrowser::WebKitBrowser(std::unique_ptr<BrowserSite> site, int controlId, const Rect& rect)
    : state_(std::make_shared<State>()) {
  State& state = *state_;
  state.control = this;
  state.controlId = controlId;
  state.site = std::move(site);

  state.content = webkit_user_content_manager_new();
  webkit_user_content_manager_register_script_message_handler_in_world(state.content, kReporterHandler, kReporterWorld);
  g_signal_connect(state.content, "script-message-received::frameLoaded", G_CALLBACK(OnFrameLoaded), &state);
  WebKitUserScript* reporter =
      webkit_user_script_new_for_world(kReporterScript, WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                                       WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, kReporterWorld, nullptr, nullptr);
  webkit_user_content_manager_add_script(state.content, reporter);
  webkit_user_script_unref(reporter);

  state.view =
      WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", SharedWebContext(), "website-policies",
                                   SoundWithoutClickPolicies(), "user-content-manager", state.content, nullptr));
  g_object_ref_sink(state.view);
  g_signal_connect(state.view, "load-changed", G_CALLBACK(OnLoadChanged), &state);
  g_signal_connect(state.view, "load-failed", G_CALLBACK(OnLoadFailed), &state);
  g_signal_connect(state.view, "script-dialog", G_CALLBACK(OnScriptDialog), &state);
  g_signal_connect(state.view, "create", G_CALLBACK(OnCreateWindow), &state);
  g_signal_connect(state.view, "decide-policy", G_CALLBACK(OnDecidePolicy), &state);
  g_signal_connect(state.view, "destroy", G_CALLBACK(OnWidgetDestroyed), &state);
  for (const char* signal :
       {"key-press-event", "key-release-event", "button-press-event", "button-release-event", "motion-notify-event"}) {
    g_signal_connect(state.view, signal, G_CALLBACK(OnInputEvent), &state);
  }

  GtkWidget* widget = GTK_WIDGET(state.view);
  if (state.site) state.site->Place(widget, rect);
  gtk_widget_show(widget);
}

// Starting the web engine's processes costs the program's first window its
// first frame: the skin showed twice as late. The program's first load waits
// until its view has been drawn (and a moment more, for the windows shown
// with it), or at most kHeldLoadMs.
constexpr guint kHeldLoadMs = 500;
constexpr guint kAfterDrawMs = 50;

void State::HoldLoad(std::string address) {
  heldLoad = std::move(address);
  heldLoadSource = g_timeout_add(
      kHeldLoadMs,
      +[](gpointer data) -> gboolean {
        auto* state = static_cast<State*>(data);
        state->heldLoadSource = 0;
        state->StartHeldLoad();
        return G_SOURCE_REMOVE;
      },
      this);
  heldLoadDraw = g_signal_connect_after(view, "draw", G_CALLBACK(+[](GtkWidget*, cairo_t*, gpointer data) -> gboolean {
                                          auto* state = static_cast<State*>(data);
                                          g_signal_handler_disconnect(state->view, state->heldLoadDraw);
                                          state->heldLoadDraw = 0;
                                          if (state->heldLoadSource) g_source_remove(state->heldLoadSource);
                                          state->heldLoadSource = g_timeout_add(
                                              kAfterDrawMs,
                                              +[](gpointer data) -> gboolean {
                                                auto* state = static_cast<State*>(data);
                                                state->heldLoadSource = 0;
                                                state->StartHeldLoad();
                                                return G_SOURCE_REMOVE;
                                              },
                                              state);
                                          return FALSE;
                                        }),
                                        this);
}

void State::StartHeldLoad() {
  if (heldLoadSource) g_source_remove(heldLoadSource);
  heldLoadSource = 0;
  if (heldLoadDraw) g_signal_handler_disconnect(view, heldLoadDraw);
  heldLoadDraw = 0;
  if (!heldLoad) return;
  std::string address = std::move(*heldLoad);
  heldLoad.reset();
  if (!widgetGone) webkit_web_view_load_uri(view, address.c_str());
}

WebKitBrowser::~WebKitBrowser() {
  State& state = *state_;
  if (state.heldLoadSource) g_source_remove(state.heldLoadSource);
  state.heldLoadSource = 0;
  g_signal_handlers_disconnect_by_data(state.view, &state);
  g_signal_handlers_disconnect_by_data(state.content, &state);
  if (!state.widgetGone) gtk_widget_destroy(GTK_WIDGET(state.view));
  g_object_unref(state.view);
  g_object_unref(state.content);
}

int WebKitBrowser::ControlId() const { return state_->controlId; }

void WebKitBrowser::Navigate(const std::u16string& address) {
  if (state_->widgetGone) return;
  ++state_->navigations;
  // A held first load starts before anything else happens to the view.
  state_->StartHeldLoad();
  static bool first = true;
  if (first) {
    first = false;
    state_->HoldLoad(base::ToUtf8(address));
    return;
  }
  webkit_web_view_load_uri(state_->view, base::ToUtf8(address).c_str());
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

  void OpenWebPage(const std::string& address) override { window_.platform().OpenWebPage(base::FromUtf8(address)); }

  bool AskToLeavePage() override {
    return window_.platform().MessageBox(&window_, kLeavePageQuestion, u"Tessary", MB_YESNO) == IDYES;
  }

 private:
  GtkDialogWindow& window_;
};

}  // namespace

WebKitBrowser::WebKitBrowser(GtkDialogWindow& parent, int controlId, const Rect& rect)
    : WebKitBrowser(std::make_unique<DialogBrowserSite>(parent), controlId, rect) {}

}  // namespace platform::gtk
