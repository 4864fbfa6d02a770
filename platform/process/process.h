// Programs of the instrument: the device root they share, starting a program by its instrument path,
// the list of running programs, named events and the power-loss signal.
//
// Programs of one instrument share a device root folder (platform::fs::root()). Programs are started
// without arguments; they learn the root, the clock scale and the display through the environment
// variables INSTRUMENT_ROOT, INSTRUMENT_CLOCK_SCALE and INSTRUMENT_DISPLAY. Several instruments (device
// roots) may run side by side on one host; each sees only its own programs.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/clock/clock.h"

namespace platform::process {

inline constexpr const char* kRootVariable = "INSTRUMENT_ROOT";
inline constexpr const char* kClockScaleVariable = "INSTRUMENT_CLOCK_SCALE";
inline constexpr const char* kDisplayVariable = "INSTRUMENT_DISPLAY";

// The device root a program runs on: the --root option when given, else INSTRUMENT_ROOT, else empty.
std::filesystem::path chooseRoot(const std::optional<std::string>& rootOption);

// The display passed on to started programs (auto, headless, sdl). Until set, INSTRUMENT_DISPLAY as
// this program got it, if any.
void setDisplay(std::string display);

// Starts the program at an instrument path ("\nandflash\SentryC.exe", letter case ignored) with no
// arguments, in its own folder, detached: this program does not wait for it, and it outlives this
// program. It gets none of this program's open files beyond the standard three. A program file that
// lacks the host's execute permission (a copied file) is given it first. Returns false when there is
// no such file or it cannot be run.
bool startProgram(std::string_view instrumentPath);

struct ProcessEntry {
  pid_t pid = 0;
  std::string name;                    // the executable's file name, e.g. "Main.exe"
  std::filesystem::path executable;    // its host path
};

// The running programs of this device root (this program among them when it belongs to the root): a
// program belongs to the root given by its --root option, else by its INSTRUMENT_ROOT, else when its
// executable lies under the root. Programs that have ended and wait to be reaped are left out.
std::vector<ProcessEntry> listProcesses();
// The same, or nothing when the process table cannot be read (no device root, or the host's table is
// not there), so a caller can tell "no such program" from "cannot tell".
std::optional<std::vector<ProcessEntry>> readProcessList();
// The host folder of the process table, "/proc" by default; tests point it elsewhere.
void setProcessTableFolder(const std::filesystem::path& folder);
// Whether a program of this device root runs under that name (letter case ignored).
bool isRunning(std::string_view name);

// A lock held by one program of the device root at a time, named like a named mutex: the file
// "<name>.lock" in the device root, locked while the holder runs (the host drops the lock when the
// holder ends, however it ends) and holding the holder's process id. acquire() gives nothing while
// another program holds it, or when there is no device root.
class InstanceLock {
 public:
  static std::unique_ptr<InstanceLock> acquire(std::string_view name);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

 private:
  explicit InstanceLock(int fd) : fd_(fd) {}
  int fd_ = -1;
};

// The platform's touch-screen calibration: runs the command that the device root's file "touch.conf"
// holds (one line, run by the shell in the program folder) and waits until it ends.
enum class TouchCalibration {
  Done,            // the calibration ran
  NotConfigured,   // no command is configured: there is no calibration entry
  CannotStart,     // a command is configured but cannot be started
};
inline constexpr const char* kTouchCalibrationFile = "touch.conf";
TouchCalibration touchCalibrate();

// Named events within this program. createEvent returns the event of that name when one exists (its
// state stays as it is; *existed tells) or makes a new one. An empty name makes an unnamed event.
// An event lives while a holder keeps it.
using NamedEvent = std::shared_ptr<clock::Event>;
NamedEvent createEvent(std::string_view name, bool manualReset, bool initiallySet, bool* existed = nullptr);
// The existing event of that name, or nullptr.
NamedEvent openEvent(std::string_view name);

// Whether the device root's file "power" says that external power is lost (it holds the word "lost";
// "ok", anything else or no file is power).
bool powerLost();

// Watches the power: reads the file "power" once a second of the instrument clock, and at once when the
// program gets SIGPWR. While power is lost it calls the handler once a second, on its own thread, with
// the milliseconds (instrument clock) since the loss was first seen: 0 at once, then about 1000, 2000...
// When power comes back, a later loss counts from 0 again.
class PowerMonitor {
 public:
  using Handler = std::function<void(std::uint32_t msSinceLoss)>;
  explicit PowerMonitor(Handler handler);
  ~PowerMonitor();  // stops; the handler is not running when it returns
  PowerMonitor(const PowerMonitor&) = delete;
  PowerMonitor& operator=(const PowerMonitor&) = delete;

  // Reads the file at once (what SIGPWR does).
  void checkNow();

 private:
  void run();

  Handler handler_;
  clock::Event wake_{false, false};
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace platform::process
