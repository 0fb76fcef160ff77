#include "login/RegistryFormat.h"

#include "base/Text.h"

#include <locale.h>
#include <wctype.h>

#include <cstdio>

namespace login {
namespace {

// One UTF-16 unit upper-cased as the registry does for names. The C.UTF-8
// locale object gives the full Unicode mapping without touching the process's
// global locale.
char16_t UpperCase(char16_t c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? char16_t(c - 0x20) : c;
  if (c >= 0xD800 && c <= 0xDFFF) return c;
  static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
  if (unicode == locale_t(0)) return c;
  const wint_t upper = towupper_l(wint_t(c), unicode);
  return upper <= 0xFFFF ? char16_t(upper) : c;
}

// True when `key` is `ancestor` itself or lies beneath it.
bool IsWithin(std::u16string_view key, std::u16string_view ancestor) {
  if (key.size() < ancestor.size()) return false;
  if (!SameRegistryName(key.substr(0, ancestor.size()), ancestor)) return false;
  return key.size() == ancestor.size() || key[ancestor.size()] == u'\\';
}

// Control characters (other than tab) cannot stand in a line of the store.
bool HasLineBreakingControls(std::u16string_view text) {
  for (char16_t c : text)
    if ((c < 0x20 && c != u'\t') || c == 0x7F) return true;
  return false;
}

// --- Reading -----------------------------------------------------------------

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ConsumeWord(std::string_view& s, std::string_view word) {
  if (s.size() < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    char c = s[i];
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    if (c != word[i]) return false;
  }
  s.remove_prefix(word.size());
  return true;
}

// "..." with \\ and \" as the only escapes; consumes the closing quote.
bool ParseQuoted(std::string_view& s, std::u16string& text) {
  if (s.empty() || s.front() != '"') return false;
  std::string bytes;
  std::size_t i = 1;
  for (;; ++i) {
    if (i >= s.size()) return false;
    const char c = s[i];
    if (c == '"') break;
    if (c == '\\') {
      if (i + 1 >= s.size() || (s[i + 1] != '\\' && s[i + 1] != '"')) return false;
      bytes.push_back(s[++i]);
    } else {
      bytes.push_back(c);
    }
  }
  s.remove_prefix(i + 1);
  return base::DecodeUtf8(bytes, text) && !HasLineBreakingControls(text);
}

// Hex number of one to eight digits.
bool ParseHexNumber(std::string_view& s, std::uint32_t& number) {
  std::size_t digits = 0;
  number = 0;
  while (digits < s.size() && HexDigit(s[digits]) >= 0) {
    if (++digits > 8) return false;
    number = (number << 4) | std::uint32_t(HexDigit(s[digits - 1]));
  }
  s.remove_prefix(digits);
  return digits > 0;
}

// Comma-separated bytes of two hex digits; may be empty.
bool ParseByteList(std::string_view s, std::vector<std::uint8_t>& bytes) {
  s = Trim(s);
  if (s.empty()) return true;
  for (;;) {
    s = Trim(s);
    if (s.size() < 2 || HexDigit(s[0]) < 0 || HexDigit(s[1]) < 0) return false;
    bytes.push_back(std::uint8_t(HexDigit(s[0]) * 16 + HexDigit(s[1])));
    s = Trim(s.substr(2));
    if (s.empty()) return true;
    if (s.front() != ',') return false;
    s.remove_prefix(1);
  }
}

void AppendUtf16(const std::u16string& text, std::vector<std::uint8_t>& bytes) {
  for (char16_t c : text) {
    bytes.push_back(std::uint8_t(c & 0xFF));
    bytes.push_back(std::uint8_t(c >> 8));
  }
}

bool ParseData(std::string_view s, RegistryValue& value) {
  value.data.clear();
  std::u16string text;
  const bool expandable = ConsumeWord(s, "expand:");
  if (expandable || s.starts_with('"')) {
    value.type = expandable ? REG_EXPAND_SZ : REG_SZ;
    if (!ParseQuoted(s, text) || !s.empty()) return false;
    text.push_back(u'\0');
    AppendUtf16(text, value.data);
    return true;
  }
  if (ConsumeWord(s, "dword:")) {
    std::uint32_t number = 0;
    if (!ParseHexNumber(s, number) || !s.empty()) return false;
    value.type = REG_DWORD;
    for (int shift = 0; shift < 32; shift += 8) value.data.push_back(std::uint8_t(number >> shift));
    return true;
  }
  if (ConsumeWord(s, "hex:")) {
    value.type = REG_BINARY;
    return ParseByteList(s, value.data);
  }
  if (ConsumeWord(s, "hex(")) {
    if (!ParseHexNumber(s, value.type) || !ConsumeWord(s, "):")) return false;
    return ParseByteList(s, value.data);
  }
  return false;
}

bool ParseValueLine(std::string_view s, RegistryValueLine& entry) {
  if (s.front() == '@') {
    entry.name.clear();
    s.remove_prefix(1);
  } else if (!ParseQuoted(s, entry.name)) {
    return false;
  }
  s = Trim(s);
  if (s.empty() || s.front() != '=') return false;
  entry.value.type = REG_NONE;
  return ParseData(Trim(s.substr(1)), entry.value);
}

// --- Writing -----------------------------------------------------------------

std::string Quote(const std::string& utf8) {
  std::string quoted = "\"";
  for (char c : utf8) {
    if (c == '"' || c == '\\') quoted.push_back('\\');
    quoted.push_back(c);
  }
  return quoted + '"';
}

// The text of a string value when it can be written as "...": even length,
// one terminating NUL and no other, well-formed UTF-16, no line breaks.
std::optional<std::string> PlainText(const std::vector<std::uint8_t>& data) {
  if (data.size() < 2 || data.size() % 2 != 0) return std::nullopt;
  std::u16string text;
  for (std::size_t i = 0; i < data.size(); i += 2) text.push_back(char16_t(data[i] | (data[i + 1] << 8)));
  if (text.back() != u'\0') return std::nullopt;
  text.pop_back();
  if (text.find(u'\0') != std::u16string::npos || HasLineBreakingControls(text)) return std::nullopt;
  std::string utf8;
  if (!base::EncodeUtf8(text, utf8)) return std::nullopt;
  return utf8;
}

std::string ByteList(const std::vector<std::uint8_t>& data) {
  std::string list;
  char hex[4];
  for (std::size_t i = 0; i < data.size(); ++i) {
    std::snprintf(hex, sizeof hex, "%02x", data[i]);
    if (i > 0) list.push_back(',');
    list += hex;
  }
  return list;
}

std::string FormatData(std::uint32_t type, const std::vector<std::uint8_t>& data) {
  char prefix[24];
  if (type == REG_SZ || type == REG_EXPAND_SZ) {
    if (auto text = PlainText(data)) return (type == REG_EXPAND_SZ ? "expand:" : "") + Quote(*text);
  }
  if (type == REG_DWORD && data.size() == 4) {
    const std::uint32_t number = data[0] | (data[1] << 8) | (data[2] << 16) | (std::uint32_t(data[3]) << 24);
    std::snprintf(prefix, sizeof prefix, "dword:%08x", number);
    return prefix;
  }
  if (type == REG_BINARY) return "hex:" + ByteList(data);
  std::snprintf(prefix, sizeof prefix, "hex(%x):", type);
  return prefix + ByteList(data);
}

constexpr char kNewStoreHeader[] =
    "; Tessary registry: the current user's keys (HKEY_CURRENT_USER).\n"
    "; [Key\\Path] starts a key; \"Name\"=\"text\", expand:\"text\", dword:0000002a,\n"
    "; hex:01,02 (binary) or hex(N):.. (raw bytes of value type N) set its values.\n";

}  // namespace

bool SameRegistryName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (UpperCase(a[i]) != UpperCase(b[i])) return false;
  return true;
}

