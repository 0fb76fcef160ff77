#include "platform/gtk/player/PlayerFiles.h"

#include <system_error>

#include "base/Process.h"

namespace platform::gtk {

namespace {

std::filesystem::path& GivenFolder() {
  static std::filesystem::path folder;
  return folder;
}

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

}  // namespace

std::filesystem::path PlayerFilesFolder() {
  if (!GivenFolder().empty()) return GivenFolder();
  const std::filesystem::path folder = base::ExecutableFolder();
  if (folder.empty()) return {};
  return folder / "ruffle";
}

void UsePlayerFilesFolder(const std::filesystem::path& folder) { GivenFolder() = folder; }

std::optional<std::filesystem::path> PlayerFileForPath(const std::filesystem::path& folder,
                                                       std::string_view requestPath) {
  if (folder.empty() || requestPath.size() < 2 || requestPath[0] != '/') return std::nullopt;
  std::string_view name = requestPath.substr(1);
  if (name.size() > 255 || name[0] == '.') return std::nullopt;
  for (char c : name) {
    bool plain =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
    if (!plain) return std::nullopt;
  }
  std::filesystem::path file = folder / std::string(name);
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) return std::nullopt;
  return file;
}

std::string PlayerFileContentType(std::string_view fileName) {
  if (EndsWith(fileName, ".wasm")) return "application/wasm";
  if (EndsWith(fileName, ".js")) return "text/javascript; charset=utf-8";
  if (EndsWith(fileName, ".html")) return "text/html; charset=utf-8";
  if (EndsWith(fileName, ".css")) return "text/css; charset=utf-8";
  return "application/octet-stream";
}

}  // namespace platform::gtk
