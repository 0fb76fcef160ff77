#include "update/tests/RecordingEnvironment.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace tessary::update::testing {

namespace fs = std::filesystem;

TemporaryFolder::TemporaryFolder() {
    std::string pattern = (fs::temp_directory_path() / "tessary-update-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp");
    path_ = pattern;
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

void WriteFile(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ReadFileStart(const fs::path& file, size_t size) {
    std::ifstream in(file, std::ios::binary);
    std::string bytes(size, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(size));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

std::map<std::string, std::string> FolderContents(const fs::path& folder) {
    std::map<std::string, std::string> contents;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        contents[entry.path().filename().string()] =
            entry.is_directory() ? "<folder>" : ReadFile(entry.path());
    }
    return contents;
}

RecordingEnvironment::RecordingEnvironment(fs::path folder)
    : PosixUpdateEnvironment(nullptr, nullptr), folder_(std::move(folder)) {}

bool RecordingEnvironment::RenameFile(const fs::path& from, const fs::path& to) {
    const bool fails =
        failingRenames.count({from.filename().string(), to.filename().string()}) > 0;
    events.push_back("rename " + from.filename().string() + "->" + to.filename().string() +
                     (fails ? " failed" : ""));
    return !fails && PosixUpdateEnvironment::RenameFile(from, to);
}

bool RecordingEnvironment::StartProgram(const fs::path& program) {
    events.push_back("start");
    startedPrograms.push_back(program);
    return true;
}

void RecordingEnvironment::ShowMessage(const std::u16string& text, const std::u16string& caption) {
    events.push_back("message");
    messages.emplace_back(text, caption);
}

void RecordingEnvironment::PostCloseToLoginDialog() {
    events.push_back("close");
    ++closesPosted;
}

} // namespace tessary::update::testing
