#pragma once
// The update description's reader, with the Windows profile functions' rules.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace update {

// Reads an INI profile the way the Windows profile functions do:
// section and key names match without regard to ASCII letter case,
// whitespace around names and values is ignored, lines starting with ';'
// are comments, and the first section and the first key of a name win.
// The bytes may be UTF-8 (with or without a byte order mark), UTF-16LE
// with its byte order mark, or any 8-bit text, read as Latin-1.
class ProfileReader {
 public:
  static ProfileReader FromBytes(std::string_view bytes);
  // A file that cannot be read gives an empty profile. Only the first
  // kMaxFileBytes are read: a profile is small, and a server that sends
  // something huge must not exhaust the memory.
  static ProfileReader FromFile(const std::filesystem::path& file);
  static constexpr size_t kMaxFileBytes = 1024 * 1024;

  // GetPrivateProfileStringW into a buffer of bufferSize characters:
  // at most bufferSize - 1 characters are kept. A value enclosed in a
  // matching pair of single or double quotation marks loses them.
  std::u16string GetString(std::u16string_view section, std::u16string_view key, std::u16string_view defaultValue,
                           size_t bufferSize) const;

  // GetPrivateProfileIntW: the leading decimal digits of the value (102abc
  // reads as 102, text without digits as 0, digits past 32 bits wrap);
  // a negative value reads as 0. Absent or empty values give defaultValue.
  uint32_t GetInt(std::u16string_view section, std::u16string_view key, int32_t defaultValue) const;

 private:
  struct Entry {
    std::u16string key;
    std::u16string value;
  };
  struct Section {
    std::u16string name;
    std::vector<Entry> entries;
  };

  const std::u16string* FindValue(std::u16string_view section, std::u16string_view key) const;

  std::vector<Section> sections_;
};

}  // namespace update
