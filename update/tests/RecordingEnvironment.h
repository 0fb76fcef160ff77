#pragma once
// Test helpers: temporary folders, small ELF programs, an environment that records.

#include "update/PosixUpdateEnvironment.h"

#include <climits>
#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace update::testing {

// A temporary folder that is removed with everything in it.
class TemporaryFolder {
 public:
  TemporaryFolder();
  ~TemporaryFolder();
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

void WriteFile(const std::filesystem::path& file, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& file);
std::string ReadFileStart(const std::filesystem::path& file, size_t size);
// A small ELF image for this machine with a marker inside: a header, one
// loadable segment over the file and a section header table at its end,
// padded to at least size bytes. It passes the whole-program check.
std::string SmallProgram(const std::string& marker, size_t size = 4096);
// Every entry of a folder with its content ("<folder>" for sub-folders).
std::map<std::string, std::string> FolderContents(const std::filesystem::path& folder);

// The real file operations on a test's folder, with the clock, the user and
// the process start recorded instead, and renames that can be made to fail.
class RecordingEnvironment : public PosixUpdateEnvironment {
 public:
  // The running program is folder/programName ("zarek.exe" unless changed).
  explicit RecordingEnvironment(std::filesystem::path folder);

  uint32_t TickCount() override { return tickCount; }
  std::filesystem::path ExecutablePath() override;
  bool FolderWritable(const std::filesystem::path& folder) override;
  bool RenameFile(const std::filesystem::path& from, const std::filesystem::path& to) override;
  bool StartProgram(const std::filesystem::path& program) override;
  void ShowMessage(const std::u16string& text, const std::u16string& caption) override;
  void PostCloseToLoginDialog() override;
  void Warn(const std::string& text) override { warnings.push_back(text); }
  bool KeepAnswering() override;
  bool Progress(uint64_t received, int64_t total) override;

  uint32_t tickCount = 4321;
  std::string programName = "zarek.exe";
  bool folderWritable = true;  // false: the folder counts as read-only
  // Progress reports cancel the download once this many bytes arrived.
  uint64_t cancelAfter = UINT64_MAX;
  // KeepAnswering cancels from this call on (counted from 1).
  int cancelAtAnswer = INT32_MAX;
  int answers = 0;
  // Renames (from name, to name) that fail.
  std::set<std::pair<std::string, std::string>> failingRenames;

  std::vector<std::pair<std::u16string, std::u16string>> messages;  // text, caption
  std::vector<std::filesystem::path> startedPrograms;
  int closesPosted = 0;
  std::vector<std::string> events;  // "rename a->b", "message", "start", "close"
  std::vector<std::string> warnings;
  std::vector<std::pair<uint64_t, int64_t>> progress;  // received, total

 private:
  std::filesystem::path folder_;
};

}  // namespace update::testing
