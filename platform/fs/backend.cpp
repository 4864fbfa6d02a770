// The host backend on POSIX calls, and the fault-injecting backend for tests.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <map>
#include <mutex>
#include <string>

#include "platform/fs/fs.h"
#include "platform/fs/internal.h"

namespace platform::fs {

namespace stdfs = std::filesystem;

namespace {

bool failWith(Error& err) {
  err = detail::fromErrno(errno);
  return false;
}

class PosixBackend final : public Backend {
 public:
  int open(const stdfs::path& p, int flags, Error& err) override {
    int fd;
    detail::countOpen();
    do {
      fd = ::open(p.c_str(), flags | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) failWith(err);
    return fd;
  }
  bool close(int fd, Error& err) override {
    // The descriptor is released even when close reports an error; never retried.
    if (::close(fd) != 0 && errno != EINTR) return failWith(err);
    return true;
  }
  long long read(int fd, void* buf, std::size_t n, Error& err) override {
    ssize_t r;
    do {
      r = ::read(fd, buf, n);
    } while (r < 0 && errno == EINTR);
    if (r < 0) failWith(err);
    return r;
  }
  long long write(int fd, const void* buf, std::size_t n, Error& err) override {
    ssize_t r;
    do {
      r = ::write(fd, buf, n);
    } while (r < 0 && errno == EINTR);
    if (r < 0) failWith(err);
    return r;
  }
  long long seek(int fd, long long offset, int whence, Error& err) override {
    const off_t r = ::lseek(fd, static_cast<off_t>(offset), whence);
    if (r < 0) failWith(err);
    return r;
  }
  bool truncate(int fd, long long length, Error& err) override {
    int r;
    do {
      r = ::ftruncate(fd, static_cast<off_t>(length));
    } while (r != 0 && errno == EINTR);
    return r == 0 || failWith(err);
  }
  bool sync(int fd, Error& err) override {
    detail::countFlush();
    // The data and what it takes to read it back (the length, the blocks): a file's times need not
    // reach the medium, which spares a write of its metadata on every flush.
    int r;
    do {
      r = ::fdatasync(fd);
    } while (r != 0 && errno == EINTR);
    return r == 0 || failWith(err);
  }
  bool syncFolder(const stdfs::path& folder, Error& err) override {
    detail::countFlush();
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return failWith(err);
    int r;
    do {
      r = ::fsync(fd);
    } while (r != 0 && errno == EINTR);
    // Some file systems cannot sync a folder; that is no failure of the data.
    const bool ok = r == 0 || errno == EINVAL || errno == ENOTSUP;
    if (!ok) failWith(err);
    ::close(fd);
    return ok;
  }
  bool rename(const stdfs::path& from, const stdfs::path& to, Error& err) override {
    return ::rename(from.c_str(), to.c_str()) == 0 || failWith(err);
  }
  bool remove(const stdfs::path& p, Error& err) override {
    return ::remove(p.c_str()) == 0 || failWith(err);
  }
  bool makeFolder(const stdfs::path& p, Error& err) override {
    return ::mkdir(p.c_str(), 0777) == 0 || failWith(err);
  }
};

PosixBackend& realBackend() {
  static PosixBackend b;
  return b;
}

std::atomic<Backend*> g_backend{nullptr};

}  // namespace

Backend& backend() {
  Backend* b = g_backend.load(std::memory_order_acquire);
  return b != nullptr ? *b : realBackend();
}

void setBackend(Backend* b) { g_backend.store(b, std::memory_order_release); }

// ---------------------------------------------------------------------------------------------------

struct FaultBackend::State {
  std::mutex m;
  bool failArmed = false;
  Call failKind = Call::Open;
  long long failAt = 0;
  std::array<long long, 10> calls{};
  long long cutAt = -1;
  long long steps = 0;
  bool lost = false;

  // Data not yet synced, for loseUnsyncedOnCut: the content each file had at its last sync.
  struct Tracked {
    std::string synced;
    bool dirty = false;
  };
  bool loseUnsynced = false;
  std::map<std::string, Tracked> files;  // by host path
  std::map<int, std::string> fds;        // open descriptor -> host path

