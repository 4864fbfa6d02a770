// Whole-file and folder operations, free space and folder listings.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <mutex>
#include <system_error>

#include "platform/fs/fs.h"
#include "platform/fs/internal.h"
#include "platform/text/text.h"

namespace platform::fs {

namespace stdfs = std::filesystem;

namespace {

bool fail(Error* out, Error e) {
  if (out != nullptr) *out = e;
  return false;
}

bool succeed(Error* out) {
  if (out != nullptr) *out = Error::None;
  return true;
}

stdfs::file_type typeOf(const stdfs::path& p) { return detail::statType(p, true); }

stdfs::file_type linkTypeOf(const stdfs::path& p) { return detail::statType(p, false); }

bool isRoot(const stdfs::path& host) {
  const stdfs::path r = root();
  if (host.lexically_normal() == r.lexically_normal()) return true;
  // The same folder by another way (a link): two status calls to compare device and inode.
  struct stat a {}, b {};
  detail::countStat();
  if (::stat(host.c_str(), &a) != 0) return false;
  detail::countStat();
  return ::stat(r.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The last component of an instrument path as given (its case kept).
std::string givenName(std::string_view path) {
  std::vector<std::string> parts;
  if (!detail::splitPath(path, parts) || parts.empty()) return {};
  return parts.back();
}

// Writes `target` durably: the content goes to a temporary file beside it, which is flushed, renamed
// over the target, and the folder flushed. At every moment the target holds its old or its new content.
// A temporary left by an earlier cut is emptied and reused.
// Durable writes share one temporary name per target, so they take turns.
std::mutex g_durableMutex;

// The temporary of a durable write to `target`, in its folder (an existing one of any letter case).
stdfs::path durableTemporary(const stdfs::path& target, bool* found = nullptr) {
  const stdfs::path folder = target.parent_path();
  return folder / detail::matchChild(folder, target.filename().string() + std::string(detail::kTempSuffix), found);
}

bool durableWrite(const stdfs::path& target, const std::function<bool(int fd, Error& err)>& fill,
                  Error* out) {
  std::lock_guard<std::mutex> lock(g_durableMutex);
  const stdfs::path folder = target.parent_path();
  if (typeOf(folder) != stdfs::file_type::directory) return fail(out, Error::NotFound);
  if (typeOf(target) == stdfs::file_type::directory) return fail(out, Error::AccessDenied);
  const stdfs::path temp = durableTemporary(target);

  Backend& b = backend();
  Error err = Error::None;
  const int fd = b.open(temp, O_WRONLY | O_CREAT | O_TRUNC, err);
  if (fd < 0) return fail(out, err);
  detail::noteEntry(temp);
  bool ok = fill(fd, err) && b.sync(fd, err);
  Error closeErr = Error::None;
  if (!b.close(fd, closeErr) && ok) {
    ok = false;
    err = closeErr;
  }
  if (!ok) {
    Error ignored;
    b.remove(temp, ignored);
    return fail(out, err);
  }
  if (!b.rename(temp, target, err)) {
    Error ignored;
    b.remove(temp, ignored);
    return fail(out, err);
  }
  detail::noteEntry(target);
  if (!b.syncFolder(folder, err)) return fail(out, err);
  return succeed(out);
}

// Removes a folder and everything in it (links are removed, never followed).
bool removeTree(const stdfs::path& folder, Error& err) {
  std::error_code ec;
  std::vector<stdfs::path> children;
  detail::countListing();
  stdfs::directory_iterator it(folder, ec);
  if (ec) {
    err = detail::fromErrno(ec.value());
    return false;
  }
  for (const stdfs::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) break;
    children.push_back(it->path());
  }
  if (ec) {
    err = detail::fromErrno(ec.value());
    return false;
  }
  for (const stdfs::path& child : children) {
    if (linkTypeOf(child) == stdfs::file_type::directory) {
      if (!removeTree(child, err)) return false;
    } else if (!backend().remove(child, err)) {
      return false;
    }
  }
  return backend().remove(folder, err);
}

void timesOf(const stdfs::path& p, Entry& e) {
  detail::countStat();
#ifdef STATX_BTIME
  struct statx sx {};
  if (::statx(AT_FDCWD, p.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &sx) == 0) {
    e.size = static_cast<long long>(sx.stx_size);
    e.modifiedUnix = sx.stx_mtime.tv_sec;
    e.createdUnix = (sx.stx_mask & STATX_BTIME) ? sx.stx_btime.tv_sec : sx.stx_mtime.tv_sec;
    return;
  }
#endif
  struct stat st {};
  if (::stat(p.c_str(), &st) == 0) {
    e.size = static_cast<long long>(st.st_size);
    e.modifiedUnix = st.st_mtime;
    e.createdUnix = st.st_mtime;
  }
}

}  // namespace

bool exists(std::string_view path) {
  const stdfs::path host = hostPath(path);
  return !host.empty() && typeOf(host) != stdfs::file_type::not_found;
}

bool isFile(std::string_view path) {
  const stdfs::path host = hostPath(path);
  return !host.empty() && typeOf(host) == stdfs::file_type::regular;
}

bool isFolder(std::string_view path) {
  const stdfs::path host = hostPath(path);
  return !host.empty() && typeOf(host) == stdfs::file_type::directory;
}

long long fileSize(std::string_view path) {
  const stdfs::path host = hostPath(path);
  if (host.empty()) return -1;
  struct stat st {};
  detail::countStat();
  if (::stat(host.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<long long>(st.st_size);
}

bool readFile(std::string_view path, std::string& out, Error* err) {
  out.clear();
  File f;
  if (!f.open(path, File::Read)) return fail(err, f.lastError());
  char buf[65536];
  for (;;) {
    const long long r = f.read(buf, sizeof buf);
    if (r < 0) {
      out.clear();
      return fail(err, f.lastError());
    }
    if (r == 0) break;
    out.append(buf, static_cast<std::size_t>(r));
  }
  return succeed(err);
}

bool writeFile(std::string_view path, std::string_view bytes, Error* err) {
  File f;
  if (!f.open(path, File::Write | File::Create)) return fail(err, f.lastError());
  if (!f.write(bytes) || !f.flush() || !f.close()) return fail(err, f.lastError());
  return succeed(err);
}

bool replaceFile(std::string_view path, std::string_view bytes, Error* err) {
  const stdfs::path host = hostPath(path);
  if (host.empty() || isRoot(host)) return fail(err, Error::BadPath);
  return durableWrite(
      host, [&](int fd, Error& e) { return detail::writeAll(fd, bytes.data(), bytes.size(), e); }, err);
}

bool removeDurableTemporary(std::string_view path, Error* err) {
  const stdfs::path host = hostPath(path);
  if (host.empty() || isRoot(host)) return fail(err, Error::BadPath);
  std::lock_guard<std::mutex> lock(g_durableMutex);  // never the temporary of a write under way
  const stdfs::path folder = host.parent_path();
  if (typeOf(folder) != stdfs::file_type::directory) return succeed(err);
  bool found = false;
  const stdfs::path temp = durableTemporary(host, &found);
  if (!found) return succeed(err);
  if (linkTypeOf(temp) == stdfs::file_type::directory) return fail(err, Error::AccessDenied);
  Error e = Error::None;
  if (!backend().remove(temp, e) || !backend().syncFolder(folder, e)) return fail(err, e);
  return succeed(err);
}

bool copyFile(std::string_view from, std::string_view to, bool overwrite, Error* err) {
  const stdfs::path src = hostPath(from);
  const stdfs::path dst = hostPath(to);
  if (src.empty() || dst.empty() || isRoot(dst)) return fail(err, Error::BadPath);
  const stdfs::file_type srcType = typeOf(src);
  if (srcType == stdfs::file_type::not_found || srcType == stdfs::file_type::none)
    return fail(err, Error::NotFound);
  if (srcType != stdfs::file_type::regular) return fail(err, Error::AccessDenied);
  const stdfs::file_type dstType = typeOf(dst);
  if (dstType == stdfs::file_type::directory) return fail(err, Error::AccessDenied);
  if (dstType != stdfs::file_type::not_found && dstType != stdfs::file_type::none) {
    if (!overwrite) return fail(err, Error::Exists);
    struct stat a {}, bst {};
    detail::countStat();
    detail::countStat();
    if (::stat(src.c_str(), &a) == 0 && ::stat(dst.c_str(), &bst) == 0 && a.st_dev == bst.st_dev &&
        a.st_ino == bst.st_ino)
      return succeed(err);  // a file copied onto itself
  }

  Backend& b = backend();
  Error e = Error::None;
  const int in = b.open(src, O_RDONLY, e);
  if (in < 0) return fail(err, e);
  const bool ok = durableWrite(
      dst,
      [&](int fd, Error& we) {
        char buf[65536];
        for (;;) {
          const long long r = b.read(in, buf, sizeof buf, we);
          if (r < 0) return false;
          if (r == 0) return true;
          if (!detail::writeAll(fd, buf, static_cast<std::size_t>(r), we)) return false;
        }
      },
      err);
  Error ignored;
  b.close(in, ignored);
  return ok;
}

bool moveFile(std::string_view from, std::string_view to, Error* err) {
  const stdfs::path src = hostPath(from);
  stdfs::path dst = hostPath(to);
  if (src.empty() || dst.empty() || isRoot(src) || isRoot(dst)) return fail(err, Error::BadPath);
  if (linkTypeOf(src) == stdfs::file_type::not_found || linkTypeOf(src) == stdfs::file_type::none)
    return fail(err, Error::NotFound);
  if (linkTypeOf(dst) != stdfs::file_type::not_found && linkTypeOf(dst) != stdfs::file_type::none) {
    // The same entry under another case: a rename to the case given.
    if (dst != src) return fail(err, Error::Exists);
    dst = src.parent_path() / givenName(to);
    if (dst == src) return succeed(err);
  }
  const stdfs::path dstFolder = dst.parent_path();
  if (typeOf(dstFolder) != stdfs::file_type::directory) return fail(err, Error::NotFound);

  struct stat a {}, bst {};
  detail::countStat();
  detail::countStat();
  if (::stat(src.parent_path().c_str(), &a) == 0 && ::stat(dstFolder.c_str(), &bst) == 0 &&
      a.st_dev != bst.st_dev) {
    // Another medium (a card, a U-disk): a file is copied, then removed here.
    if (linkTypeOf(src) != stdfs::file_type::regular) return fail(err, Error::AccessDenied);
    Error e = Error::None;
    if (!copyFile(from, to, false, &e)) return fail(err, e);
    if (!backend().remove(src, e) || !backend().syncFolder(src.parent_path(), e)) return fail(err, e);
    return succeed(err);
  }

  Error e = Error::None;
  if (!backend().rename(src, dst, e)) return fail(err, e);
  detail::noteEntry(dst);
  if (!backend().syncFolder(dstFolder, e)) return fail(err, e);
  if (src.parent_path() != dstFolder && !backend().syncFolder(src.parent_path(), e)) return fail(err, e);
  return succeed(err);
}

bool deleteFile(std::string_view path, Error* err) {
  const stdfs::path host = hostPath(path);
  if (host.empty()) return fail(err, Error::BadPath);
  const stdfs::file_type t = linkTypeOf(host);
  if (t == stdfs::file_type::not_found || t == stdfs::file_type::none) return fail(err, Error::NotFound);
  if (t == stdfs::file_type::directory) return fail(err, Error::AccessDenied);
  Error e = Error::None;
  if (!backend().remove(host, e) || !backend().syncFolder(host.parent_path(), e)) return fail(err, e);
  return succeed(err);
}

bool createFolder(std::string_view path, Error* err) {
  const stdfs::path host = hostPath(path);
  if (host.empty()) return fail(err, Error::BadPath);
  const stdfs::file_type t = typeOf(host);
  if (t == stdfs::file_type::directory) return succeed(err);
  if (t != stdfs::file_type::not_found && t != stdfs::file_type::none) return fail(err, Error::Exists);
  if (typeOf(host.parent_path()) != stdfs::file_type::directory) return fail(err, Error::NotFound);
  Error e = Error::None;
  if (!backend().makeFolder(host, e)) return fail(err, e);
  detail::noteEntry(host);
  if (!backend().syncFolder(host.parent_path(), e)) return fail(err, e);
  return succeed(err);
}

bool createFolders(std::string_view path, Error* err) {
  const stdfs::path host = hostPath(path);
  if (host.empty()) return fail(err, Error::BadPath);
  const stdfs::path r = root();
  if (typeOf(r) != stdfs::file_type::directory) return fail(err, Error::NotFound);
  stdfs::path cur = r;
  for (const stdfs::path& part : host.lexically_relative(r)) {
    if (part.empty() || part == ".") continue;
    cur /= part;
    const stdfs::file_type t = typeOf(cur);
    if (t == stdfs::file_type::directory) continue;
    if (t != stdfs::file_type::not_found && t != stdfs::file_type::none) return fail(err, Error::Exists);
    Error e = Error::None;
    if (!backend().makeFolder(cur, e)) return fail(err, e);
    detail::noteEntry(cur);
    if (!backend().syncFolder(cur.parent_path(), e)) return fail(err, e);
  }
  return succeed(err);
}

bool deleteFolderTree(std::string_view path, Error* err) {
  const stdfs::path host = hostPath(path);
  if (host.empty() || isRoot(host)) return fail(err, Error::BadPath);
  const stdfs::file_type t = linkTypeOf(host);
  if (t == stdfs::file_type::not_found || t == stdfs::file_type::none) return fail(err, Error::NotFound);
  if (t != stdfs::file_type::directory) return fail(err, Error::AccessDenied);
  Error e = Error::None;
  if (!removeTree(host, e) || !backend().syncFolder(host.parent_path(), e)) return fail(err, e);
  return succeed(err);
}

long long freeSpace(std::string_view path) {
  const stdfs::path host = hostPath(path);
  if (host.empty()) return -1;
  struct statvfs sv {};
  detail::countStat();
  if (::statvfs(host.c_str(), &sv) != 0) return -1;
  return static_cast<long long>(sv.f_bavail) * static_cast<long long>(sv.f_frsize);
}

std::vector<Entry> find(std::string_view pattern) {
  std::vector<Entry> out;
  const std::size_t cut = pattern.find_last_of("\\/");
  const std::string_view name = cut == std::string_view::npos ? pattern : pattern.substr(cut + 1);
  const std::string_view folder = cut == std::string_view::npos ? std::string_view("\\") : pattern.substr(0, cut + 1);
  if (name.empty() || name == "." || name == "..") return out;
  const stdfs::path host = hostPath(folder);
  if (host.empty()) return out;
  std::error_code ec;
  detail::countListing();
  stdfs::directory_iterator it(host, ec);
  if (ec) return out;
  for (const stdfs::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) break;
    std::string entryName = it->path().filename().string();
    // A name with a '\' (which the host allows) cannot be named by an instrument path: its path would
    // name another entry. It is not listed, so no operation takes one file for another.
    if (entryName.find('\\') != std::string::npos) continue;
    if (detail::isTempName(entryName) || !wildcardMatch(name, entryName)) continue;
    Entry e;
    e.name = std::move(entryName);
    e.isFolder = typeOf(it->path()) == stdfs::file_type::directory;
    timesOf(it->path(), e);
    if (e.isFolder) e.size = 0;
    out.push_back(std::move(e));
  }
  std::sort(out.begin(), out.end(), [](const Entry& a, const Entry& b) {
    const std::string la = text::toLowerAscii(a.name), lb = text::toLowerAscii(b.name);
    return la != lb ? la < lb : a.name < b.name;
  });
  return out;
}

}  // namespace platform::fs
