// Restore of a channel from the header records of its test: a test interrupted while it ran is
// resumed with its running state, rebuilt readings, a fresh judgement and its upload queues; a finished
// one only gives back its settings.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "model/computations.h"
#include "model/datafiles.h"
#include "model_fixture.h"
#include "readings_fixture.h"

namespace {

// Settlements of the level after the step record: 1.50 when its load was reached, 1.55, 1.60, then
// the last one.
void addReadings(std::vector<TestRecord>& r, float last) {
  const float s[5] = {1.0f, 1.5f, 1.55f, 1.6f, last};
  for (int i = 0; i < 5; ++i) {
    TestRecord& x = r[static_cast<std::size_t>(i)];
    std::memcpy(x.marker, i == 0 ? "--:--" : "09:00", 5);
    std::memcpy(x.stepMark, x.marker, 5);
    setTimeText(x, "99");
    x.valuesA[0] = i == 0 ? 100.0f : 98.0f;
    for (int g = 0; g < 6; ++g) x.valuesA[2 + g] = s[i];
  }
}

class RestoreFromHeader : public DeviceRoot {
 protected:
  // The records of a test with standard `standard`: judged every 30 minutes twice, limit 0.10 mm,
  // readings every 30 minutes, gauges 1-4; its running state as the main window last wrote it.
  std::vector<TestRecord> storedTest(int standard, int phase, float last, int runSwitch2 = 0) {
    Parameter src;
    src.ParameterList.extendWithDefaults();
    ParameterList& l = src.ParameterList;
    for (int k = 1; k <= 8; ++k) l.set(k, k <= 4 ? 1.0f : 0.0f);
    l.set(51, static_cast<float>(standard));
    l.set(64, 1.0f);
    l.set(27, 200.0f);
    l.set(35, 60.0f);
    l.set(36, 30.0f);
    l.set(37, 2.0f);
    l.set(38, 0.1f);
    l.set(59, 0.0f);
    l.set(60, 1.0f);
    for (int k = 39; k <= 50; ++k) l.set(k, 30.0f);
    l.set(86, 30.0f);
    l.set(87, 30.0f);
    EXPECT_EQ(JDQFile::BuildHeaderRecords(src), 1);
    addReadings(src.testRecords, last);
    src.readingCount = 5;
    src.standardCode = standard;
    src.loadingPhase = phase;
    src.controlLoad = 100.0f;
    src.stepLoad3 = 200.0f;
    src.runCounters = {3, 4, 5};
    src.runCounter4 = 6;
    src.runSwitch1 = 1;
    src.runSwitch2 = static_cast<byte>(runSwitch2);
    src.runValue = 12.5f;
    src.nextReadingSeconds = 3723;
    src.runCounter5 = 7;
    src.elapsedCounter = 2240611200LL;  // next reading 2041-01-01 00:00:00
    src.procedure.levelClockAt = 2240610000LL;
    EXPECT_EQ(UpdateStateRecords(src), 1);
    JDQFile::SetHeaderText(src.testRecords, 51, 1, "-3600");
    JDQFile::SetHeaderText(src.testRecords, 33, 2, "0.25");
    JDQFile::SetHeaderText(src.testRecords, 46, 2, "1.5");
    JDQFile::SetHeaderText(src.testRecords, 59, 2, "-1");
    JDQFile::SetHeaderText(src.testRecords, 60, 2, "0");
    return src.testRecords;
  }

  // A queue file with three slots, the middle one sent.
  void writeQueueFile(const std::string& path) {
    std::string bytes(3 * kQueueRecordSize, 'A');
    std::memcpy(&bytes[kQueueRecordSize], "OVER", 4);
    writeAll(path, bytes);
  }

