#pragma once
// The skin window: the program's main window, one PNG image with per-pixel
// alpha and seven image buttons. It owns the login dialog, which sits over
// its framed panel and follows it when it moves.

#include <memory>

#include "app/SkinButtons.h"
#include "platform/Platform.h"

class CveloraDlg;

class bgDialog final : public platform::WindowHandler {
 public:
  static constexpr int kTemplate = 103;
  static constexpr int kIcon = 128;
  // Where the login dialog stands relative to the skin's top-left.
  static constexpr int kLoginOffsetX = 362;
  static constexpr int kLoginOffsetY = 154;

  explicit bgDialog(platform::Platform& platform);
  ~bgDialog() override;

  // Creates the window from its template (WM_CREATE, then dialog initialisation).
  bool Create();

  platform::LRESULT WindowProc(platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam) override;
  bool PreTranslateMessage(const platform::Msg& msg) override;

  // Draws skin and buttons into an off-screen image and hands it to the window.
  bool ComposeSkin();

  CveloraDlg* loginDialog() const { return loginDialog_.get(); }
  const app::SkinButtons& buttons() const { return buttons_; }
  std::uint8_t constantAlpha() const { return constantAlpha_; }

 private:
  platform::LRESULT OnCreate();
  platform::LRESULT OnInitDialog();
  void OnMove(platform::LPARAM lParam);
  void OnMouseMove(platform::Point point);
  void OnLButtonDown(platform::Point point);
  void OnLButtonUp(platform::Point point);
  void ReadShownImages();
  platform::LRESULT Default(platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam);

  platform::Platform& platform_;
  std::unique_ptr<CveloraDlg> loginDialog_;
  std::uint8_t constantAlpha_ = 255;
  std::unique_ptr<platform::Surface> skin_;
  platform::Rect skinRect_;
  app::SkinButtons buttons_;
  std::unique_ptr<platform::Surface> composition_;
};
