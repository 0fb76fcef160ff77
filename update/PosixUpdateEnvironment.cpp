#include "update/PosixUpdateEnvironment.h"

#include <glib.h>

#include <fcntl.h>
#include <spawn.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <system_error>

extern char** environ;

namespace update {

namespace fs = std::filesystem;

PosixUpdateEnvironment::PosixUpdateEnvironment(MessageFunction showMessage,
                                               CloseFunction postClose)
    : showMessage_(std::move(showMessage)), postClose_(std::move(postClose)) {}

uint32_t PosixUpdateEnvironment::TickCount() {
    // Time since boot including suspended time, like the system tick count.
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const uint64_t milliseconds =
        static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(milliseconds);
}

fs::path PosixUpdateEnvironment::ExecutablePath() {
    std::error_code error;
    const fs::path executable = fs::read_symlink("/proc/self/exe", error);
    // A program whose file was removed or replaced under it reads as
    // "<path> (deleted)": there is no file of its own to swap.
    if (error || !executable.is_absolute() || !fs::is_regular_file(executable, error)) return {};
    return executable;
}

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
    std::error_code error;
    fs::rename(from, to, error);
    return !error;
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

bool PosixUpdateEnvironment::StartProgram(const fs::path& program) {
    posix_spawnattr_t attributes;
    if (posix_spawnattr_init(&attributes) != 0) return false;
    // Its own session, so that it outlives this process and its terminal.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    std::string path = program.string();
    char* arguments[] = {path.data(), nullptr};
    pid_t child = 0;
    const int error = posix_spawn(&child, path.c_str(), nullptr, &attributes, arguments, environ);
    posix_spawnattr_destroy(&attributes);
    return error == 0;
}

void PosixUpdateEnvironment::ShowMessage(const std::u16string& text,
                                         const std::u16string& caption) {
    if (showMessage_) showMessage_(text, caption);
}

void PosixUpdateEnvironment::PostCloseToLoginDialog() {
    if (postClose_) postClose_();
}

void PosixUpdateEnvironment::Warn(const std::string& text) {
    g_log_structured("tessary", G_LOG_LEVEL_WARNING, "MESSAGE", "self-update: %s", text.c_str());
}

} // namespace update
