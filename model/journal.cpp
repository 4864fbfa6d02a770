#include "model/journal.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>

#include "platform/fs/fs.h"

namespace fs = platform::fs;

namespace filejournal {
namespace {

// An entry: magic | generation u64 | length u32 | count u32 | { offset u64, length u32, bytes }* |
// generation u64 | fnv1a-64 of all before | end mark. The magic is kLive until the entry is applied,
// then kDone. The entry's own length tells where it ends: the journal file may be longer (an earlier,
// longer entry's bytes stay behind it).
constexpr char kLive[4] = {'K', 'J', 'R', 'N'};
constexpr char kDone[4] = {'K', 'J', 'R', 'D'};
constexpr char kEnd[4] = {'K', 'E', 'N', 'D'};
constexpr std::size_t kHead = 20;
constexpr std::size_t kTail = 20;

// The older journal: magic | count | patches | total length u32 | fnv1a-32 of all before | end mark.
constexpr char kOldMagic[4] = {'K', 'J', 'N', 'L'};

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

std::uint32_t fnv1a32(const char* p, std::size_t n) {
  std::uint32_t h = 2166136261u;
  for (std::size_t i = 0; i < n; ++i) {
    h ^= static_cast<unsigned char>(p[i]);
    h *= 16777619u;
  }
  return h;
}

std::uint64_t fnv1a64(const char* p, std::size_t n) {
  std::uint64_t h = 14695981039346656037ull;
  for (std::size_t i = 0; i < n; ++i) {
    h ^= static_cast<unsigned char>(p[i]);
    h *= 1099511628211ull;
  }
  return h;
}

std::string encode(const std::vector<Patch>& patches, std::uint64_t generation) {
  std::string s(kLive, 4);
  putU64(s, generation);
  putU32(s, 0);  // the length, below
  putU32(s, static_cast<std::uint32_t>(patches.size()));
  for (const Patch& p : patches) {
    putU64(s, static_cast<std::uint64_t>(p.offset));
    putU32(s, static_cast<std::uint32_t>(p.bytes.size()));
    s += p.bytes;
  }
  const std::uint32_t length = static_cast<std::uint32_t>(s.size() + kTail);
  for (int i = 0; i < 4; ++i) s[12 + static_cast<std::size_t>(i)] = static_cast<char>((length >> (8 * i)) & 0xFF);
  putU64(s, generation);
  putU64(s, fnv1a64(s.data(), s.size()));
  s.append(kEnd, 4);
  return s;
}

// The patches from `at` to `end` of an entry; false unless they fill it exactly.
bool decodePatches(const std::string& s, std::size_t at, std::size_t end, std::uint64_t count, std::vector<Patch>& out) {
  out.clear();
  for (std::uint64_t i = 0; i < count; ++i) {
    if (at + 12 > end) return false;
    Patch p;
    p.offset = static_cast<long long>(getLE(s, at, 8));
    const std::size_t len = static_cast<std::size_t>(getLE(s, at + 8, 4));
    at += 12;
    if (p.offset < 0 || len > end - at) return false;
    p.bytes = s.substr(at, len);
    at += len;
    out.push_back(std::move(p));
  }
  return at == end;
}

// A live entry at the start of `s`, whole: its length within `s`, the same generation at both ends, the
// checksum and the end mark. A mix of two entries (a cut while one was written over the other) fails.
bool decode(const std::string& s, std::vector<Patch>& out) {
  out.clear();
  if (s.size() < kHead + kTail || std::memcmp(s.data(), kLive, 4) != 0) return false;
  const std::uint64_t generation = getLE(s, 4, 8);
  const std::size_t length = static_cast<std::size_t>(getLE(s, 12, 4));
  if (length < kHead + kTail || length > s.size() || std::memcmp(s.data() + length - 4, kEnd, 4) != 0) return false;
  if (getLE(s, length - kTail, 8) != generation) return false;
  if (getLE(s, length - 12, 8) != fnv1a64(s.data(), length - 12)) return false;
  return decodePatches(s, kHead, length - kTail, getLE(s, 16, 4), out);
}

bool decodeOld(const std::string& s, std::vector<Patch>& out) {
  out.clear();
  if (s.size() < 20 || std::memcmp(s.data(), kOldMagic, 4) != 0 ||
      std::memcmp(s.data() + s.size() - 4, kEnd, 4) != 0)
    return false;
  const std::size_t bodyEnd = s.size() - 8;  // before checksum and end mark
  if (getLE(s, bodyEnd - 4, 4) != bodyEnd) return false;
  if (getLE(s, bodyEnd, 4) != fnv1a32(s.data(), bodyEnd)) return false;
  return decodePatches(s, 8, bodyEnd - 4, getLE(s, 4, 4), out);
}

// The journals of a file, by their exact names beside the file's host entry.
std::filesystem::path journalHost(const std::filesystem::path& host) {
  std::filesystem::path j = host;
  j += ".jrn";
  return j;
}
std::filesystem::path oldJournalHost(const std::filesystem::path& host) {
  std::filesystem::path j = host;
  j += ".jnl";
  return j;
}

enum class Found { None, Done, Complete, Torn, Unreadable };

bool readAll(fs::File& f, std::string& data) {
  data.clear();
  char buf[16384];
  for (;;) {
    const long long r = f.read(buf, sizeof buf);
    if (r < 0) return false;
    if (r == 0) return true;
    data.append(buf, static_cast<std::size_t>(r));
  }
}

// Reads the entry of an open journal: done (only its head is read), complete (patches filled), or torn.
// `generation` is that of its head, or 0 when it has none.
Found readEntry(fs::File& f, std::vector<Patch>& patches, std::uint64_t& generation) {
  generation = 0;
  std::string head(kHead, '\0');
  if (f.seek(0) != 0) return Found::Unreadable;
  long long got = 0;
  while (got < static_cast<long long>(kHead)) {
    const long long r = f.read(head.data() + got, kHead - static_cast<std::size_t>(got));
    if (r < 0) return Found::Unreadable;
    if (r == 0) return Found::Torn;  // shorter than a head: nothing of an entry was completed
    got += r;
  }
  generation = getLE(head, 4, 8);
  if (std::memcmp(head.data(), kDone, 4) == 0) return Found::Done;
  if (std::memcmp(head.data(), kLive, 4) != 0) return Found::Torn;
  std::string rest;
  if (!readAll(f, rest)) return Found::Unreadable;
  return decode(head + rest, patches) ? Found::Complete : Found::Torn;
}

// Opens the journal of `host` (for reading and writing unless readOnly) and reads its entry: None when
// there is no journal.
Found openEntry(const std::filesystem::path& host, fs::File& jf, bool readOnly, std::vector<Patch>& patches,
                std::uint64_t& generation) {
  generation = 0;
  if (!jf.openHost(journalHost(host), readOnly ? fs::File::Read : fs::File::ReadWrite))
    return jf.lastError() == fs::Error::NotFound ? Found::None : Found::Unreadable;
  return readEntry(jf, patches, generation);
}

// Reads the older journal of `host`: none there, complete, torn, or one that cannot be read.
Found readOld(const std::filesystem::path& host, std::vector<Patch>& patches) {
  fs::File f;
  if (!f.openHost(oldJournalHost(host), fs::File::Read))
    return f.lastError() == fs::Error::NotFound ? Found::None : Found::Unreadable;
  std::string data;
  if (!readAll(f, data)) return Found::Unreadable;
  return decodeOld(data, patches) ? Found::Complete : Found::Torn;
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

bool removeHost(const std::filesystem::path& p) {
  fs::Error err = fs::Error::None;
  return fs::backend().remove(p, err) || err == fs::Error::NotFound;
}

bool markDone(fs::File& jf) { return jf.seek(0) == 0 && jf.write(kDone, 4); }

enum class Applied { Done, NotOurs, Failed };

// Applies patches to the file `host`: Done when they are in it and flushed; NotOurs when the file is
// gone or the patches reach past its end (no writer journals those: it is no set of this file);
// Failed when the file is there but cannot be written now.
Applied applyTo(const std::filesystem::path& host, const std::vector<Patch>& patches) {
  fs::File f;
  if (!f.openHost(host, fs::File::ReadWrite)) return f.lastError() == fs::Error::NotFound ? Applied::NotOurs : Applied::Failed;
  if (!withinFile(patches, f.length())) return Applied::NotOurs;
  return writePatches(f, patches) && f.flush() && f.close() ? Applied::Done : Applied::Failed;
}

// Finishes or drops a journal of the older kind, once per file in the life of the program (nothing
// writes one any more). False when a complete one could not be applied (it is kept).
bool recoverOld(const std::filesystem::path& host) {
  static std::mutex lock;
  static std::set<std::string> checked;
  {
    std::lock_guard<std::mutex> l(lock);
    if (checked.count(host.native()) != 0) return true;
  }
  std::vector<Patch> patches;
  const Found found = readOld(host, patches);
  if (found == Found::Unreadable) return false;
  if (found == Found::Complete && applyTo(host, patches) == Applied::Failed) return false;
  if (found != Found::None && !removeHost(oldJournalHost(host))) return false;
  std::lock_guard<std::mutex> l(lock);
  checked.insert(host.native());
  return true;
}

// Recovers the file `host`, leaving its journal open in `jf` when there is one (for reading and
// writing). False when a complete entry could not be applied, or the journal cannot be read.
bool recoverHost(const std::filesystem::path& host, fs::File& jf, std::uint64_t& generation) {
  if (!recoverOld(host)) return false;
  std::vector<Patch> patches;
  const Found found = openEntry(host, jf, false, patches, generation);
  if (found == Found::Unreadable) return false;
  if (found != Found::Complete) return true;
  if (applyTo(host, patches) == Applied::Failed) return false;  // the entry waits
  // Applied, or no set of this file: marked done for good (a rare path, flushed).
  return markDone(jf) && jf.flush();
}

}  // namespace

std::string JournalPath(std::string_view path) { return std::string(path) + ".jrn"; }

void Discard(std::string_view path) {
  const std::filesystem::path host = fs::hostPath(path);
  if (host.empty()) return;
  fs::Error err = fs::Error::None;
  bool removed = fs::backend().remove(journalHost(host), err);
  removed = fs::backend().remove(oldJournalHost(host), err) || removed;
  if (removed) syncFolder(host.parent_path());
}

bool Recover(std::string_view path) {
  const std::filesystem::path host = fs::hostPath(path);
  fs::File jf;
  std::uint64_t generation = 0;
  return !host.empty() && recoverHost(host, jf, generation);
}

bool Pending(std::string_view path) {
  const std::filesystem::path host = fs::hostPath(path);
  if (host.empty()) return false;
  std::vector<Patch> patches;
  std::uint64_t generation = 0;
  fs::File jf;
  return readOld(host, patches) == Found::Complete ||
         openEntry(host, jf, true, patches, generation) == Found::Complete;
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
  bool recovered = false;
  if (!host.empty()) {
    fs::File jf;
    std::uint64_t generation = 0;
    recovered = recoverHost(host, jf, generation);
  }
  if (!fs::readFile(path, out)) return false;
  if (!recovered && !host.empty()) {
    // An entry could not be applied to the file: apply it to what was read (never past its end), the
    // older kind of journal first.
    std::vector<Patch> patches;
    std::uint64_t generation = 0;
    fs::File jf;
    for (const bool old : {true, false}) {
      const Found found = old ? readOld(host, patches) : openEntry(host, jf, true, patches, generation);
      if (found == Found::Complete && withinFile(patches, static_cast<long long>(out.size()))) {
        for (const Patch& p : patches) out.replace(static_cast<std::size_t>(p.offset), p.bytes.size(), p.bytes);
      }
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------------------------

bool Writer::open(std::string_view path) {
  file_.close();
  journal_.close();
  over_.clear();
  appended_.clear();
  length_ = -1;
  generation_ = 0;
  host_ = fs::hostPath(path);
  if (host_.empty() || !recoverHost(host_, journal_, generation_)) return false;
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
  if (over_.empty() && appended_.empty()) {
    journal_.close();
    return file_.close();
  }
  const bool journalled = !over_.empty();
  if (journalled) {
    if (!withinFile(over_, length_)) return false;
    bool created = false;
    if (!journal_.isOpen()) {
      if (!journal_.openHost(journalHost(host_), fs::File::ReadWrite | fs::File::Create | fs::File::NoTruncate))
        return false;
      created = true;
    }
    // Over the entry before it, in place. A new journal's folder entry is durable before the file is
    // touched.
    const bool written = journal_.seek(0) == 0 && journal_.write(encode(over_, ++generation_)) && journal_.flush() &&
                         (!created || syncFolder(host_.parent_path()));
    if (!written) {
      // The set is not made: an entry that may yet reach the medium must not be applied later.
      markDone(journal_);
      journal_.close();
      return false;
    }
  }
  // From here a cut leaves a complete entry: the next Recover() finishes the overwrites.
  if (!writePatches(file_, over_) || !writePatches(file_, appended_) || !file_.flush() || !file_.close())
    return false;
  over_.clear();
  appended_.clear();
  // An entry whose done mark is lost holds only what the file holds now: applying it again later
  // changes nothing, so the writes stand.
  if (journalled) markDone(journal_);
  journal_.close();
  return true;
}

}  // namespace filejournal
