#include "game/veloraGame.h"

#include <algorithm>

#include "game/MovieLoading.h"
#include "res/Resources.h"

using namespace platform;

namespace {

constexpr WPARAM kCommandRefresh = 32772;
constexpr WPARAM kCommandClearCache = 32773;
constexpr WPARAM kCommandDisplaySettings = 32774;

// The frame pieces in painting order.
enum FrameBitmap {
  kCaptionLeft = 150,
  kCaptionMiddle = 149,
  kCaptionRight = 151,
  kBorderLeft = 152,
  kBorderRight = 157,
  kBorderBottom = 153,
  kCornerBottomLeft = 169,
  kCornerBottomRight = 168,
};

int WidthOf(const std::unique_ptr<Surface>& s) { return s ? s->Width() : 0; }
int HeightOf(const std::unique_ptr<Surface>& s) { return s ? s->Height() : 0; }

void Blit(Surface& dc, const std::unique_ptr<Surface>& bitmap, int x, int y, int width, int height) {
  if (bitmap) dc.CopyStretched(*bitmap, {x, y, x + width, y + height});
}

}  // namespace

veloraGame::veloraGame(Platform& platform, game::GameOwner& owner) : platform_(platform), owner_(owner) {}

veloraGame::~veloraGame() {
  player.reset();
  if (window()) window()->Destroy();
}

bool veloraGame::Create(Window* ownerWindow) {
  WindowSpec kind;
  kind.templateNumber = kTemplate;
  kind.owner = ownerWindow;
  kind.style = WS_POPUP;
  kind.exStyle = WS_EX_APPWINDOW;
  return platform_.CreateDialogWindow(kind, *this);
}

LRESULT veloraGame::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (!window()) return 0;
  const LRESULT result = window()->DefaultProc(message, wParam, lParam);
  // The frame is painted again after the platform's own painting.
  if (window() && (message == WM_PAINT || message == WM_NCPAINT || message == WM_NCACTIVATE)) DrawFrame();
  return result;
}

LRESULT veloraGame::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      if (DefWindowProc(message, wParam, lParam) == -1) return -1;
      window()->SetText(u"Tessary");
      return 0;
    case WM_INITDIALOG: return OnInitDialog();
    case WM_CLOSE: ConfirmClose(); return 0;
    case WM_SYSCOMMAND:
      if (wParam == SC_CLOSE) {
        ConfirmClose();
        return 0;
      }
      return DefWindowProc(message, wParam, lParam);
    case WM_SIZE:
      DefWindowProc(message, wParam, lParam);
      ApplyMoveSizeRule();
      LayoutPlayer();
      return 0;
    case WM_MOVE:
      DefWindowProc(message, wParam, lParam);
      ApplyMoveSizeRule();
      return 0;
    case WM_ERASEBKGND: return 0;
    case WM_NCHITTEST: {
      const LRESULT d = DefWindowProc(message, wParam, lParam);
      return game::TitleHitTest(title, window()->WindowRect(), PointFromParam(lParam), d);
    }
    case WM_GETMINMAXINFO:
      if (auto* info = reinterpret_cast<MINMAXINFO*>(lParam)) info->ptMinTrackSize = {kMinTrackWidth, kMinTrackHeight};
      return DefWindowProc(message, wParam, lParam);
    case WM_NCLBUTTONDBLCLK: ToggleMaximize(); return 0;
    case WM_NCLBUTTONDOWN: {
      const Rect r = window()->WindowRect();
      if (game::TitleButtonPress(title, {r.left, r.top}, PointFromParam(lParam))) DrawTitleButtons();
      return DefWindowProc(message, wParam, lParam);
    }
    case WM_NCMOUSEMOVE: OnNcMouseMove(wParam, lParam); return 0;
    case WM_SETCURSOR:
      if (title.hoverAction > 0) {
        window()->SetCursor(Cursor::Hand);
        return 1;
      }
      return DefWindowProc(message, wParam, lParam);
    case WM_TIMER:
      // Whatever the timer, the pending reload happens once.
      window()->KillTimer(kReloadTimer);
      Refresh();
      return window() ? DefWindowProc(message, wParam, lParam) : 0;
    case WM_COMMAND:
      switch (wParam & 0xFFFF) {
        case kCommandRefresh: Refresh(); return 0;
        case kCommandClearCache: platform_.ClearBrowserCache(); return 0;
        case kCommandDisplaySettings: ShowDisplaySettings(); return 0;
        default: return DefWindowProc(message, wParam, lParam);
      }
    case WM_GAME_RELOAD: LoadGame(std::u16string(movieParameters)); return 0;
    case WM_TRAY_NOTIFY: return OnTrayNotify(wParam, lParam);
    default: return DefWindowProc(message, wParam, lParam);
  }
}

