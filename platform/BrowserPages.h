#pragma once
// What the embedded browser decides on its own, apart from any toolkit:
// which addresses may leave the program for the user's web browser, and the
// pages it shows in the player's language when a page cannot be loaded.

#include <string>
#include <string_view>

namespace platform {

// Only http and https addresses are handed to the user's default browser;
// anything else a page asks to open (file:, javascript:, a custom scheme,
// an empty address) is dropped.
bool IsWebAddress(std::string_view address);

enum class LoadFailure {
  NoConnection,  // the server could not be reached
  NotFound,      // the server, or the program, has no such page
};

// The page shown in place of one that failed: in Chinese, in the skin's
// colours, saying what failed, with a link that loads the address again
// (only for addresses a link may lead to). UTF-8.
std::string LoadFailurePage(LoadFailure failure, std::string_view address);

// The text of the leave-page question the player answers with Yes or No.
inline constexpr char16_t kLeavePageQuestion[] = u"确定要离开此页面吗？您在此页面上输入的内容可能不会保存。";

}  // namespace platform
