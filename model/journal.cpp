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

bool readJournal(std::string_view path, std::vector<Patch>& patches) {
  std::string data;
  if (!fs::readFile(JournalPath(path), data)) return false;
  return decode(data, patches);
}

bool applyPatches(std::string_view path, const std::vector<Patch>& patches) {
  fs::File f;
  if (!f.open(path, fs::File::ReadWrite)) return false;
  for (const Patch& p : patches) {
    if (f.seek(p.offset) != p.offset) return false;
    if (!f.write(p.bytes)) return false;
  }
  if (!f.flush()) return false;
  return f.close();
}

// Makes the journal's own folder entry durable before the file is touched.
bool syncFolderOf(const std::string& path) {
  const std::filesystem::path host = fs::hostPath(path);
  if (host.empty()) return false;
  fs::Error err = fs::Error::None;
  return fs::backend().syncFolder(host.parent_path(), err);
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

}  // namespace

std::string JournalPath(std::string_view path) { return std::string(path) + ".jnl"; }

void Discard(std::string_view path) {
  const std::string j = JournalPath(path);
  if (fs::exists(j)) fs::deleteFile(j);
}

bool Recover(std::string_view path) {
  const std::string j = JournalPath(path);
  if (!fs::exists(j)) return true;
  std::vector<Patch> patches;
  if (!readJournal(path, patches) || !fs::isFile(path) || !withinFile(patches, fs::fileSize(path))) {
    // Torn while it was being written (the file was not touched yet), its file is gone, or it patches
    // bytes the file never held (no writer journals those): it is no journal of this file.
    return fs::deleteFile(j);
  }
  if (!applyPatches(path, patches)) return false;
  return fs::deleteFile(j);
}

bool PatchFile(std::string_view path, const std::vector<Patch>& patches) {
  if (!Recover(path)) return false;
  if (!fs::isFile(path)) return false;
  if (patches.empty()) return true;
  if (!withinFile(patches, fs::fileSize(path))) return false;
  const std::string j = JournalPath(path);
  if (!fs::writeFile(j, encode(patches)) || !syncFolderOf(j)) {
    fs::deleteFile(j);
    return false;
  }
  if (!applyPatches(path, patches)) return false;  // the journal stays: the next Recover finishes it
  fs::deleteFile(j);
  return true;
}

bool ReadRecovered(std::string_view path, std::string& out) {
  const bool recovered = Recover(path);
  if (!fs::readFile(path, out)) return false;
  if (!recovered) {
    // The journal could not be applied to the file: apply it to what was read (never past its end).
    std::vector<Patch> patches;
    if (readJournal(path, patches) && withinFile(patches, static_cast<long long>(out.size()))) {
      for (const Patch& p : patches) out.replace(static_cast<std::size_t>(p.offset), p.bytes.size(), p.bytes);
    }
  }
  return true;
}

}  // namespace filejournal
