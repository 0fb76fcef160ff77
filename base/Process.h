#pragma once
// The running program and others: its own file, the tick count, starting a program.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace base {

// Milliseconds since the system started, suspended time included, wrapping at
// 2^32, like the system's tick count.
std::uint32_t TickCount();

// The running executable's own file, whatever it is called ("zarek.exe",
// "zarek", "tessary"); empty when unknown, or when the file was removed or
// replaced under the running program.
std::filesystem::path ExecutablePath();

// The folder the running executable was started from, also when its file
// has been removed or replaced since (a package upgrade while it runs):
// the files installed beside it are looked for there. Empty when unknown.
std::filesystem::path ExecutableFolder();

// Starts program with the given arguments (argv[1] onwards) and this
// program's environment, without waiting for it. The new program runs in a
// session of its own, so it outlives this one and its terminal; it inherits
// standard input, output and error but no other descriptor, and starts with
// every signal at its default and none blocked. False when it could not be
// started (missing, not runnable).
bool StartProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments = {});

}  // namespace base
