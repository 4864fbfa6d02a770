#include "sim/pty.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/serial/serial.h"

namespace sim {

PseudoTerminal::~PseudoTerminal() { close(); }

bool PseudoTerminal::open(const std::string& portName, std::string* error) {
  auto fail = [&](const std::string& m) {
    if (error) *error = m;
    close();
    return false;
  };
  close();
  master_ = posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ < 0) return fail(std::string("cannot open a pseudo-terminal: ") + std::strerror(errno));
  if (grantpt(master_) != 0 || unlockpt(master_) != 0) return fail("cannot unlock the pseudo-terminal");
  char name[128] = {};
  if (ptsname_r(master_, name, sizeof name) != 0) return fail("cannot name the pseudo-terminal");
  slavePath_ = name;
  // Raw, so nothing is echoed back.
  slave_ = ::open(name, O_RDWR | O_NOCTTY);
  if (slave_ < 0) return fail("cannot open " + slavePath_);
  termios t{};
  if (tcgetattr(slave_, &t) == 0) {
    cfmakeraw(&t);
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    tcsetattr(slave_, TCSANOW, &t);
  }
  if (pipe(wake_) != 0) return fail("cannot make a pipe");
  const int flags = fcntl(master_, F_GETFL);
  fcntl(master_, F_SETFL, flags | O_NONBLOCK);
  if (platform::serial::registerPort(portName, slavePath_) != platform::serial::Error::None)
    return fail("cannot enter " + portName + " in ports.conf");
  return true;
}

void PseudoTerminal::close() {
  for (int* fd : {&master_, &slave_, &wake_[0], &wake_[1]}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
}

std::size_t PseudoTerminal::writeAll(const void* data, std::size_t n) {
  const char* p = static_cast<const char*>(data);
  std::size_t off = 0;
  while (off < n && master_ >= 0) {
    const ssize_t w = ::write(master_, p + off, n - off);
    if (w > 0) {
      off += static_cast<std::size_t>(w);
    } else if (w < 0 && (errno == EAGAIN || errno == EINTR)) {
      pollfd o = {master_, POLLOUT, 0};
      ::poll(&o, 1, 50);
    } else {
      break;
    }
  }
  return off;
}

void PseudoTerminal::interrupt() {
  char c = 1;
  if (wake_[1] >= 0 && ::write(wake_[1], &c, 1) < 0) { /* the reader also ends when the terminal closes */ }
}

long PseudoTerminal::readSome(void* buf, std::size_t n) {
  for (;;) {
    pollfd fds[2] = {{master_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    const int r = ::poll(fds, 2, -1);
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (fds[1].revents) return -1;
    if (fds[0].revents & POLLIN) {
      const ssize_t got = ::read(master_, buf, n);
      if (got > 0) return static_cast<long>(got);
    } else if (fds[0].revents & (POLLHUP | POLLERR)) {
      // The instrument has the port closed right now; wait for the stop request or new data.
      pollfd w = {wake_[0], POLLIN, 0};
      if (::poll(&w, 1, 20) > 0) return -1;
    }
  }
}

bool ServedTerminal::start(const std::string& portName, std::string* error, std::function<void()> serve) {
  if (!pty_.open(portName, error)) return false;
  stopEvent_.reset();
  thread_ = std::thread(std::move(serve));
  return true;
}

void ServedTerminal::stop() {
  stopEvent_.set();
  if (thread_.joinable()) {
    pty_.interrupt();
    thread_.join();
  }
  pty_.close();
}

}  // namespace sim
