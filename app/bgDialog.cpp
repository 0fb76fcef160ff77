#include "app/bgDialog.h"

#include "login/CveloraDlg.h"

using namespace platform;
using namespace app;

namespace {
// The skin's size when its image cannot be loaded: the window keeps its
// place and its buttons, and shows whatever images did load.
constexpr int kFallbackSkinWidth = 1155;
constexpr int kFallbackSkinHeight = 625;
}  // namespace

bgDialog::bgDialog(Platform& platform) : platform_(platform) {}

bgDialog::~bgDialog() {
  loginDialog_.reset();
  if (window()) {
    window()->Destroy();
  }
}

bool bgDialog::Create() {
  WindowSpec kind;
  kind.templateNumber = kTemplate;
  kind.style = WS_POPUP | WS_CAPTION;
  kind.perPixelAlpha = true;
  return platform_.CreateDialogWindow(kind, *this);
}

LRESULT bgDialog::Default(UINT message, WPARAM wParam, LPARAM lParam) {
  return window() ? window()->DefaultProc(message, wParam, lParam) : 0;
}

LRESULT bgDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: return OnCreate();
    case WM_INITDIALOG: return OnInitDialog();
    case WM_MOVE:
      Default(message, wParam, lParam);
      OnMove(lParam);
      return 0;
    case WM_MOUSEMOVE: OnMouseMove(PointFromParam(lParam)); return Default(message, wParam, lParam);
    case WM_LBUTTONDOWN: OnLButtonDown(PointFromParam(lParam)); return 0;
    case WM_LBUTTONUP: OnLButtonUp(PointFromParam(lParam)); return 0;
    case WM_SETCURSOR:
      if (AnySkinButtonActive(buttons_)) {
        window()->SetCursor(Cursor::Hand);
        return 1;
      }
      return Default(message, wParam, lParam);
    case WM_ERASEBKGND: return 1;
    default: return Default(message, wParam, lParam);
  }
}

LRESULT bgDialog::OnCreate() {
  Window& w = *window();
  w.SetText(u"Tessary");
  loginDialog_ = std::make_unique<CveloraDlg>(platform_, *this);
  constantAlpha_ = 255;

  skin_ = platform_.LoadPngResource(kSkinImage);
  const int width = skin_ ? skin_->Width() : kFallbackSkinWidth;
  const int height = skin_ ? skin_->Height() : kFallbackSkinHeight;
  const Rect current = w.WindowRect();
  w.MoveWindow(current.left, current.top, width, height, false);
  skinRect_ = {0, 0, width, height};

  for (int i = 0; i < kSkinButtonCount; ++i) {
    const SkinButtonSpec& row = kSkinButtonTable[i];
    SkinButton& button = buttons_[i];
    button.images[0] = platform_.LoadPngResource(row.normal);
    // Without its normal image a button has no size and is never hit.
    const int buttonWidth = button.images[0] ? button.images[0]->Width() : 0;
    const int buttonHeight = button.images[0] ? button.images[0]->Height() : 0;
    button.rect = {row.left, row.top, row.left + buttonWidth, row.top + buttonHeight};
    button.read[0] = true;
  }

  // The window has no frame, so its adjusted size is the skin's size.
  const Point origin = CenterOnWorkArea(platform_.WorkArea(), width, height);
  w.SetStyle((w.Style() & ~WS_CAPTION) | WS_POPUP);
  w.SetPosition(origin.x, origin.y);

  if (loginDialog_ && loginDialog_->Create()) {
    loginDialog_->window()->Show(SW_SHOW);
    // The login dialog stands over the skin's panel from the first frame on,
    // not only after the skin's first move.
    loginDialog_->window()->SetPosition(origin.x + kLoginOffsetX, origin.y + kLoginOffsetY);
  }
  return 0;
}

LRESULT bgDialog::OnInitDialog() {
  Window& w = *window();
  w.SetIcon(ICON_BIG, kIcon);
  w.SetIcon(ICON_SMALL, kIcon);
  w.SetStyle(w.Style() | WS_MINIMIZEBOX | WS_SYSMENU);
  ComposeSkin();
  return 1;
}

bool bgDialog::ComposeSkin() {
  Window* w = window();
  if (!w) return false;
  constantAlpha_ = 254;
  if (!composition_ || composition_->Width() != skinRect_.Width() || composition_->Height() != skinRect_.Height())
    composition_ = Surface::Create(skinRect_.Width(), skinRect_.Height());
  if (!composition_) return false;
  ReadShownImages();
  DrawSkin(*composition_, skin_.get(), buttons_);
  if (!(w->ExStyle() & WS_EX_LAYERED)) w->SetExStyle(w->ExStyle() | WS_EX_LAYERED);
  return w->UpdateLayered(*composition_, constantAlpha_);
}

// The hover and pressed images are read when first shown: reading all
// twenty-one before the first frame kept the skin off the screen longer.
void bgDialog::ReadShownImages() {
  for (int i = 0; i < kSkinButtonCount; ++i) {
    SkinButton& button = buttons_[i];
    const int state = static_cast<int>(button.state);
    if (button.read[state]) continue;
    const SkinButtonSpec& row = kSkinButtonTable[i];
    button.images[state] = platform_.LoadPngResource(state == 1 ? row.hover : row.pressed);
    button.read[state] = true;
  }
}

void bgDialog::OnMove(LPARAM lParam) {
  if (!loginDialog_ || !loginDialog_->window()) return;
  const Point p = PointFromParam(lParam);
  loginDialog_->window()->SetPosition(p.x + kLoginOffsetX, p.y + kLoginOffsetY);
}

void bgDialog::OnMouseMove(Point point) {
  if (TrackSkinHover(buttons_, point)) ComposeSkin();
}

void bgDialog::OnLButtonDown(Point point) {
  const int index = SkinButtonAt(buttons_, point);
  if (index >= 0) {
    buttons_[index].state = ButtonState::Pressed;
    ComposeSkin();
    Default(WM_LBUTTONDOWN, 1, MakePointParam(point.x, point.y));
    return;
  }
  platform_.SetDragFullWindows(true);
  // The system's move loop runs until the button is released.
  window()->Send(WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
  if (window()) Default(WM_LBUTTONDOWN, 1, MakePointParam(point.x, point.y));
}

void bgDialog::OnLButtonUp(Point point) {
  const int index = SkinButtonAt(buttons_, point);
  if (index < 0) {
    Default(WM_LBUTTONUP, 0, MakePointParam(point.x, point.y));
    return;
  }
  const ButtonAction action = kSkinButtonTable[index].action;
  if (action == ButtonAction::Close) {
    window()->Post(WM_CLOSE, 0, 0);
    return;
  }
  buttons_[index].state = ButtonState::Hover;
  ComposeSkin();
  if (action == ButtonAction::OpenPage)
    platform_.OpenWebPage(SkinButtonAddress(index));
  else
    window()->Send(WM_SYSCOMMAND, SC_MINIMIZE, 0);
  if (window()) Default(WM_LBUTTONUP, 0, MakePointParam(point.x, point.y));
}

bool bgDialog::PreTranslateMessage(const Msg& msg) {
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN)
    return loginDialog_ ? loginDialog_->BrowserPreTranslate(msg) : false;
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) return !(loginDialog_ && loginDialog_->GameHasWindow());
  return false;
}
