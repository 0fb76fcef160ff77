#pragma once
// The current user's registry: keys and typed values in one hand-editable file, safely shared.
//
// The store is $XDG_CONFIG_HOME/tessary/registry.ini; its format (README.md,
// "Registry store") is read and written by login/RegistryFormat.h.
//
// Every operation reads the file afresh, so edits made by the user or another
// program are seen at once. Writes go to a temporary file that replaces the
// store in one rename, keeping every other line of it as it was. A store that
// is corrupt, unreadable, not a regular file or owned by another user is never
// used and never rewritten.

#include "login/RegistryFormat.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace login {

// Access rights of a key handle, with the registry's values.
inline constexpr std::uint32_t KEY_QUERY_VALUE = 0x0001;
inline constexpr std::uint32_t KEY_SET_VALUE = 0x0002;
inline constexpr std::uint32_t KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr std::uint32_t KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr std::uint32_t KEY_NOTIFY = 0x0010;
inline constexpr std::uint32_t READ_CONTROL = 0x00020000;
inline constexpr std::uint32_t KEY_READ = READ_CONTROL | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY;
inline constexpr std::uint32_t KEY_WRITE = READ_CONTROL | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;

// The store holds the current user's keys only.
enum class RegistryRoot { CurrentUser };

enum class RegistryResult {
  Success,
  NotFound,       // no such key or value
  AccessDenied,   // the handle lacks the right, or the store is read-only for us
  InvalidName,    // empty or malformed key path, or a name the file cannot hold
  StoreUnusable,  // corrupt, unreadable, not a regular file, or another user's
  WriteFailed,    // the new store could not be written; the old one is unchanged
};

// An open key. It names the key and the rights it was opened with; the data
// itself is read from the store at each query.
class RegistryKey {
 public:
  RegistryKey() = default;
  bool IsOpen() const { return open_; }
  const std::u16string& Path() const { return path_; }
  std::uint32_t Access() const { return access_; }

 private:
  friend class RegistryStore;
  bool open_ = false;
  std::u16string path_;
  std::uint32_t access_ = 0;
};

enum class KeyDisposition { CreatedNewKey, OpenedExistingKey };

class RegistryStore {
 public:
  explicit RegistryStore(std::filesystem::path file);

  // The store of the user running the program:
  // $XDG_CONFIG_HOME/tessary/registry.ini, or ~/.config/tessary/registry.ini
  // when XDG_CONFIG_HOME is unset, empty or not an absolute path.
  static RegistryStore ForCurrentUser();
  // The same choice from given environment values (either may be null).
  static std::filesystem::path FilePathFor(const char* xdgConfigHome, const char* home);

  const std::filesystem::path& FilePath() const { return file_; }

  // Opens an existing key. Asking for KEY_SET_VALUE or KEY_CREATE_SUB_KEY
  // fails with AccessDenied when the store is not writable for us.
  RegistryResult OpenKey(RegistryRoot root, std::u16string_view subKey, std::uint32_t access, RegistryKey& key) const;

  // Opens the key, or creates it empty (with its parents) and saves the store.
  RegistryResult CreateKey(RegistryRoot root, std::u16string_view subKey, std::uint32_t access, RegistryKey& key,
                           KeyDisposition* disposition = nullptr);

  // Reads a value of an open key (needs KEY_QUERY_VALUE). Value names, like
  // key names, compare without regard to case; the empty name is the key's
  // default value.
  RegistryResult QueryValue(const RegistryKey& key, std::u16string_view valueName, RegistryValue& value) const;

  // Writes a value of an open key (needs KEY_SET_VALUE) and saves the store.
  // The program itself writes no values; installers, tools and tests do.
  RegistryResult SetValue(const RegistryKey& key, std::u16string_view valueName, std::uint32_t type,
                          const std::vector<std::uint8_t>& data);

 private:
  std::filesystem::path file_;
};

}  // namespace login
