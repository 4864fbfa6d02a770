// Serial ports of the instrument, opened by port name ("COM2", "COM6:", ...).
//
// Port names map to host devices through the port map `ports.conf` in the device root, one entry a line:
//     COM2=/dev/ttyS1
// Names are compared ignoring case and a trailing ':' is ignored ("com2:" is "COM2"). Blank lines and
// lines beginning with '#' are skipped. The simulators add their pseudo-terminals with registerPort(),
// which merges under a lock and replaces the file atomically, so several may start at once.
//
// A port runs raw on termios (9600 8N1 by default). Every wait (for received characters, for room to
// write) runs on the instrument clock: in the manual mode it ends only when a test has advanced time
// far enough, in the scaled mode it runs scaled.
//
// Threads: one thread may read and wait while another writes; purge, modem lines and the byte count may
// be used from either. cancel() makes every wait in progress (and every later one, until the next open)
// return Cancelled at once: a thread that is asked to stop is woken that way. close() cancels first and
// then waits until no call is using the device, so it is safe from any thread; threads that keep
// calling afterwards get NotOpen.
//
// A device that goes away while in use (a pseudo-terminal whose other side closes, a hang-up, an
// unplugged adapter) gives Vanished from the calls that touch it. Failures are values; nothing throws.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace platform::serial {

enum class Error {
  None = 0,
  NotMapped,    // the port name has no entry in ports.conf
  OpenFailed,   // the device of the entry cannot be opened
  BadSettings,  // settings the device or this layer does not take (baud rate, data bits, ...)
  NotOpen,      // the port is not open (or is being closed)
  Timeout,      // the time-out passed first
  Cancelled,    // cancel() was called
  Vanished,     // the device went away (hang-up, other side of a pseudo-terminal closed)
  BadArgument,  // an empty or malformed port name or device path
  Io,           // any other failure of the host
};
const char* errorText(Error e);

// ---------------------------------------------------------------------------------------------------
// Port map.

// The canonical form of a port name: upper case, surrounding blanks and every trailing ':' removed.
std::string canonicalName(std::string_view name);
// The host device that ports.conf gives for a port name; empty when it has no entry (or no map).
std::string lookupPort(std::string_view name);
// Enters (or replaces) the entry of a port name in ports.conf, keeping every other line. Concurrent
// callers in any number of threads and processes lose no entry.
Error registerPort(std::string_view name, std::string_view device);

// ---------------------------------------------------------------------------------------------------

enum class Parity { None, Odd, Even };

struct Settings {
  unsigned baud = 9600;
  int dataBits = 8;      // 5..8
  Parity parity = Parity::None;
  int stopBits = 1;      // 1 or 2
};

enum class Purge { Receive, Transmit, Both };

// The outcome of a transfer: the bytes moved, and why it stopped short (None when it did not).
struct IoResult {
  std::size_t count = 0;
  Error error = Error::None;
  bool ok() const { return error == Error::None; }
};

class SerialPort {
 public:
  static constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;

  SerialPort();
  ~SerialPort();
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Opens the device mapped to the port name and sets it up (raw, no flow control, the settings given),
  // with DTR and RTS raised. An open port is closed first. Clears an earlier cancel().
  Error open(std::string_view name, const Settings& settings = {});
  bool isOpen() const;
  std::string name() const;  // canonical name of the last successful open
  // Releases the device (cancels every wait first). A closed port may be opened again.
  void close();

  Error configure(const Settings& settings);

  // Raise or lower the modem lines. A device without modem lines (a pseudo-terminal) takes it silently.
  Error setDtr(bool on);
  Error setRts(bool on);

  // Writes all n bytes, waiting for room up to timeoutMs of instrument time. The result counts the
  // bytes handed to the device; its error says why fewer than n went (Timeout, Cancelled, Vanished...).
  IoResult write(const void* data, std::size_t n, std::uint32_t timeoutMs);
  IoResult write(std::string_view bytes, std::uint32_t timeoutMs) {
    return write(bytes.data(), bytes.size(), timeoutMs);
  }

  // Waits until at least one received character is there, or timeoutMs of instrument time pass
  // (kInfinite: no limit). None when characters are there; else Timeout, Cancelled, Vanished, NotOpen.
  Error waitReceive(std::uint32_t timeoutMs);
  // Received bytes waiting to be read (count), without reading them.
  IoResult available();
  // Reads up to max bytes that are there now, without waiting (count 0 when none are there).
  IoResult read(void* buf, std::size_t max);

  // Discards received bytes not yet read, bytes written but not yet sent, or both.
  Error purge(Purge which);

  // Makes every wait in progress on this port, in any thread, return Cancelled at once, and every later
  // wait too until the port is opened again. Safe from any thread at any time.
  void cancel();
  bool cancelled() const { return cancelled_.load(); }

 private:
  int enter();          // the descriptor, counted as in use; -1 when not open
  void leave();
  // Waits for the events on the descriptor until the deadline (instrument ms); None when they are there.
  Error waitFor(int fd, short events, std::uint64_t deadline);
  Error setModemLine(int bit, bool on);
  void drainCancel();

  mutable std::mutex m_;
  std::condition_variable idle_;
  int fd_ = -1;        // guarded by m_
  int users_ = 0;      // calls using fd_, guarded by m_
  bool closing_ = false;
  std::string name_;   // guarded by m_
  int wakeFd_ = -1;    // eventfd that cancel() signals; lives as long as the object
  std::atomic<bool> cancelled_{false};
};

}  // namespace platform::serial
