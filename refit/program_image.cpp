// Whether the bytes of an upgrade file make a program that can start: a whole ELF executable, or a
// script whose "#!" line names an interpreter that is there.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "refit/refit_dlg.h"

namespace refit {

namespace {

// Reads the numbers of an ELF image in its own byte order; every read is bounded by the image.
class ElfReader {
 public:
  ElfReader(const std::string& bytes, bool bigEndian) : bytes_(bytes), big_(bigEndian) {}
  std::uint64_t size() const { return bytes_.size(); }
  // True when [offset, offset + length) lies inside the image.
  bool inside(std::uint64_t offset, std::uint64_t length) const {
    return offset <= size() && length <= size() - offset;
  }
  bool number(std::uint64_t offset, int width, std::uint64_t& out) const {
    if (!inside(offset, static_cast<std::uint64_t>(width))) return false;
    out = 0;
    for (int i = 0; i < width; ++i) {
      const int at = big_ ? i : width - 1 - i;
      out = (out << 8) | static_cast<unsigned char>(bytes_[static_cast<std::size_t>(offset) + static_cast<std::size_t>(at)]);
    }
    return true;
  }

 private:
  const std::string& bytes_;
  bool big_;
};

// The field offsets of the two ELF classes.
struct ElfLayout {
  int word;  // width of an address or offset
  std::uint64_t headerSize, phoff, shoff, ehsize, phentsize, phnum, shentsize, shnum;
  std::uint64_t programHeaderSize, pOffset, pFilesz;
  std::uint64_t sectionHeaderSize, shSize;
};
constexpr ElfLayout kElf32{4, 52, 28, 32, 40, 42, 44, 46, 48, 32, 4, 16, 40, 20};
constexpr ElfLayout kElf64{8, 64, 32, 40, 52, 54, 56, 58, 60, 56, 8, 32, 64, 32};

constexpr std::uint64_t kExecutable = 2, kShared = 3;  // e_type of a program (a position-independent one is shared)
constexpr std::uint64_t kLoadable = 1;                 // p_type of a segment loaded from the file
constexpr std::uint64_t kManyHeaders = 0xFFFF;         // e_phnum that moves the count elsewhere

bool IsWholeElfImage(const std::string& bytes) {
  if (bytes.size() < 16) return false;
  const int elfClass = static_cast<unsigned char>(bytes[4]);
  const int data = static_cast<unsigned char>(bytes[5]);
  if ((elfClass != 1 && elfClass != 2) || (data != 1 && data != 2) || bytes[6] != 1) return false;
  const ElfLayout& l = elfClass == 1 ? kElf32 : kElf64;
  const ElfReader r(bytes, data == 2);

  std::uint64_t type = 0, version = 0, phoff = 0, shoff = 0, ehsize = 0, phentsize = 0, phnum = 0, shentsize = 0,
                shnum = 0;
  if (!r.number(16, 2, type) || !r.number(20, 4, version) || !r.number(l.phoff, l.word, phoff) ||
      !r.number(l.shoff, l.word, shoff) || !r.number(l.ehsize, 2, ehsize) || !r.number(l.phentsize, 2, phentsize) ||
      !r.number(l.phnum, 2, phnum) || !r.number(l.shentsize, 2, shentsize) || !r.number(l.shnum, 2, shnum))
    return false;
  if ((type != kExecutable && type != kShared) || version != 1 || ehsize != l.headerSize) return false;

  // Every program header, and every loadable segment, inside the file; at least one segment loads.
  if (phentsize != l.programHeaderSize || phnum == 0 || phnum == kManyHeaders) return false;
  if (!r.inside(phoff, phnum * phentsize)) return false;
  bool loads = false;
  for (std::uint64_t i = 0; i < phnum; ++i) {
    const std::uint64_t at = phoff + i * phentsize;
    std::uint64_t ptype = 0, offset = 0, filesz = 0;
    if (!r.number(at, 4, ptype) || !r.number(at + l.pOffset, l.word, offset) ||
        !r.number(at + l.pFilesz, l.word, filesz))
      return false;
    if (ptype != kLoadable) continue;
    if (!r.inside(offset, filesz)) return false;
    loads = true;
  }
  if (!loads) return false;

  // The section header table inside the file, when there is one (a stripped program may have none).
  if (shoff == 0) return shnum == 0;
  if (shentsize != l.sectionHeaderSize) return false;
  if (shnum == 0) {
    // Many sections: the first section header holds their count.
    if (!r.number(shoff + l.shSize, l.word, shnum) || shnum == 0) return false;
  }
  return shnum <= r.size() / shentsize && r.inside(shoff, shnum * shentsize);
}

// The interpreter named on a script's "#!" line (blanks after "#!" skipped); empty when none.
std::string InterpreterOf(const std::string& bytes) {
  std::size_t at = 2;
  while (at < bytes.size() && (bytes[at] == ' ' || bytes[at] == '\t')) ++at;
  const std::size_t end = bytes.find_first_of(" \t\n", at);
  return bytes.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

// A file of the host that can be executed, named by its absolute path.
bool IsExecutableFile(const std::string& path) {
  if (path.empty() || path[0] != '/' || path.find('\0') != std::string::npos) return false;
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

bool IsProgramImage(const std::string& bytes) {
  if (bytes.rfind("\x7f" "ELF", 0) == 0) return IsWholeElfImage(bytes);
  if (bytes.rfind("#!", 0) == 0) return IsExecutableFile(InterpreterOf(bytes));
  return false;
}

}  // namespace refit
