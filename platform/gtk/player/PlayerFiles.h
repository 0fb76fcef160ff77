#pragma once
// The files the player's web view may load through its own address scheme:
// the bridge page, its script and Ruffle's files, all in one folder that the
// build puts beside the executable ("ruffle"). Nothing else is served.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace platform::gtk {

inline constexpr const char* kPlayerScheme = "tessary-player";
inline constexpr const char* kBridgePageAddress = "tessary-player://player/bridge.html";

// <directory of the running executable>/ruffle, unless a folder was given.
std::filesystem::path PlayerFilesFolder();
// For tests, whose executables do not stand beside the program's.
void UsePlayerFilesFolder(const std::filesystem::path& folder);

// The file a request path names inside folder: one plain file name
// ("/core.ruffle.abc.js"), no folders, no dot files; nullopt otherwise.
std::optional<std::filesystem::path> PlayerFileForPath(const std::filesystem::path& folder,
                                                       std::string_view requestPath);

// Content type by file name: application/wasm for ".wasm" (the engine
// compiles its module while it streams in only with that type).
std::string PlayerFileContentType(std::string_view fileName);

}  // namespace platform::gtk
