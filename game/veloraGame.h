#pragma once
// The game window: a borderless top-level window with its own painted frame
// and title bar, hosting the movie player. It belongs to the login dialog,
// which creates its window at the first game entry; closing the game
// destroys the window but keeps this object for the next entry.

#include <deque>
#include <memory>
#include <string>

#include "game/CShockwaveflash1.h"
#include "game/MovieCalls.h"
#include "game/TitleBar.h"
#include "platform/Platform.h"

namespace game {

// What the game window uses of the login dialog that owns it.
class GameOwner {
 public:
  virtual ~GameOwner() = default;
  virtual const std::u16string& playAddress() const = 0;
  // The login dialog's browser, which a refresh sends back to the play
  // address; null before it exists.
  virtual platform::BrowserControl* loginBrowser() const = 0;
};

}  // namespace game

class veloraGame final : public platform::WindowHandler, private game::MovieCommands {
 public:
  static constexpr int kTemplate = 131;
  static constexpr int kIcon = 128;
  static constexpr int kMenu = 156;
  static constexpr int kPlayerId = 1001;
  static constexpr platform::UINT WM_GAME_RELOAD = 0x60D;
  static constexpr platform::UINT WM_TRAY_NOTIFY = 0x60E;
  static constexpr platform::UINT kTrayIconId = 128;
  static constexpr platform::WPARAM kReloadTimer = 1;
  static constexpr platform::UINT kReloadDelay = 200;
  static constexpr int kMinTrackWidth = 450;
  static constexpr int kMinTrackHeight = 300;

  veloraGame(platform::Platform& platform, game::GameOwner& owner);
  ~veloraGame() override;

  // Creates the window from its template, owned by the login dialog's window.
  bool Create(platform::Window* ownerWindow);

  void ResetPlacement();
  void LoadGame(const std::u16string& parameters);
  void ToggleMaximize();
  void ConfirmClose();
  void LayoutPlayer();
  void Refresh();
  void MinimizeToTray();
  void ShowTitleMenu();
  void DrawFrame();
  void DrawTitleText();
  void DrawTitleButtons();

  platform::LRESULT WindowProc(platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam) override;
  bool PreTranslateMessage(const platform::Msg& msg) override;
  void OnFlashCall(int controlId, const std::u16string& request) override;
  void OnReadyStateChange(int controlId, std::int32_t state) override;

  // State the login dialog and tests read and write.
  bool maximized = false;
  int leftBorder = 0;
  int titleHeight = 0;
  std::u16string titleText;
  std::u16string closePrompt;
  platform::ColorRef titleColor = 0xFFFFFF;
  platform::FontSpec titleFont;
  game::TitleBarState title;
  platform::Rect restoreRect;
  std::u16string movieParameters;
  bool playerReady = false;
  // The completed address the parameters came from: relative movie
  // addresses resolve against it.
  std::u16string movieBase;

  // The movie player of the current load, or null.
  std::unique_ptr<CShockwaveflash1> player;

 private:
  platform::LRESULT OnInitDialog();
  platform::LRESULT DefWindowProc(platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam);
  void ApplyMoveSizeRule();
  void OnNcMouseMove(platform::WPARAM wParam, platform::LPARAM lParam);
  platform::LRESULT OnTrayNotify(platform::WPARAM id, platform::LPARAM mouseMessage);
  void ShowDisplaySettings();
  void DeliverHeldCalls();
  void RunTitleAction(int action);
  platform::Rect FrameArea() const;

  // Movie commands.
  void Reload() override;
  void SetReloadTips(const std::u16string& text) override;
  void SetWindowMax() override;
  void Disconnection() override;
  void Trace(const std::u16string& piece) override;

  platform::Platform& platform_;
  game::GameOwner& owner_;
  // The close question is open: the movie's calls wait for its answer.
  bool closeQuestionOpen_ = false;
  std::deque<std::u16string> heldCalls_;
};
