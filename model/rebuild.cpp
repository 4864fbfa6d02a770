// The rebuild of the derived values of a test's recorded readings: level value, settlement and the two
// half-settlements of the self-balanced method, and the reading time of every record in minutes from
// the standard's reading schedule.
//
// Every level starts at its step record, whose position keeps the time "0". The first reading of the
// level (the one taken when the level's load was reached) takes the step record's position and its
// time "0"; the readings of the schedule follow one per position, each with the minutes of its place in
// the schedule. A record with a leave-out flag takes no position.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "model/computations.h"
#include "model/helpers.h"
#include "model/record_values.h"

using namespace record_values;

namespace {

// Stores a derived value only where it differs (to the bit): a rebuild leaves the records it does not
// change untouched, which spares the memory traffic of writing back the whole list after every reading.
void store(float& field, float value) {
  if (std::memcmp(&field, &value, sizeof value) != 0) field = value;
}

// Flag-weighted mean of gauges first..last (1-based) of `in`; false when no flag of them is on.
bool weightedMean(const TestRecord& in, const std::array<int, 8>& on, int first, int last, float& out) {
  float sum = 0.0f;
  float weight = 0.0f;
  for (int g = first; g <= last; ++g) {
    const float f = static_cast<float>(on[g - 1]);
    sum += f * in.valuesA[kFirstGauge + g - 1];
    weight += f;
  }
  if (weight == 0.0f) return false;
  out = sum / weight;
  return true;
}

// Writes the settlement and, for the self-balanced method, the two half-settlements computed from the
// gauges of `in` into `out`.
void writeSettlements(const TestRecord& in, TestRecord& out, const TestSettings& s) {
  const bool thousandths = isThousandths(s.standard);
  float v = 0.0f;
  // Both may be the same record: read everything first.
  float settlement = 0.0f, lower = 0.0f, upper = 0.0f;
  const bool hasSettlement = weightedMean(in, s.gaugeOn, 1, 4, settlement);
  bool hasLower = false, hasUpper = false;
  if (s.testType == 2) {
    if (s.standard == 61) {
      hasLower = weightedMean(in, s.gaugeOn, 1, 3, lower);
      hasUpper = weightedMean(in, s.gaugeOn, 4, 6, upper);
    } else {
      hasLower = weightedMean(in, s.gaugeOn, 1, 2, lower);
      hasUpper = weightedMean(in, s.gaugeOn, 3, 4, upper);
    }
  }
  if (hasSettlement) {
    v = RoundHalfEven(settlement, thousandths ? 3 : 2);
    store(out.valuesA[kSettlement], v);
  }
  if (hasLower) store(out.valuesA[kHalfLower], thousandths ? lower : RoundHalfEven(lower, 2));
  if (hasUpper) store(out.valuesA[kHalfUpper], thousandths ? upper : RoundHalfEven(upper, 2));
}

// Minutes from the previous reading to this one: k counts the readings of the level from 0.
int interval(const TestSettings& s, const Parameter& p, bool unloading, int k, float level) {
  const int j = k < 6 ? k : 6;
  if (unloading) {
    if ((s.standard == 89 || s.standard == 90) && level <= 0.0f) return 30;
    if (s.standard == 77 && level <= 0.0f) return 10;
    return s.unloadMinutes[j];
  }
  const bool finalLevel = std::fabs(static_cast<double>(s.maxLoad) - static_cast<double>(level)) < 0.00001;
  if (finalLevel && s.standard == 53) {
    static constexpr int kRow[7] = {10, 10, 10, 15, 15, 30, 30};
    return kRow[j];
  }
  if (finalLevel && s.standard == 4 && p.secondOption == 1) {
    static constexpr int kRow[7] = {5, 10, 15, 15, 15, 30, 30};
    return kRow[j];
  }
  return s.loadMinutes[j];
}

bool leftOut(const TestRecord& r) {
  return (static_cast<unsigned char>(r.tail2[0]) & 0x40u) != 0 || (static_cast<unsigned char>(r.tail2[5]) & 0x01u) != 0;
}

}  // namespace

int JDQFile::RebuildReadings(Parameter& p, std::vector<TestRecord>& records) {
  const TestSettings s = SettingsOf(p, records);
  if (isCyclicLateral(s.standard)) return 0;
  const int count = std::min<long long>(s.recordCount, static_cast<long long>(records.size()));
  if (count < 1) return 0;

  int pos = 0;           // output position
  float level = 0.0f;    // load of the current level
  bool unloading = false;
  int k = 0;             // readings of the level so far (held at 7)
  bool firstPending = false;
  // The minutes of the last position written (every write is at pos - 1 once pos has moved on), as
  // its text reads back: the next reading's minutes follow from them without reading the text again.
  double lastMinutes = 0.0;

  for (int i = 0; i < count; ++i) {
    const TestRecord& in = records[i];
    if (isEndRecord(in)) return 0;
    if (isStepRecord(in)) {
      const int now = R(in.valuesA[kLoad]);
      const int before = R(level);
      if (now < before) unloading = true;
      if (now > before) unloading = false;
      level = in.valuesA[kLoad];
      TestRecord& out = records[pos];
      store(out.valuesA[kLevel], level);
      writeSettlements(in, out, s);
      lastMinutes = setTimeMinutes(out, 0.0);
      k = 0;
      firstPending = true;
      ++pos;
      continue;
    }
    if (leftOut(in)) continue;
    if (firstPending || pos == 0) {
      // The reading at the moment the level's load was reached: time 0 of the level, on the step
      // record's position (or the first position of a list that does not begin with a step record).
      if (firstPending) --pos;
      firstPending = false;
      TestRecord& start = records[pos];
      store(start.valuesA[kLevel], level);
      writeSettlements(in, start, s);
      lastMinutes = setTimeMinutes(start, 0.0);
      ++pos;
      continue;
    }
    // `in` is records[i] and pos <= i: the gauges are read before anything is written over them.
    TestRecord& out = records[pos];
    store(out.valuesA[kLevel], level);
    writeSettlements(in, out, s);
    lastMinutes = setTimeMinutes(out, lastMinutes + interval(s, p, unloading, k, level));
    if (k < 7) ++k;
    ++pos;
  }
  p.readingIndex = pos;
  return 1;
}
