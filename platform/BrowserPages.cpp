#include "platform/BrowserPages.h"

namespace platform {
namespace {

bool StartsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

// The address as text and as an attribute value: nothing in it can end
// the attribute or start markup.
std::string EscapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace

bool IsWebAddress(std::string_view address) {
  for (const std::string_view scheme : {"http://", "https://"})
    if (StartsWithIgnoringAsciiCase(address, scheme) && address.size() > scheme.size()) return true;
  return false;
}

std::string LoadFailurePage(LoadFailure failure, std::string_view address) {
  const bool noConnection = failure == LoadFailure::NoConnection;
  const char* title = noConnection ? "无法连接到服务器" : "找不到页面";
  const char* detail = noConnection ? "请检查网络连接，然后重试。" : "服务器上没有这个页面，请稍后重试。";
  std::string page =
      "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Tessary</title><style>"
      "html,body{margin:0;height:100%;overflow:hidden;background:#473321;color:#de6a11;"
      "font:14px/1.6 sans-serif;}"
      ".box{height:100%;display:flex;flex-direction:column;align-items:center;justify-content:center;"
      "text-align:center;padding:0 40px;}"
      "h1{font-size:20px;margin:0 0 10px;}p{margin:0 0 6px;color:#e9c79a;}"
      "a{display:inline-block;margin-top:14px;padding:4px 22px;border:1px solid #de6a11;border-radius:3px;"
      "color:#ffb35c;text-decoration:none;}a:hover{background:#5c4330;}"
      "</style></head><body oncontextmenu=\"return false;\"><div class=\"box\"><h1>";
  page += title;
  page += "</h1><p>";
  page += detail;
  page += "</p>";
  if (IsWebAddress(address)) {
    page += "<a href=\"";
    page += EscapeHtml(address);
    page += "\">重试</a>";
  }
  page += "</div></body></html>";
  return page;
}

}  // namespace platform
