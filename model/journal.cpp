#include "model/journal.h"

#include <cstdint>
#include <cstring>
#include <filesystem>

#include "platform/fs/fs.h"

namespace fs = platform::fs;

namespace filejournal {
namespace {

constexpr char kMagic[4] = {'K', 'J', 'N', 'L'};
constexpr char kEnd[4] = {'K', 'E', 'N', 'D'};

void putU32(std::string& s, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void putU64(std::string& s, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
std::uint64_t getLE(const std::string& s, std::size_t at, int n) {
  std::uint64_t v = 0;
  for (int i = 0; i < n; ++i) v |= static_cast<std::uint64_t>(static_cast<unsigned char>(s[at + i])) << (8 * i);
  return v;
}

std::uint32_t fnv1a(const char* p, std::size_t n) {
  std::uint32_t h = 2166136261u;
  for (std::size_t i = 0; i < n; ++i) {
    h ^= static_cast<unsigned char>(p[i]);
    h *= 16777619u;
  }
  return h;
}

// magic | count | { offset u64, length u32, bytes }* | total length u32 | fnv1a of all before | end
std::string encode(const std::vector<Patch>& patches) {
  std::string s(kMagic, 4);
  putU32(s, static_cast<std::uint32_t>(patches.size()));
  for (const Patch& p : patches) {
    putU64(s, static_cast<std::uint64_t>(p.offset));
    putU32(s, static_cast<std::uint32_t>(p.bytes.size()));
    s += p.bytes;
  }
  putU32(s, static_cast<std::uint32_t>(s.size() + 4));
  putU32(s, fnv1a(s.data(), s.size()));
  s.append(kEnd, 4);
  return s;
}

bool decode(const std::string& s, std::vector<Patch>& out) {
  out.clear();
  if (s.size() < 20 || std::memcmp(s.data(), kMagic, 4) != 0 ||
      std::memcmp(s.data() + s.size() - 4, kEnd, 4) != 0)
    return false;
  const std::size_t bodyEnd = s.size() - 8;  // before checksum and end mark
  if (getLE(s, bodyEnd - 4, 4) != bodyEnd) return false;
  if (getLE(s, bodyEnd, 4) != fnv1a(s.data(), bodyEnd)) return false;
  const std::uint64_t count = getLE(s, 4, 4);
  std::size_t at = 8;
  for (std::uint64_t i = 0; i < count; ++i) {
    if (at + 12 > bodyEnd - 4) return false;
    Patch p;
    p.offset = static_cast<long long>(getLE(s, at, 8));
    const std::size_t len = static_cast<std::size_t>(getLE(s, at + 8, 4));
    at += 12;
    if (p.offset < 0 || len > bodyEnd - 4 - at) return false;
    p.bytes = s.substr(at, len);
    at += len;
    out.push_back(std::move(p));
  }
  return at == bodyEnd - 4;
}

// The journal of a file, by its exact name beside the file's host entry.
std::filesystem::path journalHost(const std::filesystem::path& host) {
  std::filesystem::path j = host;
  j += ".jnl";
  return j;
}

enum class Found { None, Complete, Torn, Unreadable };

// Reads the journal: none there, a complete one (patches filled), a torn one, or one that cannot be read.
Found readJournal(const std::filesystem::path& jhost, std::vector<Patch>& patches) {
  fs::File f;
  if (!f.openHost(jhost, fs::File::Read)) return f.lastError() == fs::Error::NotFound ? Found::None : Found::Unreadable;
  std::string data;
  char buf[65536];
  for (;;) {
    const long long r = f.read(buf, sizeof buf);
    if (r < 0) return Found::Unreadable;
    if (r == 0) break;
    data.append(buf, static_cast<std::size_t>(r));
  }
  return decode(data, patches) ? Found::Complete : Found::Torn;
}

// The writers journal only bytes already in the file: every patch lies within its current length.
bool withinFile(const std::vector<Patch>& patches, long long length) {
  if (length < 0) return false;
  for (const Patch& p : patches) {
    if (p.offset < 0 || p.offset > length || static_cast<long long>(p.bytes.size()) > length - p.offset)
      return false;
  }
  return true;
}

bool writePatches(fs::File& f, const std::vector<Patch>& patches) {
  for (const Patch& p : patches) {
    if (f.seek(p.offset) != p.offset || !f.write(p.bytes)) return false;
  }
  return true;
}

bool syncFolder(const std::filesystem::path& folder) {
  fs::Error err = fs::Error::None;
  return fs::backend().syncFolder(folder, err);
}

// Removes the journal. Its removal is made durable by the next journal's folder flush (see journal.h).
bool removeJournal(const std::filesystem::path& jhost) {
  fs::Error err = fs::Error::None;
  return fs::backend().remove(jhost, err) || err == fs::Error::NotFound;
}

// Recover() on the file's host path.
bool recoverHost(const std::filesystem::path& host) {
  const std::filesystem::path j = journalHost(host);
  std::vector<Patch> patches;
  const Found found = readJournal(j, patches);
  if (found == Found::None) return true;
  if (found == Found::Unreadable) return false;
  fs::File f;
  if (found == Found::Complete && !f.openHost(host, fs::File::ReadWrite) && f.lastError() != fs::Error::NotFound)
    return false;  // the file is there but cannot be written now: the journal waits
  if (!f.isOpen() || !withinFile(patches, f.length())) {
    // Torn while it was being written (the file was not touched yet), its file is gone, or it patches
    // bytes the file never held (no writer journals those): it is no journal of this file.
    f.close();
    return removeJournal(j);
  }
  if (!writePatches(f, patches) || !f.flush() || !f.close()) return false;
  return removeJournal(j);
}

}  // namespace

std::string JournalPath(std::string_view path) { return std::string(path) + ".jnl"; }

void Discard(std::string_view path) {
  const std::filesystem::path host = fs::hostPath(path);
  if (host.empty()) return;
  fs::Error err = fs::Error::None;
  if (fs::backend().remove(journalHost(host), err)) syncFolder(host.parent_path());
}

bool Recover(std::string_view path) {
  const std::filesystem::path host = fs::hostPath(path);
  return !host.empty() && recoverHost(host);
}

bool PatchFile(std::string_view path, const std::vector<Patch>& patches) {
  Writer w;
  if (!w.open(path)) return false;
  if (patches.empty()) return true;
  if (!withinFile(patches, w.length())) return false;
  for (const Patch& p : patches) w.overwrite(p.offset, p.bytes);
  return w.commit();
}

bool ReadRecovered(std::string_view path, std::string& out) {
  const std::filesystem::path host = fs::hostPath(path);
  const bool recovered = !host.empty() && recoverHost(host);
  if (!fs::readFile(path, out)) return false;
  if (!recovered) {
    // The journal could not be applied to the file: apply it to what was read (never past its end).
    std::vector<Patch> patches;
    if (readJournal(journalHost(host), patches) == Found::Complete &&
        withinFile(patches, static_cast<long long>(out.size()))) {
      for (const Patch& p : patches) out.replace(static_cast<std::size_t>(p.offset), p.bytes.size(), p.bytes);
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------------------------

bool Writer::open(std::string_view path) {
  file_.close();
  over_.clear();
  appended_.clear();
  length_ = -1;
  host_ = fs::hostPath(path);
  if (host_.empty() || !recoverHost(host_)) return false;
  if (!file_.openHost(host_, fs::File::ReadWrite)) return false;
  length_ = file_.length();
  if (length_ < 0) {
    file_.close();
    return false;
  }
  return true;
}

bool Writer::read(long long offset, std::size_t n, std::string& out) {
  out.assign(n, '\0');
  if (!file_.isOpen() || offset < 0 || offset + static_cast<long long>(n) > length_) return false;
  return file_.seek(offset) == offset && file_.readExact(out.data(), n);
}

void Writer::overwrite(long long offset, std::string bytes) {
  if (!bytes.empty()) over_.push_back({offset, std::move(bytes)});
}

void Writer::append(long long offset, std::string bytes) {
  if (!bytes.empty()) appended_.push_back({offset, std::move(bytes)});
}

bool Writer::commit() {
  if (!file_.isOpen()) return false;
  if (over_.empty() && appended_.empty()) return file_.close();
  const std::filesystem::path j = journalHost(host_);
  const bool journalled = !over_.empty();
  if (journalled) {
    if (!withinFile(over_, length_)) return false;
    fs::File jf;
    const bool written = jf.openHost(j, fs::File::Write | fs::File::Create) && jf.write(encode(over_)) &&
                         jf.flush() && jf.close();
    // The journal's folder entry is durable before the file is touched.
    if (!written || !syncFolder(host_.parent_path())) {
      jf.close();
      removeJournal(j);
      return false;
    }
  }
  // From here a cut leaves a complete journal: the next Recover() finishes the overwrites.
  if (!writePatches(file_, over_) || !writePatches(file_, appended_) || !file_.flush() || !file_.close())
    return false;
  over_.clear();
  appended_.clear();
  // A journal that could not be removed holds only what the file holds now: applying it again later
  // changes nothing, so the writes stand.
  if (journalled) removeJournal(j);
  return true;
}

}  // namespace filejournal
