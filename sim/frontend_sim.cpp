#include "sim/frontend_sim.h"

#include <poll.h>
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
  return terminal_.start(portName, error, [this] { run(); });
}

void FrontEndSimulator::stop() { terminal_.stop(); }

std::vector<FrontEndSimulator::Received> FrontEndSimulator::received() const {
  std::lock_guard<std::mutex> lk(logLock_);
  return log_;
}

void FrontEndSimulator::clearLog() {
  std::lock_guard<std::mutex> lk(logLock_);
  log_.clear();
}

void FrontEndSimulator::run() {
  std::uint8_t buf[512];
  for (;;) {
    const long n = terminal_.pty().readSome(buf, sizeof buf);
    if (n < 0) return;
    takeBytes(buf, static_cast<std::size_t>(n));
    taken_.fetch_add(static_cast<std::uint64_t>(n));
    platform::clock::noteActivity();
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
      if (std::uint32_t delay = replyDelayMs_.load(); delay > 0 && terminal_.stoppedWithin(delay)) return;
      sent_.fetch_add(static_cast<std::uint64_t>(terminal_.pty().writeAll(reply.data(), reply.size())));
      platform::clock::noteActivity();
    }
  }
}

}  // namespace sim
