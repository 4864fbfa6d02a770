#include "sim/frontend_sim.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "frontend/codec.h"
#include "platform/clock/clock.h"
#include "platform/fs/fs.h"
#include "platform/serial/serial.h"

namespace sim {

std::string defaultPortName() { return platform::fs::isFolder("\\nandflash\\") ? "COM2" : "COM5"; }

FrontEndSimulator::FrontEndSimulator(const std::vector<std::string>& numbers, const PileSettings& pile) {
  for (const auto& n : numbers) controllers_.push_back(std::make_unique<Controller>(n, pile));
}

FrontEndSimulator::~FrontEndSimulator() { stop(); }

bool FrontEndSimulator::start(const std::string& portName, std::string* error) {
  auto fail = [&](const std::string& m) {
    if (error) *error = m;
    stop();
    return false;
  };
  master_ = posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ < 0) return fail(std::string("cannot open a pseudo-terminal: ") + std::strerror(errno));
  if (grantpt(master_) != 0 || unlockpt(master_) != 0) return fail("cannot unlock the pseudo-terminal");
  char name[128] = {};
  if (ptsname_r(master_, name, sizeof name) != 0) return fail("cannot name the pseudo-terminal");
  slavePath_ = name;
  // Keep the other side open so the terminal lives while the instrument closes and reopens it, and
  // make it raw so nothing is echoed back.
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
  stopEvent_.reset();
  int flags = fcntl(master_, F_GETFL);
  fcntl(master_, F_SETFL, flags | O_NONBLOCK);
  if (platform::serial::registerPort(portName, slavePath_) != platform::serial::Error::None)
    return fail("cannot enter " + portName + " in ports.conf");
  thread_ = std::thread([this] { run(); });
  return true;
}

void FrontEndSimulator::stop() {
  stopEvent_.set();
  if (thread_.joinable()) {
    char c = 1;
    if (::write(wake_[1], &c, 1) < 0) { /* the thread also ends when the terminal closes */ }
    thread_.join();
  }
  for (int* fd : {&master_, &slave_, &wake_[0], &wake_[1]}) {
    if (*fd >= 0) ::close(*fd);
    *fd = -1;
  }
}

std::vector<FrontEndSimulator::Received> FrontEndSimulator::received() const {
  std::lock_guard<std::mutex> lk(logLock_);
  return log_;
}

void FrontEndSimulator::clearLog() {
  std::lock_guard<std::mutex> lk(logLock_);
  log_.clear();
}

void FrontEndSimulator::run() {
  std::uint8_t buf[256];
  for (;;) {
    pollfd fds[2] = {{master_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    int r = ::poll(fds, 2, -1);
    if (r < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents) return;
    if (fds[0].revents & POLLIN) {
      ssize_t n = ::read(master_, buf, sizeof buf);
      if (n > 0) {
        takeBytes(buf, static_cast<std::size_t>(n));
        taken_.fetch_add(static_cast<std::uint64_t>(n));
      }
    } else if (fds[0].revents & (POLLHUP | POLLERR)) {
      // No reader on the other side right now; wait for the stop request or new data.
      pollfd w = {wake_[0], POLLIN, 0};
      if (::poll(&w, 1, 20) > 0) return;
    }
  }
}

void FrontEndSimulator::takeBytes(const std::uint8_t* data, std::size_t n) {
  pending_.insert(pending_.end(), data, data + n);
  while (!pending_.empty()) {
    if (pending_[0] != frontend::kFrameStart) {
      pending_.erase(pending_.begin());
      garbled_.fetch_add(1);
      continue;
    }
    if (pending_.size() < frontend::kCommandSize) return;
    std::array<std::uint8_t, 22> cmd{};
    std::copy(pending_.begin(), pending_.begin() + 22, cmd.begin());
    if (frontend::byteSum(cmd.data(), 21) != cmd[21]) {
      pending_.erase(pending_.begin());
      garbled_.fetch_add(1);
      continue;
    }
    pending_.erase(pending_.begin(), pending_.begin() + 22);
    std::uint64_t now = platform::clock::monotonicMs();
    {
      std::lock_guard<std::mutex> lk(logLock_);
      log_.push_back({frontend::unpackControllerNumber(&cmd[13]), now, cmd});
    }
    for (auto& c : controllers_) {
      std::string reply = c->handle(cmd, now);
      if (reply.empty()) continue;
      if (std::uint32_t delay = replyDelayMs_.load(); delay > 0 && stopEvent_.wait(delay)) return;
      std::size_t off = 0;
      while (off < reply.size()) {
        ssize_t w = ::write(master_, reply.data() + off, reply.size() - off);
        if (w > 0) {
          off += static_cast<std::size_t>(w);
          sent_.fetch_add(static_cast<std::uint64_t>(w));
        } else if (w < 0 && errno == EAGAIN) {
          pollfd o = {master_, POLLOUT, 0};
          ::poll(&o, 1, 50);
        } else {
          break;
        }
      }
    }
  }
}

}  // namespace sim
