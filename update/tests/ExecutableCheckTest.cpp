#include "update/ExecutableCheck.h"

#include "update/tests/RecordingEnvironment.h"

#include <gtest/gtest.h>

#include <elf.h>

namespace tessary::update {
namespace {

std::string OwnHeader() { return testing::ReadFileStart("/proc/self/exe", 64); }

TEST(ExecutableCheckTest, OwnProgramPasses) {
    EXPECT_TRUE(IsProgramForThisPlatform(OwnHeader()));
    EXPECT_TRUE(IsProgramFileForThisPlatform("/proc/self/exe"));
}

TEST(ExecutableCheckTest, OtherContentIsRefused) {
    EXPECT_FALSE(IsProgramForThisPlatform(""));
    EXPECT_FALSE(IsProgramForThisPlatform("<!DOCTYPE html><html><body>Log in</body></html>"));
    EXPECT_FALSE(IsProgramForThisPlatform(std::string("MZ\x90\x00\x03\x00\x00\x00", 8) +
                                          std::string(60, '\0')));
    EXPECT_FALSE(IsProgramForThisPlatform("#!/bin/sh\necho not a binary program\n"));
    EXPECT_FALSE(IsProgramForThisPlatform(OwnHeader().substr(0, 19)));  // cut inside
    EXPECT_FALSE(IsProgramFileForThisPlatform("/nonexistent/zarek_new.exe"));
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

} // namespace
} // namespace tessary::update
