#include "base/SafeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace base {
namespace {

// Flushes a folder's entries (a rename, a new file) to the disk.
bool SyncFolder(const std::filesystem::path& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  ::close(fd);
  return synced;
}

// Renames and flushes the folder. The rename has happened either way; a
// folder that cannot be flushed (a file system without the notion) does not
// undo it.
bool Rename(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) return false;
  SyncFolder(to.parent_path());
  return true;
}

}  // namespace

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t wrote = ::write(fd, bytes.data(), bytes.size());
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote < 0) return false;
    if (wrote == 0) {
      errno = EIO;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(wrote));
  }
  return true;
}

bool RenameDurably(const std::filesystem::path& from, const std::filesystem::path& to) {
  // A file we may not read (a program of mode 0711) is not ours to flush;
  // one whose data the disk refuses must not take the other's place.
  const int fd = ::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd >= 0) {
    const bool failed = ::fsync(fd) != 0 && (errno == EIO || errno == ENOSPC || errno == EDQUOT);
    ::close(fd);
    if (failed) return false;
  }
  return Rename(from, to);
}

bool ReplaceFile(const std::filesystem::path& file, std::string_view contents, mode_t mode) {
  std::string temporary = (file.parent_path() / ("." + file.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, contents) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && Rename(temporary, file);
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}

}  // namespace base
