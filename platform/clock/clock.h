// All time of the instrument: local time, the tick count, sleeps, waits and timers.
//
// Three modes:
//  - Real: time runs as the host's.
//  - Scaled: time runs `scale` times faster than the host's (a six-hour test in minutes); every sleep,
//    wait and timer runs scaled.
//  - Manual: time stands until a test advances it; advancing fires due timers in order (on the thread
//    that advances) and wakes the threads whose sleep or wait has come to its end.
//
// The instrument's local time is the host's clock (or, scaled, an epoch plus the scaled time since)
// plus the instrument's own offset; setting the local time changes the offset only, never the host
// clock. The offset, and in the scaled mode the epoch, are kept in a small state file so a restarted
// program goes on with the instrument's time.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>

namespace platform::clock {

struct DateTime {
  int year = 2000;
  int month = 1;       // 1..12
  int day = 1;         // 1..31
  int hour = 0;        // 0..23
  int minute = 0;      // 0..59
  int second = 0;      // 0..59
  int millisecond = 0; // 0..999
  int dayOfWeek = 6;   // 0 Sunday .. 6 Saturday (filled in by the clock)
  bool operator==(const DateTime&) const = default;
};

enum class Mode { Real, Scaled, Manual };

// Sets the mode (resets the clock: tick count from 0, no timers). `scale` is used in the Scaled mode.
// In the Manual mode the local time starts at `manualStart` (default 2026-01-01 08:00:00) unless a state
// file gives the instrument's time.
// configure() also stops persisting (attach the state file again after it) and ends every sleep and
// wait in progress.
void configure(Mode mode, double scale = 1.0);
// The local time a manual clock starts at (2026-01-01 08:00:00).
const DateTime& manualStart();
Mode mode();
double scale();

// Keeps the offset (and the scaled epoch) in this host file from now on, and takes them from it when
// it exists. An empty path stops persisting. The programs of an instrument keep it in the device root
// under kStateFileName.
inline constexpr const char* kStateFileName = "clock.state";
void attachStateFile(const std::filesystem::path& hostFile);

// The instrument's local time.
DateTime localTime();
// The instrument's local time as seconds / milliseconds since 1970-01-01 00:00:00 counted in local
// time (no time zone arithmetic: a local date-time maps one to one to such a count).
std::int64_t localSeconds();
std::int64_t localMillis();
// Sets the instrument's local time (keeps the difference as the offset). Refuses invalid dates and
// years before 1900. Seconds and milliseconds are taken as given.
bool setLocalTime(const DateTime& t);

// Calendar conversions in local time (no time zone): a date-time to seconds since 1970 and back.
std::int64_t toSeconds(const DateTime& t);
DateTime fromSeconds(std::int64_t seconds, int millisecond = 0);
bool isValid(const DateTime& t);  // a real date, year 1900..9999

// Milliseconds since configure(), as a 32-bit count that wraps (the platform's tick count).
std::uint32_t tickCount();
// Milliseconds since configure(), never wrapping.
std::uint64_t monotonicMs();

// Sleeps the calling thread for ms of instrument time.
void sleepMs(std::uint32_t ms);

// Manual mode: moves time forward by ms, firing every timer that falls due in order of its due time
// (on the calling thread) and waking sleepers and waiters whose time has come. Ignored in other modes.
// One advance runs at a time: time stands still while a timer callback runs, except that a callback
// that sleeps or waits with a time-out moves time on by that much itself (nothing else could).
void advance(std::uint64_t ms);
// Manual mode: the number of threads currently blocked in sleepMs or Event::wait with a timeout
// (lets a test wait until a worker thread has gone to sleep before it advances time).
int sleepers();
// A count of the activity of threads that serve the instrument's links (a frame written, taken,
// answered or read), which they report with noteActivity(); a thread that goes to sleep on the clock or
// wakes from it, and an event that is set, count too. A test waits on it instead of polling until the
// threads have done their part and gone to sleep: awaitActivity() blocks (host time, not instrument
// time) until the count differs from `seen` or hostMs milliseconds pass, and returns the count.
std::uint64_t activity();
void noteActivity();
std::uint64_t awaitActivity(std::uint64_t seen, std::uint32_t hostMs);

// An event that threads can wait on with a time-out on the instrument clock (stop requests, wakes).
class Event {
 public:
  explicit Event(bool manualReset = true, bool initiallySet = false);
  ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;
  void set();
  void reset();
  bool isSet() const;
  // Waits until the event is set or ms of instrument time pass. Returns true when set.
  // An auto-reset event is reset by the wait that sees it set. kInfinite waits for ever.
  static constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;
  bool wait(std::uint32_t ms);

 private:
  struct State;
  std::shared_ptr<State> s_;
};

// Timers on the instrument clock. The callback runs on the clock's timer thread (Real and Scaled) or
// on the thread calling advance() (Manual); it must be short (post a message, set a flag).
using TimerId = std::uint64_t;
TimerId addTimer(std::uint32_t periodMs, bool periodic, std::function<void()> callback);
// Removes a timer; after it returns the callback is not running and will not run again (unless it is
// called from within that timer's own callback).
void removeTimer(TimerId id);

}  // namespace platform::clock
