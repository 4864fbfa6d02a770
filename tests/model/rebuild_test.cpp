// Rebuild of the derived reading values: level values, settlements and schedule times.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "model/computations.h"
#include "model/record_values.h"
#include "readings_fixture.h"

namespace {

// A record as the recorder leaves it: marker, load and the six gauges (all four settlement gauges read
// the same unless given).
TestRecord raw(bool step, float load, float g1, float g2 = -1, float g3 = -1, float g4 = -1, float g5 = 0,
               float g6 = 0) {
  TestRecord r = JDQFile::BlankTestRecord();
  std::memcpy(r.marker, step ? "--:--" : "10:30", 5);
  std::memcpy(r.stepMark, r.marker, 5);
  setTimeText(r, "10");
  r.valuesA[0] = load;
  const float g[6] = {g1, g2 < 0 ? g1 : g2, g3 < 0 ? g1 : g3, g4 < 0 ? g1 : g4, g5, g6};
  for (int k = 0; k < 6; ++k) r.valuesA[2 + k] = g[k];
  return r;
}
TestRecord step(float load, float g) { return raw(true, load, g); }
TestRecord reading(float g) { return raw(false, 0.0f, g); }
TestRecord leftOut(float g, int byte, unsigned bit) {
  TestRecord r = reading(g);
  r.tail2[byte] = static_cast<char>(bit);
  return r;
}

// A reading taken after more than one slot of its schedule had passed, at `minutes` of its level.
TestRecord ownMinute(float g, float minutes) {
  TestRecord r = reading(g);
  r.valuesA[record_values::kTakenMinutes] = minutes;
  r.tail2[5] = static_cast<char>(record_values::kAtItsOwnMinute);
  return r;
}
// A reading of the schedule that keeps the minute of its slot, as the schedule ran when it was taken.
TestRecord keptMinute(float g, float minutes) {
  TestRecord r = reading(g);
  r.valuesA[record_values::kTakenMinutes] = minutes;
  r.tail2[record_values::kMinuteMarkByte] = record_values::kMinuteKept;
  return r;
}

std::string timeOf(const TestRecord& r) { return std::string(r.time, strnlen(r.time, sizeof r.time)); }

void running(Parameter& p, int standard) {
  p.testRunning = 1;
  p.standardCode = standard;
  p.testType = 1;
  p.stepLoad3 = 200.0f;
  const int load[7] = {5, 10, 15, 20, 25, 30, 60};
  const int unload[7] = {7, 14, 21, 28, 35, 42, 49};
  for (int k = 0; k < 6; ++k) {
    p.levelMinutes[k] = load[k];
    p.levelMinutes[7 + k] = unload[k];
  }
  p.levelMinutes[6] = load[6];
  p.levelMinutes[13] = unload[6];
  for (int k = 0; k < 8; ++k) p.displacementOn[k] = k < 4 ? 1 : 0;
}

// Two loading levels, an unloading level, a repeated unloading level and the zero level, with
// leave-out flags in both bits. Each level has its step record, the reading taken when its load was
// reached, and the readings of its schedule.
std::vector<TestRecord> multiLevel() {
  return {step(100, 0.10f), reading(0.45f), reading(0.50f), reading(0.60f),                     // 0-3
          step(200, 0.70f), reading(0.95f), reading(1.00f), leftOut(9.0f, 0, 0x40), reading(1.10f),  // 4-8
          step(100, 1.05f), reading(1.02f), reading(1.00f), leftOut(9.0f, 5, 0x01),                // 9-12
          step(100.001f, 0.95f), reading(0.92f), reading(0.90f),                                   // 13-15
          step(0, 0.50f), reading(0.45f), reading(0.40f)};                                         // 16-18
}

struct Out {
  float level;
  float settlement;
  const char* time;
};

TEST(RebuildReadings, MultiLevelTestWithUnloadingAndLeftOutReadings) {
  Parameter p;
  running(p, 1);
  std::vector<TestRecord> list = multiLevel();
  p.readingCount = static_cast<int>(list.size());
  ASSERT_EQ(JDQFile::RebuildReadings(p, list), 1);
  // Positions: each level starts at time 0 with the reading taken when its load was reached, on the
  // step record's position; no reading stands twice; left-out readings take no position. Unloading
  // intervals from the first step below the one before; the step with the same rounded load keeps
  // unloading.
  const Out expected[] = {
      {100, 0.45f, "0"}, {100, 0.50f, "5"},  {100, 0.60f, "15"},  // level 1
      {200, 0.95f, "0"}, {200, 1.00f, "5"},  {200, 1.10f, "15"},  // level 2
      {100, 1.02f, "0"}, {100, 1.00f, "7"},                       // unloading
      {100.001f, 0.92f, "0"}, {100.001f, 0.90f, "7"},             // same rounded load
      {0, 0.45f, "0"}, {0, 0.40f, "7"},
  };
  ASSERT_EQ(p.readingIndex, 12);
  for (int i = 0; i < 12; ++i) {
    EXPECT_FLOAT_EQ(list[i].valuesA[17], expected[i].level) << i;
    EXPECT_FLOAT_EQ(list[i].valuesA[16], expected[i].settlement) << i;
    EXPECT_EQ(timeOf(list[i]), expected[i].time) << i;
  }
  // The rebuild reads only raw values: a second run gives the same list.
  std::vector<TestRecord> again = list;
  ASSERT_EQ(JDQFile::RebuildReadings(p, again), 1);
  EXPECT_EQ(std::memcmp(again.data(), list.data(), list.size() * sizeof(TestRecord)), 0);
}

// A reading taken after its slots had passed stands at the minute it keeps, and so does a reading
// that keeps the minute of its slot as the schedule ran (whatever the schedule in force now says); the
// schedule counts on from them; a kept minute that does not come after the reading before (a damaged
// file) gives way to the schedule's. A second rebuild of the rebuilt list, whose time texts now hold derived minutes,
// gives the same list.
TEST(RebuildReadings, AReadingTakenAfterItsSlotsStandsAtItsOwnMinute) {
  Parameter p;
  running(p, 1);
  std::vector<TestRecord> list = {step(100, 0.10f),  reading(0.45f),        reading(0.50f),
                                  ownMinute(0.55f, 40.0f), reading(0.60f), ownMinute(0.65f, 50.0f),
                                  reading(0.70f),    step(200, 0.80f),      reading(0.90f),
                                  ownMinute(0.95f, 33.0f), keptMinute(1.00f, 45.0f), reading(1.05f)};
  p.readingCount = static_cast<int>(list.size());
  ASSERT_EQ(JDQFile::RebuildReadings(p, list), 1);
  // Load intervals 5, 10, 15, 20, 25: 0, 5, then 40 kept, 40 + 15, the damaged 50 as 55 + 20, then + 25;
  // the second level 0, 33 kept, 45 kept (not 33 + 10), 45 + 15.
  const char* expected[] = {"0", "5", "40", "55", "75", "100", "0", "33", "45", "60"};
  ASSERT_EQ(p.readingIndex, 10);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(timeOf(list[static_cast<std::size_t>(i)]), expected[i]) << i;
  std::vector<TestRecord> again = list;
  Parameter q;
  running(q, 1);
  q.readingCount = p.readingCount;
  ASSERT_EQ(JDQFile::RebuildReadings(q, again), 1);
  EXPECT_EQ(std::memcmp(again.data(), list.data(), list.size() * sizeof(TestRecord)), 0);
}

TEST(RebuildReadings, EndRecordStopsWithoutSettingThePosition) {
  Parameter p;
  running(p, 1);
  std::vector<TestRecord> list = multiLevel();
  list.push_back(JDQFile::BlankTestRecord());
  p.readingCount = static_cast<int>(list.size());
  p.readingIndex = 3;
  EXPECT_EQ(JDQFile::RebuildReadings(p, list), 0);
  EXPECT_EQ(p.readingIndex, 3);
  EXPECT_EQ(timeOf(list[11]), "7");  // the readings before it are rebuilt

  // A test without readings: record 0 still bears the marks of a record without a reading.
  std::vector<TestRecord> empty(80, JDQFile::BlankTestRecord());
  p.readingCount = 5;
  EXPECT_EQ(JDQFile::RebuildReadings(p, empty), 0);
  EXPECT_EQ(p.readingIndex, 3);
  EXPECT_EQ(timeOf(empty[0]), "99999");
}

TEST(RebuildReadings, RefusesCyclicStandardsAndEmptyTests) {
  for (int standard : {62, 76, 144}) {
    Parameter p;
    running(p, standard);
    std::vector<TestRecord> list = multiLevel();
    const std::vector<TestRecord> before = list;
    p.readingCount = static_cast<int>(list.size());
    p.readingIndex = 2;
    EXPECT_EQ(JDQFile::RebuildReadings(p, list), 0) << standard;
    EXPECT_EQ(p.readingIndex, 2);
    EXPECT_EQ(std::memcmp(before.data(), list.data(), list.size() * sizeof(TestRecord)), 0) << standard;
  }
  Parameter p;
  running(p, 1);
  std::vector<TestRecord> list = multiLevel();
  p.readingCount = 0;
  EXPECT_EQ(JDQFile::RebuildReadings(p, list), 0);
  // A record count beyond the list reads only the list.
  p.readingCount = 1000;
  EXPECT_EQ(JDQFile::RebuildReadings(p, list), 1);
  EXPECT_EQ(p.readingIndex, 12);
}

TEST(RebuildReadings, ReadingTimesByStandard) {
  struct Case {
    const char* name;
    int standard;
    int secondOption;
    float controlLoad;
    const char* finalTimes[2];   // positions 4 and 5: readings at the final level (200 kN)
    const char* unloadTime;      // position 7: first unloading reading at 100 kN
    const char* zeroTime;        // position 11: first reading at 0 kN
  };
  const Case cases[] = {
      {"schedule", 1, 0, 100.0f, {"5", "15"}, "7", "7"},
      {"53 at the final level", 53, 0, 100.0f, {"10", "20"}, "7", "7"},
      {"4 with option B at the final level", 4, 1, 100.0f, {"5", "15"}, "7", "7"},
      {"77 at zero load", 77, 0, 100.0f, {"5", "15"}, "7", "10"},
      {"89 at zero load", 89, 0, 100.0f, {"5", "15"}, "7", "30"},
      {"90 whatever the control load", 90, 0, 0.0f, {"5", "15"}, "7", "30"},
  };
  for (const Case& c : cases) {
    Parameter p;
    running(p, c.standard);
    p.secondOption = c.secondOption;
    p.controlLoad = c.controlLoad;
    if (c.standard == 4) p.levelMinutes[0] = 1;  // the row of option B replaces the schedule
    std::vector<TestRecord> list = multiLevel();
    p.readingCount = static_cast<int>(list.size());
    ASSERT_EQ(JDQFile::RebuildReadings(p, list), 1) << c.name;
    EXPECT_EQ(timeOf(list[4]), c.finalTimes[0]) << c.name;
    EXPECT_EQ(timeOf(list[5]), c.finalTimes[1]) << c.name;
    EXPECT_EQ(timeOf(list[7]), c.unloadTime) << c.name;
    EXPECT_EQ(timeOf(list[11]), c.zeroTime) << c.name;
  }
}

TEST(RebuildReadings, SeventhIntervalRepeats) {
  Parameter p;
  running(p, 1);
  std::vector<TestRecord> list = {step(100, 0.1f)};
  for (int k = 0; k < 9; ++k) list.push_back(reading(0.2f));
  p.readingCount = static_cast<int>(list.size());
  ASSERT_EQ(JDQFile::RebuildReadings(p, list), 1);
  // The first reading (load reached) stands at time 0, the nine after it at the schedule's minutes.
  const char* times[] = {"0", "5", "15", "30", "50", "75", "105", "165", "225"};
  EXPECT_EQ(p.readingIndex, 9);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(timeOf(list[i]), times[i]) << i;
  // Times that do not fit five characters stay below the mark of a record without a reading.
  p.levelMinutes[6] = 60000;
  ASSERT_EQ(JDQFile::RebuildReadings(p, list), 1);
  EXPECT_EQ(timeOf(list[7]), "60105");
  EXPECT_EQ(timeOf(list[8]), "99998");
}

TEST(RebuildReadings, SettlementFromTheGaugesThatAreOn) {
  struct Case {
    const char* name;
    int standard;
    int testType;
    std::array<int, 8> on;
    float expected16, expected10, expected11;
  };
  // Gauges 1..6 read 1.111, 2.222, 3.333, 4.444, 5.555, 6.666; values 10 and 11 start at -1.
  const Case cases[] = {
      {"channels 1 and 3", 1, 1, {1, 0, 1, 0}, 2.22f, -1, -1},
      {"thousandths keep three decimals", 58, 1, {1, 0, 1, 0}, 2.222f, -1, -1},
      {"all four", 1, 1, {1, 1, 1, 1}, 2.78f, -1, -1},
      {"none on: unchanged", 1, 1, {0, 0, 0, 0}, -1, -1, -1},
      {"self-balanced halves", 1, 2, {1, 1, 1, 1}, 2.78f, 1.67f, 3.89f},
      {"self-balanced, standard 61", 61, 2, {1, 1, 1, 1, 1, 1}, 2.78f, 2.22f, 5.56f},
      {"self-balanced, one half off", 1, 2, {1, 1, 0, 0}, 1.67f, 1.67f, -1},
  };
  for (const Case& c : cases) {
    Parameter p;
    running(p, c.standard);
    p.testType = c.testType;
    for (int k = 0; k < 8; ++k) p.displacementOn[k] = c.on[k];
    TestRecord s = raw(true, 100, 1.111f, 2.222f, 3.333f, 4.444f, 5.555f, 6.666f);
    TestRecord r = raw(false, 0, 1.111f, 2.222f, 3.333f, 4.444f, 5.555f, 6.666f);
    std::vector<TestRecord> list = {s, r, r};
    for (TestRecord& x : list) x.valuesA[16] = x.valuesA[10] = x.valuesA[11] = -1.0f;
    p.readingCount = 3;
    ASSERT_EQ(JDQFile::RebuildReadings(p, list), 1) << c.name;
    for (int i = 0; i < 2; ++i) {
      EXPECT_FLOAT_EQ(list[i].valuesA[16], c.expected16) << c.name << " " << i;
      EXPECT_FLOAT_EQ(list[i].valuesA[10], c.expected10) << c.name << " " << i;
      EXPECT_FLOAT_EQ(list[i].valuesA[11], c.expected11) << c.name << " " << i;
    }
  }
}

// A test opened from its file is rebuilt with the file's own standard, schedule and gauges, not the
// channel's.
TEST(RebuildReadings, OpenedTestUsesItsHeaderRecords) {
  Parameter file;
  file.ParameterList.extendWithDefaults();
  for (int k = 1; k <= 8; ++k) file.ParameterList.set(k, k == 2 ? 1.0f : 0.0f);  // only gauge 2
  file.ParameterList.set(51, 1.0f);
  file.ParameterList.set(64, 1.0f);
  file.ParameterList.set(27, 200.0f);
  for (int k = 0; k < 6; ++k) {
    file.ParameterList.set(39 + k, 3.0f);  // loading every 3 minutes
    file.ParameterList.set(45 + k, 4.0f);
  }
  file.ParameterList.set(86, 3.0f);
  file.ParameterList.set(87, 4.0f);
  ASSERT_EQ(JDQFile::BuildHeaderRecords(file), 1);
  std::vector<TestRecord> list = file.testRecords;
  const std::vector<TestRecord> readings = {raw(true, 100, 0.1f, 0.2f), raw(false, 0, 0.3f, 0.4f),
                                            raw(false, 0, 0.5f, 0.6f)};
  for (std::size_t i = 0; i < readings.size(); ++i) {
    TestRecord& r = list[i];
    std::memcpy(r.marker, readings[i].marker, 5);
    std::memcpy(r.stepMark, readings[i].stepMark, 5);
    std::memcpy(r.time, readings[i].time, 5);
    std::memcpy(r.valuesA, readings[i].valuesA, sizeof r.valuesA);
  }
  Parameter viewer;
  running(viewer, 58);
  viewer.testRunning = 0;
  viewer.readingCount = 0;  // the channel's own test has no readings
  ASSERT_EQ(JDQFile::RebuildReadings(viewer, list), 1);
  EXPECT_EQ(viewer.readingIndex, 2);
  EXPECT_EQ(timeOf(list[0]), "0");
  EXPECT_EQ(timeOf(list[1]), "3");
  EXPECT_FLOAT_EQ(list[0].valuesA[16], 0.4f);  // gauge 2 only, two decimals
  EXPECT_FLOAT_EQ(list[1].valuesA[16], 0.6f);
  EXPECT_EQ(timeOf(list[3]), "99999");          // the records without readings stay as they are
}

}  // namespace

