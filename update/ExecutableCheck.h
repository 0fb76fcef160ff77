#pragma once
// Whether a downloaded file is a whole program for this machine.

#include <filesystem>
#include <string_view>

namespace update {

// True when the bytes begin with an ELF header for the machine this program
// runs on (magic "\x7fELF", word size, byte order, program or shared object,
// machine type): a proxy's HTML page is refused.
bool IsProgramForThisPlatform(std::string_view header);

// True when the bytes are a whole program for this machine: the header as
// above, and the program header table, every segment's file part, the
// section header table and every section with file content lie inside the
// bytes, with at least one loadable segment. A body cut anywhere inside its
// image is refused; bytes after the image are allowed.
bool IsWholeProgramForThisPlatform(std::string_view image);

// Maps the file and applies IsWholeProgramForThisPlatform.
bool IsProgramFileForThisPlatform(const std::filesystem::path& file);

}  // namespace update
