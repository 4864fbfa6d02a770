// The open-file object.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <system_error>
#include <utility>

#include "platform/fs/fs.h"
#include "platform/fs/internal.h"

namespace platform::fs {

namespace stdfs = std::filesystem;

File::~File() { close(); }

File::File(File&& o) noexcept
    : fd_(std::exchange(o.fd_, -1)), err_(o.err_), host_(std::move(o.host_)) {}

File& File::operator=(File&& o) noexcept {
  if (this != &o) {
    close();
    fd_ = std::exchange(o.fd_, -1);
    err_ = o.err_;
    host_ = std::move(o.host_);
  }
  return *this;
}

bool File::open(std::string_view instrumentPath, unsigned mode) {
  close();
  err_ = Error::None;
  host_ = hostPath(instrumentPath);
  if (host_.empty()) {
    err_ = Error::BadPath;
    return false;
  }
  return openResolved(mode);
}

bool File::openHost(const stdfs::path& host, unsigned mode) {
  close();
  err_ = Error::None;
  host_ = host;
  if (host_.empty()) {
    err_ = Error::BadPath;
    return false;
  }
  return openResolved(mode);
}

bool File::openResolved(unsigned mode) {
  int flags;
  switch (mode & ReadWrite) {
    case Write: flags = O_WRONLY; break;
    case ReadWrite: flags = O_RDWR; break;
    default: flags = O_RDONLY; break;
  }
  if (mode & Create) {
    flags |= O_CREAT;
    if (!(mode & NoTruncate)) flags |= O_TRUNC;
  }
  Error err = Error::None;
  fd_ = backend().open(host_, flags, err);
  if (fd_ < 0) {
    fd_ = -1;
    err_ = err == Error::None ? Error::Io : err;
    return false;
  }
  if (flags & O_CREAT) detail::noteEntry(host_);
  if ((flags & (O_WRONLY | O_RDWR)) == 0) {
    // A folder opens for reading on the host; it is no file here. (For writing the host refuses it.)
    struct stat st {};
    detail::countStat();
    if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
      close();
      err_ = Error::AccessDenied;
      return false;
    }
  }
  return true;
}

bool File::close() {
  if (fd_ < 0) return true;
  Error err = Error::None;
  const bool ok = backend().close(fd_, err);
  fd_ = -1;
  if (!ok) err_ = err;
  return ok;
}

long long File::read(void* buf, std::size_t n) {
  if (fd_ < 0) {
    err_ = Error::NotOpen;
    return -1;
  }
  Error err = Error::None;
  const long long r = backend().read(fd_, buf, n, err);
  if (r < 0) err_ = err;
  return r;
}

bool File::readExact(void* buf, std::size_t n) {
  char* p = static_cast<char*>(buf);
  std::size_t done = 0;
  while (done < n) {
    const long long r = read(p + done, n - done);
    if (r <= 0) return false;
    done += static_cast<std::size_t>(r);
  }
  return true;
}

bool File::write(const void* buf, std::size_t n) {
  if (fd_ < 0) {
    err_ = Error::NotOpen;
    return false;
  }
  Error err = Error::None;
  if (!detail::writeAll(fd_, buf, n, err)) {
    err_ = err;
    return false;
  }
  return true;
}

long long File::seek(long long offset, From from) {
  if (fd_ < 0) {
    err_ = Error::NotOpen;
    return -1;
  }
  const int whence = from == From::Begin ? SEEK_SET : from == From::Current ? SEEK_CUR : SEEK_END;
  Error err = Error::None;
  const long long r = backend().seek(fd_, offset, whence, err);
  if (r < 0) err_ = err;
  return r;
}

long long File::position() { return seek(0, From::Current); }

long long File::length() {
  const long long here = position();
  if (here < 0) return -1;
  const long long end = seek(0, From::End);
  if (end < 0) return -1;
  if (seek(here, From::Begin) < 0) return -1;
  return end;
}

bool File::setLength(long long length) {
  if (fd_ < 0) {
    err_ = Error::NotOpen;
    return false;
  }
  if (length < 0) {
    err_ = Error::Io;
    return false;
  }
  Error err = Error::None;
  if (!backend().truncate(fd_, length, err)) {
    err_ = err;
    return false;
  }
  return true;
}

bool File::flush() {
  if (fd_ < 0) {
    err_ = Error::NotOpen;
    return false;
  }
  Error err = Error::None;
  if (!backend().sync(fd_, err)) {
    err_ = err;
    return false;
  }
  return true;
}

}  // namespace platform::fs
