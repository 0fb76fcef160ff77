#include "login/HandOver.h"

namespace login {

CompletedPage ClassifyCompletedAddress(std::u16string_view address) {
  if (address.substr(0, 6) == u"res://") return CompletedPage::LoadingPage;
  const std::size_t error = address.find(u"error");
  if (error == std::u16string_view::npos || error == 0) return CompletedPage::Ordinary;
  return CompletedPage::HandOver;
}

std::u16string_view QueryOf(std::u16string_view address) {
  const std::size_t mark = address.find(u'?');
  return mark == std::u16string_view::npos ? address : address.substr(mark + 1);
}

std::u16string PlayAddress(std::u16string_view portalHost, std::u16string_view serverId) {
  std::u16string address = u"http://";
  address.append(portalHost).append(u"/game/play/108/").append(serverId).append(u"?ismicroclient=yes");
  return address;
}

}  // namespace login