LRESULT veloraGame::OnInitDialog() {
  Window& w = *window();
  w.SetIcon(ICON_BIG, kIcon);
  w.SetIcon(ICON_SMALL, kIcon);
  leftBorder = 3;
  titleHeight = 29;
  titleFont = FontSpec{u"宋体", 12, 7, 600};
  DrawFrame();
  return 1;
}

bool veloraGame::PreTranslateMessage(const Msg& msg) {
  if (msg.message == WM_KEYDOWN) {
    if (msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE)
      // Without a player the keys go their normal way; they never close the window.
      return player ? player->PreTranslateMessage(msg) : false;
    if (msg.wParam == VK_F5) Refresh();
    return false;
  }
  if (player && player->IsTargetOf(msg)) {
    if (msg.message == WM_RBUTTONDOWN) return true;  // the player's own menu never opens
    if (msg.message == WM_MOUSEMOVE && game::ResetTitleButtons(title)) DrawTitleButtons();
  }
  return false;
}

void veloraGame::ToggleMaximize() {
  Window* w = window();
  if (!w) return;
  if (maximized) {
    w->Show(SW_RESTORE);
    w->MoveWindow(restoreRect.left, restoreRect.top, restoreRect.Width(), restoreRect.Height(), true);
    maximized = false;
  } else {
    w->Show(SW_RESTORE);
    restoreRect = w->WindowRect();
    const Rect work = platform_.WorkArea();
    w->MoveWindow(work.left, work.top, work.Width(), work.Height(), true);
    maximized = true;
  }
  DrawTitleButtons();
  if (player) player->SetFocus();
}

void veloraGame::ResetPlacement() {
  maximized = false;
  ToggleMaximize();
  const Rect work = platform_.WorkArea();
  const int w = std::min(work.Width(), 1500);
  const int h = std::min(work.Height(), 900);
  const int left = work.Width() / 2 - w / 2;
  const int top = work.Height() / 2 - h / 2;
  restoreRect = {left, top, left + w, top + h};
}

void veloraGame::ApplyMoveSizeRule() {
  if (!window() || !maximized) return;
  const Rect r = window()->WindowRect();
  if ((r.top != 0 || r.left != 0) && title.hoverAction == game::kActionNone) maximized = false;
}

void veloraGame::LayoutPlayer() {
  if (!player || !window()) return;
  Rect r = window()->WindowRect();
  const Rect work = platform_.WorkArea();
  if (r.Width() > work.Width()) r.right = r.left + work.Width();
  if (r.Height() > work.Height()) r.bottom = r.top + work.Height();
  const int w = r.Width() - 6;
  const int h = r.Height() - 32;
  if (w > 0 && h > 0) player->MoveWindow({3, 29, 3 + w, 29 + h}, true);
}

void veloraGame::MinimizeToTray() {
  if (!window()) return;
  // Without a notification area a hidden window could not be brought back:
  // it is minimised instead.
  if (!window()->AddTrayIcon(kTrayIconId, WM_TRAY_NOTIFY, kIcon, u"Tessary")) {
    window()->Show(SW_MINIMIZE);
    return;
  }
  window()->Show(SW_HIDE);
}

LRESULT veloraGame::OnTrayNotify(WPARAM id, LPARAM mouseMessage) {
  if (id != kTrayIconId) return 1;
  if (mouseMessage == WM_LBUTTONUP || mouseMessage == WM_RBUTTONUP) {
    window()->Show(SW_SHOW);
    window()->DeleteTrayIcon(kTrayIconId);
  }
  return 0;
}

