#pragma once
// Safe replacement of files: written in full and made durable beside the old one, then one rename.

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <string_view>

namespace base {

// Writes all of bytes to fd, going on after interrupted and short writes.
// False on a write error; errno then says which.
bool WriteAll(int fd, std::string_view bytes);

// Replaces file with contents: a temporary file in the same folder gets the
// contents and mode, is flushed to the disk, and takes file's place in one
// rename, which is then made durable too. A reader, or the system after a
// crash, sees the old file or the new one, never a part of one. False when
// any step fails: file is then as it was and no temporary file is left.
bool ReplaceFile(const std::filesystem::path& file, std::string_view contents, mode_t mode);

// Renames from onto to in the same folder (an existing to is replaced) after
// flushing from's data to the disk, then flushes the folder, so the file
// under its new name survives a crash whole. False (nothing renamed) when the
// rename fails or the disk refuses from's data.
bool RenameDurably(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace base
