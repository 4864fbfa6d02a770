// The device root and the mapping of instrument paths onto it.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <system_error>
#include <unordered_map>

#include "platform/fs/fs.h"
#include "platform/fs/internal.h"
#include "platform/text/text.h"

namespace platform::fs {

namespace stdfs = std::filesystem;

namespace {
std::mutex g_rootMutex;
stdfs::path g_root;

std::atomic<long long> g_flushes{0};
std::atomic<long long> g_stats{0};
std::atomic<long long> g_listings{0};
std::atomic<long long> g_opens{0};

// The listing run of this thread: for each folder listed in it (by host path), its names by their
// lower-case form, each list in sorted order.
struct RunListings {
  int depth = 0;
  std::unordered_map<std::string, std::unordered_map<std::string, std::vector<std::string>>> folders;
};
thread_local RunListings t_run;

void addName(std::unordered_map<std::string, std::vector<std::string>>& names, std::string name) {
  std::vector<std::string>& same = names[text::toLowerAscii(name)];
  const auto at = std::lower_bound(same.begin(), same.end(), name);
  if (at == same.end() || *at != name) same.insert(at, std::move(name));
}
}  // namespace

ListingRun::ListingRun() { ++t_run.depth; }

ListingRun::~ListingRun() {
  if (--t_run.depth == 0) t_run.folders.clear();
}

Counters counters() {
  Counters c;
  c.flushes = g_flushes.load(std::memory_order_relaxed);
  c.statCalls = g_stats.load(std::memory_order_relaxed);
  c.listings = g_listings.load(std::memory_order_relaxed);
  c.opens = g_opens.load(std::memory_order_relaxed);
  return c;
}

const char* errorText(Error e) {
  switch (e) {
    case Error::None: return "no error";
    case Error::NotFound: return "file or folder not found";
    case Error::Exists: return "already exists";
    case Error::AccessDenied: return "access denied";
    case Error::DiskFull: return "disk full";
    case Error::BadPath: return "bad path";
    case Error::NotOpen: return "file not open";
    case Error::PowerLost: return "power lost";
    case Error::Injected: return "injected failure";
    case Error::Io: return "input/output error";
  }
  return "unknown error";
}

void setRoot(const stdfs::path& r) {
  std::lock_guard<std::mutex> lock(g_rootMutex);
  g_root = r;
}

stdfs::path root() {
  std::lock_guard<std::mutex> lock(g_rootMutex);
  return g_root;
}

namespace detail {

void countFlush() { g_flushes.fetch_add(1, std::memory_order_relaxed); }
void countStat() { g_stats.fetch_add(1, std::memory_order_relaxed); }
void countListing() { g_listings.fetch_add(1, std::memory_order_relaxed); }
void countOpen() { g_opens.fetch_add(1, std::memory_order_relaxed); }

stdfs::file_type statType(const stdfs::path& p, bool followLinks) {
  countStat();
  std::error_code ec;
  const stdfs::file_type t = followLinks ? stdfs::status(p, ec).type() : stdfs::symlink_status(p, ec).type();
  return t == stdfs::file_type::none ? stdfs::file_type::not_found : t;
}

Error fromErrno(int e) {
  switch (e) {
    case 0: return Error::None;
    case ENOENT:
    case ENOTDIR: return Error::NotFound;
    case EEXIST:
    case ENOTEMPTY: return Error::Exists;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
    case ETXTBSY:
    case EBUSY: return Error::AccessDenied;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
    case EFBIG: return Error::DiskFull;
    case ENAMETOOLONG:
    case ELOOP: return Error::BadPath;
    case EBADF: return Error::NotOpen;
    default: return Error::Io;
  }
}

bool splitPath(std::string_view path, std::vector<std::string>& parts) {
  parts.clear();
  if (path.empty()) return false;
  std::size_t i = 0;
  while (i <= path.size()) {
    std::size_t j = i;
    while (j < path.size() && path[j] != '\\' && path[j] != '/') ++j;
    const std::string_view comp = path.substr(i, j - i);
    if (comp.find('\0') != std::string_view::npos) return false;
    if (comp == "..") {
      if (parts.empty()) return false;
      parts.pop_back();
    } else if (!comp.empty() && comp != ".") {
      parts.emplace_back(comp);
    }
    i = j + 1;
  }
  return true;
}

void noteEntry(const stdfs::path& host) {
  if (t_run.depth == 0) return;
  const auto it = t_run.folders.find(host.parent_path().native());
  if (it != t_run.folders.end()) addName(it->second, host.filename().string());
}

namespace {

// The entry of `folder` named `name` in another case, through the listing run's names of the folder
// (listing it the first time): the first in sorted order that still exists. Empty when there is none.
std::string matchInRun(const stdfs::path& folder, const std::string& name) {
  auto it = t_run.folders.find(folder.native());
  if (it == t_run.folders.end()) {
    std::error_code ec;
    countListing();
    stdfs::directory_iterator entries(folder, ec);
    if (ec) return {};  // not kept: the folder may be made later in the run
    std::unordered_map<std::string, std::vector<std::string>> names;
    for (const stdfs::directory_iterator end; entries != end; entries.increment(ec)) {
      if (ec) return {};
      addName(names, entries->path().filename().string());
    }
    it = t_run.folders.emplace(folder.native(), std::move(names)).first;
  }
  const auto same = it->second.find(text::toLowerAscii(name));
  if (same == it->second.end()) return {};
  for (const std::string& candidate : same->second) {
    if (candidate != name && statType(folder / candidate, false) != stdfs::file_type::not_found) return candidate;
  }
  return {};
}

}  // namespace

std::string matchChild(const stdfs::path& folder, const std::string& name, bool* foundOut) {
  if (foundOut != nullptr) *foundOut = true;
  if (statType(folder / name, false) != stdfs::file_type::not_found) return name;
  if (foundOut != nullptr) *foundOut = false;
  if (t_run.depth > 0) {
    std::string other = matchInRun(folder, name);
    if (other.empty()) return name;
    if (foundOut != nullptr) *foundOut = true;
    return other;
  }
  std::string best;
  bool found = false;
  std::error_code ec;
  countListing();
  stdfs::directory_iterator it(folder, ec);
  if (ec) return name;
  for (const stdfs::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) break;
    std::string candidate = it->path().filename().string();
    if (text::equalsIgnoreCase(candidate, name) && (!found || candidate < best)) {
      best = std::move(candidate);
      found = true;
    }
  }
  if (foundOut != nullptr) *foundOut = found;
  return found ? best : name;
}

bool isTempName(std::string_view name) {
  return name.size() > kTempSuffix.size() &&
         text::equalsIgnoreCase(name.substr(name.size() - kTempSuffix.size()), kTempSuffix);
}

}  // namespace detail