  static std::string contentOf(const std::string& path) {
    std::string out;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return out;
    char buf[65536];
    for (;;) {
      const ssize_t r = ::read(fd, buf, sizeof buf);
      if (r <= 0) break;
      out.append(buf, static_cast<std::size_t>(r));
    }
    ::close(fd);
    return out;
  }
  void markDirty(int fd) {
    const auto it = fds.find(fd);
    if (it != fds.end()) files[it->second].dirty = true;
  }
  void markSynced(int fd) {
    const auto it = fds.find(fd);
    if (it == fds.end()) return;
    Tracked& t = files[it->second];
    t.synced = contentOf(it->second);
    t.dirty = false;
  }
  void renamed(const std::string& from, const std::string& to) {
    files.erase(to);
    const auto it = files.find(from);
    if (it != files.end()) {
      Tracked t = std::move(it->second);
      files.erase(it);
      files.emplace(to, std::move(t));
    }
    for (auto& [fd, path] : fds) {
      if (path == from) path = to;
    }
  }
  // The moment of the cut: unsynced data is gone.
  void dropUnsynced() {
    for (auto& [path, t] : files) {
      if (!t.dirty) continue;
      const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
      if (fd >= 0) {
        std::size_t done = 0;
        while (done < t.synced.size()) {
          const ssize_t r = ::write(fd, t.synced.data() + done, t.synced.size() - done);
          if (r <= 0) break;
          done += static_cast<std::size_t>(r);
        }
        ::close(fd);
      }
      t.dirty = false;
    }
  }
  void powerOff(Error& err) {
    lost = true;
    err = Error::PowerLost;
    if (loseUnsynced) dropUnsynced();
  }

