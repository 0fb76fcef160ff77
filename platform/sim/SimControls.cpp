#include "platform/sim/SimControls.h"

#include <algorithm>

#include "platform/sim/SimPlatform.h"

namespace platform::sim {
namespace {

class SimDocument final : public BrowserDocument {
 public:
  explicit SimDocument(SimBrowser& browser) : browser_(browser) {}
  bool ClearBodyOnBeforeUnload() override {
    if (!browser_.hasBody) return false;
    ++browser_.onBeforeUnloadCleared;
    return true;
  }

 private:
  SimBrowser& browser_;
};

template <typename T>
void Forget(std::vector<T*>& list, T* item) {
  list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

std::u16string Number(long long value) {
  const std::string text = std::to_string(value);
  return std::u16string(text.begin(), text.end());
}

}  // namespace

SimBrowser::SimBrowser(SimWindow& parent, int controlId, const Rect& r)
    : rect(r), parent_(parent), controlId_(controlId) {
  parent_.browsers.push_back(this);
}

SimBrowser::~SimBrowser() { Forget(parent_.browsers, this); }

void SimBrowser::Navigate(const std::u16string& address) { navigations.push_back(address); }

std::unique_ptr<BrowserDocument> SimBrowser::GetDocument() {
  if (!hasDocument) return nullptr;
  return std::make_unique<SimDocument>(*this);
}

void SimBrowser::LoadDocument(bool body) {
  hasDocument = true;
  hasBody = body;
}

void SimBrowser::FireDocumentComplete(const std::u16string& address) {
  hasDocument = true;
  parent_.Handler().OnDocumentComplete(controlId_, address);
}

SimPlayer::SimPlayer(SimWindow& parent, int controlId, const Rect& r)
    : rect(r), parent_(parent), controlId_(controlId) {
  parent_.players.push_back(this);
}

SimPlayer::~SimPlayer() { Forget(parent_.players, this); }

void SimPlayer::SetMenu(bool enabled) { calls.push_back(enabled ? u"Menu=true" : u"Menu=false"); }
void SimPlayer::SetAllowFullScreen(const std::u16string& v) { calls.push_back(u"AllowFullScreen=" + v); }
void SimPlayer::SetAllowScriptAccess(const std::u16string& v) { calls.push_back(u"AllowScriptAccess=" + v); }
void SimPlayer::SetWMode(const std::u16string& v) { calls.push_back(u"WMode=" + v); }
void SimPlayer::SetBackgroundColor(std::int32_t c) { calls.push_back(u"BackgroundColor=" + Number(c)); }
void SimPlayer::SetFlashVars(const std::u16string& v) { calls.push_back(u"FlashVars=" + v); }
void SimPlayer::LoadMovie(std::int32_t layer, const std::u16string& address) {
  calls.push_back(u"LoadMovie(" + Number(layer) + u"," + address + u")");
}
void SimPlayer::Play() { calls.push_back(u"Play"); }
void SimPlayer::Stop() { calls.push_back(u"Stop"); }

std::optional<std::u16string> SimPlayer::CallFunction(const std::u16string& request) {
  calls.push_back(u"CallFunction(" + request + u")");
  if (!movie) return std::nullopt;
  return movie(request);
}

void SimPlayer::Move(const Rect& r, bool /*repaint*/) { rect = r; }

void SimPlayer::Show(int showCommand) { visible = showCommand != SW_HIDE; }

void SimPlayer::FireFlashCall(const std::u16string& request) { parent_.Handler().OnFlashCall(controlId_, request); }

void SimPlayer::FireReadyStateChange(std::int32_t state) { parent_.Handler().OnReadyStateChange(controlId_, state); }

}  // namespace platform::sim