bool IsValidKeyPath(std::u16string_view path) {
  if (path.empty() || path.front() == u'\\' || path.back() == u'\\') return false;
  if (path.find(u"\\\\") != std::u16string_view::npos) return false;
  std::string unused;
  return !HasLineBreakingControls(path) && base::EncodeUtf8(path, unused);
}

// --- The document ------------------------------------------------------------

const RegistrySection* RegistryDocument::FindSection(std::u16string_view path) const {
  for (const RegistrySection& section : sections)
    if (SameRegistryName(section.path, path)) return &section;
  return nullptr;
}

bool RegistryDocument::HasKey(std::u16string_view path) const {
  for (const RegistrySection& section : sections)
    if (IsWithin(section.path, path)) return true;
  return false;
}

std::string RegistryDocument::Text() const {
  std::string text;
  for (const std::string& line : lines) text += line;
  return text;
}

void RegistryDocument::InsertLine(std::size_t at, std::string content) {
  // The line before gets its ending; one that ends in a lone CR needs only
  // the LF (a second CR would make it a line the reader refuses).
  if (at > 0 && !lines[at - 1].ends_with('\n')) lines[at - 1] += lines[at - 1].ends_with('\r') ? "\n" : lineEnding;
  lines.insert(lines.begin() + std::ptrdiff_t(at), content + lineEnding);
}

