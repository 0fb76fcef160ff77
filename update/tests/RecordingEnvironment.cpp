#include "update/tests/RecordingEnvironment.h"

#include <elf.h>
#include <link.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace update::testing {

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

std::string SmallProgram(const std::string& marker, size_t size) {
  using Header = ElfW(Ehdr);
  using Segment = ElfW(Phdr);
  using Section = ElfW(Shdr);
  const std::string names = std::string("\0.text\0.shstrtab\0", 17);
  const size_t text = sizeof(Header) + sizeof(Segment);
  size_t textSize = marker.size();
  const size_t fixed = text + names.size() + 8 + 3 * sizeof(Section);
  if (fixed + textSize < size) textSize = size - fixed;
  const size_t namesAt = text + textSize;
  const size_t sectionsAt = (namesAt + names.size() + 7) / 8 * 8;

  std::string image(sectionsAt + 3 * sizeof(Section), '\0');
  Header header{};
  std::memcpy(&header, ReadFileStart("/proc/self/exe", sizeof header).data(), sizeof header);
  header.e_phoff = sizeof(Header);
  header.e_phentsize = sizeof(Segment);
  header.e_phnum = 1;
  header.e_shoff = sectionsAt;
  header.e_shentsize = sizeof(Section);
  header.e_shnum = 3;
  header.e_shstrndx = 2;
  Segment load{};
  load.p_type = PT_LOAD;
  load.p_flags = PF_R | PF_X;
  load.p_filesz = load.p_memsz = namesAt + names.size();
  load.p_align = 4096;
  Section sections[3]{};
  sections[1].sh_name = 1;
  sections[1].sh_type = SHT_PROGBITS;
  sections[1].sh_offset = text;
  sections[1].sh_size = textSize;
  sections[2].sh_name = 7;
  sections[2].sh_type = SHT_STRTAB;
  sections[2].sh_offset = namesAt;
  sections[2].sh_size = names.size();
  std::memcpy(image.data(), &header, sizeof header);
  std::memcpy(image.data() + sizeof header, &load, sizeof load);
  std::memcpy(image.data() + text, marker.data(), marker.size());
  std::memcpy(image.data() + namesAt, names.data(), names.size());
  std::memcpy(image.data() + sectionsAt, sections, sizeof sections);
  return image;
}

std::map<std::string, std::string> FolderContents(const fs::path& folder) {
  std::map<std::string, std::string> contents;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    contents[entry.path().filename().string()] = entry.is_directory() ? "<folder>" : ReadFile(entry.path());
  }
  return contents;
}

RecordingEnvironment::RecordingEnvironment(fs::path folder)
    : PosixUpdateEnvironment(nullptr, nullptr), folder_(std::move(folder)) {}

fs::path RecordingEnvironment::ExecutablePath() { return folder_.empty() ? fs::path() : folder_ / programName; }

bool RecordingEnvironment::FolderWritable(const fs::path& folder) {
  return folderWritable && PosixUpdateEnvironment::FolderWritable(folder);
}

bool RecordingEnvironment::KeepAnswering() { return ++answers < cancelAtAnswer; }

bool RecordingEnvironment::Progress(uint64_t received, int64_t total) {
  progress.emplace_back(received, total);
  return received < cancelAfter;
}

bool RecordingEnvironment::RenameFile(const fs::path& from, const fs::path& to) {
  const bool fails = failingRenames.count({from.filename().string(), to.filename().string()}) > 0;
  events.push_back("rename " + from.filename().string() + "->" + to.filename().string() + (fails ? " failed" : ""));
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

}  // namespace update::testing
