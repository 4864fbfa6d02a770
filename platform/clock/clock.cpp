// The instrument clock. This file is the one place of the system that reads the host's clock.
//
// Every mode keeps an "elapsed" count of instrument milliseconds since configure():
//   Real    elapsed = host steady time since configure
//   Scaled  elapsed = host steady time since configure * scale
//   Manual  elapsed = what advance() has added
// Sleeps, waits and timers run on that count. The local time is a line through a point:
//   Real, Scaled  local = anchorLocal + (hostLocal - anchorHost) * rate      (rate 1 or the scale)
//   Manual        local = anchorLocal + (elapsed - anchorElapsed)
// where hostLocal is the host's wall clock in its own time zone. The state file keeps that point and
// rate, so another process (or this one after configure) goes on with the same instrument time.

#include "platform/clock/clock.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace platform::clock {

namespace {

using Steady = std::chrono::steady_clock;

constexpr std::int64_t kMsPerDay = 86'400'000;

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t daysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const std::int64_t era = floorDiv(y, 400);
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void civilFromDays(std::int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const std::int64_t era = floorDiv(z, 146097);
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
}

int daysInMonth(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m == 2) {
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return leap ? 29 : 28;
  }
  return kDays[m - 1];
}

// The host's wall clock as milliseconds counted in the host's local time.
std::int64_t hostLocalMs() {
  const auto now = std::chrono::system_clock::now();
  const std::int64_t utcMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
  const std::time_t secs = static_cast<std::time_t>(floorDiv(utcMs, 1000));
  std::tm tm{};
  long gmtoff = 0;
  if (localtime_r(&secs, &tm) != nullptr) gmtoff = tm.tm_gmtoff;
  return utcMs + static_cast<std::int64_t>(gmtoff) * 1000;
}

const DateTime kManualStartTime{2026, 1, 1, 8, 0, 0, 0, 4};

struct Timer {
  std::uint64_t due = 0;  // elapsed ms
  std::uint32_t period = 0;
  bool periodic = false;
  std::function<void()> callback;
};

struct Waiter {
  std::uint64_t deadline;            // elapsed ms
  const bool* eventSet = nullptr;    // the awaited event's flag; null for a sleep
};

struct Clock {
  std::mutex m;
  std::condition_variable cv;  // any change of time, events, timers or configuration

  Mode mode = Mode::Real;
  double scale = 1.0;
  std::uint64_t generation = 0;  // bumped by configure(); waits of an older generation end

  Steady::time_point start = Steady::now();
  std::uint64_t manualElapsed = 0;

  // Local time line.
  std::int64_t anchorLocal = 0;
  std::int64_t anchorHost = 0;         // Real and Scaled
  std::uint64_t anchorElapsed = 0;     // Manual

  std::filesystem::path stateFile;
  std::mutex persistMutex;             // orders writes of the state file

  // Timers, ordered by (due, id) so that equal due times fire in the order they were added.
  std::map<std::pair<std::uint64_t, TimerId>, Timer> timers;
  std::map<TimerId, std::uint64_t> timerDue;
  TimerId nextTimerId = 1;
  TimerId runningTimer = 0;
  bool removedWhileRunning = false;    // the running timer was removed while it ran
  int runningTimerWaiters = 0;         // threads in removeTimer() waiting for the running timer to end
  std::thread::id runningThread;
  std::thread timerThread;
  bool timerThreadStop = false;
  std::thread::id advancer;            // the thread inside advance(), if any

  // Threads blocked in timed sleeps and waits.
  std::vector<Waiter*> waiters;

  // Activity count (see activity()); its own condition, so reporting it wakes only those who wait on it.
  std::uint64_t activity = 0;
  std::condition_variable activityCv;
  void noteActivityLocked() {
    ++activity;
    activityCv.notify_all();
  }

