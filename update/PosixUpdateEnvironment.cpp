#include "update/PosixUpdateEnvironment.h"

#include "base/Process.h"
#include "base/SafeFile.h"

#include <glib.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <system_error>

namespace update {

namespace fs = std::filesystem;

PosixUpdateEnvironment::PosixUpdateEnvironment(MessageFunction showMessage, CloseFunction postClose)
    : showMessage_(std::move(showMessage)), postClose_(std::move(postClose)) {}

uint32_t PosixUpdateEnvironment::TickCount() { return base::TickCount(); }

fs::path PosixUpdateEnvironment::ExecutablePath() { return base::ExecutablePath(); }

bool PosixUpdateEnvironment::FolderWritable(const fs::path& folder) {
  // Judged with the effective user, as the renames will be.
  return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

bool PosixUpdateEnvironment::DeleteFile(const fs::path& file) {
  std::error_code error;
  // Only files: a folder of the same name is left alone.
  if (fs::is_directory(fs::symlink_status(file, error))) return false;
  return fs::remove(file, error) && !error;
}

bool PosixUpdateEnvironment::RenameFile(const fs::path& from, const fs::path& to) {
  // Durably: after a crash the running name holds a whole program.
  return base::RenameDurably(from, to);
}

bool PosixUpdateEnvironment::MakeExecutable(const fs::path& file) {
  std::error_code error;
  const fs::perms current = fs::status(file, error).permissions();
  if (error) return false;
  // Whoever may read the program may run it.
  fs::perms run = fs::perms::owner_exec;
  if ((current & fs::perms::group_read) != fs::perms::none) run |= fs::perms::group_exec;
  if ((current & fs::perms::others_read) != fs::perms::none) run |= fs::perms::others_exec;
  fs::permissions(file, run, fs::perm_options::add, error);
  return !error;
}

bool PosixUpdateEnvironment::StartProgram(const fs::path& program) { return base::StartProgram(program); }

void PosixUpdateEnvironment::ShowMessage(const std::u16string& text, const std::u16string& caption) {
  if (showMessage_) showMessage_(text, caption);
}

void PosixUpdateEnvironment::PostCloseToLoginDialog() {
  if (postClose_) postClose_();
}

void PosixUpdateEnvironment::Warn(const std::string& text) {
  g_log_structured("tessary", G_LOG_LEVEL_WARNING, "MESSAGE", "self-update: %s", text.c_str());
}

}  // namespace update
