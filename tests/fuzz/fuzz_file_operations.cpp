// The test-file operations on hostile names: files of the card named by any bytes (case twins among
// them), a first name taken in the export folder and the bin up to "(n)" for any n to 999, channels'
// test paths in any case, and export, delete, restore and clear in the order the input gives. After each
// operation no file that was there is written over, each moved file stands whole in exactly one place,
// no folder gets a second entry that differs from another only in case, no channel's test file leaves
// its place and no file is restored onto a channel's test path.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "platform/fs/fs.h"
#include "platform/text/text.h"
#include "report/file_operations.h"
#include "tests/fuzz/fuzz_root.h"

namespace {

namespace fsys = std::filesystem;
using Tree = std::map<std::string, std::string>;  // instrument path -> content

const std::string kCard = "\\Storage Card\\";
const std::string kBin = "\\Storage Card\\rev\\";
const std::string kExport = "\\Hard Disk\\718C测试数据文件\\";

fsys::path host(const std::string& instrumentFolder) {
  std::string rel = instrumentFolder.substr(1);
  std::replace(rel.begin(), rel.end(), '\\', '/');
  return platform::fs::root() / rel;
}

// Every file under the root, by instrument path.
Tree snapshot() {
  Tree t;
  const fsys::path root = platform::fs::root();
  for (const auto& e : fsys::recursive_directory_iterator(root)) {
    if (!e.is_regular_file()) continue;
    std::string rel = "\\" + e.path().lexically_relative(root).string();
    std::replace(rel.begin(), rel.end(), '/', '\\');
    std::string content;
    const int fd = ::open(e.path().c_str(), O_RDONLY);
    char buf[256];
    for (ssize_t n; fd >= 0 && (n = ::read(fd, buf, sizeof buf)) > 0;) content.append(buf, static_cast<std::size_t>(n));
    if (fd >= 0) ::close(fd);
    t[rel] = std::move(content);
  }
  return t;
}

std::string folderOf(const std::string& path) { return path.substr(0, path.rfind('\\') + 1); }

// The files of a folder, as the list finds and marks them.
std::vector<file_ops::MarkedFile> filesIn(const std::string& folder) {
  std::vector<file_ops::MarkedFile> out;
  for (const platform::fs::Entry& e : platform::fs::find(folder + "*.*"))
    if (!e.isFolder) out.push_back({e.name, folder + e.name});
  return out;
}

void checkNoNewCaseTwin(const Tree& before, const Tree& after) {
  std::map<std::string, std::vector<std::string>> byLower;
  for (const auto& [path, content] : after) byLower[platform::text::toLowerAscii(path)].push_back(path);
  for (const auto& [lower, paths] : byLower) {
    int fresh = 0;
    for (const std::string& p : paths) fresh += before.count(p) == 0 ? 1 : 0;
    fuzz::check(paths.size() == 1 || fresh == 0, "an operation made a second entry that differs only in case");
  }
}

// One operation's effect: what changed between the trees, judged by the operation's rules.
void checkOperation(char op, const Tree& before, const Tree& after, const file_ops::Outcome& o,
                    const std::vector<file_ops::MarkedFile>& marked, const std::vector<std::string>& tests) {
  std::vector<std::string> added, removed;
  for (const auto& [path, content] : before) {
    const auto it = after.find(path);
    if (it == after.end()) removed.push_back(path);
    else fuzz::check(it->second == content, "a file that was there was written over");
  }
  for (const auto& [path, content] : after)
    if (before.count(path) == 0) added.push_back(path);
  checkNoNewCaseTwin(before, after);
  for (const std::string& path : added) {
    fuzz::check(path.find(".~tmp") == std::string::npos, "a temporary file was left");
    const std::string& content = after.at(path);
    const bool copyOfAFile = std::any_of(before.begin(), before.end(), [&](const auto& b) { return b.second == content; });
    fuzz::check(copyOfAFile, "a new file is no copy of a file that was there");
  }
  // The marked paths and the snapshot's are both folder and name as found: their lower case compares
  // them as the storage does.
  std::set<std::string> markedPaths;
  for (const file_ops::MarkedFile& m : marked) markedPaths.insert(platform::text::toLowerAscii(m.path));
  auto isMarked = [&](const std::string& path) { return markedPaths.count(platform::text::toLowerAscii(path)) != 0; };
  auto isTest = [&](const std::string& path) {
    return std::any_of(tests.begin(), tests.end(), [&](const std::string& t) { return platform::fs::samePath(t, path); });
  };
  for (const std::string& path : removed) {
    fuzz::check(op != 'e' && isMarked(path), "a file went that was not marked to go");
    if (op == 'd' || op == 'r') fuzz::check(!isTest(path), "a channel's test file left its place");
  }
  switch (op) {
    case 'e':
      fuzz::check(removed.empty() && static_cast<int>(added.size()) == o.done, "an export did not copy each file once");
      for (const std::string& path : added) fuzz::check(folderOf(path) == kExport, "an export wrote outside its folder");
      break;
    case 'd':
    case 'r': {
      fuzz::check(static_cast<int>(removed.size()) == o.done && added.size() == removed.size(),
                  "a move did not put each file in one place");
      // Each moved content stands once among the new files, and not at its old place.
      std::multiset<std::string> moved, arrived;
      for (const std::string& path : removed) moved.insert(before.at(path));
      for (const std::string& path : added) arrived.insert(after.at(path));
      fuzz::check(moved == arrived, "a moved file is not whole in exactly one place");
      for (const std::string& path : added) {
        fuzz::check(folderOf(path) == (op == 'd' ? kBin : kCard), "a move went to another folder");
        if (op == 'r') fuzz::check(!isTest(path), "a file was restored onto a channel's test path");
      }
      break;
    }
    default:
      fuzz::check(added.empty() && static_cast<int>(removed.size()) == o.done, "a clear did not delete each file once");
  }
}

// A name of the card from the input's bytes, as a host may hold it.
std::string nameOf(const std::string& bytes) { return fuzz::hostName(bytes, 120); }

void create(const std::string& folder, const std::string& name, const std::string& content) {
  fsys::create_directories(host(folder));
  std::ofstream(host(folder) / name, std::ios::binary) << content;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::freshRoot();
  std::error_code ec;
  fsys::remove_all(platform::fs::root() / "Hard Disk", ec);
  const std::vector<std::string> in = fuzz::parts(data, size, 8);
  // in[0]: how many names of the first are taken ("(n)", up to 15, or up to 999 with the top bit of
  // the count); in[1]: which names get a case
  // twin and which are channels' test paths; in[2]: the operations; in[3..7]: names.
  std::vector<std::string> names;
  for (std::size_t i = 3; i < in.size(); ++i) {
    const std::string n = nameOf(in[i]);
    if (!n.empty() && std::find(names.begin(), names.end(), n) == names.end()) names.push_back(n);
  }
  if (names.empty()) return 0;
  const std::string flags = in[1];
  auto flag = [&](std::size_t i, int bit) { return i < flags.size() && ((static_cast<unsigned char>(flags[i]) >> bit) & 1); };
  std::vector<std::string> tests;
  int serial = 0;
  for (std::size_t i = 0; i < names.size(); ++i) {
    create(kCard, names[i], "file " + std::to_string(++serial));
    if (flag(i, 0)) {
      std::string twin = names[i];
      for (char& c : twin) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
      if (twin != names[i]) create(kCard, twin, "file " + std::to_string(++serial));
    }
    if (flag(i, 1)) tests.push_back((flag(i, 2) ? "\\STORAGE CARD\\" : kCard) + platform::text::toLowerAscii(names[i]));
    if (flag(i, 3)) tests.push_back(kCard + names[i]);  // a test set up whose file is not there yet
  }
  // The first name and its numbered alternatives up to "(n)", taken in the export folder and the bin.
  const unsigned count = in[0].size() >= 2 ? static_cast<unsigned char>(in[0][0]) | static_cast<unsigned char>(in[0][1]) << 8 : 0;
  const int taken = static_cast<int>((count & 0x8000) != 0 ? count % 1000 : count % 16);
  const file_ops::NameParts parts = file_ops::SplitName(names[0]);
  for (int n = 0; n <= taken && !in[0].empty(); ++n) {
    const std::string alt = n == 0 ? names[0] : parts.base + "(" + std::to_string(n) + ")" + parts.extension;
    create(kExport, alt, "taken " + std::to_string(n));
    create(kBin, alt, "binned " + std::to_string(n));
  }

  const std::string ops = in[2].empty() ? std::string("edrc") : in[2].substr(0, 8);
  for (char c : ops) {
    const char op = "edrc"[static_cast<unsigned char>(c) % 4];
    const std::vector<file_ops::MarkedFile> marked = filesIn(op == 'e' || op == 'd' ? kCard : kBin);
    const Tree before = snapshot();
    file_ops::Outcome o;
    switch (op) {
      case 'e': fsys::create_directories(host(kExport)); o = file_ops::ExportFiles(marked, kExport); break;
      case 'd': o = file_ops::DeleteToBin(marked, tests); break;
      case 'r': o = file_ops::RestoreFromBin(marked, tests); break;
      default: o = file_ops::ClearFiles(marked); break;
    }
    fuzz::check(o.done + o.skipped + o.failed == static_cast<int>(marked.size()), "an outcome does not count each file");
    checkOperation(op, before, snapshot(), o, marked, tests);
  }
  return 0;
}