  // ---- under m ----
  std::uint64_t elapsedLocked() const {
    switch (mode) {
      case Mode::Manual:
        return manualElapsed;
      case Mode::Real: {
        const auto d = Steady::now() - start;
        return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
      }
      case Mode::Scaled: {
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(Steady::now() - start).count();
        return static_cast<std::uint64_t>(static_cast<long double>(ns) * scale / 1e6L);
      }
    }
    return 0;
  }

  // Whether the calling thread is inside advance() (a manual clock's timer callback).
  bool advancingHere() const { return mode == Mode::Manual && advancer == std::this_thread::get_id(); }

  double rateLocked() const { return mode == Mode::Scaled ? scale : 1.0; }

  std::int64_t localMsLocked() const {
    if (mode == Mode::Manual) {
      return anchorLocal + static_cast<std::int64_t>(manualElapsed - anchorElapsed);
    }
    const std::int64_t host = hostLocalMs();
    const double rate = rateLocked();
    if (rate == 1.0) return anchorLocal + (host - anchorHost);
    return anchorLocal + static_cast<std::int64_t>(std::llround(static_cast<double>(host - anchorHost) * rate));
  }

  // Puts the local time line through (now, local).
  void setLocalLocked(std::int64_t local) {
    anchorLocal = local;
    anchorHost = hostLocalMs();
    anchorElapsed = manualElapsed;
  }

  // The host steady time at which the elapsed count reaches `target` (Real and Scaled).
  Steady::time_point hostTimeOf(std::uint64_t target) const {
    if (mode == Mode::Scaled) {
      const long double ns = static_cast<long double>(target) * 1e6L / scale;
      const long double cap = 4e18L;
      return start + std::chrono::nanoseconds(static_cast<std::int64_t>(ns < cap ? ns : cap));
    }
    const std::uint64_t cap = 4'000'000'000'000ull;
    return start + std::chrono::milliseconds(target < cap ? target : cap);
  }

  // Blocks on cv until pred() or the elapsed count reaches deadline (kNoDeadline: no time-out) or
  // configure() runs. Returns pred() at the end.
  static constexpr std::uint64_t kNoDeadline = ~0ull;
  template <class Pred>
  bool waitLocked(std::unique_lock<std::mutex>& lk, std::uint64_t deadline, const bool* evSet, Pred pred) {
    const std::uint64_t gen = generation;
    Waiter w{deadline, evSet};
    const bool timed = deadline != kNoDeadline;
    if (timed) {
      waiters.push_back(&w);
      noteActivityLocked();
    }
    while (!pred() && generation == gen) {
      if (timed && elapsedLocked() >= deadline) break;
      if (!timed || mode == Mode::Manual) {
        cv.wait(lk);
      } else {
        cv.wait_until(lk, hostTimeOf(deadline));
      }
    }
    if (timed) {
      std::erase(waiters, &w);
      noteActivityLocked();
    }
    return pred();
  }

  // Real and Scaled: the timer thread.
  void timerLoop() {
    std::unique_lock lk(m);
    while (!timerThreadStop) {
      if (timers.empty()) {
        cv.wait(lk);
        continue;
      }
      const std::uint64_t due = timers.begin()->first.first;
      const std::uint64_t now = elapsedLocked();
      if (now < due) {
        cv.wait_until(lk, hostTimeOf(due));
        continue;
      }
      fireFirstLocked(lk, now);
    }
  }