void veloraGame::ShowTitleMenu() {
  const res::MenuResource* menu = res::FindMenu(kMenu);
  if (!menu || !window()) return;
  const Rect r = window()->WindowRect();
  const Rect& button = title.buttons[game::kMenuButton].rect;
  window()->TrackPopupMenu(*menu, {r.left + button.left, r.top + button.bottom + 8});
  if (player) player->SetFocus();
}

void veloraGame::Refresh() {
  const std::u16string& address = owner_.playAddress();
  if (address.empty()) return;
  if (BrowserControl* browser = owner_.loginBrowser()) browser->Navigate(address);
}

void veloraGame::ConfirmClose() {
  // One close question at a time: the movie keeps calling while it is open,
  // and a second "disconnection" would stack a second question.
  if (!window() || closeQuestionOpen_) return;
  closeQuestionOpen_ = true;
  const bool leave = platform_.MessageBox(window(), closePrompt, u"Tessary", MB_YESNO) == IDYES;
  closeQuestionOpen_ = false;
  if (!leave) {
    DeliverHeldCalls();
    return;
  }
  heldCalls_.clear();
  if (window() == nullptr) return;  // gone while the question was open
  if (player) {
    player->Stop();
    player.reset();
  }
  playerReady = false;
  if (Window* login = window()->Owner()) {
    if (!login->IsVisible()) login->Show(SW_SHOW);
    if (Window* skin = login->Owner()) skin->Show(SW_SHOW);
  }
  window()->Destroy();
}

// The player stays: what the movie said while the question was open happens
// now, in order. A call that asks the question again holds the rest anew.
void veloraGame::DeliverHeldCalls() {
  while (!heldCalls_.empty() && !closeQuestionOpen_ && window()) {
    const std::u16string request = std::move(heldCalls_.front());
    heldCalls_.pop_front();
    game::OnFlashCall(request, *this);
  }
}

void veloraGame::ShowDisplaySettings() {
  // Without a player there is no movie to ask.
  if (!player) return;
  const std::string request = game::kDisplaySettingsRequest;
  player->CallFunction(std::u16string(request.begin(), request.end()));
}

void veloraGame::LoadGame(const std::u16string& parameters) {
  Window* w = window();
  if (!w) return;
  if (player) {
    player->Stop();
    player.reset();
  }
  const Rect client = w->ClientRect();
  player = std::make_unique<CShockwaveflash1>();
  playerReady = false;
  closePrompt = game::kDefaultClosePrompt;
  if (player->CreateControl({3, 29, client.Width() - 3, client.Height() - 3}, *w, kPlayerId)) {
    player->MoveWindow({3, 29, 3 + client.Width() - 6, 29 + client.Height() - 32}, true);
    player->ShowWindow(SW_SHOW);
  } else {
    player.reset();
  }
  movieParameters = parameters.substr(0, game::kMovieParametersCapacity);
  if (!player) return;  // no player could be made: nothing to configure
  player->put_Menu(false);
  player->put_AllowFullScreen(u"true");
  player->put_AllowScriptAccess(u"always");
  player->put_WMode(u"direct");
  player->put_BackgroundColor(0);
  const std::u16string& s = movieParameters;
  if (const auto address = game::LoaderMovieAddress(s)) {
    player->put_FlashVars(s);
    player->put_Base(movieBase);
    player->LoadMovie(0, *address);
  }
  player->Play();
}

void veloraGame::OnReadyStateChange(int controlId, std::int32_t) {
  if (controlId != kPlayerId || playerReady) return;
  playerReady = true;
  LayoutPlayer();
}

void veloraGame::OnFlashCall(int controlId, const std::u16string& request) {
  if (controlId != kPlayerId) return;
  // A reload must not replace the game under the question, nor a window
  // change move it: calls wait for the answer (and go with a Yes).
  if (closeQuestionOpen_) {
    heldCalls_.push_back(request);
    return;
  }
  game::OnFlashCall(request, *this);
}

void veloraGame::Reload() {
  if (window()) window()->SetTimer(kReloadTimer, kReloadDelay);
}
void veloraGame::SetReloadTips(const std::u16string& text) { closePrompt = text; }
void veloraGame::SetWindowMax() { ToggleMaximize(); }
void veloraGame::Disconnection() { ConfirmClose(); }
void veloraGame::Trace(const std::u16string& piece) { platform_.DebugOutput(piece); }

