#include "game/CShockwaveflash1.h"

using namespace platform;

bool CShockwaveflash1::CreateControl(const Rect& rect, Window& parent, int controlId) {
  control_.reset();
  control_ = parent.CreatePlayer(controlId, rect);
  return control_ != nullptr;
}

void CShockwaveflash1::put_Menu(bool enabled) {
  if (control_) control_->SetMenu(enabled);
}

void CShockwaveflash1::put_AllowFullScreen(const std::u16string& value) {
  if (control_) control_->SetAllowFullScreen(value);
}

void CShockwaveflash1::put_AllowScriptAccess(const std::u16string& value) {
  if (control_) control_->SetAllowScriptAccess(value);
}

void CShockwaveflash1::put_WMode(const std::u16string& value) {
  if (control_) control_->SetWMode(value);
}

void CShockwaveflash1::put_BackgroundColor(std::int32_t color) {
  if (control_) control_->SetBackgroundColor(color);
}

void CShockwaveflash1::put_FlashVars(const std::u16string& value) {
  if (control_) control_->SetFlashVars(value);
}

void CShockwaveflash1::put_Base(const std::u16string& address) {
  if (control_) control_->SetBaseAddress(address);
}

void CShockwaveflash1::LoadMovie(std::int32_t layer, const std::u16string& address) {
  if (control_) control_->LoadMovie(layer, address);
}

void CShockwaveflash1::Play() {
  if (control_) control_->Play();
}

void CShockwaveflash1::Stop() {
  if (control_) control_->Stop();
}

std::optional<std::u16string> CShockwaveflash1::CallFunction(const std::u16string& request) {
  return control_ ? control_->CallFunction(request) : std::nullopt;
}

void CShockwaveflash1::MoveWindow(const Rect& rect, bool repaint) {
  if (control_) control_->Move(rect, repaint);
}

void CShockwaveflash1::ShowWindow(int showCommand) {
  if (control_) control_->Show(showCommand);
}

void CShockwaveflash1::SetFocus() {
  if (control_) control_->SetFocus();
}

bool CShockwaveflash1::PreTranslateMessage(const Msg& msg) const {
  return control_ ? control_->PreTranslateMessage(msg) : false;
}