  // Takes the first timer out, runs it with m released, and puts a periodic one back.
  void fireFirstLocked(std::unique_lock<std::mutex>& lk, std::uint64_t now) {
    auto node = timers.extract(timers.begin());
    const TimerId id = node.key().second;
    Timer t = std::move(node.mapped());
    timerDue.erase(id);
    runningTimer = id;
    runningThread = std::this_thread::get_id();
    removedWhileRunning = false;
    const std::uint64_t gen = generation;
    lk.unlock();
    try {
      if (t.callback) t.callback();
    } catch (...) {
      // A timer callback must not take the clock down with it.
    }
    lk.lock();
    runningTimer = 0;
    if (t.periodic && !removedWhileRunning && generation == gen) {
      const std::uint64_t period = t.period == 0 ? 1 : t.period;
      std::uint64_t next = t.due + period;
      if (mode != Mode::Manual && next <= now) next = now + period;  // catch up without a burst
      t.due = next;
      timerDue[id] = next;
      timers.emplace(std::make_pair(next, id), std::move(t));
    }
    // On the real and scaled clocks the sleepers wait for their own host time: only a thread waiting
    // for this timer to end needs waking (waking every sleeper at each timer would cost each of them a
    // trip through the kernel a few hundred times a second on a fast clock). On the manual clock time
    // moves with the timers.
    if (mode == Mode::Manual || runningTimerWaiters > 0) cv.notify_all();
  }

  void stopTimerThread(std::unique_lock<std::mutex>& lk) {
    if (!timerThread.joinable()) return;
    timerThreadStop = true;
    cv.notify_all();
    std::thread t = std::move(timerThread);
    lk.unlock();
    if (t.get_id() == std::this_thread::get_id()) {
      t.detach();
    } else {
      t.join();
    }
    lk.lock();
    timerThreadStop = false;
  }

  void ensureTimerThread() {
    if (mode == Mode::Manual || timerThread.joinable()) return;
    timerThreadStop = false;
    timerThread = std::thread([this] { timerLoop(); });
  }
};

Clock& clk() {
  static Clock* c = new Clock();  // never destroyed: timers and waits may run while the program ends
  return *c;
}

// ---- state file ----
// Text, four lines: a header, the host local ms of the anchor, the instrument local ms of the anchor and
// the rate (0 for a manual clock, whose time does not follow the host).
struct StateLine {
  std::int64_t host = 0;
  std::int64_t local = 0;
  double rate = 1.0;
};

constexpr const char* kStateHeader = "instrument-clock 1";

// Whether a local time in ms lies in the years the instrument's clock can be set to (1900-9999).
bool inClockRange(std::int64_t ms) {
  static const std::int64_t first = toSeconds(DateTime{1900, 1, 1, 0, 0, 0, 0}) * 1000;
  static const std::int64_t last = toSeconds(DateTime{9999, 12, 31, 23, 59, 59, 0}) * 1000 + 999;
  return ms >= first && ms <= last;
}
bool inClockRange(long double ms) {
  return std::isfinite(ms) && ms >= -9.0e18L && ms <= 9.0e18L && inClockRange(static_cast<std::int64_t>(ms));
}

std::optional<StateLine> readState(const std::filesystem::path& p) {
  std::FILE* f = std::fopen(p.c_str(), "r");
  if (f == nullptr) return std::nullopt;
  char buf[512];
  const std::size_t n = std::fread(buf, 1, sizeof buf - 1, f);
  std::fclose(f);
  buf[n] = '\0';
  std::istringstream in(std::string(buf, n));
  std::string header;
  std::getline(in, header);
  if (header != kStateHeader) return std::nullopt;
  StateLine s;
  std::string k1, k2, k3;
  if (!(in >> k1 >> s.host >> k2 >> s.local >> k3 >> s.rate)) return std::nullopt;
  if (k1 != "host" || k2 != "local" || k3 != "rate") return std::nullopt;
  if (!std::isfinite(s.rate) || s.rate < 0 || s.rate > 1e7) return std::nullopt;
  // A time the clock could never have been set to is no state of it.
  if (!inClockRange(s.host) || !inClockRange(s.local)) return std::nullopt;
  return s;
}

bool writeAll(int fd, const std::string& s) {
  std::size_t done = 0;
  while (done < s.size()) {
    const ssize_t w = ::write(fd, s.data() + done, s.size() - done);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(w);
  }
  return true;
}

