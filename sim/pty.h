// The simulator's side of a pseudo-terminal: the instrument opens the other side as a serial port,
// found through the device root's ports.conf.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "platform/clock/clock.h"

namespace sim {

class PseudoTerminal {
 public:
  PseudoTerminal() = default;
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  // Creates the terminal (raw, 9600 baud, non-blocking on this side) and enters its device under
  // portName in ports.conf. False (with a message in *error) when either fails.
  bool open(const std::string& portName, std::string* error);
  void close();
  int fd() const { return master_; }
  const std::string& devicePath() const { return slavePath_; }
  // Writes all n bytes (waits for room); the bytes written.
  std::size_t writeAll(const void* data, std::size_t n);
  // Waits for bytes from the instrument and reads up to n of them: the count, or -1 once interrupt()
  // was called (the simulator's thread then ends).
  long readSome(void* buf, std::size_t n);
  void interrupt();

 private:
  int wake_[2] = {-1, -1};
  int master_ = -1;
  int slave_ = -1;  // kept open so the terminal lives while the instrument closes and reopens it
  std::string slavePath_;
};

// A pseudo-terminal served by a thread of its own from start() until stop(). The owner calls stop()
// in its own destructor, before the members the serving thread uses are gone.
class ServedTerminal {
 public:
  ServedTerminal() = default;
  ~ServedTerminal() { stop(); }
  ServedTerminal(const ServedTerminal&) = delete;
  ServedTerminal& operator=(const ServedTerminal&) = delete;

  // Opens the terminal under portName (as PseudoTerminal::open) and runs serve on a new thread.
  bool start(const std::string& portName, std::string* error, std::function<void()> serve);
  // Wakes the serving thread, waits for it to end and closes the terminal.
  void stop();
  // Waits ms of instrument time; true when stop() came first (the serving thread then returns).
  bool stoppedWithin(std::uint32_t ms) { return stopEvent_.wait(ms); }
  PseudoTerminal& pty() { return pty_; }
  const std::string& devicePath() const { return pty_.devicePath(); }

 private:
  PseudoTerminal pty_;
  std::thread thread_;
  platform::clock::Event stopEvent_{true, false};
};

}  // namespace sim
