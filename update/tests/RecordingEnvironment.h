#pragma once

#include "update/PosixUpdateEnvironment.h"

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace tessary::update::testing {

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
// Every entry of a folder with its content ("<folder>" for sub-folders).
std::map<std::string, std::string> FolderContents(const std::filesystem::path& folder);

// The real file operations on a test's folder, with the clock, the user and
// the process start recorded instead, and renames that can be made to fail.
class RecordingEnvironment : public PosixUpdateEnvironment {
public:
    explicit RecordingEnvironment(std::filesystem::path folder);

    uint32_t TickCount() override { return tickCount; }
    std::filesystem::path ExecutableFolder() override { return folder_; }
    bool RenameFile(const std::filesystem::path& from, const std::filesystem::path& to) override;
    bool StartProgram(const std::filesystem::path& program) override;
    void ShowMessage(const std::u16string& text, const std::u16string& caption) override;
    void PostCloseToLoginDialog() override;

    uint32_t tickCount = 4321;
    // Renames (from name, to name) that fail.
    std::set<std::pair<std::string, std::string>> failingRenames;

    std::vector<std::pair<std::u16string, std::u16string>> messages;  // text, caption
    std::vector<std::filesystem::path> startedPrograms;
    int closesPosted = 0;
    std::vector<std::string> events;  // "rename a->b", "message", "start", "close"

private:
    std::filesystem::path folder_;
};

} // namespace tessary::update::testing
