#include "platform/gtk/player/BridgeView.h"

#include <gio/gio.h>

#include <utility>
#include <vector>

#include "base/Text.h"
#include "platform/gtk/WebsitePolicies.h"
#include "platform/gtk/player/InvokeXml.h"
#include "platform/gtk/player/JscValues.h"
#include "platform/gtk/player/PlayerFiles.h"

namespace platform::gtk {

namespace {

constexpr const char* kLogDomain = "tessary";
constexpr const char* kChannel = "tessaryPlayer";

bool IsWebAddress(const char* uri) {
  return uri && (g_str_has_prefix(uri, "http://") || g_str_has_prefix(uri, "https://"));
}

}  // namespace

BridgeView::BridgeView(WebKitWebContext* context, GtkWidget* shelf) : shelf_(shelf) {
  content_ = webkit_user_content_manager_new();
  g_signal_connect(content_, "script-message-received::tessaryPlayer", G_CALLBACK(OnScriptMessage), this);
  webkit_user_content_manager_register_script_message_handler(content_, kChannel);

  view_ = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context, "user-content-manager", content_,
                                       "website-policies", SoundWithoutClickPolicies(), nullptr));
  g_object_ref_sink(view_);

  WebKitSettings* settings = webkit_web_view_get_settings(view_);
  // The movie comes from the game's servers while the page comes from the
  // player's own scheme: the page must load it (and the movie its own
  // files) across origins without asking those servers, as the Flash player did.
  webkit_settings_set_disable_web_security(settings, TRUE);
  webkit_settings_set_media_playback_requires_user_gesture(settings, FALSE);
  webkit_settings_set_enable_webgl(settings, TRUE);
  webkit_settings_set_javascript_can_open_windows_automatically(settings, FALSE);
  webkit_settings_set_enable_page_cache(settings, FALSE);
  webkit_settings_set_enable_developer_extras(settings, FALSE);
  webkit_settings_set_enable_smooth_scrolling(settings, FALSE);

  g_signal_connect(view_, "load-changed", G_CALLBACK(OnLoadChanged), this);
  g_signal_connect(view_, "load-failed", G_CALLBACK(OnLoadFailed), this);
  g_signal_connect(view_, "web-process-terminated", G_CALLBACK(OnProcessTerminated), this);
  g_signal_connect(view_, "destroy", G_CALLBACK(OnDestroyed), this);
  g_signal_connect(view_, "decide-policy", G_CALLBACK(OnDecidePolicy), this);
  // No browser menu over the movie, no dialogs or permissions for it.
  g_signal_connect(
      view_, "context-menu",
      G_CALLBACK(+[](WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*, gpointer) { return TRUE; }),
      nullptr);
  g_signal_connect(view_, "script-dialog",
                   G_CALLBACK(+[](WebKitWebView*, WebKitScriptDialog*, gpointer) { return TRUE; }), nullptr);
  g_signal_connect(view_, "permission-request",
                   G_CALLBACK(+[](WebKitWebView*, WebKitPermissionRequest* request, gpointer) {
                     webkit_permission_request_deny(request);
                     return TRUE;
                   }),
                   nullptr);
  g_signal_connect(view_, "button-press-event", G_CALLBACK(OnInput), this);
  g_signal_connect(view_, "motion-notify-event", G_CALLBACK(OnInput), this);

  webkit_web_view_load_uri(view_, kBridgePageAddress);
}

BridgeView::~BridgeView() {
  if (flushSource_) g_source_remove(flushSource_);
  g_signal_handlers_disconnect_by_data(content_, this);
  webkit_user_content_manager_unregister_script_message_handler(content_, kChannel);
  g_signal_handlers_disconnect_by_data(view_, this);
  if (GtkWidget* parent = gtk_widget_get_parent(GTK_WIDGET(view_))) {
    gtk_container_remove(GTK_CONTAINER(parent), GTK_WIDGET(view_));
  }
  if (frame_) {
    g_signal_handlers_disconnect_by_data(frame_, this);
    gtk_widget_destroy(frame_);
    g_object_unref(frame_);
  }
  gtk_widget_destroy(GTK_WIDGET(view_));
  g_object_unref(view_);
  g_object_unref(content_);
}

