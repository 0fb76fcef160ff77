#include "update/ExecutableCheck.h"

#include "update/tests/RecordingEnvironment.h"

#include <gtest/gtest.h>

#include <elf.h>
#include <link.h>

#include <cstring>
#include <functional>

namespace update {
namespace {

std::string OwnHeader() { return testing::ReadFileStart("/proc/self/exe", 64); }

TEST(ExecutableCheckTest, OwnProgramPasses) {
  EXPECT_TRUE(IsProgramForThisPlatform(OwnHeader()));
  EXPECT_TRUE(IsProgramFileForThisPlatform("/proc/self/exe"));
}

TEST(ExecutableCheckTest, OtherContentIsRefused) {
  EXPECT_FALSE(IsProgramForThisPlatform(""));
  EXPECT_FALSE(IsProgramForThisPlatform("<!DOCTYPE html><html><body>Log in</body></html>"));
  EXPECT_FALSE(IsProgramForThisPlatform(std::string("MZ\x90\x00\x03\x00\x00\x00", 8) + std::string(60, '\0')));
  EXPECT_FALSE(IsProgramForThisPlatform("#!/bin/sh\necho not a binary program\n"));
  EXPECT_FALSE(IsProgramForThisPlatform(OwnHeader().substr(0, 19)));  // cut inside
  EXPECT_FALSE(IsProgramFileForThisPlatform("/nonexistent/zarek_new.exe"));
  EXPECT_FALSE(IsProgramFileForThisPlatform("/proc/self"));  // a folder
}

TEST(ExecutableCheckTest, ProgramsForOtherMachinesAreRefused) {
  std::string header = OwnHeader();
  std::string otherClass = header;
  otherClass[EI_CLASS] = header[EI_CLASS] == ELFCLASS64 ? ELFCLASS32 : ELFCLASS64;
  EXPECT_FALSE(IsProgramForThisPlatform(otherClass));

  std::string otherOrder = header;
  otherOrder[EI_DATA] = header[EI_DATA] == ELFDATA2LSB ? ELFDATA2MSB : ELFDATA2LSB;
  EXPECT_FALSE(IsProgramForThisPlatform(otherOrder));

  std::string otherMachine = header;  // e_machine, little-endian on the usual machines
  otherMachine[EI_NIDENT + 2] = static_cast<char>(otherMachine[EI_NIDENT + 2] ^ 0x40);
  EXPECT_FALSE(IsProgramForThisPlatform(otherMachine));

  std::string objectFile = header;  // e_type ET_REL: not something that runs
  objectFile[EI_NIDENT] = ET_REL;
  objectFile[EI_NIDENT + 1] = 0;
  EXPECT_FALSE(IsProgramForThisPlatform(objectFile));
}

// A body cut anywhere inside the image is refused; bytes after it are not.
TEST(ExecutableCheckTest, WholeImageIsRequired) {
  const std::string own = testing::ReadFile("/proc/self/exe");
  const std::string small = testing::SmallProgram("marker");
  for (const std::string* image : {&own, &small}) {
    SCOPED_TRACE(image->size());
    const std::string_view whole(*image);
    EXPECT_TRUE(IsWholeProgramForThisPlatform(whole));
    EXPECT_TRUE(IsWholeProgramForThisPlatform(*image + "appended after the image"));
    for (size_t cut : {size_t{20}, sizeof(ElfW(Ehdr)), sizeof(ElfW(Ehdr)) + 1, whole.size() / 2, whole.size() * 3 / 4,
                       whole.size() - 1}) {
      SCOPED_TRACE(cut);
      EXPECT_TRUE(IsProgramForThisPlatform(whole.substr(0, cut)) || cut < 24);
      EXPECT_FALSE(IsWholeProgramForThisPlatform(whole.substr(0, cut)));
    }
  }
  EXPECT_TRUE(IsProgramFileForThisPlatform("/proc/self/exe"));
}

// Headers that point outside the file or describe nothing that runs.
TEST(ExecutableCheckTest, InconsistentTablesAreRefused) {
  using Header = ElfW(Ehdr);
  using Segment = ElfW(Phdr);
  using Section = ElfW(Shdr);
  const std::string program = testing::SmallProgram("marker");
  Header original;
  std::memcpy(&original, program.data(), sizeof original);
  const auto segmentAt = [&](std::string& image) { return image.data() + original.e_phoff; };
  const auto sectionAt = [&](std::string& image, size_t i) {
    return image.data() + original.e_shoff + i * sizeof(Section);
  };
  const std::vector<std::pair<const char*, std::function<void(std::string&, Header&)>>> cases = {
      {"program headers beyond the end", [](std::string& i, Header& h) { h.e_phoff = i.size(); }},
      {"no program headers", [](std::string&, Header& h) { h.e_phnum = 0; }},
      {"wrong program header size", [](std::string&, Header& h) { h.e_phentsize = 8; }},
      {"too many program headers", [](std::string&, Header& h) { h.e_phnum = 0xfffe; }},
      {"section headers beyond the end", [](std::string& i, Header& h) { h.e_shoff = i.size() - 8; }},
      {"offset that wraps", [](std::string&, Header& h) { h.e_shoff = ~decltype(h.e_shoff){0} - 8; }},
      {"wrong section header size", [](std::string&, Header& h) { h.e_shentsize = 12; }},
      {"section names out of range", [](std::string&, Header& h) { h.e_shstrndx = 3; }},
      {"counts but no table", [](std::string&, Header& h) { h.e_shoff = 0; }},
      {"segment beyond the end",
       [&](std::string& i, Header&) {
         Segment s;
         std::memcpy(&s, segmentAt(i), sizeof s);
         s.p_filesz = i.size() + 1;
         std::memcpy(segmentAt(i), &s, sizeof s);
       }},
      {"no loadable segment",
       [&](std::string& i, Header&) {
         Segment s;
         std::memcpy(&s, segmentAt(i), sizeof s);
         s.p_type = PT_NOTE;
         std::memcpy(segmentAt(i), &s, sizeof s);
       }},
      {"section beyond the end",
       [&](std::string& i, Header&) {
         Section s;
         std::memcpy(&s, sectionAt(i, 1), sizeof s);
         s.sh_offset = i.size() - 1;
         std::memcpy(sectionAt(i, 1), &s, sizeof s);
       }},
      {"escaped count in the first section",
       [&](std::string& i, Header& h) {
         h.e_shnum = 0;
         Section s{};
         s.sh_size = 4000;
         std::memcpy(sectionAt(i, 0), &s, sizeof s);
       }},
      {"escaped count that wraps",
       [&](std::string& i, Header& h) {
         h.e_shnum = 0;
         Section s{};
         s.sh_size = uint64_t{1} << 58;
         std::memcpy(sectionAt(i, 0), &s, sizeof s);
       }},
      {"escaped program count too large",
       [&](std::string& i, Header& h) {
         h.e_phnum = PN_XNUM;
         Section s{};
         s.sh_info = 1000;
         std::memcpy(sectionAt(i, 0), &s, sizeof s);
       }},
  };
  for (const auto& [what, change] : cases) {
    SCOPED_TRACE(what);
    std::string image = program;
    Header header = original;
    change(image, header);
    std::memcpy(image.data(), &header, sizeof header);
    EXPECT_TRUE(IsProgramForThisPlatform(image));
    EXPECT_FALSE(IsWholeProgramForThisPlatform(image));
  }
  // Counts kept in the first section as the format allows are followed.
  std::string escaped = program;
  Header header = original;
  header.e_phnum = PN_XNUM;
  header.e_shnum = 0;
  Section first{};
  first.sh_size = 3;
  first.sh_info = 1;
  std::memcpy(escaped.data(), &header, sizeof header);
  std::memcpy(sectionAt(escaped, 0), &first, sizeof first);
  EXPECT_TRUE(IsWholeProgramForThisPlatform(escaped));
}

}  // namespace
}  // namespace update
