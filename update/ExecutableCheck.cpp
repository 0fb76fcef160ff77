#include "update/ExecutableCheck.h"

#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

namespace update {

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
  return kOwnByteOrder == ELFDATA2LSB ? static_cast<uint16_t>(b0 | (b1 << 8)) : static_cast<uint16_t>((b0 << 8) | b1);
}

}  // namespace

bool IsProgramForThisPlatform(std::string_view header) {
  if (header.size() < kHeaderBytes) return false;
  if (header.substr(0, SELFMAG) != std::string_view(ELFMAG, SELFMAG)) return false;
  if (static_cast<uint8_t>(header[EI_CLASS]) != kOwnClass) return false;
  if (static_cast<uint8_t>(header[EI_DATA]) != kOwnByteOrder) return false;
  const uint16_t type = Read16(header, EI_NIDENT);
  if (type != ET_EXEC && type != ET_DYN) return false;
  return kOwnMachine < 0 || Read16(header, EI_NIDENT + 2) == kOwnMachine;
}

namespace {

using Header = ElfW(Ehdr);
using ProgramHeader = ElfW(Phdr);
using SectionHeader = ElfW(Shdr);

// The image's tables may sit at any offset: copied out, never cast in place.
template <typename T>
T At(std::string_view image, uint64_t offset) {
  T value;
  std::memcpy(&value, image.data() + offset, sizeof value);
  return value;
}

bool Inside(uint64_t offset, uint64_t length, uint64_t size) { return offset <= size && length <= size - offset; }

}  // namespace

bool IsWholeProgramForThisPlatform(std::string_view image) {
  if (!IsProgramForThisPlatform(image) || image.size() < sizeof(Header)) return false;
  const uint64_t size = image.size();
  const auto header = At<Header>(image, 0);

  // The section header table, when there is one; its first entry holds
  // the counts that do not fit the header's 16-bit fields.
  uint64_t sectionCount = 0;
  if (header.e_shoff != 0) {
    if (header.e_shentsize != sizeof(SectionHeader)) return false;
    if (!Inside(header.e_shoff, sizeof(SectionHeader), size)) return false;
    const auto first = At<SectionHeader>(image, header.e_shoff);
    sectionCount = header.e_shnum != 0 ? header.e_shnum : first.sh_size;
    // Compared by count first, so that no product can wrap around.
    if (sectionCount > size / sizeof(SectionHeader) ||
        !Inside(header.e_shoff, sectionCount * sizeof(SectionHeader), size))
      return false;
    for (uint64_t i = 1; i < sectionCount; ++i) {
      const auto section = At<SectionHeader>(image, header.e_shoff + i * sizeof(SectionHeader));
      if (section.sh_type == SHT_NOBITS || section.sh_size == 0) continue;
      if (!Inside(section.sh_offset, section.sh_size, size)) return false;
    }
    const uint64_t names = header.e_shstrndx == SHN_XINDEX ? first.sh_link : header.e_shstrndx;
    if (names >= sectionCount && names != SHN_UNDEF) return false;
  } else if (header.e_shnum != 0) {
    return false;
  }

  uint64_t programCount = header.e_phnum;
  if (programCount == PN_XNUM) {
    if (sectionCount == 0) return false;
    programCount = At<SectionHeader>(image, header.e_shoff).sh_info;
  }
  if (programCount == 0 || programCount > size / sizeof(ProgramHeader) || header.e_phentsize != sizeof(ProgramHeader))
    return false;
  if (!Inside(header.e_phoff, programCount * sizeof(ProgramHeader), size)) return false;
  bool loads = false;
  for (uint64_t i = 0; i < programCount; ++i) {
    const auto segment = At<ProgramHeader>(image, header.e_phoff + i * sizeof(ProgramHeader));
    if (!Inside(segment.p_offset, segment.p_filesz, size)) return false;
    loads = loads || (segment.p_type == PT_LOAD && segment.p_filesz > 0);
  }
  return loads;
}

bool IsProgramFileForThisPlatform(const std::filesystem::path& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  bool whole = false;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
    const auto size = static_cast<size_t>(info.st_size);
    void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (mapped != MAP_FAILED) {
      whole = IsWholeProgramForThisPlatform(std::string_view(static_cast<const char*>(mapped), size));
      ::munmap(mapped, size);
    }
  }
  ::close(fd);
  return whole;
}

}  // namespace update
