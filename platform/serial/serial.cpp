#include "platform/serial/serial.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "platform/clock/clock.h"
#include "platform/fs/fs.h"

namespace platform::serial {

namespace {

constexpr const char* kMapPath = "\\ports.conf";
constexpr const char* kLockPath = "\\ports.conf.lock";
constexpr std::uint64_t kNoDeadline = std::numeric_limits<std::uint64_t>::max();

std::string_view trim(std::string_view s) {
  const char* blanks = " \t\r\n";
  std::size_t b = s.find_first_not_of(blanks);
  if (b == std::string_view::npos) return {};
  std::size_t e = s.find_last_not_of(blanks);
  return s.substr(b, e - b + 1);
}

// One line of the port map; key is the canonical port name, empty for a line that is no entry.
struct MapLine {
  std::string text;
  std::string key;
  std::string device;
};

std::vector<MapLine> parseMap(std::string_view content) {
  std::vector<MapLine> lines;
  std::size_t pos = 0;
  while (pos < content.size()) {
    std::size_t nl = content.find('\n', pos);
    std::string_view raw = content.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
    pos = nl == std::string_view::npos ? content.size() : nl + 1;
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    MapLine line;
    line.text = std::string(raw);
    std::string_view t = trim(raw);
    if (!t.empty() && t.front() != '#') {
      std::size_t eq = t.find('=');
      if (eq != std::string_view::npos) {
        line.key = canonicalName(t.substr(0, eq));
        line.device = std::string(trim(t.substr(eq + 1)));
      }
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

Error fromErrno(int e) {
  switch (e) {
    case EIO:
    case ENXIO:
    case ENODEV:
    case EPIPE:
      return Error::Vanished;
    case EBADF:
      return Error::NotOpen;
    default:
      return Error::Io;
  }
}

bool speedOf(unsigned baud, speed_t& out) {
  static const struct {
    unsigned baud;
    speed_t speed;
  } table[] = {
      {50, B50},         {75, B75},         {110, B110},       {134, B134},       {150, B150},
      {200, B200},       {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
      {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
      {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
  };
  for (const auto& row : table) {
    if (row.baud == baud) {
      out = row.speed;
      return true;
    }
  }
  return false;
}

Error applySettings(int fd, const Settings& s) {
  speed_t speed;
  if (!speedOf(s.baud, speed)) return Error::BadSettings;
  if (s.dataBits < 5 || s.dataBits > 8 || (s.stopBits != 1 && s.stopBits != 2)) return Error::BadSettings;
  termios t{};
  if (::tcgetattr(fd, &t) != 0) return errno == ENOTTY ? Error::BadSettings : fromErrno(errno);
  ::cfmakeraw(&t);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
  t.c_cflag |= CLOCAL | CREAD;
  static const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
  t.c_cflag |= sizes[s.dataBits - 5];
  if (s.parity != Parity::None) t.c_cflag |= PARENB;
  if (s.parity == Parity::Odd) t.c_cflag |= PARODD;
  if (s.stopBits == 2) t.c_cflag |= CSTOPB;
  t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | ISTRIP);
  if (s.parity != Parity::None) t.c_iflag |= INPCK;
  // With O_NONBLOCK and VMIN 1 a read with nothing there fails with EAGAIN, so a read that returns 0
  // means the line was hung up.
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  if (::cfsetispeed(&t, speed) != 0 || ::cfsetospeed(&t, speed) != 0) return Error::BadSettings;
  if (::tcsetattr(fd, TCSANOW, &t) != 0) return errno == EINVAL ? Error::BadSettings : fromErrno(errno);
  return Error::None;
}

}  // namespace

const char* errorText(Error e) {
  switch (e) {
    case Error::None: return "no error";
    case Error::NotMapped: return "port not in the port map";
    case Error::OpenFailed: return "port device cannot be opened";
    case Error::BadSettings: return "port settings not supported";
    case Error::NotOpen: return "port not open";
    case Error::Timeout: return "time-out";
    case Error::Cancelled: return "cancelled";
    case Error::Vanished: return "port device gone";
    case Error::BadArgument: return "bad port name or device";
    case Error::Io: return "input/output error";
  }
  return "unknown error";
}

// ---------------------------------------------------------------------------------------------------
// Port map

std::string canonicalName(std::string_view name) {
  // Every trailing ':' and blank goes, so the form of a canonical name is itself: a name stored in the
  // map is found again by the name it was stored under.
  std::string_view t = trim(name);
  while (!t.empty() && t.back() == ':') t = trim(t.substr(0, t.size() - 1));
  std::string out(t);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::string lookupPort(std::string_view name) {
  const std::string key = canonicalName(name);
  if (key.empty()) return {};
  std::string content;
  if (!fs::readFile(kMapPath, content)) return {};
  for (const MapLine& line : parseMap(content)) {
    if (line.key == key) return line.device;
  }
  return {};
}

Error registerPort(std::string_view name, std::string_view device) {
  const std::string key = canonicalName(name);
  const std::string dev(trim(device));
  auto bad = [](std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; };
  if (key.empty() || key.front() == '#' || key.find('=') != std::string::npos || bad(key) || dev.empty() ||
      bad(dev)) {
    return Error::BadArgument;
  }

  const std::filesystem::path lockHost = fs::hostPath(kLockPath);
  if (lockHost.empty()) return Error::Io;
  int lockFd = ::open(lockHost.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (lockFd < 0) return Error::Io;
  int rc;
  do {
    rc = ::flock(lockFd, LOCK_EX);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    ::close(lockFd);
    return Error::Io;
  }

  Error result = Error::None;
  std::string content;
  fs::Error readErr = fs::Error::None;
  if (!fs::readFile(kMapPath, content, &readErr) && readErr != fs::Error::NotFound) {
    result = Error::Io;
  } else {
    std::string out;
    bool entered = false;
    for (const MapLine& line : parseMap(content)) {
      if (line.key == key) {
        if (entered) continue;  // a duplicate entry of the same port is dropped
        out += key + "=" + dev + "\n";
        entered = true;
      } else {
        out += line.text + "\n";
      }
    }
    if (!entered) out += key + "=" + dev + "\n";
    if (!fs::replaceFile(kMapPath, out)) result = Error::Io;
  }
  ::flock(lockFd, LOCK_UN);
  ::close(lockFd);
  return result;
}

// ---------------------------------------------------------------------------------------------------
// SerialPort

SerialPort::SerialPort() : wakeFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

SerialPort::~SerialPort() {
  close();
  if (wakeFd_ >= 0) ::close(wakeFd_);
}

bool SerialPort::isOpen() const {
  std::lock_guard<std::mutex> lk(m_);
  return fd_ >= 0 && !closing_;
}

std::string SerialPort::name() const {
  std::lock_guard<std::mutex> lk(m_);
  return name_;
}

int SerialPort::enter() {
  std::lock_guard<std::mutex> lk(m_);
  if (fd_ < 0 || closing_) return -1;
  ++users_;
  return fd_;
}

void SerialPort::leave() {
  std::lock_guard<std::mutex> lk(m_);
  if (--users_ == 0) idle_.notify_all();
}

void SerialPort::cancel() {
  cancelled_.store(true);
  if (wakeFd_ >= 0) {
    std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
  }
}

void SerialPort::drainCancel() {
  if (wakeFd_ < 0) return;
  std::uint64_t v;
  [[maybe_unused]] ssize_t n = ::read(wakeFd_, &v, sizeof v);
}

Error SerialPort::open(std::string_view name, const Settings& settings) {
  close();
  const std::string key = canonicalName(name);
  if (key.empty()) return Error::BadArgument;
  const std::string device = lookupPort(key);
  if (device.empty()) return Error::NotMapped;

  int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Error::OpenFailed;
  if (!::isatty(fd)) {
    ::close(fd);
    return Error::OpenFailed;
  }
  Error e = applySettings(fd, settings);
  if (e != Error::None) {
    ::close(fd);
    return e;
  }
  // Raise the modem lines; a device without them (a pseudo-terminal) refuses, which is fine.
  int lines = TIOCM_DTR | TIOCM_RTS;
  ::ioctl(fd, TIOCMBIS, &lines);
  ::tcflush(fd, TCIOFLUSH);

  // Clear the flag before draining the wake-up, so a cancel() racing with this open is never lost.
  cancelled_.store(false);
  drainCancel();
  std::lock_guard<std::mutex> lk(m_);
  fd_ = fd;
  name_ = key;
  return Error::None;
}

void SerialPort::close() {
  cancel();
  std::unique_lock<std::mutex> lk(m_);
  if (fd_ < 0) return;
  closing_ = true;
  idle_.wait(lk, [this] { return users_ == 0; });
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  closing_ = false;
}

Error SerialPort::configure(const Settings& settings) {
  int fd = enter();
  if (fd < 0) return Error::NotOpen;
  Error e = applySettings(fd, settings);
  leave();
  return e;
}

Error SerialPort::setModemLine(int bit, bool on) {
  int fd = enter();
  if (fd < 0) return Error::NotOpen;
  Error e = Error::None;
  if (::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bit) != 0) {
    // ENOTTY / EINVAL: the device has no modem lines (a pseudo-terminal).
    if (errno != ENOTTY && errno != EINVAL) e = fromErrno(errno);
  }
  leave();
  return e;
}

Error SerialPort::setDtr(bool on) { return setModemLine(TIOCM_DTR, on); }
Error SerialPort::setRts(bool on) { return setModemLine(TIOCM_RTS, on); }

// Polls the descriptor for `events` until the deadline (instrument time). The host waits are cut into
// slices so that the instrument clock decides when the time is up: in the manual mode time moves only
// when a test advances it, in the scaled mode a slice is the remaining time divided by the scale.
Error SerialPort::waitFor(int fd, short events, std::uint64_t deadline) {
  for (;;) {
    if (cancelled_.load()) return Error::Cancelled;
    int sliceMs;
    bool last = false;
    if (deadline == kNoDeadline) {
      sliceMs = wakeFd_ >= 0 ? -1 : 50;
    } else {
      const std::uint64_t now = clock::monotonicMs();
      const std::uint64_t left = now >= deadline ? 0 : deadline - now;
      if (left == 0) {
        sliceMs = 0;  // one last look
        last = true;
      } else if (clock::mode() == clock::Mode::Manual) {
        sliceMs = 2;
      } else {
        double factor = clock::mode() == clock::Mode::Scaled ? clock::scale() : 1.0;
        if (!(factor > 0)) factor = 1.0;
        double real = std::ceil(static_cast<double>(left) / factor);
        sliceMs = real < 1 ? 1 : real > 100 ? 100 : static_cast<int>(real);
      }
    }
    pollfd p[2] = {{fd, events, 0}, {wakeFd_, POLLIN, 0}};
    int r = ::poll(p, wakeFd_ >= 0 ? 2 : 1, sliceMs);
    if (r < 0) {
      if (errno == EINTR) continue;
      return fromErrno(errno);
    }
    if (cancelled_.load()) return Error::Cancelled;
    if (wakeFd_ >= 0 && (p[1].revents & POLLIN)) drainCancel();  // a stale wake-up of an earlier cancel
    if (p[0].revents & POLLNVAL) return Error::NotOpen;
    if (p[0].revents & events) return Error::None;
    if (p[0].revents & (POLLHUP | POLLERR)) return Error::Vanished;
    if (last) return Error::Timeout;
  }
}

Error SerialPort::waitReceive(std::uint32_t timeoutMs) {
  int fd = enter();
  if (fd < 0) return Error::NotOpen;
  const std::uint64_t deadline = timeoutMs == kInfinite ? kNoDeadline : clock::monotonicMs() + timeoutMs;
  Error e = waitFor(fd, POLLIN, deadline);
  if (e == Error::None) {
    // A hung-up line reports itself readable; it has nothing to read, though.
    int n = 0;
    if (::ioctl(fd, FIONREAD, &n) != 0) {
      e = fromErrno(errno);
    } else if (n == 0) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR))) e = Error::Vanished;
    }
  }
  leave();
  return e;
}

IoResult SerialPort::write(const void* data, std::size_t n, std::uint32_t timeoutMs) {
  IoResult res;
  int fd = enter();
  if (fd < 0) {
    res.error = Error::NotOpen;
    return res;
  }
  const std::uint64_t deadline = timeoutMs == kInfinite ? kNoDeadline : clock::monotonicMs() + timeoutMs;
  const char* p = static_cast<const char*>(data);
  while (res.count < n) {
    ssize_t w = ::write(fd, p + res.count, n - res.count);
    if (w > 0) {
      res.count += static_cast<std::size_t>(w);
      continue;
    }
    if (w < 0 && errno == EINTR) continue;
    if (w == 0 || errno == EAGAIN || errno == EWOULDBLOCK) {
      Error e = waitFor(fd, POLLOUT, deadline);
      if (e != Error::None) {
        res.error = e;
        break;
      }
      continue;
    }
    res.error = fromErrno(errno);
    break;
  }
  leave();
  return res;
}

IoResult SerialPort::available() {
  IoResult res;
  int fd = enter();
  if (fd < 0) {
    res.error = Error::NotOpen;
    return res;
  }
  int n = 0;
  if (::ioctl(fd, FIONREAD, &n) != 0) {
    res.error = fromErrno(errno);
  } else {
    res.count = n > 0 ? static_cast<std::size_t>(n) : 0;
  }
  leave();
  return res;
}

IoResult SerialPort::read(void* buf, std::size_t max) {
  IoResult res;
  int fd = enter();
  if (fd < 0) {
    res.error = Error::NotOpen;
    return res;
  }
  if (max > 0) {
    for (;;) {
      ssize_t r = ::read(fd, buf, max);
      if (r > 0) {
        res.count = static_cast<std::size_t>(r);
      } else if (r == 0) {
        res.error = Error::Vanished;  // end of file on a line: it was hung up
      } else if (errno == EINTR) {
        continue;
      } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
        res.error = fromErrno(errno);
      }
      break;
    }
  }
  leave();
  return res;
}

Error SerialPort::purge(Purge which) {
  int fd = enter();
  if (fd < 0) return Error::NotOpen;
  int q = which == Purge::Receive ? TCIFLUSH : which == Purge::Transmit ? TCOFLUSH : TCIOFLUSH;
  Error e = ::tcflush(fd, q) == 0 ? Error::None : fromErrno(errno);
  leave();
  return e;
}

}  // namespace platform::serial