// Writes the state file so that a power loss leaves the old or the new content: a temporary file beside
// it, flushed, renamed over the old one, and the folder flushed.
bool writeState(const std::filesystem::path& p, const StateLine& s) {
  char body[256];
  std::snprintf(body, sizeof body, "%s\nhost %lld\nlocal %lld\nrate %.17g\n", kStateHeader,
                static_cast<long long>(s.host), static_cast<long long>(s.local), s.rate);
  // The temporary name carries the process id: the programs of one instrument share the file.
  std::filesystem::path tmp = p;
  tmp += ".";
  tmp += std::to_string(::getpid());
  tmp += ".tmp";
  const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = writeAll(fd, body) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (!ok || ::rename(tmp.c_str(), p.c_str()) != 0) {
    ::unlink(tmp.c_str());
    return false;
  }
  std::filesystem::path dir = p.parent_path();
  if (dir.empty()) dir = ".";
  const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return true;
}

// Snapshot of the current line for the state file (under c.m).
StateLine stateOfLocked(const Clock& c) {
  StateLine s;
  if (c.mode == Mode::Manual) {
    s.host = hostLocalMs();
    s.local = c.localMsLocked();
    s.rate = 0;
  } else {
    s.host = c.anchorHost;
    s.local = c.anchorLocal;
    s.rate = c.rateLocked();
  }
  return s;
}

void persist(Clock& c) {
  std::lock_guard pl(c.persistMutex);
  std::filesystem::path p;
  StateLine s;
  {
    std::lock_guard lk(c.m);
    if (c.stateFile.empty()) return;
    p = c.stateFile;
    s = stateOfLocked(c);
  }
  writeState(p, s);
}

}  // namespace

// ------------------------------------------------------------------------------------------------

const DateTime& manualStart() { return kManualStartTime; }

void configure(Mode mode, double scale) {
  Clock& c = clk();
  std::unique_lock lk(c.m);
  c.stopTimerThread(lk);
  c.mode = mode;
  c.scale = (std::isfinite(scale) && scale > 0) ? scale : 1.0;
  c.generation++;
  c.start = Steady::now();
  c.manualElapsed = 0;
  c.timers.clear();
  c.timerDue.clear();
  c.stateFile.clear();
  if (mode == Mode::Manual) {
    c.anchorLocal = toSeconds(kManualStartTime) * 1000;
    c.anchorElapsed = 0;
    c.anchorHost = hostLocalMs();
  } else {
    c.anchorHost = hostLocalMs();
    c.anchorLocal = c.anchorHost;  // no offset; a scaled clock starts its epoch now
  }
  c.cv.notify_all();
}

Mode mode() {
  Clock& c = clk();
  std::lock_guard lk(c.m);
  return c.mode;
}

double scale() {
  Clock& c = clk();
  std::lock_guard lk(c.m);
  return c.scale;
}

void attachStateFile(const std::filesystem::path& hostFile) {
  Clock& c = clk();
  std::lock_guard pl(c.persistMutex);
  std::optional<StateLine> saved;
  if (!hostFile.empty()) saved = readState(hostFile);
  bool write = false;
  StateLine now;
  {
    std::lock_guard lk(c.m);
    c.stateFile = hostFile;
    if (hostFile.empty()) return;
    if (saved) {
      // The time the saved line gives now must lie in the clock's years too (a scaled clock's line
      // runs fast, so an old epoch may have run past them); else the file is ignored.
      const std::int64_t host = hostLocalMs();
      const long double nowOnLine = static_cast<long double>(saved->local) +
                                    static_cast<long double>(host - saved->host) * static_cast<long double>(saved->rate);
      if (!inClockRange(nowOnLine)) saved.reset();
    }
    if (saved) {
      const double rate = c.mode == Mode::Manual ? 0.0 : c.rateLocked();
      if (saved->rate == rate && rate != 0.0) {
        // Same kind of clock: take its line as it is (a scaled clock keeps its epoch).
        c.anchorHost = saved->host;
        c.anchorLocal = saved->local;
      } else {
        // Another kind of clock wrote it: go on from the instrument time it gives now.
        const std::int64_t host = hostLocalMs();
        std::int64_t local = saved->local;
        if (saved->rate != 0.0) {
          local += static_cast<std::int64_t>(std::llround(static_cast<double>(host - saved->host) * saved->rate));
        }
        c.setLocalLocked(local);
        write = true;
      }
    } else {
      write = true;
    }
    if (write) now = stateOfLocked(c);
  }
  if (write) writeState(hostFile, now);
}

