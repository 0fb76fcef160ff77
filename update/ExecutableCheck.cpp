#include "update/ExecutableCheck.h"

#include <elf.h>

#include <cstdint>
#include <fstream>

namespace tessary::update {

namespace {

constexpr unsigned char kOwnClass = sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32;

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
constexpr unsigned char kOwnByteOrder = ELFDATA2MSB;
#else
constexpr unsigned char kOwnByteOrder = ELFDATA2LSB;
#endif

#if defined(__x86_64__)
constexpr int kOwnMachine = EM_X86_64;
#elif defined(__aarch64__)
constexpr int kOwnMachine = EM_AARCH64;
#elif defined(__i386__)
constexpr int kOwnMachine = EM_386;
#elif defined(__arm__)
constexpr int kOwnMachine = EM_ARM;
#elif defined(__riscv)
constexpr int kOwnMachine = EM_RISCV;
#else
constexpr int kOwnMachine = -1;  // unknown machine: not checked
#endif

// e_type and e_machine follow the 16-byte identification in both classes.
constexpr size_t kHeaderBytes = EI_NIDENT + 4;

uint16_t Read16(std::string_view bytes, size_t at) {
    const auto b0 = static_cast<uint8_t>(bytes[at]);
    const auto b1 = static_cast<uint8_t>(bytes[at + 1]);
    return kOwnByteOrder == ELFDATA2LSB ? static_cast<uint16_t>(b0 | (b1 << 8))
                                        : static_cast<uint16_t>((b0 << 8) | b1);
}

} // namespace

bool IsProgramForThisPlatform(std::string_view header) {
    if (header.size() < kHeaderBytes) return false;
    if (header.substr(0, SELFMAG) != std::string_view(ELFMAG, SELFMAG)) return false;
    if (static_cast<uint8_t>(header[EI_CLASS]) != kOwnClass) return false;
    if (static_cast<uint8_t>(header[EI_DATA]) != kOwnByteOrder) return false;
    const uint16_t type = Read16(header, EI_NIDENT);
    if (type != ET_EXEC && type != ET_DYN) return false;
    return kOwnMachine < 0 || Read16(header, EI_NIDENT + 2) == kOwnMachine;
}

bool IsProgramFileForThisPlatform(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    char header[kHeaderBytes];
    if (!in.read(header, sizeof header)) return false;
    return IsProgramForThisPlatform(std::string_view(header, sizeof header));
}

} // namespace tessary::update
