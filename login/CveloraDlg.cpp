#include "login/CveloraDlg.h"

#include "game/QueryParameters.h"
#include "login/HandOver.h"
#include "login/Hosts.h"
#include "login/LoginAddress.h"
#include "login/RunUpdateCheck.h"

using namespace platform;

namespace {

// Where the frame edges stand: x, y, width, height on the browser's outermost pixels.
struct FrameEdge {
  int id;
  Rect rect;
};
constexpr FrameEdge kFrameEdges[] = {
    {1021, {45, 30, 45 + 2, 30 + 336}},
    {1022, {45, 30, 45 + 608, 30 + 2}},
    {1023, {653, 30, 653 + 2, 30 + 336}},
    {1024, {45, 364, 45 + 608, 364 + 2}},
};

}  // namespace

CveloraDlg::CveloraDlg(Platform& platform, WindowHandler& parent, UpdateCheck updateCheck,
                       LoginAddressSource loginAddress)
    : game(platform, *this),
      platform_(platform),
      parent_(parent),
      updateCheck_(updateCheck ? std::move(updateCheck) : UpdateCheck(&login::RunUpdateCheck)),
      loginAddress_(loginAddress ? std::move(loginAddress)
                                 : LoginAddressSource([] { return login::BuildLoginAddress(); })) {}

CveloraDlg::~CveloraDlg() {
  browser.DestroyWindow();
  if (window()) window()->Destroy();
}

bool CveloraDlg::Create() {
  WindowSpec kind;
  kind.templateNumber = kTemplate;
  kind.owner = parent_.window();
  kind.style = WS_POPUP;
  return platform_.CreateDialogWindow(kind, *this);
}

LRESULT CveloraDlg::Default(UINT message, WPARAM wParam, LPARAM lParam) {
  return window() ? window()->DefaultProc(message, wParam, lParam) : 0;
}

LRESULT CveloraDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: return OnInitDialog();
    case WM_PAINT: OnPaint(); return 0;
    case WM_QUERYDRAGICON: return kIcon;
    case WM_LBUTTONDOWN:
      // A click on the frame reaches the skin window, in this dialog's own coordinates.
      if (Window* parent = parent_.window()) parent->Send(WM_LBUTTONDOWN, wParam, lParam);
      return Default(message, wParam, lParam);
    case WM_CLOSE: OnClose(); return 0;
    default: return Default(message, wParam, lParam);
  }
}

LRESULT CveloraDlg::OnInitDialog() {
  Window& w = *window();
  keyColor_ = kKeyColor;
  w.SetIcon(ICON_BIG, kIcon);
  w.SetIcon(ICON_SMALL, kIcon);
  w.SetExStyle((w.ExStyle() & ~WS_EX_APPWINDOW) | WS_EX_TOOLWINDOW);
  w.SetExStyle(w.ExStyle() | WS_EX_LAYERED);
  w.SetColorKey(keyColor_);
  firstPaint_ = true;
  playAddress_.clear();
  for (const FrameEdge& edge : kFrameEdges) w.MoveChild(edge.id, edge.rect);
  return 1;
}

void CveloraDlg::OnPaint() {
  if (!window() || window()->IsMinimized()) return;
  if (firstPaint_) {
    // Cleared first, so a paint that arrives while this runs does not repeat it.
    firstPaint_ = false;
    ShowLoginPage();
    CheckForUpdate();
  }
}

std::u16string CveloraDlg::LoadingPageAddress() const {
  // The application name is the executable's file name without its extension.
  const std::string name = platform_.ExecutablePath().stem().string();
  std::u16string address = u"res://";
  address.append(name.begin(), name.end());
  address += u".exe/";
  const std::string number = std::to_string(kLoadingPage);
  address.append(number.begin(), number.end());
  return address;
}

void CveloraDlg::ShowLoginPage() {
  Window& w = *window();
  if (!browser.HasWindow() && browser.CreateControl(kBrowserRect, w, kBrowserId))
    browser.Navigate(LoadingPageAddress());
  if (!w.IsVisible()) w.Show(SW_SHOW);
  if (Window* parent = parent_.window()) parent->Show(SW_SHOW);
}

void CveloraDlg::CheckForUpdate() {
  // The check's message boxes run the event loop, and the loading page may
  // complete under them. Had the login page followed, a site that forwards
  // a remembered login would open the game window over a box the player
  // must answer first. Completions wait for the check; once a new program
  // has started, the login page is never loaded.
  checkingForUpdate_ = true;
  restarting_ = updateCheck_(*this);
  checkingForUpdate_ = false;
  std::vector<std::u16string> held;
  held.swap(heldCompletions_);
  if (restarting_) return;
  for (const std::u16string& address : held) OnDocumentComplete(kBrowserId, address);
}

void CveloraDlg::ShowUpdateProgress(const std::u16string& text) {
  // The loading page's only text sits in its block of class "load".
  if (auto document = browser.get_Document()) document->SetTextOfClass(u"load", text);
}

void CveloraDlg::OnClose() {
  if (Window* parent = parent_.window()) parent->Send(WM_CLOSE, 0, 0);
  // The dialog's cancel: it hides.
  if (window()) window()->Show(SW_HIDE);
}

bool CveloraDlg::PreTranslateMessage(const Msg& msg) {
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN) return BrowserPreTranslate(msg);
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) return !GameHasWindow();
  return false;
}

bool CveloraDlg::BrowserPreTranslate(const Msg& msg) const { return browser.PreTranslateMessage(msg); }

void CveloraDlg::OnDocumentComplete(int controlId, const std::u16string& address) {
  if (controlId != kBrowserId || !browser.HasWindow() || restarting_) return;
  if (checkingForUpdate_) {
    heldCompletions_.push_back(address);
    return;
  }
  switch (login::ClassifyCompletedAddress(address)) {
    case login::CompletedPage::LoadingPage: browser.Navigate(loginAddress_()); return;
    case login::CompletedPage::Ordinary: return;
    case login::CompletedPage::HandOver: HandOver(address); return;
  }
}

void CveloraDlg::HandOver(const std::u16string& address) {
  // The page's leave question goes, and the soon hidden browser returns to
  // the login page.
  if (auto document = browser.get_Document()) {
    document->ClearBodyOnBeforeUnload();
    browser.Navigate(loginAddress_());
  }
  const std::u16string query(login::QueryOf(address));
  if (window()) window()->Show(SW_HIDE);
  if (Window* parent = parent_.window()) parent->Show(SW_HIDE);

  if (!game.window()) {
    if (!game.Create(window())) return;
    const Rect work = platform_.WorkArea();
    game.window()->MoveWindow(work.left, work.top, work.Width(), work.Height(), true);
  }
  game.window()->Show(SW_SHOW);

  if (const auto serverId = game::QueryValue(query, u"&serverid="))
    playAddress_ = login::PlayAddress(login::PortalHost(), *serverId);
  if (const auto gameAddress = game::QueryValue(query, u"&gameaddress=")) game.titleText = *gameAddress;
  game.movieBase = address;
  game.ResetPlacement();
  game.LoadGame(query);
}