std::int64_t localMillis() {
  Clock& c = clk();
  std::lock_guard lk(c.m);
  return c.localMsLocked();
}

std::int64_t localSeconds() { return floorDiv(localMillis(), 1000); }

DateTime localTime() {
  const std::int64_t ms = localMillis();
  return fromSeconds(floorDiv(ms, 1000), static_cast<int>(ms - floorDiv(ms, 1000) * 1000));
}

bool setLocalTime(const DateTime& t) {
  if (!isValid(t)) return false;
  Clock& c = clk();
  {
    std::lock_guard lk(c.m);
    c.setLocalLocked(toSeconds(t) * 1000 + t.millisecond);
  }
  persist(c);
  return true;
}

std::int64_t toSeconds(const DateTime& t) {
  return daysFromCivil(t.year, t.month, t.day) * 86400 + static_cast<std::int64_t>(t.hour) * 3600 +
         t.minute * 60 + t.second;
}

DateTime fromSeconds(std::int64_t seconds, int millisecond) {
  DateTime t;
  const std::int64_t days = floorDiv(seconds, 86400);
  const std::int64_t rest = seconds - days * 86400;
  civilFromDays(days, t.year, t.month, t.day);
  t.hour = static_cast<int>(rest / 3600);
  t.minute = static_cast<int>(rest / 60 % 60);
  t.second = static_cast<int>(rest % 60);
  t.millisecond = millisecond;
  const std::int64_t dow = (days % 7 + 7 + 4) % 7;  // 1970-01-01 was a Thursday
  t.dayOfWeek = static_cast<int>(dow);
  return t;
}

bool isValid(const DateTime& t) {
  if (t.year < 1900 || t.year > 9999) return false;
  if (t.month < 1 || t.month > 12) return false;
  if (t.day < 1 || t.day > daysInMonth(t.year, t.month)) return false;
  if (t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59) return false;
  if (t.second < 0 || t.second > 59 || t.millisecond < 0 || t.millisecond > 999) return false;
  return true;
}

std::uint64_t monotonicMs() {
  Clock& c = clk();
  std::lock_guard lk(c.m);
  return c.elapsedLocked();
}

std::uint32_t tickCount() { return static_cast<std::uint32_t>(monotonicMs()); }

void sleepMs(std::uint32_t ms) {
  Clock& c = clk();
  std::unique_lock lk(c.m);
  if (ms == 0) {
    lk.unlock();
    std::this_thread::yield();
    return;
  }
  if (c.advancingHere()) {
    // A timer callback of advance() sleeps: no other thread can move time on, so it moves on here.
    lk.unlock();
    advance(ms);
    return;
  }
  const std::uint64_t deadline = c.elapsedLocked() + ms;
  c.waitLocked(lk, deadline, nullptr, [] { return false; });
}

void advance(std::uint64_t ms) {
  Clock& c = clk();
  std::unique_lock lk(c.m);
  // One advance at a time (a timer callback may advance further on the same thread).
  const std::thread::id self = std::this_thread::get_id();
  c.cv.wait(lk, [&] { return c.advancer == std::thread::id() || c.advancer == self; });
  if (c.mode != Mode::Manual) return;
  const bool outer = c.advancer == std::thread::id();
  c.advancer = self;
  const std::uint64_t gen = c.generation;
  const std::uint64_t target = c.manualElapsed + ms;
  while (c.generation == gen && !c.timers.empty() && c.timers.begin()->first.first <= target) {
    const std::uint64_t due = c.timers.begin()->first.first;
    if (due > c.manualElapsed) {
      c.manualElapsed = due;
      c.cv.notify_all();
    }
    c.fireFirstLocked(lk, c.manualElapsed);
  }
  if (c.generation == gen && c.manualElapsed < target) c.manualElapsed = target;
  if (outer) c.advancer = std::thread::id();
  c.cv.notify_all();
}

