// Resources of a module file: each is an ELF section ".fvres.<type>.<id>", found through the
// section headers. The file is read with every offset and size checked against it, since a
// registry entry may name any file at all.

#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "fvplatform/module.h"

namespace fvplat {
namespace {

class File {
 public:
  explicit File(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
  ~File() {
    if (fd_ >= 0) ::close(fd_);
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Only regular files: a device or a pipe is no module.
  bool Regular(std::uint64_t& size) const {
    struct stat info {};
    if (fd_ < 0 || ::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) return false;
    size = static_cast<std::uint64_t>(info.st_size);
    return true;
  }
  bool Read(std::uint64_t offset, void* out, std::size_t size) const {
    auto* bytes = static_cast<char*>(out);
    while (size > 0) {
      const ssize_t got = ::pread(fd_, bytes, size, static_cast<off_t>(offset));
      if (got <= 0) return false;
      bytes += got;
      offset += static_cast<std::uint64_t>(got);
      size -= static_cast<std::size_t>(got);
    }
    return true;
  }

 private:
  int fd_;
};

bool Inside(std::uint64_t offset, std::uint64_t size, std::uint64_t fileSize) {
  return offset <= fileSize && size <= fileSize - offset;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> ReadModuleResource(const std::string& path,
                                                            const std::string& type, int id,
                                                            std::size_t limit) {
  File file(path);
  std::uint64_t fileSize = 0;
  if (!file.Regular(fileSize)) return std::nullopt;
  Elf64_Ehdr header{};
  if (!Inside(0, sizeof header, fileSize) || !file.Read(0, &header, sizeof header) ||
      std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64 ||
      header.e_shentsize != sizeof(Elf64_Shdr) || header.e_shstrndx >= header.e_shnum) {
    return std::nullopt;
  }
  const std::uint64_t tableSize = std::uint64_t{header.e_shnum} * sizeof(Elf64_Shdr);
  if (!Inside(header.e_shoff, tableSize, fileSize)) return std::nullopt;
  std::vector<Elf64_Shdr> sections(header.e_shnum);
  if (!file.Read(header.e_shoff, sections.data(), tableSize)) return std::nullopt;

  const Elf64_Shdr& names = sections[header.e_shstrndx];
  if (!Inside(names.sh_offset, names.sh_size, fileSize)) return std::nullopt;
  const std::string wanted = ".fvres." + type + "." + std::to_string(id);
  std::vector<char> name(wanted.size() + 1);
  for (const Elf64_Shdr& section : sections) {
    if (section.sh_type != SHT_PROGBITS || section.sh_name >= names.sh_size ||
        names.sh_size - section.sh_name < name.size() ||
        !file.Read(names.sh_offset + section.sh_name, name.data(), name.size()) ||
        std::memcmp(name.data(), wanted.c_str(), name.size()) != 0) {
      continue;
    }
    if (section.sh_size > limit || !Inside(section.sh_offset, section.sh_size, fileSize)) {
      return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(section.sh_size);
    if (!file.Read(section.sh_offset, bytes.data(), bytes.size())) return std::nullopt;
    return bytes;
  }
  return std::nullopt;
}

}  // namespace fvplat
