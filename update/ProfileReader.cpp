#include "update/ProfileReader.h"

#include "base/Text.h"

#include <fstream>

namespace update {

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f' || c == u'\r'; }

std::u16string_view Trim(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

char16_t FoldCase(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool SameName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  return true;
}

std::u16string DecodeProfileText(std::string_view bytes) {
  std::u16string text;
  if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF && static_cast<uint8_t>(bytes[1]) == 0xFE) {
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
      text += static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8));
    return text;
  }
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  if (base::DecodeUtf8(bytes, text)) return text;
  // Not UTF-8: an 8-bit code page. Latin-1 keeps every byte distinct.
  text.clear();
  for (char byte : bytes) text += static_cast<char16_t>(static_cast<uint8_t>(byte));
  return text;
}

}  // namespace

ProfileReader ProfileReader::FromBytes(std::string_view bytes) {
  ProfileReader profile;
  const std::u16string text = DecodeProfileText(bytes);
  Section* current = nullptr;  // lines before the first section belong to none
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find_first_of(u"\r\n", start);
    if (end == std::u16string::npos) end = text.size();
    const std::u16string_view line = Trim(std::u16string_view(text).substr(start, end - start));
    start = end + 1;

    if (line.empty() || line.front() == u';') continue;
    if (line.front() == u'[') {
      const size_t close = line.find(u']');
      const std::u16string_view name =
          Trim(line.substr(1, close == std::u16string_view::npos ? std::u16string_view::npos : close - 1));
      profile.sections_.push_back(Section{std::u16string(name), {}});
      current = &profile.sections_.back();
      continue;
    }
    if (!current) continue;
    const size_t equals = line.find(u'=');
    Entry entry;
    entry.key = Trim(line.substr(0, equals));
    if (equals != std::u16string_view::npos) entry.value = Trim(line.substr(equals + 1));
    current->entries.push_back(std::move(entry));
  }
  return profile;
}

ProfileReader ProfileReader::FromFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return ProfileReader();
  std::string bytes(kMaxFileBytes, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(in.gcount()));
  return FromBytes(bytes);
}

const std::u16string* ProfileReader::FindValue(std::u16string_view section, std::u16string_view key) const {
  section = Trim(section);
  key = Trim(key);
  for (const Section& candidate : sections_) {
    if (!SameName(candidate.name, section)) continue;
    for (const Entry& entry : candidate.entries)
      if (SameName(entry.key, key)) return &entry.value;
    return nullptr;  // only the first section of a name is searched
  }
  return nullptr;
}

std::u16string ProfileReader::GetString(std::u16string_view section, std::u16string_view key,
                                        std::u16string_view defaultValue, size_t bufferSize) const {
  if (bufferSize == 0) return {};
  const std::u16string* found = FindValue(section, key);
  std::u16string_view value = found ? std::u16string_view(*found) : defaultValue;
  if (found && value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::u16string(value.substr(0, bufferSize - 1));
}

uint32_t ProfileReader::GetInt(std::u16string_view section, std::u16string_view key, int32_t defaultValue) const {
  const std::u16string* found = FindValue(section, key);
  if (!found || found->empty()) return static_cast<uint32_t>(defaultValue);
  std::u16string_view digits = *found;
  bool negative = false;
  if (digits.front() == u'-' || digits.front() == u'+') {
    negative = digits.front() == u'-';
    digits.remove_prefix(1);
  }
  uint32_t number = 0;
  for (char16_t c : digits) {
    if (c < u'0' || c > u'9') break;
    number = number * 10u + static_cast<uint32_t>(c - u'0');  // wraps like the original
  }
  return negative ? 0u : number;
}

}  // namespace update
