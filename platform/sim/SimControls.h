#pragma once
// In-memory twins of the browser and the movie player: every call is
// recorded in order, and tests fire the controls' events themselves.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Controls.h"

namespace platform::sim {

class SimWindow;

class SimBrowser final : public BrowserControl {
 public:
  SimBrowser(SimWindow& parent, int controlId, const Rect& rect);
  ~SimBrowser() override;

  int ControlId() const override { return controlId_; }
  void Navigate(const std::u16string& address) override;
  std::unique_ptr<BrowserDocument> GetDocument() override;
  void SetFocus() override { ++focusCount; }

  // Test side: the page a test says is loaded, and its completion event.
  void LoadDocument(bool hasBody = true);
  void FireDocumentComplete(const std::u16string& address);

  Rect rect;
  std::vector<std::u16string> navigations;
  bool hasDocument = false;
  bool hasBody = true;
  int onBeforeUnloadCleared = 0;
  int focusCount = 0;

 private:
  SimWindow& parent_;
  int controlId_;
};

class SimPlayer final : public PlayerControl {
 public:
  SimPlayer(SimWindow& parent, int controlId, const Rect& rect);
  ~SimPlayer() override;

  int ControlId() const override { return controlId_; }
  void SetMenu(bool enabled) override;
  void SetAllowFullScreen(const std::u16string& value) override;
  void SetAllowScriptAccess(const std::u16string& value) override;
  void SetWMode(const std::u16string& value) override;
  void SetBackgroundColor(std::int32_t color) override;
  void SetFlashVars(const std::u16string& value) override;
  void SetBaseAddress(const std::u16string& address) override { baseAddress = address; }
  void LoadMovie(std::int32_t layer, const std::u16string& address) override;
  void Play() override;
  void Stop() override;
  std::optional<std::u16string> CallFunction(const std::u16string& request) override;
  void Move(const Rect& rect, bool repaint) override;
  void Show(int showCommand) override;
  void SetFocus() override { ++focusCount; }
  bool PreTranslateMessage(const Msg&) override { return false; }

  // Test side.
  void FireFlashCall(const std::u16string& request);
  void FireReadyStateChange(std::int32_t state);

  // Every member call in order, e.g. "Menu=false", "LoadMovie(0,RES/x.swf)".
  std::vector<std::u16string> calls;
  Rect rect;
  bool visible = false;
  int focusCount = 0;
  std::u16string baseAddress;
  // The movie's answer to CallFunction; nullopt reports an error.
  std::function<std::optional<std::u16string>(const std::u16string&)> movie;

 private:
  SimWindow& parent_;
  int controlId_;
};

}  // namespace platform::sim
