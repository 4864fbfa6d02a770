// The stability rule of a test standard computed from a level's readings, apart from the program's own
// judgement, for the whole tests to judge a level by. No test framework here.
#pragma once

#include <cstddef>
#include <vector>

namespace endtoend {

// The standard's own stability rule, computed here from a level's readings (minutes after the load
// was reached, settlements from the gauges rounded as the instrument keeps them): the windows of the
// judging interval from the newest reading back, sliding or chained, each passing when the settlement
// grew less than the limit (or no more, in comparison mode 1), and the hold-time gate.
struct Criteria {
  int hold = 0, interval = 0, count = 0, mode = 0;
  float limit = 0.0f;
};
struct Point {
  int t;
  float s;
};
inline int hundredthsOf(float x) { return static_cast<int>(x * 100.0f + 0.5f); }
inline int thousandthsOf(float x) { return static_cast<int>(x * 1000.0f + 0.5f); }

// Stable at reading n of the level `lv`? `first` tells that the level is the test's first (a window
// that runs past its start then finds nothing instead of another level); `before` is the time of the
// test before this level (standard 14's total time).
inline bool ownRule(int code, const std::vector<Point>& lv, std::size_t n, const Criteria& c, bool first, bool finalLevel,
             int before, std::size_t position) {
  if (lv[n].t < c.hold || position < static_cast<std::size_t>(c.count)) return false;
  if (code == 14 && c.mode == 1) {
    if (!finalLevel) return lv[n].t > 119;
    if (before + lv[n].t < 720) return false;
  }
  const bool chained = code == 2 || code == 6;
  const bool thousandths = (code == 3 || code == 119) && c.mode == 1;
  auto measure = [&](float x) { return thousandths ? thousandthsOf(x) : hundredthsOf(x); };
  int passes = 0;
  std::size_t a = n;
  for (int w = 0; w < c.count; ++w) {
    if (!chained) a = n - static_cast<std::size_t>(w);
    std::size_t b = a;
    bool found = false;
    while (b > 0) {
      --b;
      if (lv[a].t - lv[b].t >= c.interval) {
        found = true;
        break;
      }
    }
    if (!found) {
      if (!first) return false;  // the walk met the level before
      if (chained) return false;
      continue;
    }
    const int d = measure(lv[a].s) - measure(lv[b].s);
    if (c.mode == 1 ? d > measure(c.limit) : d >= measure(c.limit)) return false;
    if (++passes == c.count) return true;
    a = b;
  }
  return false;
}

}  // namespace endtoend
