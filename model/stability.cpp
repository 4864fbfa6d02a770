// Stability judgement of the current load level after each reading, by the rule of the test standard,
// and the yes/no verdict of the cyclic and unloading programmes.
//
// Both read the rebuilt reading list (settlement, level value and reading time of every record) up to
// the current record position. Only records that exist are read: a window or an increment that would
// need a record before record 0 or past the newest one counts as "not yet stable".
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "model/computations.h"
#include "model/record_values.h"

using namespace record_values;

namespace {

// Rounded values as 64-bit numbers: differences and sums of saturated values cannot overflow.
std::int64_t R64(float x) { return R(x); }
std::int64_t R1000_64(float x) { return R1000(x); }
// A 64-bit difference handed on as an int, saturated.
int clampToInt(std::int64_t v) {
  return static_cast<int>(std::clamp<std::int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}


// Outcome of a walk back from a window's start toward the head of the list.
enum class Walk { Found, OtherLevel, Exhausted };

// Outcome of a run of windows.
enum class Windows { NotStable, Stable, RanOut };

// The criterion values a rule judges with.
struct Criteria {
  int hold = 0;
  int interval = 0;
  int count = 0;
  float limit = 0.0f;
  int mode = 0;
  int windowKind = 0;
};

class Series {
 public:
  Series(const std::vector<TestRecord>& records, int newest) : r_(records), n_(newest) {
    levelN_ = r_[n_].valuesA[kLevel];
  }
  int n() const { return n_; }
  int t(int k) const { return timeMinutes(r_[k]); }
  float s(int k) const { return r_[k].valuesA[kSettlement]; }
  float u(int k) const { return r_[k].valuesA[kHalfLower]; }
  float v(int k) const { return r_[k].valuesA[kHalfUpper]; }
  float level(int k) const { return r_[k].valuesA[kLevel]; }

  // Walks back from record `from` toward record 0 for the first record b with
  // startTime - t(b) >= interval. Every record visited must belong to the newest record's level.
  Walk walkBack(int from, int startTime, int interval, int& b) const {
    for (int k = from; k >= 0; --k) {
      if (level(k) != levelN_) return Walk::OtherLevel;
      if (startTime - t(k) >= interval) {
        b = k;
        return Walk::Found;
      }
    }
    return Walk::Exhausted;
  }

 private:
  const std::vector<TestRecord>& r_;
  int n_;
  float levelN_;
};

// A window's measure: true when the window from start record a (its settlement) to end record b passes.
template <typename Measure>
Windows slidingWindows(const Series& x, int count, int interval, Measure passes, bool failureEnds = true,
                       int timeStride = 1, int* passCount = nullptr) {
  int passed = 0;
  for (int w = 0; w < count; ++w) {
    const int a = x.n() - w;              // start settlement
    const int at = x.n() - timeStride * w;  // start time and the start of the walk
    if (a < 0 || at < 0) return Windows::NotStable;
    int b = 0;
    const Walk walk = x.walkBack(at - 1, x.t(at), interval, b);
    if (walk == Walk::OtherLevel) return Windows::NotStable;
    if (walk == Walk::Exhausted) continue;
    if (!passes(a, b)) {
      if (failureEnds) return Windows::NotStable;
      continue;
    }
    if (++passed == count) return Windows::Stable;
  }
  if (passCount) *passCount = passed;
  return Windows::RanOut;
}

template <typename Measure>
Windows chainedWindows(const Series& x, int count, int interval, Measure passes) {
  int passed = 0;
  int a = x.n();
  for (;;) {
    int b = 0;
    const Walk walk = x.walkBack(a - 1, x.t(a), interval, b);
    if (walk == Walk::OtherLevel) return Windows::NotStable;
    if (walk == Walk::Exhausted) return Windows::RanOut;
    if (!passes(a, b)) return Windows::NotStable;
    if (++passed == count) return Windows::Stable;
    a = b;
  }
}

// Mode 1 lets a change equal to the limit pass; every other mode needs it below the limit.
bool within(std::int64_t change, std::int64_t limit, int mode) { return mode == 1 ? change <= limit : change < limit; }

class StableJudge {
 public:
  explicit StableJudge(Parameter& p) : p_(p) {}

  int run() {
    const std::vector<TestRecord>& records = p_.testRecords;
    const int n = p_.readingIndex - 1;
    if (n < 1) return 0;
    if (n >= static_cast<int>(records.size())) return 0;
    Series x(records, n);

    int code = p_.standardCode;
    // Gate, on the criteria as they stand before any adjustment.
    if (code == 9 || code == 73 || code == 74) {
      if (n < p_.judgeCount) return 0;
    } else if (x.t(n) < p_.holdMinutes || n < p_.judgeCount) {
      return 0;
    }
    if (code < 0 || code > 400) {
      code = 1;
      p_.standardCode = 1;
    }
    adjustCriteria(code);
    return judge(code, x);
  }

 private:
  float control() const { return p_.controlLoad.load(); }
  float maxLoad() const { return p_.stepLoad3.load(); }
  bool exactFinal() const {
    return std::fabs(static_cast<double>(maxLoad()) - static_cast<double>(control())) < 0.00001;
  }
  bool roundedFinal() const { return R64(control()) >= R64(maxLoad()); }
  bool optionA() const { return p_.uploadOption == 1; }
  bool optionB() const { return p_.secondOption == 1; }

  Criteria setA() const {
    Criteria c;
    c.hold = p_.holdMinutes;
    c.interval = p_.judgeIntervalMinutes;
    c.count = p_.judgeCount;
    c.limit = p_.stableSettlement;
    c.mode = p_.criterionMode3;
    c.windowKind = p_.altCriterion5;
    return c;
  }
  Criteria setB() const {
    Criteria c;
    c.hold = p_.altCriteria[0];
    c.interval = p_.altCriteria[1];
    c.count = p_.altCriteria[2];
    c.limit = p_.altSettlement;
    c.mode = p_.altCriterion4;
    c.windowKind = p_.altCriterion6;
    return c;
  }

  void adjustCriteria(int code) {
    if (code == 0) {
      if (roundedFinal()) p_.holdMinutes = 120;
    } else if (code == 4) {
      if ((optionA() || optionB()) && R64(maxLoad()) < R64(p_.stepLoad2) + R64(control())) {
        p_.stableSettlement = 0.1f;
        p_.criterionMode3 = 1;
        p_.judgeIntervalMinutes = 60;
        p_.holdMinutes = 120;
        p_.judgeCount = 2;
      }
    } else if (code == 149) {
      p_.stableSettlement = 0.1f;
      p_.judgeCount = 2;
      if (R64(control()) < R64(maxLoad())) {
        p_.criterionMode3 = 2;
        p_.holdMinutes = 60;
        p_.judgeIntervalMinutes = 10;
      } else {
        p_.criterionMode3 = 0;
        p_.holdMinutes = 120;
        p_.judgeIntervalMinutes = 60;
      }
    }
  }

  int stable() {
    p_.loadingPhase = 4;
    return 1;
  }

  // The result of a run of windows: stable sets the phase; windows that ran out leave it.
  int verdict(Windows w) {
    if (w == Windows::NotStable) return 0;
    if (w == Windows::Stable) return stable();
    return 1;
  }

  // Plain measure on set A: the settlement change in hundredths against the limit.
  auto plain(const Series& x, const Criteria& c) const {
    const std::int64_t limit = R64(c.limit);
    const int mode = c.mode;
    return [&x, limit, mode](int a, int b) { return within(R64(x.s(a)) - R64(x.s(b)), limit, mode); };
  }

  int slidingPlain(const Series& x) {
    const Criteria c = setA();
    return verdict(slidingWindows(x, c.count, c.interval, plain(x, c)));
  }

  int slidingRule(int code, const Series& x) {
    const Criteria c = setA();
    const bool mode1 = c.mode == 1;
    if (mode1 && isThousandths(code)) {
      const std::int64_t limit = R1000_64(c.limit);
      return verdict(slidingWindows(x, c.count, c.interval,
                                    [&](int a, int b) { return R1000_64(x.s(a)) - R1000_64(x.s(b)) <= limit; }));
    }
    if (mode1 && code == 10) {
      const std::int64_t limit = R64(p_.levelMinutesLast) < R64(control()) ? 25 : 10;
      return verdict(slidingWindows(x, c.count, c.interval,
                                    [&](int a, int b) { return R64(x.s(a)) - R64(x.s(b)) <= limit; }));
    }
    if (mode1 && code == 14) {
      if (!roundedFinal()) {
        if (x.t(x.n()) > 119) return stable();
      } else if (totalTime(x) + x.t(x.n()) < 720) {
        return 0;
      }
      return slidingPlain(x);
    }
    switch (code) {
      case 15: case 31: case 45: case 51: case 61: case 80: case 82: case 84: {
        const std::int64_t limit = R64(c.limit);
        const bool halves = p_.testType == 2;
        return verdict(slidingWindows(x, c.count, c.interval, [&](int a, int b) {
          const float va = halves ? x.v(a) : 0.0f;
          const float ua = halves ? x.u(a) : 0.0f;
          return std::abs(R64(va) - R64(x.v(b))) <= limit && std::abs(R64(ua) - R64(x.u(b))) <= limit;
        }));
      }
      case 52: {
        const std::int64_t limit = R64(c.limit);
        const bool halves = p_.testType == 2;
        return verdict(slidingWindows(x, c.count, c.interval, [&](int a, int b) {
          const float va = halves ? x.v(a) : 0.0f;
          return within(std::abs(R64(va) - R64(x.v(b))), limit, c.mode);
        }));
      }
      default:
        return slidingPlain(x);
    }
  }

  // Total time of the levels before the newest one (code 14): the time of the last record of each
  // run of equal level values, over the records that exist.
  int totalTime(const Series& x) const {
    int sum = 0;
    int last = 0;
    for (int k = 0; k < x.n(); ++k) {
      if (x.level(k) == x.level(k + 1)) {
        last = x.t(k + 1);
      } else {
        sum += last;
      }
    }
    return sum;
  }

  int chainedPlain(const Series& x) {
    const Criteria c = setA();
    return verdict(chainedWindows(x, c.count, c.interval, plain(x, c)));
  }

  // Increment rules on consecutive records of a series.
  template <typename Value>
  int increments(const Series& x, int needed, Value value, int& d1, int& d2, int& d3, int& d4) const {
    const int n = x.n();
    if (n - needed < 0) return 0;
    auto at = [&](int k) { return k >= 0 ? R64(value(k)) : 0; };
    d1 = clampToInt(at(n) - at(n - 1));
    d2 = clampToInt(at(n - 1) - at(n - 2));
    d3 = clampToInt(at(n - 2) - at(n - 3));
    d4 = clampToInt(at(n - 3) - at(n - 4));
    return 1;
  }

  int strictIncrement(const Series& x) {
    int d1, d2, d3, d4;
    if (!increments(x, 2, [&](int k) { return x.s(k); }, d1, d2, d3, d4)) return 0;
    if (d1 > 0 && d1 >= d2) return 0;
    return stable();
  }

  template <typename Value>
  bool nonGrowing(const Series& x, Value value, bool& known) const {
    int d1, d2, d3, d4;
    known = increments(x, 2, value, d1, d2, d3, d4) != 0;
    return known && !(d2 < d1);
  }

  int nonGrowingRule(const Series& x) {
    bool known = false;
    if (!nonGrowing(x, [&](int k) { return x.s(k); }, known)) return 0;
    return stable();
  }

  int fourRecord(const Series& x) {
    int d1, d2, d3, d4;
    if (!increments(x, 3, [&](int k) { return x.s(k); }, d1, d2, d3, d4)) return 0;
    if (d2 < d1 || d3 < d2) return 0;
    return stable();
  }

  int fiveRecord(const Series& x) {
    const int n = x.n();
    if (n - 4 < 0) return 0;
    auto r = [&](int k) { return R64(x.s(k)); };
    const std::int64_t e1 = r(n) - r(n - 2);
    const std::int64_t e2 = r(n - 1) - r(n - 3);
    const std::int64_t e3 = r(n - 2) - r(n - 4);
    if (e2 < e1 || e3 < e2) return 0;
    return stable();
  }

  int code9(const Series& x) {
    const std::int64_t switchOver = R64(p_.levelMinutesLast);
    const Criteria c = (switchOver > 0 && switchOver < R64(control())) ? setB() : setA();
    if (x.t(x.n()) < c.hold) return 0;
    const std::int64_t limit = R64(c.limit);
    switch (c.mode) {
      case 0:
      case 1: {
        auto measure = [&](int a, int b) { return within(R64(x.s(a)) - R64(x.s(b)), limit, c.mode); };
        if (c.windowKind == 1) return verdict(slidingWindows(x, c.count, c.interval, measure));
        return verdict(chainedWindows(x, c.count, c.interval, measure));
      }
      case 2:
        return convergence(x, c);
      case 3:
        return stable();
      default:
        return 1;
    }
  }

  // Chained windows in which each window's change must not exceed the change of the window before it.
  // Without an older window, the older change is the settlement at the window's end (the first window)
  // or the end value of the window before.
  int convergence(const Series& x, const Criteria& c) {
    int passed = 0;
    int a = x.n();
    std::int64_t previousEnd = 0;
    bool firstWindow = true;
    for (;;) {
      int b = 0;
      const Walk wb = x.walkBack(a - 1, x.t(a), c.interval, b);
      if (wb == Walk::OtherLevel) return 0;
      if (wb == Walk::Exhausted) return 1;
      const std::int64_t newer = R64(x.s(a)) - R64(x.s(b));
      std::int64_t older = 0;
      int cc = 0;
      const Walk wc = x.walkBack(b - 1, x.t(b), c.interval, cc);
      if (wc == Walk::OtherLevel) return 0;
      if (wc == Walk::Found) {
        older = R64(x.s(b)) - R64(x.s(cc));
      } else {
        older = firstWindow ? R64(x.s(b)) : previousEnd;
      }
      if (older < newer) return 0;
      if (++passed == c.count) return stable();
      previousEnd = R64(x.s(b));
      firstWindow = false;
      a = b;
    }
  }

  int code4(const Series& x) {
    if (optionA()) {
      if (exactFinal()) {
        const Criteria c = setA();
        return verdict(slidingWindows(x, c.count, c.interval, plain(x, c), true, 2));
      }
      return nonGrowingRule(x);
    }
    if (optionB()) {
      if (exactFinal()) return slidingPlain(x);
      return nonGrowingRule(x);
    }
    if (p_.uploadOption == 0) return strictIncrement(x);
    return stable();
  }

  int timeScaled(int code, const Series& x) {
    const Criteria c = setA();
    const int h = c.hold;
    const int tn = x.t(x.n());
    if (!exactFinal()) {
      if (tn >= 2 * h) return stable();
      return slidingPlain(x);
    }
    if (tn < (code == 73 ? 6 : 24) * h) return 0;
    if (tn > (code == 73 ? 24 : 48) * h) return stable();
    int passed = 0;
    const Windows w = slidingWindows(x, c.count, c.interval, plain(x, c), false, 1, &passed);
    if (w == Windows::NotStable) return 0;
    if (w == Windows::Stable) return stable();
    if (static_cast<double>(x.s(x.n())) >= 0.15 * static_cast<double>(p_.stepLoad4.load())) return stable();
    return 1;
  }

  int code149(const Series& x) {
    if (!roundedFinal()) return fiveRecord(x);
    const Criteria c = setA();
    const int n = x.n();
    const int tn = x.t(n);
    if ((tn - 120) % 30 != 0) return 0;
    // Window 1 starts at the first record more than 29 minutes before the newest.
    int m = -1;
    const Walk wm = x.walkBack(n - 1, tn, 30, m);
    if (wm == Walk::OtherLevel) return 0;
    if (wm == Walk::Exhausted) return 0;
    auto measure = plain(x, c);
    int passed = 0;
    for (int w = 0; w < c.count; ++w) {
      const int a = w == 0 ? n : m;
      int b = 0;
      const Walk walk = x.walkBack(a - 1, x.t(a), c.interval, b);
      if (walk == Walk::OtherLevel) return 0;
      if (walk == Walk::Exhausted) continue;
      if (!measure(a, b)) return 0;
      if (++passed == c.count) return stable();
    }
    return 1;
  }

  int judge(int code, const Series& x) {
    switch (code) {
      case 1: case 3: case 5: case 10: case 12: case 13: case 14: case 15: case 17: case 18: case 19:
      case 31: case 33: case 35: case 45: case 47: case 48: case 51: case 52: case 58: case 60: case 61:
      case 63: case 64: case 68: case 69: case 70: case 72: case 78: case 79: case 80: case 81: case 82:
      case 84: case 85: case 88: case 90: case 93: case 102: case 115: case 119: case 121: case 140:
      case 145:
        return slidingRule(code, x);
      case 2: case 6: case 16: case 32: case 57: case 59: case 65: case 71: case 86: case 87: case 89:
      case 103: case 120: case 122:
        return chainedPlain(x);
      case 9:
        return code9(x);
      case 4:
        return code4(x);
      case 11: case 118:
        return strictIncrement(x);
      case 0:
        return fiveRecord(x);
      case 46:
        return fourRecord(x);
      case 34:
        if (exactFinal()) return nonGrowingRule(x);
        return stable();
      case 53:
        if (exactFinal()) return slidingPlain(x);
        return nonGrowingRule(x);
      case 50: case 83: {
        bool known = false;
        if (!nonGrowing(x, [&](int k) { return x.v(k); }, known)) return 0;
        if (!nonGrowing(x, [&](int k) { return x.u(k); }, known)) return 0;
        return stable();
      }
      case 73: case 74:
        return timeScaled(code, x);
      case 92:
        if (x.t(x.n()) >= 2 * p_.holdMinutes) return stable();
        return slidingPlain(x);
      case 149:
        return code149(x);
      default:
        return stable();
    }
  }

  Parameter& p_;
};

// The verdict of the cyclic and unloading programmes.
class CycleJudge {
 public:
  explicit CycleJudge(const Parameter& p) : p_(p) {}

  int run() const {
    const std::vector<TestRecord>& records = p_.testRecords;
    const int n = p_.readingIndex - 1;
    if (n < 1) return 0;
    if (n >= static_cast<int>(records.size())) return 0;
    Series x(records, n);
    const int tn = x.t(n);
    if (p_.controlLoad.load() > 0.0f) {
      if (tn < p_.holdMinutes) return 0;
    } else if (tn < p_.levelMinutes[16]) {
      return 0;
    }
    const int count = p_.judgeCount;
    if (n < count) return 0;
    const int interval = p_.judgeIntervalMinutes;
    const std::int64_t limit = R64(p_.stableSettlement);
    const int mode = p_.criterionMode3;
    auto settlementChange = [&](int a, int b) {
      const std::int64_t d = std::abs(R64(x.s(a)) - R64(x.s(b)));
      return mode == 1 ? d <= limit : d < limit;
    };
    switch (p_.standardCode) {
      case 11:
      case 118: {
        if (n < 2) return 0;
        const std::int64_t r1 = R64(x.s(n - 1)) - R64(x.s(n));
        const std::int64_t r2 = R64(x.s(n - 2)) - R64(x.s(n - 1));
        return (r1 <= 0 || r1 < r2) ? 1 : 0;
      }
      case 15:
        return slidingWindows(x, count, interval, [&](int a, int b) {
                 return std::abs(R64(x.v(a)) - R64(x.v(b))) <= limit && std::abs(R64(x.u(a)) - R64(x.u(b))) <= limit;
               }) == Windows::NotStable ? 0 : 1;
      case 48:
        return slidingWindows(x, count, interval, settlementChange) == Windows::NotStable ? 0 : 1;
      case 1000:
        return chainedWindows(x, count, interval, settlementChange) == Windows::NotStable ? 0 : 1;
      default:
        return 1;
    }
  }

 private:
  const Parameter& p_;
};

}  // namespace

int JDQFile::JudgeStable(Parameter& parameter) { return StableJudge(parameter).run(); }

int JDQFile::JudgeStableCycle(Parameter& parameter) { return CycleJudge(parameter).run(); }
