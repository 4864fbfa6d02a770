// The pending-data list: files of the data root named by any bytes (case twins, folders and names with
// the list's wildcards or a '\' among them) with any content (no journal of a file among them). Every
// file of a queue-file name that an instrument path can name is listed once and nothing else, oldest
// first, each with the slots a reload would send (whole slots not marked "OVER" or "0000"); the
// running-test check takes a path in any case; listing writes nothing.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "model/parameter.h"
#include "platform/fs/fs.h"
#include "platform/text/text.h"
#include "tests/fuzz/fuzz_root.h"
#include "upload/pending_files.h"

namespace {

namespace fsys = std::filesystem;

int unsentSlots(const std::string& bytes) {
  int n = 0;
  for (std::size_t at = 0; at + kQueueRecordSize <= bytes.size(); at += kQueueRecordSize)
    n += fuzz::pendingSlot(bytes.substr(at, 4)) ? 1 : 0;
  return n;
}

std::map<std::string, std::string> filesOf(const fsys::path& folder) {
  std::map<std::string, std::string> out;
  for (const auto& e : fsys::directory_iterator(folder)) {
    if (!e.is_regular_file()) continue;
    std::ifstream in(e.path(), std::ios::binary);
    out[e.path().filename().string()] = std::string(std::istreambuf_iterator<char>(in), {});
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::freshRoot();
  const std::vector<std::string> in = fuzz::parts(data, size, 9);
  const fsys::path card = platform::fs::root() / "Storage Card";
  // in[0]: per file, a folder instead (bit 0), a running test's queue file (bit 1), in another case
  // (bit 2); then pairs of name and content.
  const std::string& flags = in[0];
  std::vector<std::string> running;
  for (std::size_t i = 1; i + 1 < in.size(); i += 2) {
    const std::string name = fuzz::hostName(in[i], 100);
    if (name.empty() || fsys::exists(card / name)) continue;
    // A file's journals ("<name>.jrn", "<name>.jnl") are the storage's own: not a name to list.
    const std::string tail = name.size() >= 4 ? name.substr(name.size() - 4) : std::string();
    if (tail == ".jrn" || tail == ".jnl") continue;
    const unsigned char f = i / 2 < flags.size() ? static_cast<unsigned char>(flags[i / 2]) : 0;
    if (f & 1) {
      fsys::create_directories(card / name);
    } else {
      std::ofstream(card / name, std::ios::binary) << in[i + 1];
    }
    // A running test's paths never hold a second separator (its names are made without one).
    if ((f & 2) && name.find('\\') == std::string::npos)
      running.push_back("\\Storage Card\\" + (f & 4 ? platform::text::toLowerAscii(name) : name));
  }

  Parameter ch[3];
  for (int n = 0; n < 3; ++n) {
    ch[n].boardFlag = 1;
    ch[n].testRunning = n < static_cast<int>(running.size()) ? 1 : 0;
    if (n < static_cast<int>(running.size())) {
      std::lock_guard<std::mutex> lock(ch[n].queueLock);
      ch[n].moduleQueuePath = running[static_cast<std::size_t>(n)];
    }
  }
  Parameter* channels[3] = {&ch[0], &ch[1], &ch[2]};
  const std::map<std::string, std::string> before = filesOf(card);
  const std::vector<upload::PendingFile> list = upload::ListPendingFiles("\\Storage Card\\", channels);
  fuzz::check(filesOf(card) == before, "listing changed a file");

  std::map<std::string, int> listed;
  for (std::size_t i = 0; i < list.size(); ++i) {
    const upload::PendingFile& f = list[i];
    ++listed[f.name];
    const auto it = before.find(f.name);
    fuzz::check(it != before.end(), "a listed name is no file of the folder");
    fuzz::check(f.remaining == unsentSlots(it->second), "the slots to send are not the file's");
    fuzz::check(i == 0 || list[i - 1].time <= f.time, "the list is not oldest first");
    fuzz::check(upload::PendingTimeText(f.time).size() == 14, "a time text is not \"yy-mm-dd hh:mm\"");
  }
  // A name with a '\' (a host's, which no instrument path names) is never listed.
  auto nameable = [](const std::string& name) { return name.find('\\') == std::string::npos; };
  for (const auto& [name, content] : before) {
    const int expected = upload::IsPendingFileName(name) && nameable(name) ? 1 : 0;
    fuzz::check(listed[name] == expected, "a queue file is not listed once, or another file is");
  }
  for (const auto& entry : before) {
    if (!nameable(entry.first)) continue;
    const std::string path = "\\Storage Card\\" + entry.first;
    const bool used = std::any_of(running.begin(), running.end(),
                                  [&](const std::string& r) { return platform::text::equalsIgnoreCase(r, path); });
    fuzz::check(upload::IsRunningTestFile(path, channels) == used,
                "the running-test check does not take the path as the storage does");
  }
  return 0;
}