// What a rebuild keeps for the next is a digest of the records it judged, not a copy: a few fixed
// fields, whatever the list's length.
static_assert(std::is_trivially_copyable_v<RebuildResume> && sizeof(RebuildResume) <= 256);

// A rebuild goes on from where the one before it stood when the list's first records still read as it
// left them. Whatever happens to the list between two rebuilds (readings appended over the end record,
// an earlier reading corrected or left out, a marker or a kept minute's mark changed, the gauges or the
// standard changed, the end record moved back), the list must come out byte for byte as a rebuild from the first record
// leaves it.
TEST(RebuildReadings, GoingOnFromTheLastRebuildEqualsRebuildingFromTheStart) {
  for (const unsigned seed : {1u, 2u, 3u, 4u, 5u, 6u}) {
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    Parameter p;  // keeps what its rebuilds leave for the next one
    running(p, 1);
    std::vector<TestRecord> list;
    float load = 0.0f;
    auto append = [&]() {
      TestRecord r;
      if (list.empty() || pick(12) == 0) {
        load = std::max(0.0f, load + static_cast<float>(pick(5) - 1) * 50.0f);
        r = step(load, 0.01f * static_cast<float>(pick(300)));
      } else if (pick(15) == 0) {
        r = leftOut(0.01f * static_cast<float>(pick(300)), pick(2) == 0 ? 0 : 5, pick(2) == 0 ? 0x40 : 0x01);
      } else if (pick(15) == 0) {
        r = ownMinute(0.01f * static_cast<float>(pick(300)), static_cast<float>(pick(400)));
      } else if (pick(15) == 0) {
        r = keptMinute(0.01f * static_cast<float>(pick(300)), static_cast<float>(pick(400)));
      } else {
        r = raw(false, load, 0.01f * static_cast<float>(pick(300)), 0.01f * static_cast<float>(pick(300)));
      }
      if (!list.empty() && record_values::isEndRecord(list.back())) list.back() = r;
      else list.push_back(r);
      TestRecord end = JDQFile::BlankTestRecord();
      JDQFile::SetEmptyMarks(end);
      list.push_back(end);
      p.readingCount = static_cast<int>(list.size()) - 1;
    };
    for (int round = 0; round < 400; ++round) {
      const int what = pick(40);
      if (what == 0 && list.size() > 2) {
        list[static_cast<std::size_t>(pick(static_cast<int>(list.size()) - 1))].valuesA[3] += 0.5f;
      } else if (what == 1 && list.size() > 2) {
        list[static_cast<std::size_t>(pick(static_cast<int>(list.size()) - 1))].tail2[5] ^= 0x01;
      } else if (what == 2 && list.size() > 2) {
        TestRecord& r = list[static_cast<std::size_t>(pick(static_cast<int>(list.size()) - 1))];
        std::memcpy(r.marker, record_values::isStepRecord(r) ? "10:30" : "--:--", 5);
      } else if (what == 3) {
        p.displacementOn[static_cast<std::size_t>(pick(4))] = pick(2);
      } else if (what == 4) {
        p.standardCode = pick(2) == 0 ? 1 : 4;
        p.secondOption = pick(2);
      } else if (what == 5 && list.size() > 12) {
        // The test taken back to an earlier reading: an end record there.
        const std::size_t at = list.size() - 1 - static_cast<std::size_t>(pick(10));
        JDQFile::SetEmptyMarks(list[at]);
        list.resize(at + 1);
        p.readingCount = static_cast<int>(at);
      } else if (what == 7 && list.size() > 2) {
        // An earlier reading's kept minute marked or unmarked.
        char& mark = list[static_cast<std::size_t>(pick(static_cast<int>(list.size()) - 1))]
                         .tail2[record_values::kMinuteMarkByte];
        mark = mark == record_values::kMinuteKept ? '\0' : record_values::kMinuteKept;
      } else if (what == 6 && list.size() > 12) {
        // An end record inside the records counted: the rebuild stops there.
        JDQFile::SetEmptyMarks(list[list.size() - 6]);
      } else {
        append();
      }
      std::vector<TestRecord> fresh = list;
      Parameter q;  // rebuilds from the first record
      running(q, p.standardCode);
      for (int g = 0; g < 8; ++g) q.displacementOn[static_cast<std::size_t>(g)] = p.displacementOn[static_cast<std::size_t>(g)].load();
      q.secondOption = p.secondOption.load();
      q.readingCount = p.readingCount;
      q.readingIndex = p.readingIndex;
      const int expected = JDQFile::RebuildReadings(q, fresh);
      ASSERT_EQ(JDQFile::RebuildReadings(p, list), expected) << "round " << round;
      ASSERT_EQ(p.readingIndex, q.readingIndex) << "round " << round;
      ASSERT_EQ(fresh.size(), list.size());
      for (std::size_t i = 0; i < list.size(); ++i)
        ASSERT_EQ(std::memcmp(&fresh[i], &list[i], sizeof(TestRecord)), 0) << "round " << round << ", record " << i;
    }
    EXPECT_GT(p.rebuildResume.index, 0);
  }
}