void veloraGame::OnNcMouseMove(WPARAM wParam, LPARAM lParam) {
  const Rect r = window()->WindowRect();
  const game::TitleMoveResult move = game::TitleMouseMove(title, {r.left, r.top}, PointFromParam(lParam));
  RunTitleAction(move.action);
  if (!window()) return;  // the close question was answered Yes
  if (move.redraw) DrawTitleButtons();
  game::SettleHoverAction(title);
  DefWindowProc(WM_NCMOUSEMOVE, wParam, lParam);
}

void veloraGame::RunTitleAction(int action) {
  switch (action) {
    case game::kActionClose: ConfirmClose(); break;
    case game::kActionTray: MinimizeToTray(); break;
    case game::kActionMinimize: window()->Show(SW_MINIMIZE); break;
    case game::kActionMaximize: ToggleMaximize(); break;
    case game::kActionMenu: ShowTitleMenu(); break;
    default: break;
  }
}

Rect veloraGame::FrameArea() const {
  // The frame is drawn as if the window were no larger than the work area.
  const Rect client = window()->ClientRect();
  const Rect work = platform_.WorkArea();
  return {0, 0, std::min(client.Width(), work.Width()), std::min(client.Height(), work.Height())};
}

void veloraGame::DrawFrame() {
  if (!window()) return;
  Surface& dc = window()->WindowSurface();
  const Rect area = FrameArea();
  const int W = area.Width(), H = area.Height();
  const auto left = platform_.LoadBitmapResource(kBorderLeft);
  const auto captionLeft = platform_.LoadBitmapResource(kCaptionLeft);
  const auto captionMiddle = platform_.LoadBitmapResource(kCaptionMiddle);
  const auto captionRight = platform_.LoadBitmapResource(kCaptionRight);
  const auto right = platform_.LoadBitmapResource(kBorderRight);
  const auto cornerLeft = platform_.LoadBitmapResource(kCornerBottomLeft);
  const auto bottom = platform_.LoadBitmapResource(kBorderBottom);
  const auto cornerRight = platform_.LoadBitmapResource(kCornerBottomRight);
  Blit(dc, left, 3 - leftBorder, titleHeight, WidthOf(left), H - titleHeight - 3);
  Blit(dc, captionLeft, 0, 0, WidthOf(captionLeft), titleHeight);
  Blit(dc, captionMiddle, WidthOf(captionLeft), 0, W - WidthOf(captionRight) - WidthOf(captionLeft), titleHeight);
  Blit(dc, captionRight, W - WidthOf(captionRight), 0, WidthOf(captionRight), titleHeight);
  Blit(dc, right, W - leftBorder, titleHeight, WidthOf(right), H - titleHeight - 3);
  Blit(dc, cornerLeft, 0, H - 3, WidthOf(cornerLeft), HeightOf(cornerLeft));
  Blit(dc, bottom, WidthOf(left), H - 4, W - 2 * WidthOf(left), HeightOf(bottom));
  Blit(dc, cornerRight, W - leftBorder, H - 3, WidthOf(cornerRight), HeightOf(cornerRight));
  DrawTitleText();
  DrawTitleButtons();
}

void veloraGame::DrawTitleText() {
  if (titleText.empty() || !window()) return;
  Surface& dc = window()->WindowSurface();
  // The text never runs into the title buttons.
  const int width = window()->ClientRect().Width();
  const Rect clip{0, 0, std::max(0, width - 135), titleHeight};
  dc.DrawText(titleText, titleFont, titleColor, 155, titleHeight / 3, TextAlign::Center, clip);
  window()->Invalidate();
}

void veloraGame::DrawTitleButtons() {
  if (!window()) return;
  Surface& dc = window()->WindowSurface();
  const auto rects = game::TitleButtonRects(window()->ClientRect().Width());
  for (int i = 0; i < game::kTitleButtonCount; ++i) {
    game::TitleButton& button = title.buttons[i];
    button.rect = rects[i];
    if (auto image = platform_.LoadBitmapResource(game::TitleButtonImage(i, button.state, maximized)))
      dc.CopyStretched(*image, button.rect);
  }
  window()->Invalidate();
}