GtkWidget* BridgeView::FrameFor(GtkWidget* windowContainer) {
  if (frame_ && windowContainer && gtk_widget_get_parent(frame_) == windowContainer) return frame_;
  GtkWidget* view = GTK_WIDGET(view_);
  if (frame_) {
    g_signal_handlers_disconnect_by_data(frame_, this);
    if (gtk_widget_get_parent(view) == frame_) gtk_container_remove(GTK_CONTAINER(frame_), view);
    gtk_widget_destroy(frame_);  // it leaves its window
    g_object_unref(frame_);
  }
  frame_ = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  g_object_ref_sink(frame_);
  g_signal_connect(frame_, "destroy", G_CALLBACK(OnFrameDestroyed), this);
  if (GtkWidget* parent = gtk_widget_get_parent(view)) gtk_container_remove(GTK_CONTAINER(parent), view);
  gtk_box_pack_start(GTK_BOX(frame_), view, TRUE, TRUE, 0);
  gtk_widget_show(view);
  return frame_;
}

// The frame's window is going: the view leaves before the window's
// destruction reaches it, and waits on the shelf until its borrower is done.
void BridgeView::OnFrameDestroyed(GtkWidget* frame, gpointer data) {
  auto* self = static_cast<BridgeView*>(data);
  g_signal_handlers_disconnect_by_data(frame, self);
  GtkWidget* view = GTK_WIDGET(self->view_);
  if (gtk_widget_get_parent(view) == frame) gtk_container_remove(GTK_CONTAINER(frame), view);
  g_object_unref(self->frame_);
  self->frame_ = nullptr;
  self->Shelve();
}

void BridgeView::Shelve() {
  GtkWidget* view = GTK_WIDGET(view_);
  if (!shelf_ || broken_ || gtk_widget_get_parent(view)) return;
  gtk_container_add(GTK_CONTAINER(shelf_), view);
  gtk_widget_show(view);
}

void BridgeView::Run(std::string script) {
  if (broken_) return;
  if (!pageLoaded_) {
    pendingScripts_.push_back(std::move(script));
    return;
  }
  webkit_web_view_evaluate_javascript(view_, script.c_str(), static_cast<gssize>(script.size()), nullptr, nullptr,
                                      nullptr, nullptr, nullptr);
}

void BridgeView::Attach(std::uint64_t session, MovieSessionEvents* events) {
  session_ = session;
  events_ = events;
}

void BridgeView::Detach(std::uint64_t session) {
  if (session_ != session) return;
  session_ = 0;
  events_ = nullptr;
}

void BridgeView::ReleaseMessages() {
  if (holdDepth_ > 0) --holdDepth_;
  if (holdDepth_ == 0 && !held_.empty() && !flushSource_) flushSource_ = g_idle_add(FlushHeld, this);
}

gboolean BridgeView::FlushHeld(gpointer data) {
  auto* self = static_cast<BridgeView*>(data);
  std::shared_ptr<BridgeView> keep = self->shared_from_this();
  self->flushSource_ = 0;
  while (self->holdDepth_ == 0 && !self->held_.empty()) {
    Message message = std::move(self->held_.front());
    self->held_.pop_front();
    self->Deliver(message);
  }
  return G_SOURCE_REMOVE;
}

void BridgeView::Receive(Message message) {
  if (message.session == 0 || message.session != session_) return;
  if (holdDepth_ > 0 || !held_.empty()) {
    held_.push_back(std::move(message));
    if (holdDepth_ == 0 && !flushSource_) flushSource_ = g_idle_add(FlushHeld, this);
    return;
  }
  Deliver(message);
}

void BridgeView::Deliver(const Message& message) {
  // The receiver may end its session, or be gone already.
  if (message.session != session_ || !events_) return;
  if (message.isCall) {
    events_->OnMovieCall(message.request);
  } else {
    events_->OnMovieReadyState(message.state);
  }
}

