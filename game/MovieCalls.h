#pragma once
// The movie's calls into its host: each call arrives as one XML request
// string, is parsed with the XML reader and walked for the four commands.

#include <string>
#include <string_view>

namespace xml {
class TagDocument;
}

namespace game {

// What the commands do, and where the trace goes.
class MovieCommands {
 public:
  virtual ~MovieCommands() = default;
  virtual void Reload() = 0;
  virtual void SetReloadTips(const std::u16string& text) = 0;
  virtual void SetWindowMax() = 0;
  virtual void Disconnection() = 0;
  // One piece of the trace on the debug channel.
  virtual void Trace(const std::u16string& piece) = 0;
};

// The question the host asks the movie for its display settings.
inline constexpr char kDisplaySettingsRequest[] =
    "<invoke name=\"flashSetting\" returntype=\"xml\"><arguments><string>display</string></arguments></invoke>";

// Handles one request from the movie.
void OnFlashCall(const std::u16string& request, MovieCommands& commands);

// Walks the elements of the document's current level and, in turn, of
// every element's children.
void DispatchMovieCall(xml::TagDocument& document, MovieCommands& commands);

// The close question that "setReloadTips" sets: the invoke element's inner
// markup without the argument tags, entity references left as written.
std::u16string ReloadTipsText(std::u16string innerMarkup);

}  // namespace game
