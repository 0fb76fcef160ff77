#include "base/Process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>

extern char** environ;

namespace base {

namespace fs = std::filesystem;

std::uint32_t TickCount() {
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  const auto milliseconds =
      static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(milliseconds);
}

fs::path ExecutablePath() {
  std::error_code error;
  const fs::path executable = fs::read_symlink("/proc/self/exe", error);
  // A program whose file was removed or replaced under it reads as
  // "<path> (deleted)": there is no file of its own any more.
  if (error || !executable.is_absolute() || !fs::is_regular_file(executable, error)) return {};
  return executable;
}

fs::path ExecutableFolder() {
  std::error_code error;
  std::string executable = fs::read_symlink("/proc/self/exe", error).string();
  constexpr std::string_view kDeleted = " (deleted)";
  if (executable.ends_with(kDeleted)) executable.resize(executable.size() - kDeleted.size());
  const fs::path path(executable);
  if (error || !path.is_absolute()) return {};
  return path.parent_path();
}

namespace {

// posix_spawn's settings, released however the start ends.
struct SpawnSettings {
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_t actions;
  bool ready = false;

  SpawnSettings() {
    if (posix_spawnattr_init(&attributes) != 0) return;
    if (posix_spawn_file_actions_init(&actions) != 0) {
      posix_spawnattr_destroy(&attributes);
      return;
    }
    ready = true;
  }
  ~SpawnSettings() {
    if (!ready) return;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
  }
};

}  // namespace

bool StartProgram(const fs::path& program, const std::vector<std::string>& arguments) {
  SpawnSettings settings;
  if (!settings.ready) return false;
  // A session of its own: the restarted client must not end with this one,
  // nor with the terminal or the process group it was started from.
  const short flags = POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
  sigset_t none;
  sigset_t all;
  sigemptyset(&none);
  sigfillset(&all);
  // Signals this program ignores or blocks (a library's SIGPIPE) are not the
  // new program's business.
  if (posix_spawnattr_setflags(&settings.attributes, flags) != 0 ||
      posix_spawnattr_setsigmask(&settings.attributes, &none) != 0 ||
      posix_spawnattr_setsigdefault(&settings.attributes, &all) != 0)
    return false;
  // Sockets, pipes and files that libraries opened without close-on-exec stay
  // here: the new program gets standard input, output and error only.
  if (posix_spawn_file_actions_addclosefrom_np(&settings.actions, 3) != 0) return false;

  std::string path = program.string();
  std::vector<std::string> copies = arguments;
  std::vector<char*> argv{path.data()};
  for (std::string& argument : copies) argv.push_back(argument.data());
  argv.push_back(nullptr);

  pid_t child = 0;
  if (posix_spawn(&child, path.c_str(), &settings.actions, &settings.attributes, argv.data(), environ) != 0)
    return false;
  // Collects the program's end, so it is not left a zombie while this one
  // runs on; when this program ends first, the system adopts it.
  try {
    std::thread([child] {
      while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  } catch (const std::system_error&) {
    // No thread to spare: the program runs all the same.
  }
  return true;
}

}  // namespace base