void BridgeView::OnScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer data) {
  auto* self = static_cast<BridgeView*>(data);
  JSCValue* value = webkit_javascript_result_get_js_value(result);
  std::u16string kind = JscStringProperty(value, "kind").value_or(u"");
  double session = JscNumberProperty(value, "session").value_or(0);
  Message message;
  message.session = session >= 1 ? static_cast<std::uint64_t>(session) : 0;

  if (kind == u"call") {
    std::u16string name = JscStringProperty(value, "name").value_or(u"");
    JscRef args(JscProperty(value, "args"));
    ExternalValue list = ValueFromJsc(args.value);
    message.isCall = true;
    message.request = InvokeRequestXml(name, list.items);
  } else if (kind == u"state") {
    message.state = static_cast<std::int32_t>(JscNumberProperty(value, "state").value_or(0));
  } else if (kind == u"warm") {
    self->warm_ = true;
    return;
  } else {
    if (kind == u"log") {
      std::string text = base::ToUtf8(JscStringProperty(value, "text").value_or(u""));
      g_log(kLogDomain, G_LOG_LEVEL_DEBUG, "movie player: %s", text.c_str());
    }
    return;
  }
  std::shared_ptr<BridgeView> keep = self->shared_from_this();
  self->Receive(std::move(message));
}

void BridgeView::OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer data) {
  auto* self = static_cast<BridgeView*>(data);
  if (event != WEBKIT_LOAD_FINISHED || self->broken_ || self->pageLoaded_) return;
  self->pageLoaded_ = true;
  while (!self->pendingScripts_.empty()) {
    std::string script = std::move(self->pendingScripts_.front());
    self->pendingScripts_.pop_front();
    webkit_web_view_evaluate_javascript(view, script.c_str(), static_cast<gssize>(script.size()), nullptr, nullptr,
                                        nullptr, nullptr, nullptr);
  }
}

gboolean BridgeView::OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error, gpointer data) {
  auto* self = static_cast<BridgeView*>(data);
  if (self->pageLoaded_) return FALSE;
  g_log(kLogDomain, G_LOG_LEVEL_WARNING, "the movie player's page %s did not load: %s", uri ? uri : "",
        error ? error->message : "");
  self->broken_ = true;
  self->pendingScripts_.clear();
  return TRUE;
}

void BridgeView::OnProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason, gpointer data) {
  auto* self = static_cast<BridgeView*>(data);
  g_log(kLogDomain, G_LOG_LEVEL_WARNING, "the movie player's web process ended (%d)", static_cast<int>(reason));
  self->broken_ = true;
}

void BridgeView::OnDestroyed(GtkWidget*, gpointer data) {
  auto* self = static_cast<BridgeView*>(data);
  self->broken_ = true;
}

gboolean BridgeView::OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                    gpointer) {
  if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) return FALSE;
  auto* navigation = WEBKIT_NAVIGATION_POLICY_DECISION(decision);
  WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(navigation);
  const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
  bool ownPage = uri && (g_str_has_prefix(uri, "tessary-player:") || g_strcmp0(uri, "about:blank") == 0);
  if (type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION && ownPage) return FALSE;
  // A page the movie opens (navigateToURL) goes to the user's browser; the
  // player's page itself never leaves.
  if (IsWebAddress(uri)) {
    GError* error = nullptr;
    if (!g_app_info_launch_default_for_uri(uri, nullptr, &error)) {
      g_log(kLogDomain, G_LOG_LEVEL_DEBUG, "cannot open %s: %s", uri, error ? error->message : "");
      g_clear_error(&error);
    }
  }
  webkit_policy_decision_ignore(decision);
  return TRUE;
}

gboolean BridgeView::OnInput(GtkWidget*, GdkEvent* event, gpointer data) {
  auto* self = static_cast<BridgeView*>(data);
  if (!self->events_) return FALSE;
  std::shared_ptr<BridgeView> keep = self->shared_from_this();
  return self->events_->OnMovieInput(event) ? TRUE : FALSE;
}

}  // namespace platform::gtk