  void prepare(Parameter& p, std::vector<TestRecord> records, bool resume) {
    makeFolder("\\Storage Card\\");
    p.testRecords = std::move(records);
    p.resumeMarker = resume ? 1 : 0;
    p.channelName = "1";
    p.moduleQueuePath = "\\Storage Card\\t1.gps";
    p.boxQueuePath = "\\Storage Card\\t1.gpsw";
    writeQueueFile(p.moduleQueuePath);
    writeQueueFile(p.boxQueuePath);
  }
};

TEST_F(RestoreFromHeader, ResumedTestGetsItsRunningStateAndIsJudged) {
  Parameter p;
  prepare(p, storedTest(1, 2, 1.64f), true);
  JDQFile::RestoreFromHeader(p, p.testRecords);

  EXPECT_EQ(p.testRunning, 1);
  EXPECT_EQ(p.standardCode, 1);
  EXPECT_EQ(p.readingCount, 5);
  // Rebuilt readings: level 100 from time 0 (the reading at load reached), every 30 minutes.
  EXPECT_EQ(p.readingIndex, 4);
  const char* times[] = {"0", "30", "60", "90"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(std::string(p.testRecords[i].time, strnlen(p.testRecords[i].time, 5)), times[i]) << i;
    EXPECT_FLOAT_EQ(p.testRecords[i].valuesA[17], 100.0f) << i;
  }
  EXPECT_FLOAT_EQ(p.testRecords[3].valuesA[16], 1.64f);
  // The level had become stable before the power went: the judgement catches up.
  EXPECT_EQ(p.loadingPhase, 4);
  EXPECT_EQ(p.runCounters, (std::array<int, 3>{3, 4, 5}));
  EXPECT_EQ(p.runCounter4, 6);
  EXPECT_EQ(p.runSwitch1, 1);
  EXPECT_EQ(p.runSwitch2, 0);
  EXPECT_FLOAT_EQ(p.runValue, 12.5f);
  EXPECT_EQ(p.nextReadingSeconds, 3723);
  EXPECT_EQ(p.nextReadingText, "00 : 02 : 03") << "01:02:03 of the instrument in the test clock, an hour back";
  EXPECT_EQ(p.runCounter5, 7);
  EXPECT_EQ(p.elapsedCounter, 2240611200LL);
  EXPECT_EQ(p.procedure.levelClockAt, 2240610000LL);
  EXPECT_EQ(p.clockShift, -3600);
  EXPECT_FLOAT_EQ(p.sensorTableA[0], 0.25f);
  EXPECT_FLOAT_EQ(p.sensorTableB[0], 1.5f);
  EXPECT_EQ(p.sensorTableC[0], -1);
  EXPECT_EQ(p.sensorTableC[1], 1);  // 0 stands for direction 1
  // Both queues hold the slots not yet sent.
  ASSERT_EQ(p.moduleQueue.size(), 2u);
  EXPECT_EQ(p.moduleQueue[1].slot, 2);
  EXPECT_EQ(p.boxQueue.size(), 2u);
}

// Files of older builds keep only the low 32 bits of the next reading's time, and no time 0 of the
// level: they still load, with the time read right on either side of 2038.
TEST_F(RestoreFromHeader, NextReadingTimeOfOlderFiles) {
  const struct {
    const char* stored;
    long long expected;
  } cases[] = {{"1700000000", 1700000000LL}, {"-2054356096", 2240611200LL}, {"", 0}};
  for (const auto& c : cases) {
    std::vector<TestRecord> records = storedTest(1, 2, 1.70f);
    JDQFile::SetHeaderText(records, 56, 1, c.stored);
    JDQFile::SetHeaderText(records, 56, 3, "");
    Parameter p;
    prepare(p, records, true);
    JDQFile::RestoreFromHeader(p, p.testRecords);
    EXPECT_EQ(p.elapsedCounter, c.expected) << c.stored;
    EXPECT_EQ(p.procedure.levelClockAt, 0) << c.stored;
  }
}

TEST_F(RestoreFromHeader, ResumedPhasesAndSwitches) {
  struct Case {
    const char* name;
    int standard;
    int phase;
    float last;
    int runSwitch2;
    int expectedPhase;
  };
  const Case cases[] = {
      {"holding, not yet stable", 1, 2, 1.70f, 0, 2},
      {"re-loading, stable", 1, 3, 1.64f, 0, 4},
      {"switch 2 on: no judgement", 1, 2, 1.64f, 1, 2},
      {"loading: no judgement", 1, 1, 1.64f, 0, 1},
      {"unloading readings: no judgement", 1, 6, 1.64f, 0, 6},
      {"cyclic lateral standard: no judgement", 62, 2, 1.64f, 0, 2},
  };
  for (const Case& c : cases) {
    Parameter p;
    prepare(p, storedTest(c.standard, c.phase, c.last, c.runSwitch2), true);
    const std::vector<TestRecord> before = p.testRecords;
    JDQFile::RestoreFromHeader(p, p.testRecords);
    EXPECT_EQ(p.testRunning, 1) << c.name;
    EXPECT_EQ(p.loadingPhase, c.expectedPhase) << c.name;
    if (c.standard == 62) {  // not rebuilt either
      EXPECT_EQ(std::memcmp(before.data(), p.testRecords.data(), before.size() * sizeof(TestRecord)), 0);
    }
  }
}

TEST_F(RestoreFromHeader, FinishedTestGivesBackOnlyItsSettings) {
  Parameter p;
  prepare(p, storedTest(1, 2, 1.64f), false);
  p.loadingPhase = -1;
  p.runCounter5 = 99;
  const std::vector<TestRecord> before = p.testRecords;
  JDQFile::RestoreFromHeader(p, p.testRecords);

  EXPECT_EQ(p.standardCode, 1);
  EXPECT_EQ(p.holdMinutes, 60);
  EXPECT_EQ(p.readingCount, 5);
  EXPECT_EQ(p.testRunning, 0);
  EXPECT_EQ(p.loadingPhase, -1);
  EXPECT_EQ(p.runCounter5, 99);
  EXPECT_TRUE(p.moduleQueue.empty());
  EXPECT_TRUE(p.boxQueue.empty());
  EXPECT_EQ(std::memcmp(before.data(), p.testRecords.data(), before.size() * sizeof(TestRecord)), 0);
}

TEST_F(RestoreFromHeader, RatingDataWithoutAFittingJackFallsBackToCoefficients) {
  std::vector<TestRecord> records = storedTest(1, 2, 1.64f);
  JDQFile::SetHeaderText(records, 13, 3, "2");  // rating data
  JDQFile::SetHeaderText(records, 12, 3, "1");  // oil-pressure sensor
  JDQFile::SetHeaderText(records, 12, 1, "77");
  Parameter p;
  prepare(p, records, false);
  JDQFile::RestoreFromHeader(p, p.testRecords);  // no "QJDdat.dat" anywhere
  EXPECT_EQ(p.pressureMethod, 1);
}

TEST_F(RestoreFromHeader, ResumedTestWithoutReadings) {
  Parameter p;
  std::vector<TestRecord> records = storedTest(1, 2, 1.64f);
  for (int i = 0; i < 5; ++i) JDQFile::SetEmptyMarks(records[i]);
  prepare(p, records, true);
  p.moduleQueuePath.clear();
  p.boxQueuePath.clear();
  JDQFile::RestoreFromHeader(p, p.testRecords);
  EXPECT_EQ(p.testRunning, 1);
  EXPECT_EQ(p.readingCount, 0);
  EXPECT_EQ(p.readingIndex, 0);
  EXPECT_EQ(p.loadingPhase, 2);
  EXPECT_TRUE(p.moduleQueue.empty());
}

}  // namespace
