#pragma once

#include <filesystem>
#include <string_view>

namespace tessary::update {

// True when the bytes begin with an ELF header for the machine this program
// runs on (magic "\x7fELF", word size, byte order, program or shared object,
// machine type): a proxy's HTML page or a truncated body is refused.
bool IsProgramForThisPlatform(std::string_view header);

// Reads the first bytes of a file and applies IsProgramForThisPlatform.
bool IsProgramFileForThisPlatform(const std::filesystem::path& file);

} // namespace tessary::update
