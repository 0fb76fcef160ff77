#include "login/RegistryStore.h"

#include "base/SafeFile.h"
#include "base/Text.h"

#include <fcntl.h>
#include <locale.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wctype.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <utility>

namespace login {
namespace {

// A store larger than this is not a registry a person or an installer wrote.
constexpr off_t kLargestStore = 16 * 1024 * 1024;
constexpr char kFileName[] = "registry.ini";

// ---------------------------------------------------------------------------
// Names compare the way the registry compares them: each UTF-16 unit upper-
// cased on its own. The C.UTF-8 locale object gives the full Unicode mapping
// without touching the process's global locale.

char16_t UpperCase(char16_t c) {
    if (c < 0x80) return (c >= u'a' && c <= u'z') ? char16_t(c - 0x20) : c;
    if (c >= 0xD800 && c <= 0xDFFF) return c;
    static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
    if (unicode == locale_t(0)) return c;
    const wint_t upper = towupper_l(wint_t(c), unicode);
    return upper <= 0xFFFF ? char16_t(upper) : c;
}

bool SameName(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (UpperCase(a[i]) != UpperCase(b[i])) return false;
    return true;
}

// True when `key` is `ancestor` itself or lies beneath it.
bool IsWithin(std::u16string_view key, std::u16string_view ancestor) {
    if (key.size() < ancestor.size()) return false;
    if (!SameName(key.substr(0, ancestor.size()), ancestor)) return false;
    return key.size() == ancestor.size() || key[ancestor.size()] == u'\\';
}

// Control characters (other than tab) cannot stand in a line of the store.
bool HasLineBreakingControls(std::u16string_view text) {
    for (char16_t c : text)
        if ((c < 0x20 && c != u'\t') || c == 0x7F) return true;
    return false;
}

// A key path: one or more non-empty names joined by backslashes.
bool IsValidKeyPath(std::u16string_view path) {
    if (path.empty() || path.front() == u'\\' || path.back() == u'\\') return false;
    if (path.find(u"\\\\") != std::u16string_view::npos) return false;
    std::string unused;
    return !HasLineBreakingControls(path) && base::EncodeUtf8(path, unused);
}

// ---------------------------------------------------------------------------
// The document: the file's lines exactly as read (each with its own line
// ending), plus what they mean. Edits replace or insert single lines, so
// everything a person wrote elsewhere in the file survives byte for byte.

struct ValueLine {
    std::u16string name;
    RegistryValue value;
    std::size_t line = 0;
};

struct Section {
    std::u16string path;
    std::size_t headerLine = 0;
    std::size_t lastLine = 0;  // the header or its last value line
    std::vector<ValueLine> values;
};

struct Document {
    std::vector<std::string> lines;  // with line endings; the last may lack one
    std::vector<Section> sections;
    std::string lineEnding = "\n";

    const Section* FindSection(std::u16string_view path) const {
        for (const Section& section : sections)
            if (SameName(section.path, path)) return &section;
        return nullptr;
    }

    bool HasKey(std::u16string_view path) const {
        for (const Section& section : sections)
            if (IsWithin(section.path, path)) return true;
        return false;
    }

    std::string Text() const {
        std::string text;
        for (const std::string& line : lines) text += line;
        return text;
    }

    void InsertLine(std::size_t at, std::string content) {
        if (at > 0 && !lines[at - 1].ends_with('\n')) lines[at - 1] += lineEnding;
        lines.insert(lines.begin() + std::ptrdiff_t(at), content + lineEnding);
    }

