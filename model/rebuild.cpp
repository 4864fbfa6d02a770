// The rebuild of the derived values of a test's recorded readings: level value, settlement and the two
// half-settlements of the self-balanced method, and the reading time of every record in minutes from
// the standard's reading schedule.
//
// Every level starts at its step record, whose position keeps the time "0". The first reading of the
// level (the one taken when the level's load was reached) takes the step record's position and its
// time "0"; the readings of the schedule follow one per position, each with the minutes of its place in
// the schedule, counted on from the reading before it. A reading that keeps its minute (its slot as the
// schedule ran when it was taken, or the minute at which it was taken after its slots had passed)
// stands at that minute, and the schedule counts on from it. A record with a leave-out flag takes no
// position.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
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

// Records at the list's end that a reading may still change (the end record it replaces, the marks of
// the reading before it): the state is kept before them.
constexpr int kResumeMargin = 8;

// The bytes of a record that the rebuild reads or writes: marker and values (with the marker's padding)
// in ten words, then time, the two leave-out flag bytes and the kept-minute mark in one word.
constexpr std::size_t kMarkerAndValues = offsetof(TestRecord, time);
static_assert(offsetof(TestRecord, valuesA) + sizeof(TestRecord::valuesA) == kMarkerAndValues,
              "the time follows the values");
static_assert(kMarkerAndValues == 10 * sizeof(std::uint64_t), "marker and values fill the first ten words");

// A 64-bit digest of those bytes of a run of records, in record order. Each word of a record goes into
// its own lane (so that the steps of neighbouring words do not wait on each other: this runs over the
// whole list on every rebuild); each step (a multiplication by an odd number, then a rotation) is
// one-to-one both in the lane and in the word, as is the final fold in each lane, so two runs that
// differ in a single word never have the same digest, and runs that differ in more have the same one
// by chance only (about one in 2^64).
class Digest {
 public:
  Digest() {
    for (std::size_t i = 0; i < lane_.size(); ++i) lane_[i] = 0x243F6A8885A308D3ull * (2 * i + 1);
  }
  void add(const TestRecord& r) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&r);
    for (std::size_t i = 0; i < 10; ++i) {
      std::uint64_t w = 0;
      std::memcpy(&w, bytes + 8 * i, sizeof w);
      lane_[i] = step(lane_[i], w);
    }
    std::uint64_t last = 0;
    std::memcpy(&last, r.time, sizeof r.time);
    last |= static_cast<std::uint64_t>(static_cast<unsigned char>(r.tail2[0])) << 40;
    last |= static_cast<std::uint64_t>(static_cast<unsigned char>(r.tail2[5])) << 48;
    last |= static_cast<std::uint64_t>(static_cast<unsigned char>(r.tail2[record_values::kMinuteMarkByte])) << 56;
    lane_[10] = step(lane_[10], last);
  }
  std::uint64_t value() const {
    std::uint64_t v = lane_[0];
    for (std::size_t i = 1; i < lane_.size(); ++i) v = step(v, lane_[i]);
    return v;
  }

 private:
  static std::uint64_t step(std::uint64_t h, std::uint64_t w) {
    return std::rotl((h ^ w) * 0x9E3779B97F4A7C15ull, 31);
  }
  std::array<std::uint64_t, 11> lane_;
};

// Whether records 0..index-1 read as the digest says; `at` takes the digest of records 0..pos-1 on the
// way (pos <= index).
bool resumable(const std::vector<TestRecord>& records, std::uint64_t digest, int index, int pos, Digest& at) {
  if (static_cast<std::size_t>(index) > records.size() || pos > index) return false;
  Digest d;
  for (int i = 0; i < index; ++i) {
    if (i == pos) at = d;
    d.add(records[static_cast<std::size_t>(i)]);
  }
  if (pos == index) at = d;
  return d.value() == digest;
}

// What the rebuild judges by besides the records.
std::array<std::int32_t, 26> settingsKey(const TestSettings& s, const Parameter& p) {
  std::array<std::int32_t, 26> key{};
  key[0] = s.standard;
  key[1] = s.testType;
  std::memcpy(&key[2], &s.maxLoad, sizeof s.maxLoad);
  for (int j = 0; j < 7; ++j) {
    key[static_cast<std::size_t>(3 + j)] = s.loadMinutes[static_cast<std::size_t>(j)];
    key[static_cast<std::size_t>(10 + j)] = s.unloadMinutes[static_cast<std::size_t>(j)];
  }
  for (int g = 0; g < 8; ++g) key[static_cast<std::size_t>(17 + g)] = s.gaugeOn[static_cast<std::size_t>(g)];
  key[25] = p.secondOption.load();
  return key;
}

}  // namespace

