#pragma once
// The registry store's file format: reading a store's text into keys and values, writing lines back.
//
// The format is described in README.md ("Registry store"). A document keeps
// the file's lines exactly as read; edits replace or insert single lines, so
// everything a person wrote elsewhere in the file survives byte for byte.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace login {

// Value types, numbered as the registry numbers them.
inline constexpr std::uint32_t REG_NONE = 0;
inline constexpr std::uint32_t REG_SZ = 1;
inline constexpr std::uint32_t REG_EXPAND_SZ = 2;
inline constexpr std::uint32_t REG_BINARY = 3;
inline constexpr std::uint32_t REG_DWORD = 4;

struct RegistryValue {
  std::uint32_t type = REG_NONE;
  std::vector<std::uint8_t> data;  // raw bytes; strings are UTF-16LE
};

// Key and value names compare the way the registry compares them: each
// UTF-16 unit upper-cased on its own.
bool SameRegistryName(std::u16string_view a, std::u16string_view b);

// A key path the file can hold: one or more non-empty names joined by
// backslashes, well-formed UTF-16, no control characters but tab.
bool IsValidKeyPath(std::u16string_view path);

struct RegistryValueLine {
  std::u16string name;  // empty: the key's default value
  RegistryValue value;
  std::size_t line = 0;
};

struct RegistrySection {
  std::u16string path;
  std::size_t headerLine = 0;
  std::size_t lastLine = 0;  // the header or its last value line
  std::vector<RegistryValueLine> values;
};

// The file's lines exactly as read (each with its own line ending), plus what
// they mean.
struct RegistryDocument {
  std::vector<std::string> lines;  // with line endings; the last may lack one
  std::vector<RegistrySection> sections;
  std::string lineEnding = "\n";  // the first line's, for lines added

  const RegistrySection* FindSection(std::u16string_view path) const;
  // True when the key is listed, or lies above a key that is.
  bool HasKey(std::u16string_view path) const;
  // The file's text: every line, byte for byte.
  std::string Text() const;

  // Inserts a line before line `at` (at the end when `at` is the count).
  void InsertLine(std::size_t at, std::string content);
  // Replaces a line's content, keeping its line ending.
  void ReplaceLine(std::size_t at, std::string content);
  // Adds "[path]" at the end, after a blank line; a new file (isNewFile)
  // starts with a comment that explains the format. The path must be valid.
  void AppendSection(bool isNewFile, std::u16string_view path);
};

// Reads a store's text; nothing when any line breaks the format's rules.
std::optional<RegistryDocument> ParseRegistryDocument(std::string_view text);

// The line for a value ("Name"=..., or @=... for the default value): the
// quoted form whenever it gives back exactly the same bytes, hex(N): else.
// Nothing when the name cannot stand in the file.
std::optional<std::string> FormatValueLine(std::u16string_view name, std::uint32_t type,
                                           const std::vector<std::uint8_t>& data);

}  // namespace login