    void ReplaceLine(std::size_t at, std::string content) {
        std::string& line = lines[at];
        const std::size_t end = line.find_first_of("\r\n");
        line = content + (end == std::string::npos ? std::string() : line.substr(end));
    }
};

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

bool ParseValueLine(std::string_view s, ValueLine& entry) {
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

std::optional<Document> ParseDocument(std::string_view text) {
    Document doc;
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
            Section section;
            if (line.back() != ']' || line.size() < 3) return std::nullopt;
            if (!base::DecodeUtf8(line.substr(1, line.size() - 2), section.path)) return std::nullopt;
            if (!IsValidKeyPath(section.path) || doc.FindSection(section.path)) return std::nullopt;
            section.headerLine = section.lastLine = index;
            doc.sections.push_back(std::move(section));
            continue;
        }
        if ((line.front() != '"' && line.front() != '@') || doc.sections.empty()) return std::nullopt;
        ValueLine entry;
        if (!ParseValueLine(line, entry)) return std::nullopt;
        Section& section = doc.sections.back();
        for (const ValueLine& other : section.values)
            if (SameName(other.name, entry.name)) return std::nullopt;
        entry.line = section.lastLine = index;
        section.values.push_back(std::move(entry));
    }
    return doc;
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

std::optional<std::string> FormatValueLine(std::u16string_view name, std::uint32_t type,
                                           const std::vector<std::uint8_t>& data) {
    std::string utf8Name;
    if (HasLineBreakingControls(name) || !base::EncodeUtf8(name, utf8Name)) return std::nullopt;
    return (name.empty() ? std::string("@") : Quote(utf8Name)) + "=" + FormatData(type, data);
}

constexpr char kNewStoreHeader[] =
    "; Tessary registry: the current user's keys (HKEY_CURRENT_USER).\n"
    "; [Key\\Path] starts a key; \"Name\"=\"text\", expand:\"text\", dword:0000002a,\n"
    "; hex:01,02 (binary) or hex(N):.. (raw bytes of value type N) set its values.\n";

// --- Files ---------------------------------------------------------------------

enum class LoadStatus { Loaded, Missing, Unusable };

struct LoadedStore {
    Document doc;
    mode_t mode = 0600;
};

class FileHandle {
public:
    explicit FileHandle(int fd) : fd_(fd) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() { if (fd_ >= 0) ::close(fd_); }
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
    auto doc = ParseDocument(text);
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

// Adds "[path]" at the end of the file, after a blank line.
void AppendSection(Document& doc, bool isNewFile, std::u16string_view path) {
    std::string utf8;
    base::EncodeUtf8(path, utf8);
    if (isNewFile) {
        doc.lines.clear();
        std::string_view header = kNewStoreHeader;
        for (std::size_t start = 0; start < header.size();) {
            const std::size_t end = header.find('\n', start) + 1;
            doc.lines.emplace_back(header.substr(start, end - start));
            start = end;
        }
    }
    const bool lastIsBlank = doc.lines.empty() || Trim(doc.lines.back()).find_first_not_of("\r\n") == std::string::npos;
    if (!lastIsBlank) doc.InsertLine(doc.lines.size(), "");
    doc.InsertLine(doc.lines.size(), "[" + utf8 + "]");
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
    const RegistryResult result = EditStore(file_, [&](Document& doc, bool isNew, bool& changed) {
        if (!doc.HasKey(subKey)) {  // another writer may have made it meanwhile
            AppendSection(doc, isNew, subKey);
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
    if (const Section* section = store.doc.FindSection(key.path_)) {
        for (const ValueLine& entry : section->values) {
            if (SameName(entry.name, valueName)) {
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
    return EditStore(file_, [&](Document& doc, bool isNew, bool& changed) {
        if (!doc.HasKey(key.path_)) return RegistryResult::NotFound;  // removed since it was opened
        const Section* section = doc.FindSection(key.path_);
        if (!section) {  // the key exists only as the parent of others
            AppendSection(doc, isNew, key.path_);
            doc.InsertLine(doc.lines.size(), *line);
        } else {
            const ValueLine* existing = nullptr;
            for (const ValueLine& entry : section->values)
                if (SameName(entry.name, valueName)) existing = &entry;
            if (existing) doc.ReplaceLine(existing->line, *line);
            else doc.InsertLine(section->lastLine + 1, *line);
        }
        changed = true;
        return RegistryResult::Success;
    });
}

}  // namespace login