stdfs::path hostPath(std::string_view instrumentPath) {
  std::vector<std::string> parts;
  if (!detail::splitPath(instrumentPath, parts)) return {};
  stdfs::path host = root();
  if (host.empty()) return {};
  bool existing = true;
  for (const std::string& part : parts) {
    if (existing) {
      // Once a component is missing, nothing below it exists: the rest keeps the case given.
      bool found = false;
      host /= detail::matchChild(host, part, &found);
      existing = found;
    } else {
      host /= part;
    }
  }
  return host;
}

bool samePath(std::string_view a, std::string_view b) {
  std::vector<std::string> pa, pb;
  if (!detail::splitPath(a, pa) || !detail::splitPath(b, pb) || pa.size() != pb.size()) return false;
  for (std::size_t i = 0; i < pa.size(); ++i)
    if (!text::equalsIgnoreCase(pa[i], pb[i])) return false;
  return true;
}

// Wildcards compare characters, not bytes: a '?' stands for one whole UTF-8 character.
namespace {
std::u32string codePoints(std::string_view s) {
  std::u32string out;
  std::size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t len = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
    if (i + len > s.size()) len = 1;
    for (std::size_t k = 1; k < len; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) len = 1;  // not a character: one byte
    }
    char32_t cp = len == 1 ? c : (c & (0x7F >> len));
    for (std::size_t k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    if (cp >= 'A' && cp <= 'Z') cp = cp - 'A' + 'a';
    out += cp;
    i += len;
  }
  return out;
}

bool matchPoints(const std::u32string& p, const std::u32string& n) {
  std::size_t pi = 0, ni = 0, starP = std::u32string::npos, starN = 0;
  while (ni < n.size()) {
    // The pattern's '*' is always its wildcard, also where the name holds a '*' of its own.
    if (pi < p.size() && p[pi] == U'*') {
      starP = pi++;
      starN = ni;
    } else if (pi < p.size() && (p[pi] == U'?' || p[pi] == n[ni])) {
      ++pi;
      ++ni;
    } else if (starP != std::u32string::npos) {
      pi = starP + 1;
      ni = ++starN;
    } else {
      return false;
    }
  }
  while (pi < p.size() && p[pi] == U'*') ++pi;
  return pi == p.size();
}
}  // namespace

bool wildcardMatch(std::string_view pattern, std::string_view name) {
  const std::u32string n = codePoints(name);
  if (matchPoints(codePoints(pattern), n)) return true;
  // As on the instrument, a pattern ending in ".*" also takes names without an extension ("*.*" is all).
  if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*") {
    return matchPoints(codePoints(pattern.substr(0, pattern.size() - 2)), n);
  }
  return false;
}

}  // namespace platform::fs