std::uint64_t activity() {
  Clock& c = clk();
  std::lock_guard lk(c.m);
  return c.activity;
}

void noteActivity() {
  Clock& c = clk();
  std::lock_guard lk(c.m);
  c.noteActivityLocked();
}

std::uint64_t awaitActivity(std::uint64_t seen, std::uint32_t hostMs) {
  Clock& c = clk();
  std::unique_lock lk(c.m);
  c.activityCv.wait_for(lk, std::chrono::milliseconds(hostMs), [&] { return c.activity != seen; });
  return c.activity;
}

int sleepers() {
  Clock& c = clk();
  std::lock_guard lk(c.m);
  const std::uint64_t now = c.elapsedLocked();
  int n = 0;
  for (const Waiter* w : c.waiters) {
    if (w->deadline <= now) continue;
    if (w->eventSet != nullptr && *w->eventSet) continue;
    ++n;
  }
  return n;
}

// ---- Event ----

struct Event::State {
  bool manualReset = true;
  bool set = false;
};

Event::Event(bool manualReset, bool initiallySet) : s_(std::make_shared<State>()) {
  s_->manualReset = manualReset;
  s_->set = initiallySet;
}

Event::~Event() = default;

void Event::set() {
  Clock& c = clk();
  std::lock_guard lk(c.m);
  s_->set = true;
  c.cv.notify_all();
  c.noteActivityLocked();
}

void Event::reset() {
  Clock& c = clk();
  std::lock_guard lk(c.m);
  s_->set = false;
}

bool Event::isSet() const {
  Clock& c = clk();
  std::lock_guard lk(c.m);
  return s_->set;
}

bool Event::wait(std::uint32_t ms) {
  Clock& c = clk();
  std::shared_ptr<State> s = s_;  // stays alive for the length of the wait
  std::unique_lock lk(c.m);
  bool got = s->set;
  if (!got && ms != 0 && ms != kInfinite && c.advancingHere()) {
    // As in sleepMs: a timer callback of advance() waits; time moves on here.
    lk.unlock();
    advance(ms);
    lk.lock();
    got = s->set;
  } else if (!got && ms != 0) {
    const std::uint64_t deadline = ms == kInfinite ? Clock::kNoDeadline : c.elapsedLocked() + ms;
    got = c.waitLocked(lk, deadline, &s->set, [&] { return s->set; });
  }
  if (got && !s->manualReset) s->set = false;
  return got;
}

// ---- timers ----

TimerId addTimer(std::uint32_t periodMs, bool periodic, std::function<void()> callback) {
  Clock& c = clk();
  std::lock_guard lk(c.m);
  const TimerId id = c.nextTimerId++;
  Timer t;
  t.due = c.elapsedLocked() + periodMs;
  t.period = periodMs;
  t.periodic = periodic;
  t.callback = std::move(callback);
  c.timerDue[id] = t.due;
  c.timers.emplace(std::make_pair(t.due, id), std::move(t));
  c.ensureTimerThread();
  c.cv.notify_all();
  return id;
}

void removeTimer(TimerId id) {
  Clock& c = clk();
  std::unique_lock lk(c.m);
  auto it = c.timerDue.find(id);
  if (it != c.timerDue.end()) {
    c.timers.erase(std::make_pair(it->second, id));
    c.timerDue.erase(it);
  }
  if (c.runningTimer == id) {
    c.removedWhileRunning = true;
    if (c.runningThread != std::this_thread::get_id()) {
      ++c.runningTimerWaiters;
      c.cv.wait(lk, [&] { return c.runningTimer != id; });
      --c.runningTimerWaiters;
    }
  }
  c.cv.notify_all();
}

}  // namespace platform::clock
