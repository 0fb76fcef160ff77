#pragma once
// What LoadGame reads from the parameter string.

#include <optional>
#include <string>
#include <string_view>

namespace game {

// The close question every load starts with.
inline constexpr char16_t kDefaultClosePrompt[] = u"提示:您确定要离开当前游戏吗?";

// movieParameters holds at most this many characters.
constexpr std::size_t kMovieParametersCapacity = 1499;

// "%sGameLoader_%s.swf" from the "&resourceHost=" and "&mainVersion="
// values; nothing when "&mainVersion=" is absent (no movie is loaded).
std::optional<std::u16string> LoaderMovieAddress(std::u16string_view parameters);

}  // namespace game