int JDQFile::RebuildReadings(Parameter& p, std::vector<TestRecord>& records) {
  const TestSettings s = SettingsOf(p, records);
  if (isCyclicLateral(s.standard)) return 0;
  const int count = std::min<long long>(s.recordCount, static_cast<long long>(records.size()));
  if (count < 1) return 0;

  // Every write is at st.pos - 1 once the position has moved on; st.lastMinutes are the minutes of
  // that position as its text reads back: the next reading's minutes follow from them without reading
  // the text again.
  RebuildResume::State st;
  bool firstPending = false;

  // Go on from where the last rebuild of this list stood, when its first records still read as that
  // rebuild left them.
  RebuildResume& resume = p.rebuildResume;
  const std::array<std::int32_t, 26> settings = settingsKey(s, p);
  int from = 0;
  Digest digest;  // of the records before the first position this rebuild may write
  if (resume.index > 0 && resume.index <= count && resume.settings == settings &&
      resumable(records, resume.digest, resume.index, resume.state.pos, digest)) {
    from = resume.index;
    st = resume.state;
  } else {
    digest = Digest();
  }
  // The records this rebuild may write lie at and after the position it starts from; those before it
  // were found as the last rebuild left them (or there are none).
  const int firstWritten = st.pos;
  // The state is kept at the last record, a few before the end, at which no level's first reading is
  // pending: what follows it then writes no record before its position.
  const int keepBefore = count - kResumeMargin;
  int keptIndex = -1;
  RebuildResume::State kept;

  int result = 1;
  for (int i = from; i < count; ++i) {
    if (i <= keepBefore && !firstPending) {
      keptIndex = i;
      kept = st;
    }
    const TestRecord& in = records[i];
    if (isEndRecord(in)) {
      result = 0;
      break;
    }
    if (isStepRecord(in)) {
      const int now = R(in.valuesA[kLoad]);
      const int before = R(st.level);
      if (now < before) st.unloading = true;
      if (now > before) st.unloading = false;
      st.level = in.valuesA[kLoad];
      TestRecord& out = records[st.pos];
      store(out.valuesA[kLevel], st.level);
      writeSettlements(in, out, s);
      st.lastMinutes = setTimeMinutes(out, 0.0);
      st.k = 0;
      firstPending = true;
      ++st.pos;
      continue;
    }
    if (leftOut(in)) continue;
    if (firstPending || st.pos == 0) {
      // The reading at the moment the level's load was reached: time 0 of the level, on the step
      // record's position (or the first position of a list that does not begin with a step record).
      if (firstPending) --st.pos;
      firstPending = false;
      TestRecord& start = records[st.pos];
      store(start.valuesA[kLevel], st.level);
      writeSettlements(in, start, s);
      st.lastMinutes = setTimeMinutes(start, 0.0);
      ++st.pos;
      continue;
    }
    // `in` is records[i] and the position is at most i: the gauges and the minute a reading kept are
    // read before anything is written over them.
    double minutes = st.lastMinutes + interval(s, p, st.unloading, st.k, st.level);
    if (keepsItsMinute(in)) {
      // The minute the reading kept (a damaged value, one that does not come after the reading before,
      // gives way to the schedule's).
      const double own = std::floor(static_cast<double>(in.valuesA[kTakenMinutes]));
      if (std::isfinite(own) && own > st.lastMinutes) minutes = own;
    }
    TestRecord& out = records[st.pos];
    store(out.valuesA[kLevel], st.level);
    writeSettlements(in, out, s);
    st.lastMinutes = setTimeMinutes(out, minutes);
    if (st.k < 7) ++st.k;
    ++st.pos;
  }

  // What the next rebuild needs: the state kept, and the digest of the records before it as they now
  // read (those before the first position written read as they did).
  if (keptIndex > 0) {
    for (int i = firstWritten; i < keptIndex; ++i) digest.add(records[static_cast<std::size_t>(i)]);
    resume.digest = digest.value();
    resume.index = keptIndex;
    resume.state = kept;
    resume.settings = settings;
  } else {
    resume.index = -1;
  }
  if (result == 0) return 0;
  p.readingIndex = st.pos;
  return 1;
}
