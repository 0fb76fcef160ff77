#include "login/CExplorer1.h"

using namespace platform;

bool CExplorer1::CreateControl(const Rect& rect, Window& parent, int controlId) {
  control_.reset();
  control_ = parent.CreateBrowser(controlId, rect);
  return control_ != nullptr;
}

void CExplorer1::Navigate(const std::u16string& address) {
  if (control_) control_->Navigate(address);
}

std::unique_ptr<BrowserDocument> CExplorer1::get_Document() { return control_ ? control_->GetDocument() : nullptr; }

bool CExplorer1::PreTranslateMessage(const Msg& msg) const {
  return control_ ? control_->PreTranslateMessage(msg) : false;
}
