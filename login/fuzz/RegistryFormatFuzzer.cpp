// Reads arbitrary bytes as a registry store and checks what the store relies
// on: a parsed file gives back its text byte for byte, every value it holds
// can be written again and reads back the same, and lines added to it keep
// it readable. The same bytes, taken as a value, must survive a write and a
// read whatever their type.
#include "login/RegistryFormat.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

using login::RegistryValue;

void require(bool condition) {
  if (!condition) __builtin_trap();
}

// The value a line written for (name, value) reads back as, under [K].
void requireRoundTrip(std::u16string_view name, const RegistryValue& value) {
  const auto line = login::FormatValueLine(name, value.type, value.data);
  if (!line) return;
  const auto doc = login::ParseRegistryDocument("[K]\n" + *line + "\n");
  require(doc && doc->sections.size() == 1 && doc->sections[0].values.size() == 1);
  const login::RegistryValueLine& back = doc->sections[0].values[0];
  require(back.name == name && back.value.type == value.type && back.value.data == value.data);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  if (auto doc = login::ParseRegistryDocument(text)) {
    require(doc->Text() == text);
    for (const login::RegistrySection& section : doc->sections) {
      require(login::IsValidKeyPath(section.path));
      require(doc->HasKey(section.path) && doc->FindSection(section.path) == &section);
      for (const login::RegistryValueLine& entry : section.values) {
        require(login::FormatValueLine(entry.name, entry.value.type, entry.value.data).has_value());
        requireRoundTrip(entry.name, entry.value);
      }
    }
    // The store's edits: a value replaced or added in the last key, then
    // a new key at the end.
    if (!doc->sections.empty()) {
      const login::RegistrySection section = doc->sections.back();
      const auto line = login::FormatValueLine(u"QID", login::REG_SZ, {'1', 0, 0, 0});
      const login::RegistryValueLine* existing = nullptr;
      for (const login::RegistryValueLine& entry : section.values)
        if (login::SameRegistryName(entry.name, u"QID")) existing = &entry;
      if (existing)
        doc->ReplaceLine(existing->line, *line);
      else
        doc->InsertLine(section.lastLine + 1, *line);
    }
    // As the store does, only a key that is not there yet.
    const std::u16string added = u"Software\\HollinTessary\\Added";
    if (!doc->HasKey(added)) doc->AppendSection(false, added);
    const auto edited = login::ParseRegistryDocument(doc->Text());
    require(edited && edited->HasKey(u"software\\hollintessary\\added"));
    if (!doc->sections.empty()) {
      const login::RegistrySection* section = edited->FindSection(doc->sections.back().path);
      require(section != nullptr);
      bool found = false;
      for (const login::RegistryValueLine& entry : section->values)
        found = found || (entry.name == u"QID" && entry.value.data == std::vector<uint8_t>{'1', 0, 0, 0});
      require(found);
    }
  }

  // The bytes as a value: the first four give the type, the next one the
  // name's length in UTF-16 units, then the name, the rest is the data.
  if (size >= 5) {
    RegistryValue value;
    value.type = uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 | uint32_t(data[3]) << 24;
    // Most types of interest are small; keep them common.
    if (data[4] & 0x80) value.type &= 0x7;
    size_t at = 5;
    std::u16string name;
    for (size_t units = data[4] & 0x7F; units > 0 && at + 1 < size; --units, at += 2)
      name.push_back(char16_t(data[at] | data[at + 1] << 8));
    value.data.assign(data + at, data + size);
    requireRoundTrip(name, value);
  }
  return 0;
}