void RegistryDocument::ReplaceLine(std::size_t at, std::string content) {
  std::string& line = lines[at];
  const std::size_t end = line.find_first_of("\r\n");
  line = content + (end == std::string::npos ? std::string() : line.substr(end));
}

void RegistryDocument::AppendSection(bool isNewFile, std::u16string_view path) {
  std::string utf8;
  base::EncodeUtf8(path, utf8);
  if (isNewFile) {
    lines.clear();
    std::string_view header = kNewStoreHeader;
    for (std::size_t start = 0; start < header.size();) {
      const std::size_t end = header.find('\n', start) + 1;
      lines.emplace_back(header.substr(start, end - start));
      start = end;
    }
  }
  const bool lastIsBlank = lines.empty() || Trim(lines.back()).find_first_not_of("\r\n") == std::string::npos;
  if (!lastIsBlank) InsertLine(lines.size(), "");
  InsertLine(lines.size(), "[" + utf8 + "]");
}

std::optional<RegistryDocument> ParseRegistryDocument(std::string_view text) {
  RegistryDocument doc;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    end = end == std::string_view::npos ? text.size() : end + 1;
    doc.lines.emplace_back(text.substr(start, end - start));
    start = end;
  }
  if (!doc.lines.empty() && doc.lines.front().find("\r\n") != std::string::npos) doc.lineEnding = "\r\n";

  for (std::size_t index = 0; index < doc.lines.size(); ++index) {
    std::string_view line = doc.lines[index];
    if (index == 0 && line.starts_with("\xEF\xBB\xBF")) line.remove_prefix(3);
    if (line.ends_with('\n')) line.remove_suffix(1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    line = Trim(line);
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;

    if (line.front() == '[') {
      RegistrySection section;
      if (line.back() != ']' || line.size() < 3) return std::nullopt;
      if (!base::DecodeUtf8(line.substr(1, line.size() - 2), section.path)) return std::nullopt;
      if (!IsValidKeyPath(section.path) || doc.FindSection(section.path)) return std::nullopt;
      section.headerLine = section.lastLine = index;
      doc.sections.push_back(std::move(section));
      continue;
    }
    if ((line.front() != '"' && line.front() != '@') || doc.sections.empty()) return std::nullopt;
    RegistryValueLine entry;
    if (!ParseValueLine(line, entry)) return std::nullopt;
    RegistrySection& section = doc.sections.back();
    for (const RegistryValueLine& other : section.values)
      if (SameRegistryName(other.name, entry.name)) return std::nullopt;
    entry.line = section.lastLine = index;
    section.values.push_back(std::move(entry));
  }
  return doc;
}

std::optional<std::string> FormatValueLine(std::u16string_view name, std::uint32_t type,
                                           const std::vector<std::uint8_t>& data) {
  std::string utf8Name;
  if (HasLineBreakingControls(name) || !base::EncodeUtf8(name, utf8Name)) return std::nullopt;
  return (name.empty() ? std::string("@") : Quote(utf8Name)) + "=" + FormatData(type, data);
}

}  // namespace login
