// The upgrade program's list of the U-disk: entries named by any bytes (case twins, folders, names with
// the pattern's wildcards or a '\' among them), of any size up to terabytes (sparse). Every file whose
// name ends in ".msi" in any case and that an instrument path can name is listed once with its true size and nothing else, oldest first; its
// size text follows the list's rule and its version text comes without fault.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>

#include "model/file_list.h"
#include "platform/fs/fs.h"
#include "platform/text/text.h"
#include "refit/refit_dlg.h"
#include "tests/fuzz/fuzz_root.h"

namespace {

namespace fsys = std::filesystem;

// The list's size text, from the rule: bytes below 1 KiB, "%.1fKB" below 1 MiB, else "%.2fMB".
std::string sizeText(long long size) {
  if (size < 1024) return std::to_string(size) + "B";
  if (size < 1048576) return platform::text::format("%.1fKB", static_cast<double>(size) / 1024.0);
  return platform::text::format("%.2fMB", static_cast<double>(size) / 1048576.0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::freshRoot();
  const fsys::path usb = platform::fs::root() / "Hard Disk";
  std::error_code ec;
  fsys::remove_all(usb, ec);
  fsys::create_directories(usb);
  const std::vector<std::string> in = fuzz::parts(data, size, 9);
  // in[0]: per entry, a folder instead (bit 0) and a size exponent (bits 1-7: up to 2^42 bytes);
  // in[1..8]: names, each made to end in ".msi" when its first byte is odd.
  const std::string& flags = in[0];
  std::map<std::string, long long> files;
  for (std::size_t i = 1; i < in.size(); ++i) {
    std::string name = fuzz::hostName(in[i], 100);
    if (!name.empty() && (static_cast<unsigned char>(name[0]) & 1)) name += ".msi";
    if (name.empty() || fsys::exists(usb / name)) continue;
    const unsigned char f = i - 1 < flags.size() ? static_cast<unsigned char>(flags[i - 1]) : 0;
    if (f & 1) {
      fsys::create_directories(usb / name);
      continue;
    }
    std::ofstream(usb / name, std::ios::binary) << name;
    const long long want = (1LL << ((f >> 1) % 43)) + static_cast<long long>(name.size());
    fsys::resize_file(usb / name, static_cast<std::uintmax_t>(want), ec);  // sparse; a refusal keeps it small
    files[name] = static_cast<long long>(fsys::file_size(usb / name));
  }

  const std::vector<FoundFile> list = ListFilesByTime("\\Hard Disk\\*.msi");
  std::map<std::string, int> listed;
  for (std::size_t i = 0; i < list.size(); ++i) {
    const FoundFile& f = list[i];
    ++listed[f.name];
    const auto it = files.find(f.name);
    fuzz::check(it != files.end(), "a listed name is no file of the U-disk");
    fuzz::check(f.size == it->second, "a listed size is not the file's");
    fuzz::check(refit::FormatFileSize(f.size) == sizeText(f.size), "a size text does not follow the rule");
    fuzz::check(i == 0 || list[i - 1].time <= f.time, "the list is not oldest first");
    const std::string version = refit::VersionOfFileName(f.name);
    refit::IsVersionText(version);
  }
  for (const auto& [name, bytes] : files) {
    // A name with a '\' (a host's, which no instrument path names) is never listed.
    const bool upgrade = name.size() >= 4 && platform::text::equalsIgnoreCase(name.substr(name.size() - 4), ".msi") &&
                         name.find('\\') == std::string::npos;
    fuzz::check(listed[name] == (upgrade ? 1 : 0), "an upgrade file is not listed once, or another file is");
  }
  return 0;
}
