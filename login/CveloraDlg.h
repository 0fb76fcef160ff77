#pragma once
// The login dialog: a see-through window over the skin's panel that shows
// only a web browser inside a thin frame. It shows the loading page, runs
// the self-update at its first paint, sends the browser to the login page
// and turns the web site's hand-over address into a game entry.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "game/veloraGame.h"
#include "login/CExplorer1.h"
#include "platform/Platform.h"

class CveloraDlg final : public platform::WindowHandler, public game::GameOwner {
 public:
  static constexpr int kTemplate = 102;
  static constexpr int kIcon = 128;
  static constexpr int kBrowserId = 1000;
  static constexpr int kLoadingPage = 208;
  static constexpr platform::ColorRef kKeyColor = 0xFEFFFF;
  // The browser's rectangle in the dialog.
  static constexpr platform::Rect kBrowserRect{45, 30, 655, 366};

  // The self-update check run at the first paint; the default is the real
  // one. True when it installed a new program, which is starting.
  using UpdateCheck = std::function<bool(CveloraDlg&)>;
  // The login address, built afresh at every use; the default reads the
  // promotion key from the user's registry store.
  using LoginAddressSource = std::function<std::u16string()>;

  CveloraDlg(platform::Platform& platform, platform::WindowHandler& parent, UpdateCheck updateCheck = {},
             LoginAddressSource loginAddress = {});
  ~CveloraDlg() override;

  // Creates the window from its template, owned by the parent's window.
  bool Create();

  platform::LRESULT WindowProc(platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam) override;
  bool PreTranslateMessage(const platform::Msg& msg) override;
  void OnDocumentComplete(int controlId, const std::u16string& address) override;

  void ShowLoginPage();
  void CheckForUpdate();
  // Progress of the self-update's download, shown in the loading page's text.
  void ShowUpdateProgress(const std::u16string& text);

  // The browser's own pre-translation of a key (the skin window hands Enter to it).
  bool BrowserPreTranslate(const platform::Msg& msg) const;
  bool GameHasWindow() const { return game.window() != nullptr; }

  // game::GameOwner
  const std::u16string& playAddress() const override { return playAddress_; }
  platform::BrowserControl* loginBrowser() const override { return browser.control(); }

  platform::Platform& platform() const { return platform_; }
  bool firstPaint() const { return firstPaint_; }
  std::u16string LoadingPageAddress() const;

  veloraGame game;
  // The web browser, control id 1000; its window is made at the first paint.
  CExplorer1 browser;

 private:
  platform::LRESULT OnInitDialog();
  void OnPaint();
  void OnClose();
  void HandOver(const std::u16string& address);
  platform::LRESULT Default(platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam);

  platform::Platform& platform_;
  platform::WindowHandler& parent_;
  UpdateCheck updateCheck_;
  LoginAddressSource loginAddress_;
  platform::ColorRef keyColor_ = 0;
  bool firstPaint_ = false;
  std::u16string playAddress_;
  // Pages completed while the update check (and its message boxes) ran.
  bool checkingForUpdate_ = false;
  std::vector<std::u16string> heldCompletions_;
  // A new program was installed and started; this one only waits to close.
  bool restarting_ = false;
};
