#include "game/MovieLoading.h"

#include "game/QueryParameters.h"

namespace game {

std::optional<std::u16string> LoaderMovieAddress(std::u16string_view parameters) {
  // "&mainVersion=" counts wherever it stands; "&resourceHost=" only after index 0.
  const auto mainVersion = QueryValue(parameters, u"&mainVersion=", KeyAtStart::Counts);
  if (!mainVersion) return std::nullopt;
  const std::u16string resourceHost = QueryValue(parameters, u"&resourceHost=").value_or(u"");
  return resourceHost + u"GameLoader_" + *mainVersion + u".swf";
}

}  // namespace game
