#include "login/RegistryStore.h"

#include "base/SafeFile.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <utility>

namespace login {
namespace {

// A store larger than this is not a registry a person or an installer wrote.
constexpr off_t kLargestStore = 16 * 1024 * 1024;
constexpr char kFileName[] = "registry.ini";

// --- Files ---------------------------------------------------------------------

enum class LoadStatus { Loaded, Missing, Unusable };

struct LoadedStore {
  RegistryDocument doc;
  mode_t mode = 0600;
};

class FileHandle {
 public:
  explicit FileHandle(int fd) : fd_(fd) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

LoadStatus LoadStore(const std::filesystem::path& file, LoadedStore& store) {
  // No following of links, and no blocking on a pipe someone put there.
  FileHandle fd(::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) return errno == ENOENT ? LoadStatus::Missing : LoadStatus::Unusable;
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return LoadStatus::Unusable;
  if (info.st_uid != ::geteuid() || info.st_size > kLargestStore) return LoadStatus::Unusable;

  std::string text;
  char buffer[8192];
  for (;;) {
    const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return LoadStatus::Unusable;
    if (got == 0) break;
    text.append(buffer, std::size_t(got));
    if (text.size() > std::size_t(kLargestStore)) return LoadStatus::Unusable;
  }
  auto doc = ParseRegistryDocument(text);
  if (!doc) return LoadStatus::Unusable;
  store.doc = std::move(*doc);
  store.mode = info.st_mode & 07777;
  return LoadStatus::Loaded;
}

// Whether we may replace the store: its folder and the file itself (when it
// exists) must be writable for us. A read-only file is the user's "hands off".
bool StoreIsWritable(const std::filesystem::path& file) {
  const std::filesystem::path folder = file.parent_path();
  if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) return false;
  return ::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) == 0 || errno == ENOENT;
}

// mkdir -p with owner-only folders, as the base directory rules ask.
bool MakeFolders(const std::filesystem::path& folder) {
  std::filesystem::path partial;
  for (const auto& part : folder) {
    partial /= part;
    if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat info {};
  return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Holds an exclusive lock on the store's folder while one writer reads,
// changes and replaces the store, so two writers cannot lose each other's work.
class FolderLock {
 public:
  explicit FolderLock(const std::filesystem::path& folder)
      : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_.get() >= 0) {
      int rc;
      do rc = ::flock(fd_.get(), LOCK_EX);
      while (rc != 0 && errno == EINTR);
      locked_ = rc == 0;
    }
  }
  bool Locked() const { return locked_; }

 private:
  FileHandle fd_;
  bool locked_ = false;
};

// Runs `edit` on the freshly loaded store under the folder lock and saves
// the result. `edit` returns Success to save, anything else to stop.
template <typename Edit>
RegistryResult EditStore(const std::filesystem::path& file, Edit&& edit) {
  if (!MakeFolders(file.parent_path())) return RegistryResult::WriteFailed;
  FolderLock lock(file.parent_path());
  if (!lock.Locked()) return RegistryResult::WriteFailed;

  LoadedStore store;
  const LoadStatus status = LoadStore(file, store);
  if (status == LoadStatus::Unusable) return RegistryResult::StoreUnusable;
  if (!StoreIsWritable(file)) return RegistryResult::AccessDenied;
  if (status == LoadStatus::Missing) store.doc.lines.clear();
  const bool isNew = status == LoadStatus::Missing;

  bool changed = false;
  const RegistryResult result = edit(store.doc, isNew, changed);
  if (result != RegistryResult::Success || !changed) return result;
  return base::ReplaceFile(file, store.doc.Text(), store.mode) ? RegistryResult::Success : RegistryResult::WriteFailed;
}

constexpr std::uint32_t kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY;

}  // namespace

// ---------------------------------------------------------------------------

RegistryStore::RegistryStore(std::filesystem::path file) : file_(std::move(file)) {}

std::filesystem::path RegistryStore::FilePathFor(const char* xdgConfigHome, const char* home) {
  std::filesystem::path base;
  if (xdgConfigHome && xdgConfigHome[0] == '/') {
    base = xdgConfigHome;
  } else {
    std::string homeFolder = home && home[0] == '/' ? home : "";
    if (homeFolder.empty()) {
      if (const passwd* entry = ::getpwuid(::geteuid()); entry && entry->pw_dir) homeFolder = entry->pw_dir;
    }
    if (homeFolder.empty()) return {};
    base = std::filesystem::path(homeFolder) / ".config";
  }
  return base / "tessary" / kFileName;
}

