// One to three simulated front-end controllers on a pseudo-terminal. The terminal's other side is
// entered in the device root's ports.conf under a port name, so the instrument opens it as its
// front-end port. Every complete command frame is handed to the controller whose number it carries,
// which answers at once.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock/clock.h"
#include "sim/controller.h"
#include "sim/pty.h"

namespace sim {

class FrontEndSimulator {
 public:
  struct Received {
    std::string number;         // controller number the frame was addressed to
    std::uint64_t atMs = 0;     // platform::clock::monotonicMs() on arrival
    std::array<std::uint8_t, 22> frame{};
  };

  explicit FrontEndSimulator(const std::vector<std::string>& numbers, const PileSettings& pile = {});
  ~FrontEndSimulator();
  FrontEndSimulator(const FrontEndSimulator&) = delete;
  FrontEndSimulator& operator=(const FrontEndSimulator&) = delete;

  // Creates the pseudo-terminal and registers it under portName ("COM2", "COM5", "COM6", ...) in the
  // device root's ports.conf. False (with a message in *error) when either fails.
  bool start(const std::string& portName, std::string* error = nullptr);
  void stop();
  const std::string& devicePath() const { return terminal_.devicePath(); }

  // Time (instrument ms) between a command frame's arrival and the start of its reply. A wired
  // controller answers only after the instrument has switched its line back to receive (30 ms after
  // the frame); 0 answers at once.
  void setReplyDelayMs(std::uint32_t ms) { replyDelayMs_.store(ms); }

  std::size_t size() const { return controllers_.size(); }
  Controller& controller(std::size_t i) { return *controllers_.at(i); }

  std::vector<Received> received() const;
  void clearLog();
  int garbledFrames() const { return garbled_.load(); }
  // Bytes taken from the terminal and handled (answered), and bytes sent back.
  std::uint64_t bytesTaken() const { return taken_.load(); }
  std::uint64_t bytesSent() const { return sent_.load(); }

 private:
  void run();
  void takeBytes(const std::uint8_t* data, std::size_t n);

  std::vector<std::unique_ptr<Controller>> controllers_;
  ServedTerminal terminal_;
  std::vector<std::uint8_t> pending_;
  mutable std::mutex logLock_;
  std::vector<Received> log_;
  std::atomic<std::uint32_t> replyDelayMs_{0};
  std::atomic<int> garbled_{0};
  std::atomic<std::uint64_t> taken_{0};
  std::atomic<std::uint64_t> sent_{0};
};

// The port name the simulator takes by default: the wired port of the device root's board.
std::string defaultPortName();

}  // namespace sim