  // Checks power and an injected failure for one call of `kind`; false (with err) when it must fail.
  bool enter(Call kind, Error& err) {
    if (lost) {
      err = Error::PowerLost;
      return false;
    }
    const long long n = calls[static_cast<std::size_t>(kind)]++;
    if (failArmed && kind == failKind && n == failAt) {
      err = Error::Injected;
      return false;
    }
    return true;
  }
  // One step that changes the disk; false (power now lost) when the cut comes at it.
  bool step(Error& err) {
    if (cutAt >= 0 && steps >= cutAt) {
      powerOff(err);
      return false;
    }
    ++steps;
    return true;
  }
};

FaultBackend::FaultBackend() : s_(std::make_unique<State>()) {}
FaultBackend::~FaultBackend() = default;

void FaultBackend::failCall(Call kind, long long n) {
  std::lock_guard<std::mutex> lock(s_->m);
  s_->failArmed = true;
  s_->failKind = kind;
  s_->failAt = n;
  s_->calls.fill(0);
}

void FaultBackend::cutPowerAfter(long long steps) {
  std::lock_guard<std::mutex> lock(s_->m);
  s_->cutAt = steps;
  s_->steps = 0;
  s_->lost = false;
}

void FaultBackend::restorePower() {
  std::lock_guard<std::mutex> lock(s_->m);
  s_->lost = false;
  s_->cutAt = -1;
  s_->steps = 0;
  s_->failArmed = false;
  s_->calls.fill(0);
  s_->files.clear();
  s_->fds.clear();
}

void FaultBackend::loseUnsyncedOnCut(bool on) {
  std::lock_guard<std::mutex> lock(s_->m);
  s_->loseUnsynced = on;
  if (!on) {
    s_->files.clear();
    s_->fds.clear();
  }
}

bool FaultBackend::powerLost() const {
  std::lock_guard<std::mutex> lock(s_->m);
  return s_->lost;
}

long long FaultBackend::steps() const {
  std::lock_guard<std::mutex> lock(s_->m);
  return s_->steps;
}

int FaultBackend::open(const stdfs::path& p, int flags, Error& err) {
  std::lock_guard<std::mutex> lock(s_->m);
  if (!s_->enter(Call::Open, err)) return -1;
  // An open that may create or empty a file changes the disk.
  if ((flags & (O_CREAT | O_TRUNC)) != 0 && !s_->step(err)) return -1;
  if (!s_->loseUnsynced) return realBackend().open(p, flags, err);
  const std::string key = p.string();
  const bool known = s_->files.count(key) != 0;
  const std::string before = known ? std::string() : State::contentOf(key);
  const int fd = realBackend().open(p, flags, err);
  if (fd < 0) return fd;
  s_->fds[fd] = key;
  if (!known) s_->files[key].synced = before;
  if ((flags & O_TRUNC) != 0) s_->markDirty(fd);
  return fd;
}

bool FaultBackend::close(int fd, Error& err) {
  std::lock_guard<std::mutex> lock(s_->m);
  if (s_->lost) {
    // The descriptor is released all the same, so a test does not leak it.
    Error ignored;
    realBackend().close(fd, ignored);
    s_->fds.erase(fd);
    err = Error::PowerLost;
    return false;
  }
  s_->fds.erase(fd);
  if (!s_->enter(Call::Close, err)) {
    Error ignored;
    realBackend().close(fd, ignored);  // a failed close still releases the descriptor
    return false;
  }
  return realBackend().close(fd, err);
}

long long FaultBackend::read(int fd, void* buf, std::size_t n, Error& err) {
  std::lock_guard<std::mutex> lock(s_->m);
  if (!s_->enter(Call::Read, err)) return -1;
  return realBackend().read(fd, buf, n, err);
}

long long FaultBackend::write(int fd, const void* buf, std::size_t n, Error& err) {
  std::lock_guard<std::mutex> lock(s_->m);
  if (!s_->enter(Call::Write, err)) return -1;
  std::size_t allowed = n;
  bool cut = false;
  if (s_->cutAt >= 0 && s_->steps + static_cast<long long>(n) > s_->cutAt) {
    allowed = static_cast<std::size_t>(s_->cutAt > s_->steps ? s_->cutAt - s_->steps : 0);
    cut = true;
  }
  // The bytes before the cut reach the disk; the rest never do.
  std::size_t done = 0;
  bool failed = false;
  const char* p = static_cast<const char*>(buf);
  while (done < allowed) {
    const long long r = realBackend().write(fd, p + done, allowed - done, err);
    if (r <= 0) {
      if (r == 0) err = Error::Io;
      failed = true;
      break;
    }
    done += static_cast<std::size_t>(r);
  }
  s_->steps += static_cast<long long>(done);
  if (done > 0) s_->markDirty(fd);
  if (cut && !failed) {
    s_->powerOff(err);
    return -1;
  }
  if (failed && done == 0) return -1;
  return static_cast<long long>(done);
}

long long FaultBackend::seek(int fd, long long offset, int whence, Error& err) {
  std::lock_guard<std::mutex> lock(s_->m);
  if (!s_->enter(Call::Seek, err)) return -1;
  return realBackend().seek(fd, offset, whence, err);
}

bool FaultBackend::truncate(int fd, long long length, Error& err) {
  std::lock_guard<std::mutex> lock(s_->m);
  if (!s_->enter(Call::Truncate, err) || !s_->step(err)) return false;
  if (!realBackend().truncate(fd, length, err)) return false;
  s_->markDirty(fd);
  return true;
}

bool FaultBackend::sync(int fd, Error& err) {
  std::lock_guard<std::mutex> lock(s_->m);
  if (!s_->enter(Call::Sync, err)) return false;
  if (!realBackend().sync(fd, err)) return false;
  s_->markSynced(fd);
  return true;
}

bool FaultBackend::syncFolder(const stdfs::path& folder, Error& err) {
  std::lock_guard<std::mutex> lock(s_->m);
  if (!s_->enter(Call::Sync, err)) return false;
  return realBackend().syncFolder(folder, err);
}

bool FaultBackend::rename(const stdfs::path& from, const stdfs::path& to, Error& err) {
  std::lock_guard<std::mutex> lock(s_->m);
  if (!s_->enter(Call::Rename, err) || !s_->step(err)) return false;
  if (!realBackend().rename(from, to, err)) return false;
  s_->renamed(from.string(), to.string());
  return true;
}

bool FaultBackend::remove(const stdfs::path& p, Error& err) {
  std::lock_guard<std::mutex> lock(s_->m);
  if (!s_->enter(Call::Remove, err) || !s_->step(err)) return false;
  if (!realBackend().remove(p, err)) return false;
  s_->files.erase(p.string());
  return true;
}

bool FaultBackend::makeFolder(const stdfs::path& p, Error& err) {
  std::lock_guard<std::mutex> lock(s_->m);
  if (!s_->enter(Call::MakeFolder, err) || !s_->step(err)) return false;
  return realBackend().makeFolder(p, err);
}

namespace detail {
bool writeAll(int fd, const void* buf, std::size_t n, Error& err) {
  const char* p = static_cast<const char*>(buf);
  std::size_t done = 0;
  while (done < n) {
    const long long r = backend().write(fd, p + done, n - done, err);
    if (r < 0) return false;
    if (r == 0) {
      err = Error::DiskFull;
      return false;
    }
    done += static_cast<std::size_t>(r);
  }
  return true;
}
}  // namespace detail

}  // namespace platform::fs