RegistryStore RegistryStore::ForCurrentUser() {
  return RegistryStore(FilePathFor(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME")));
}

RegistryResult RegistryStore::OpenKey(RegistryRoot, std::u16string_view subKey, std::uint32_t access,
                                      RegistryKey& key) const {
  if (!IsValidKeyPath(subKey)) return RegistryResult::InvalidName;
  if (file_.empty()) return RegistryResult::StoreUnusable;
  LoadedStore store;
  const LoadStatus status = LoadStore(file_, store);
  if (status == LoadStatus::Unusable) return RegistryResult::StoreUnusable;
  if (status == LoadStatus::Missing || !store.doc.HasKey(subKey)) return RegistryResult::NotFound;
  if ((access & kWriteRights) && !StoreIsWritable(file_)) return RegistryResult::AccessDenied;
  key.open_ = true;
  key.path_ = std::u16string(subKey);
  key.access_ = access;
  return RegistryResult::Success;
}

RegistryResult RegistryStore::CreateKey(RegistryRoot root, std::u16string_view subKey, std::uint32_t access,
                                        RegistryKey& key, KeyDisposition* disposition) {
  const RegistryResult opened = OpenKey(root, subKey, access, key);
  if (opened != RegistryResult::NotFound) {
    if (opened == RegistryResult::Success && disposition) *disposition = KeyDisposition::OpenedExistingKey;
    return opened;
  }
  bool created = false;
  const RegistryResult result = EditStore(file_, [&](RegistryDocument& doc, bool isNew, bool& changed) {
    if (!doc.HasKey(subKey)) {  // another writer may have made it meanwhile
      doc.AppendSection(isNew, subKey);
      changed = created = true;
    }
    return RegistryResult::Success;
  });
  if (result != RegistryResult::Success) return result;
  key.open_ = true;
  key.path_ = std::u16string(subKey);
  key.access_ = access;
  if (disposition) *disposition = created ? KeyDisposition::CreatedNewKey : KeyDisposition::OpenedExistingKey;
  return RegistryResult::Success;
}

RegistryResult RegistryStore::QueryValue(const RegistryKey& key, std::u16string_view valueName,
                                         RegistryValue& value) const {
  if (!key.open_) return RegistryResult::InvalidName;
  if (!(key.access_ & KEY_QUERY_VALUE)) return RegistryResult::AccessDenied;
  LoadedStore store;
  const LoadStatus status = LoadStore(file_, store);
  if (status == LoadStatus::Unusable) return RegistryResult::StoreUnusable;
  if (status == LoadStatus::Missing) return RegistryResult::NotFound;
  if (const RegistrySection* section = store.doc.FindSection(key.path_)) {
    for (const RegistryValueLine& entry : section->values) {
      if (SameRegistryName(entry.name, valueName)) {
        value = entry.value;
        return RegistryResult::Success;
      }
    }
  }
  return RegistryResult::NotFound;
}

RegistryResult RegistryStore::SetValue(const RegistryKey& key, std::u16string_view valueName, std::uint32_t type,
                                       const std::vector<std::uint8_t>& data) {
  if (!key.open_) return RegistryResult::InvalidName;
  if (!(key.access_ & KEY_SET_VALUE)) return RegistryResult::AccessDenied;
  const auto line = FormatValueLine(valueName, type, data);
  if (!line) return RegistryResult::InvalidName;
  return EditStore(file_, [&](RegistryDocument& doc, bool isNew, bool& changed) {
    if (!doc.HasKey(key.path_)) return RegistryResult::NotFound;  // removed since it was opened
    const RegistrySection* section = doc.FindSection(key.path_);
    if (!section) {  // the key exists only as the parent of others
      doc.AppendSection(isNew, key.path_);
      doc.InsertLine(doc.lines.size(), *line);
    } else {
      const RegistryValueLine* existing = nullptr;
      for (const RegistryValueLine& entry : section->values)
        if (SameRegistryName(entry.name, valueName)) existing = &entry;
      if (existing)
        doc.ReplaceLine(existing->line, *line);
      else
        doc.InsertLine(section->lastLine + 1, *line);
    }
    changed = true;
    return RegistryResult::Success;
  });
}

}  // namespace login
