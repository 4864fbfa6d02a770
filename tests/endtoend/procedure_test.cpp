// The procedure's decisions one at a time, on a channel whose test runs against a simulated pile.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

#include "model/computations.h"
#include "upload/wire_number.h"
#include "platform/text/text.h"

#include "tests/endtoend/instrument.h"

using namespace endtoend;

namespace {

// Runs channel 1 until its first level holds with a reading scheduled.
void untilHolding(Instrument& inst) {
  Parameter& p = inst.ch(1);
  ASSERT_TRUE(inst.runUntil(
      [&] { return p.loadingPhase.load() >= 2 && p.loadingPhase.load() <= 3 && p.procedure.readingIndex >= 1; },
      2));
}

}  // namespace

TEST(TargetPressure, BySensorAndSettings) {
  struct Case {
    int sensor, setting;
    float coefficient, k, target;
    int testType, method;
    float expect;
  } cases[] = {
      {0, 60, 1.0f, 1.0f, 1000.0f, 1, 1, 0.0f},              // load cell
      {2, 60, 1.0f, 1.0f, 1000.0f, 1, 1, 1000.0f / 53.0f},   // 3200 / 60 is 53
      {2, 0, 1.0f, 1.0f, 1000.0f, 1, 1, 0.0f},               // no divisor
      {2, 3201, 1.0f, 1.0f, 1000.0f, 1, 1, 0.0f},            // 3200 / 3201 is 0
      {1, 60, 2.0f, 1.0f, 1000.0f, 1, 1, 25.0f},             // 1000 / (20 x 2)
      {1, 60, 0.0f, 1.0f, 1000.0f, 1, 1, 0.0f},              // no sensor coefficient
      {1, 1201, 2.0f, 1.0f, 1000.0f, 1, 1, 0.0f},
      {2, 60, 1.0f, 1.0f, 1000.0f, 0, 1, 2.0f * 1000.0f / 53.0f},  // plate: times item 23
      {2, 60, 1.0f, 1.0f, 1000.0f, 1, 3, 1000.0f / 53.0f + 0.5f},  // regression: plus item 62
  };
  for (const Case& c : cases) {
    Parameter p;
    p.forceSensorType = c.sensor;
    p.sensorSetting = c.setting;
    p.sensorCoefficient = c.coefficient;
    p.link.jackK = c.k;
    p.testType = c.testType;
    p.setupValue = 2.0f;
    p.pressureMethod = c.method;
    p.jackCoefficientC = 0.5f;
    EXPECT_NEAR(frontend::TargetPressure(p, c.target), c.expect, 1e-3)
        << "sensor " << c.sensor << " setting " << c.setting << " type " << c.testType;
  }
}

// With three good replies or fewer nothing is recorded, even at the due time.
TEST(ControlTick, NoReadingBeforeFourGoodReplies) {
  Instrument inst;
  inst.start(1, TestSetup{});
  untilHolding(inst);
  Parameter& p = inst.ch(1);
  const int before = p.readingCount;
  p.localTime = clk::fromSeconds(p.procedure.nextReadingAt + 2);
  p.link.goodCount = 3;
  inst.procedure->ControlTick(p, "1");
  EXPECT_EQ(p.readingCount, before);
  p.link.goodCount = 4;
  inst.procedure->ControlTick(p, "1");
  EXPECT_EQ(p.readingCount, before + 1);
}

// A channel whose test clock is shifted (the date dialog during its test) shows the time of its next
// reading, and the time while it is paused, in the test clock's time.
TEST(ControlTick, TimesShownInTheTestClock) {
  Instrument inst;
  inst.start(1, TestSetup{});
  untilHolding(inst);
  Parameter& p = inst.ch(1);
  p.clockShift = 1800;
  const std::int64_t due = p.procedure.nextReadingAt;
  p.localTime = clk::fromSeconds(due + 2);
  const int before = p.readingCount;
  inst.procedure->ControlTick(p, "1");
  ASSERT_EQ(p.readingCount, before + 1);
  const clk::DateTime next = clk::fromSeconds(p.procedure.nextReadingAt + 1800);
  EXPECT_EQ(p.nextReadingText, platform::text::format("%02d : %02d : %02d", next.hour, next.minute, next.second));
  p.paused = 1;
  p.localTime = clk::fromSeconds(due + 65);
  inst.procedure->ControlTick(p, "1");
  const clk::DateTime shown = clk::fromSeconds(due + 65 + 1800);
  EXPECT_EQ(p.timeText, platform::text::format("%02d : %02d : %02d", shown.hour, shown.minute, shown.second));
}

// The due window is [next, next + 10 s] of the instrument's absolute time, also across midnight.
TEST(ControlTick, ScheduleAcrossMidnight) {
  Instrument inst;
  clk::DateTime late{2026, 3, 1, 23, 20, 0};
  ASSERT_TRUE(clk::setLocalTime(late));
  inst.start(1, TestSetup{});
  Parameter& p = inst.ch(1);
  ASSERT_TRUE(inst.runUntil([&] { return p.link.levelNumber.load() == 2; }, 6));
  const auto levels = levelsOf(readingsOf(inst.loadFile("\\Storage Card\\2026001-P1.krv")));
  ASSERT_GE(levels.size(), 1u);
  std::vector<int> minutes;
  for (const Reading& r : levels[0].readings) minutes.push_back(r.minutes);
  EXPECT_EQ(minutes, (std::vector<int>{0, 5, 15, 30, 45, 60, 90, 120}));
  // The readings after midnight carry the new day's times (the load is reached at about 23:21).
  EXPECT_EQ(levels[0].readings[3].marker.substr(0, 2), "23");
  EXPECT_EQ(levels[0].readings[4].marker.substr(0, 2), "00");
}

// Automatic advance off: a stable level signals for 30 ticks, then waits in phase 0; "load the next
// level" starts the next level.
TEST(ControlTick, WaitsAfterStableWithoutAutomaticAdvance) {
  Instrument inst;
  inst.start(1, TestSetup{});
  Parameter& p = inst.ch(1);
  p.procedure.autoAdvance = 0;
  ASSERT_TRUE(inst.runUntil([&] { return p.loadingPhase.load() == 4; }, 4));
  inst.step();
  EXPECT_EQ(p.link.auxOutput.load(), 0);  // 400 + 200 does not pass the maximum: no signal
  ASSERT_TRUE(inst.runUntil([&] { return p.loadingPhase.load() == 0; }, 1));
  EXPECT_EQ(p.procedure.waitingAfterStable, 1);
  EXPECT_FLOAT_EQ(p.controlLoad.load(), 400.0f);
  const int readings = p.readingCount;
  inst.runFor(20);
  EXPECT_EQ(p.loadingPhase.load(), 0);
  EXPECT_EQ(p.readingCount, readings);
  EXPECT_FALSE(inst.procedure->RequestNextLevel(inst.ch(2)));
  ASSERT_TRUE(inst.procedure->RequestNextLevel(p));
  inst.runFor(1);
  EXPECT_FLOAT_EQ(p.controlLoad.load(), 600.0f);
  EXPECT_EQ(p.link.levelNumber.load(), 2);
  ASSERT_GT(p.readingCount, readings);
  const TestRecord& start = p.testRecords[static_cast<std::size_t>(readings)];
  EXPECT_EQ(std::string(start.marker, 5), "--:--");  // the level start of 600 kN
  EXPECT_FLOAT_EQ(start.valuesA[0], 600.0f);
}

// At the maximum load the controller signals; a refused unloading question leaves the test waiting in
// phase 0 with its file open.
TEST(ControlTick, RefusedMaximumLoadQuestion) {
  Instrument inst;
  TestSetup t;
  t.maxLoad = 400.0f;
  inst.start(1, t);
  Parameter& p = inst.ch(1);
  inst.window.answers = {2};
  ASSERT_TRUE(inst.runUntil([&] { return p.loadingPhase.load() == 4; }, 4));
  inst.step();
  EXPECT_EQ(p.link.auxOutput.load(), 255);
  ASSERT_TRUE(inst.runUntil([&] { return !inst.window.questions.empty(); }, 1));
  EXPECT_EQ(p.loadingPhase.load(), 0);
  EXPECT_EQ(p.testRunning.load(), 1);
  EXPECT_FALSE(p.testFilePath.empty());
  EXPECT_FLOAT_EQ(p.controlLoad.load(), 400.0f);
  inst.runFor(10);
  EXPECT_EQ(inst.window.questions.size(), 1u);
  EXPECT_EQ(p.loadingPhase.load(), 0);
}

// The end of an unloading level by standard and reading count, and the zero-load end.
TEST(CheckCycleEnd, UnloadingLevels) {
  struct Case {
    int code;
    int readings;
    float target;
    float expectTarget;  // < 0: the test ended
    int expectPhase;
  } cases[] = {
      {89, 5, 800.0f, 800.0f, 6},   // six readings needed
      {89, 6, 800.0f, 400.0f, 6},
      {5, 2, 800.0f, 800.0f, 6},
      {5, 3, 800.0f, 400.0f, 6},    // two steps of 200
      {5, 3, 400.0f, 0.0f, 5},      // the last level goes on to zero load
      {6, 1, 800.0f, 400.0f, 6},
      {7, 2, 800.0f, 400.0f, 6},
      {999, 6, 800.0f, 800.0f, 6},  // never by count
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "standard " << c.code << ", " << c.readings << " readings");
    Instrument inst;
    inst.start(1, TestSetup{});
    Parameter& p = inst.ch(1);
    p.standardCode = c.code;
    p.levelMinutes[14] = 2;
    p.controlLoad = c.target;
    p.loadingPhase = 6;
    p.procedure.readingIndex = c.readings;
    inst.procedure->CheckCycleEnd(p, "1");
    EXPECT_FLOAT_EQ(p.controlLoad.load(), c.expectTarget);
    EXPECT_EQ(p.loadingPhase.load(), c.expectPhase);
    EXPECT_EQ(p.testRunning.load(), 1);
  }
  // Standard 0 ends when its level counter passes 8.
  Instrument inst;
  inst.start(1, TestSetup{});
  Parameter& p = inst.ch(1);
  p.standardCode = 0;
  p.controlLoad = 200.0f;
  p.loadingPhase = 6;
  p.procedure.levelCounter = 8;
  p.procedure.readingIndex = 4;
  inst.procedure->CheckCycleEnd(p, "1");
  EXPECT_EQ(p.testRunning.load(), 0);
  EXPECT_TRUE(p.testFilePath.empty());
}

// The stop button twice at zero target: released, and the tick does not stop the pump again.
TEST(ProcedureActions, PumpStopReleasedAtZeroTarget) {
  Instrument inst;
  TestSetup t;
  t.loadingMode = 0;
  inst.start(1, t);
  untilHolding(inst);
  Parameter& p = inst.ch(1);
  p.controlLoad = 0.0f;
  p.previousLoad = 0.0f;
  p.loadingPhase = 6;
  EXPECT_EQ(inst.procedure->TogglePumpStop(p), 0);
  EXPECT_EQ(p.pumpForcedStop.load(), 64);
  EXPECT_EQ(inst.window.controls[1038], "强停");
  EXPECT_EQ(inst.procedure->TogglePumpStop(p), 0);
  EXPECT_EQ(p.pumpForcedStop.load(), 0);
  EXPECT_EQ(p.procedure.stopRelease, 1);
  p.localTime = clk::localTime();
  inst.procedure->ControlTick(p, "1");
  EXPECT_EQ(p.pumpForcedStop.load(), 0);
  // Without the release the tick stops the single-circuit pump at zero load.
  p.procedure.stopRelease = 0;
  inst.procedure->ControlTick(p, "1");
  EXPECT_EQ(p.pumpForcedStop.load(), 64);
}

// Pausing an idle channel does nothing; a resume clears the alarm's pause requests.
TEST(ProcedureActions, PauseOnlyForARunningTest) {
  Instrument inst;
  Parameter& idle = inst.ch(2);
  inst.procedure->TogglePause(idle);
  EXPECT_EQ(idle.paused.load(), 0);
  EXPECT_TRUE(inst.window.controls.empty());

  inst.start(1, TestSetup{});
  Parameter& p = inst.ch(1);
  inst.procedure->TogglePumpStop(p);
  inst.procedure->TogglePause(p);
  p.link.pauseRequest[LinkState::Settlement] = 1;
  p.link.persistence[LinkState::Settlement] = 12;
  p.link.stopState = 2;
  p.link.pauseRequested = 1;
  inst.procedure->ResumeTest(p);
  EXPECT_EQ(p.paused.load(), 0);
  EXPECT_EQ(p.link.pauseRequest[LinkState::Settlement], 0);
  EXPECT_EQ(p.link.persistence[LinkState::Settlement], 0);
  EXPECT_EQ(p.link.stopState.load(), 0);
  EXPECT_EQ(p.link.pauseRequested.load(), 0);
  // The resume releases the pump stop: the next reading carries the pause and the schedule break,
  // not a stopped pump.
  EXPECT_EQ(p.pumpForcedStop.load(), 0);
  p.loadingPhase = 2;
  p.localTime = clk::localTime();
  ASSERT_EQ(inst.procedure->RecordReading(p, "1"), 1);
  const TestRecord& r = p.testRecords[static_cast<std::size_t>(p.readingCount - 1)];
  EXPECT_EQ(r.tail2[1] & 32, 32);
  EXPECT_EQ(r.tail2[3], 8);
}

// Upload route 1 queues nothing; a reading in phase 0 records nothing; a cyclic standard is never
// judged stable by the recorder and keeps its reload counter and target in values 13 and 17.
TEST(RecordReading, RouteIdleAndCyclicStandards) {
  Instrument inst;
  TestSetup t;
  t.route = 1.0f;
  inst.start(1, t);
  untilHolding(inst);
  Parameter& p = inst.ch(1);
  EXPECT_TRUE(p.moduleQueue.empty());
  EXPECT_TRUE(p.boxQueue.empty());
  EXPECT_TRUE(queueSlots(inst.hostPath("\\Storage Card\\2026001-P1.gps")).empty());

  const int before = p.readingCount;
  p.loadingPhase = 0;
  EXPECT_EQ(inst.procedure->RecordReading(p, "1"), 0);
  EXPECT_EQ(p.readingCount, before);

  p.loadingPhase = 2;
  p.standardCode = 62;
  p.procedure.reloadCounter = 3;
  for (int k = 0; k < 8; ++k) EXPECT_EQ(inst.procedure->RecordReading(p, "1"), 1);
  EXPECT_EQ(p.loadingPhase.load(), 2);
  const TestRecord& r = p.testRecords[static_cast<std::size_t>(p.readingCount - 1)];
  EXPECT_FLOAT_EQ(r.valuesA[13], 3.0f);
  EXPECT_FLOAT_EQ(r.valuesA[17], p.controlLoad.load());

  // A damaged record index does not make a gap: the reading follows the last record in memory.
  const std::size_t size = p.testRecords.size();
  p.readingCount = 1000000000;
  EXPECT_EQ(inst.procedure->RecordReading(p, "1"), 1);
  EXPECT_EQ(p.readingCount, static_cast<int>(size) + 1);
  EXPECT_EQ(p.testRecords.size(), size + 2);
}

// With the minute upload (item 74) and the text export on, every full minute of a hold leaves 60
// samples in each export file and a live-value record in each queue; readings keep their own kind.
TEST(ControlTick, MinuteUploadAndTextExport) {
  Instrument inst;
  TestSetup t;
  t.minuteUpload = 1.0f;
  inst.start(1, t);
  Parameter& p = inst.ch(1);
  p.procedure.textExport = 1;
  untilHolding(inst);  // the reading at 5 minutes of the level is taken
  inst.runFor(8);      // to minute 13: no reading is due
  const auto slots = queueSlots(inst.hostPath("\\Storage Card\\2026001-P1.gps"));
  const auto box = queueSlots(inst.hostPath("\\Storage Card\\2026001-P1.gpsw"));
  ASSERT_EQ(slots.size(), box.size());
  // Reading kind (logical byte 36, sent at 81): 0xFF level start, 2 live minute values, 0 a reading.
  int starts = 0, minutes = 0, readings = 0;
  for (const std::string& s : slots) {
    const auto kind = static_cast<unsigned char>(s[81]);
    starts += kind == 0xFF;
    minutes += kind == 2;
    readings += kind == 0;
  }
  EXPECT_EQ(starts, 1);
  EXPECT_EQ(readings, p.readingCount - 1);
  EXPECT_GE(minutes, 11);  // 4 full minutes before the reading at 5, 8 after it (one may fall on a reading)
  EXPECT_LE(minutes, 12);
  auto lines = [&](const std::string& name) {
    const std::string bytes = [&] {
      std::ifstream f(inst.hostPath(name), std::ios::binary);
      return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }();
    const std::string text = platform::text::utf16leToUtf8(bytes);
    int n = 0;
    for (std::size_t k = 0; k + 1 < text.size(); ++k) n += text[k] == '\r' && text[k + 1] == '\n';
    return n;
  };
  const int even = lines("\\Storage Card\\2026001-P1.txt");
  EXPECT_EQ(even, lines("\\Storage Card\\2026001-P1BL.txt"));
  EXPECT_EQ(even % 60, 0);
  // A minute that completes on a reading's tick is exported, but the reading takes its upload.
  EXPECT_GE(even / 60, minutes);
  EXPECT_LE(even / 60, minutes + 1);
}

// A new level of standard 53 resets the judgement's comparison mode (item 59) and leaves the
// refill-unit mode (item 58, the re-load limit as a percentage) alone.
TEST(ControlTick, NewLevelCriteriaOfStandard53) {
  Instrument inst;
  TestSetup t;
  t.code = 53;
  inst.start(1, t);
  Parameter& p = inst.ch(1);
  p.criterionMode1 = 1;
  p.link.reloadPercent = 1;
  p.criterionMode3 = 1;
  p.holdMinutes = 15;
  ASSERT_TRUE(inst.runUntil([&] { return p.link.levelNumber.load() >= 1 && p.loadingPhase.load() >= 2; }, 1));
  EXPECT_EQ(p.criterionMode3.load(), 0);
  EXPECT_EQ(p.holdMinutes.load(), 60);
  EXPECT_EQ(p.criterionMode1.load(), 1);
  EXPECT_EQ(p.link.reloadPercent.load(), 1);
}

// A program restarted in the third level (power loss): the running state comes back from the test
// file's header records, the procedure takes its own state from it, and the test goes on to its end
// without a spurious level.
TEST(ControlTick, GoesOnAfterARestartFromTheHeaderRecords) {
  Instrument inst;
  TestSetup t;
  t.maxLoad = 1000.0f;
  inst.start(1, t);
  Parameter& p = inst.ch(1);
  ASSERT_TRUE(inst.runUntil([&] { return p.link.levelNumber.load() == 3 && p.procedure.readingIndex >= 3; }, 10));
  const int readings = p.readingCount;
  const int index = p.procedure.readingIndex;
  const std::int64_t next = p.procedure.nextReadingAt;

  // What a restarted program has: the file, and nothing of the tick's state.
  inst.restart(1);
  EXPECT_EQ(p.readingCount, readings);
  EXPECT_EQ(p.procedure.readingIndex, index);
  EXPECT_EQ(p.procedure.nextReadingAt, next);
  EXPECT_EQ(p.link.levelNumber.load(), 3);

  ASSERT_TRUE(inst.runUntil([&] { return p.testRunning.load() == 0; }, 30));
  inst.runFor(1);
  EXPECT_EQ(p.testRunning.load(), 0);  // ending a resumed test does not resume it again
  const auto levels = levelsOf(readingsOf(inst.loadFile("\\Storage Card\\2026001-P1.krv")));
  std::vector<float> loads;
  for (const Level& l : levels) loads.push_back(l.load);
  EXPECT_EQ(loads, (std::vector<float>{400, 600, 800, 1000, 600, 200, 0}));
}

// With the platform-text switch on, the external box gets a text frame for each reading that is not a
// level start, and the binary record only for level starts; the module keeps its binary records.
TEST(RecordReading, PlatformTextsForTheBox) {
  Instrument inst;
  inst.start(1, TestSetup{});
  Parameter& p = inst.ch(1);
  p.platformTextSwitch = 1;
  ASSERT_TRUE(inst.runUntil([&] { return p.link.levelNumber.load() == 2 && p.procedure.readingIndex >= 1; }, 4));
  const int readings = p.readingCount;
  std::size_t texts;
  {
    std::lock_guard<std::mutex> lock(p.queueLock);
    texts = p.platformTexts.size();
    ASSERT_GT(texts, 0u);
    EXPECT_EQ(p.platformTexts.front().rfind("$ZRV1.2|", 0), 0u);
  }
  EXPECT_EQ(queueSlots(inst.hostPath("\\Storage Card\\2026001-P1.gps")).size(), static_cast<std::size_t>(readings));
  EXPECT_EQ(queueSlots(inst.hostPath("\\Storage Card\\2026001-P1.gpsw")).size(), 2u);  // two level starts
  EXPECT_EQ(texts, static_cast<std::size_t>(readings) - 2);
}

// The end at zero load reads the last reading and the one three before it at their rebuilt positions:
// a reading left out of the rebuild among the last ones (as a file of an older build has one) neither
// hides the settlements nor stops the test from ending. Rock standard 119 ends once
// the rebound of its last three readings is below 0.010 mm; standard 73 once the zero-load time has
// passed and the rebound is at most 0.25 mm.
TEST(CheckCycleEnd, ZeroLoadEndWithALeftOutReading) {
  for (int code : {119, 73}) {
    SCOPED_TRACE(testing::Message() << "standard " << code);
    Instrument inst;
    TestSetup t;
    t.code = code;
    t.firstLoad = 400.0f;
    t.step = 200.0f;
    t.maxLoad = 800.0f;
    inst.start(1, t);
    Parameter& p = inst.ch(1);
    const int zeroTime = p.levelMinutes[16];
    // To the zero-load level's first reading after the one at load reached, which an older build
    // left out (bit 64 of status byte 0, as its procedure-changed mark did).
    ASSERT_TRUE(inst.runUntil(
        [&] { return p.loadingPhase.load() >= 6 && !(p.controlLoad.load() > 0.0f) && p.procedure.levelReadings >= 2; },
        80));
    const int leftOutIndex = p.readingCount - 1;
    TestRecord& older = p.testRecords[static_cast<std::size_t>(leftOutIndex)];
    older.tail2[0] = static_cast<char>(static_cast<unsigned char>(older.tail2[0]) | 0x40u);
    ASSERT_EQ(JDQFile::WriteRecord(p.testFilePath, leftOutIndex, p.testRecords, p), 1);
    ASSERT_TRUE(inst.runUntil([&] { return p.testRunning.load() == 0; }, 40));

    const std::vector<TestRecord> file = inst.loadFile("\\Storage Card\\2026001-P1.krv");
    EXPECT_EQ(file[static_cast<std::size_t>(leftOutIndex)].tail2[0] & 0x40, 0x40);
    std::vector<TestRecord> rebuilt = file;
    Parameter viewer;
    ASSERT_EQ(JDQFile::RebuildReadings(viewer, rebuilt), 1);
    const std::size_t n = static_cast<std::size_t>(viewer.readingIndex - 1);
    const int minutes = std::atoi(std::string(rebuilt[n].time, 5).c_str());
    const float last = rebuilt[n].valuesA[16], earlier = rebuilt[n - 3].valuesA[16];
    EXPECT_FLOAT_EQ(rebuilt[n].valuesA[17], 0.0f);
    if (code == 119) {
      EXPECT_LT(static_cast<int>(earlier * 1000.0f + 0.5f) - static_cast<int>(last * 1000.0f + 0.5f), 10);
    } else {
      EXPECT_GE(minutes, zeroTime);
      EXPECT_LE(earlier - last, 0.25f);
    }
  }
}

// A program restarted in the middle of a level keeps the level's minutes: the readings after the
// restart carry the minutes of the schedule counted from the moment the level's load was reached.
TEST(ControlTick, RestartMidLevelKeepsTheMinutes) {
  Instrument inst;
  TestSetup t;
  t.maxLoad = 800.0f;
  inst.start(1, t);
  Parameter& p = inst.ch(1);
  ASSERT_TRUE(inst.runUntil([&] { return p.link.levelNumber.load() == 2 && p.procedure.readingIndex >= 2; }, 10));
  const int before = p.readingCount;
  inst.restart(1);
  ASSERT_TRUE(inst.runUntil([&] { return p.link.levelNumber.load() == 3; }, 10));

  const auto levels = levelsOf(readingsOf(inst.loadFile("\\Storage Card\\2026001-P1.krv")));
  ASSERT_GE(levels.size(), 2u);
  const Level& second = levels[1];
  std::vector<int> minutes;
  for (const Reading& r : second.readings) minutes.push_back(r.minutes);
  const std::vector<int> schedule = {0, 5, 15, 30, 45, 60, 90, 120, 150, 180, 210, 240};
  ASSERT_LE(minutes.size(), schedule.size());
  EXPECT_EQ(minutes, std::vector<int>(schedule.begin(), schedule.begin() + static_cast<long>(minutes.size())));
  EXPECT_GT(static_cast<int>(second.readings.back().index), before);  // readings after the restart
}

// The maximum-load questions carry the channel digit only when their text begins with "# ": those of
// standards 72 and 149 for a dual oil circuit or a single one stand as they are.
TEST(ControlTick, MaximumLoadQuestionsTakeTheChannelDigitOnlyAfterTheirMark) {
  struct Case {
    int code;
    int mode;
    const char* question;
  } cases[] = {
      {72, 1, "双油路千斤顶，卸载前先将油泵换向\r\n阀打到卸载！然后确认."},
      {72, 2, "1# 比例双油路，\r\n5秒钟后自动卸载!"},
      {72, 0, "单油路千斤顶，先选择确认，然后人\r\n工卸压！"},
      {149, 1, "双油路千斤顶，卸载前先将油泵换向\r\n阀打到卸载！然后确认"},
      {149, 3, "自动双油路，5秒后自动卸载！"},
      {5, 1, "1# 已加到最大荷载，若卸载请先油路换向！\r\n然后单击确定."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "standard " << c.code << ", mode " << c.mode);
    Instrument inst;
    TestSetup t;
    t.code = c.code;
    inst.start(1, t);
    Parameter& p = inst.ch(1);
    ASSERT_TRUE(inst.runUntil([&] { return p.loadingPhase.load() >= 2; }, 1));
    inst.window.answers.push_back(0);
    p.loadingMode = c.mode;
    p.controlLoad = p.stepLoad3.load();
    p.previousLoad = p.stepLoad3.load();  // the same level, at the maximum load
    p.procedure.levelCounter = 4;
    p.procedure.levelEndCounter = 29;
    p.loadingPhase = 4;
    inst.step();
    ASSERT_FALSE(inst.window.questions.empty());
    EXPECT_EQ(inst.window.questions.back(), c.question);
  }
}

// The question after the fifth loading cycle of a cyclic standard at its maximum load: taken on time
// it names its channel; in the late path it begins with a blank and takes no channel digit.
TEST(ControlTick, BeyondTheMaximumQuestionOfTheLatePathTakesNoChannelDigit) {
  struct Case {
    int late;  // seconds past the unloading reading's time
    const char* question;
  } cases[] = {
      {0, "1# 已达到最大荷载,“确定”继续试验,\r\n“取消”结束试验!"},
      {20, " # 已达到最大荷载,“确定”继续试验,\r\n“取消”结束试验!"},
      {90, " # 已达到最大荷载,“确定”继续试验,\r\n“取消”结束试验!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.late << " s late");
    Instrument inst;
    TestSetup t;
    t.code = 62;
    t.firstLoad = t.maxLoad = 400.0f;
    inst.start(1, t);
    Parameter& p = inst.ch(1);
    ASSERT_TRUE(inst.runUntil(
        [&] { return p.loadingPhase.load() >= 6 && p.nextReadingText != frontend::kNoReadingText && p.link.goodCount.load() >= 30; },
        4));
    p.procedure.reloadCounter = 5;
    inst.window.answers = {1, 0};  // the reloading question, then the one beyond the maximum
    const std::size_t asked = inst.window.questions.size();
    const std::int64_t now = clk::toSeconds(clk::localTime());
    inst.step(static_cast<std::uint64_t>(p.procedure.nextReadingAt + c.late - now) * 1000);
    ASSERT_EQ(inst.window.questions.size(), asked + 2);
    EXPECT_EQ(inst.window.questions.back(), c.question);
  }
}

// The upload record of a reading that the procedure recorded, read back field by field: L70-72 the
// load the reply parser derived (three decimals), L86 bit 0 from the load that cannot be built up
// (with item 30 above 0), L118-125 the controller's own position, apart from the GPS module's.
TEST(RecordReading, UploadRecordOfARecordedReading) {
  Instrument inst;
  TestSetup t;
  t.route = 0.0f;  // the built-in module only
  inst.start(1, t);
  Parameter& p = inst.ch(1);
  p.ParameterList.set(30, 5.0f);
  p.protectionSetting = 5;
  p.link.controllerLongitude = 114.505f;
  p.link.controllerLatitude = 30.51f;
  p.longitude = 100.0f;  // the GPS module's position is not the controller's
  p.latitude = 20.0f;
  ASSERT_TRUE(inst.runUntil([&] { return p.loadingPhase.load() >= 2 && p.procedure.readingIndex == 0 && p.readingCount == 2; }, 2));
  // The next reading is taken while the controller reports that the load cannot be built up (its
  // valve state 1, standing for more than four ticks: the alarm is raised, not yet the pause).
  while (clk::toSeconds(clk::localTime()) < p.procedure.nextReadingAt - 8) inst.step();
  inst.controller(1).editFaults([](sim::ControllerFaults& f) { f.pumpStop = true; });
  const int before = p.readingCount;
  float derived = 0.0f;
  for (int ticks = 0; p.readingCount == before && ticks < 100; ++ticks) {
    inst.step();
    derived = p.link.measuredLoad.load();
  }
  ASSERT_GT(p.readingCount, before);
  EXPECT_FALSE(p.link.alarmText[LinkState::NoPressure].empty());
  inst.controller(1).editFaults([](sim::ControllerFaults& f) { f.pumpStop = false; });
  const auto slots = queueSlots(inst.hostPath("\\Storage Card\\2026001-P1.gps"));
  ASSERT_EQ(slots.size(), static_cast<std::size_t>(p.readingCount));
  // Back to the logical order: final 5-65 are L5, L7, ..., L125 and final 66-126 L6, L8, ..., L126.
  const std::string& f = slots.back();
  std::array<std::uint8_t, 128> logical{};
  for (int j = 0; j < 61; ++j) {
    logical[static_cast<std::size_t>(5 + 2 * j)] = static_cast<std::uint8_t>(f[static_cast<std::size_t>(5 + j)]);
    logical[static_cast<std::size_t>(6 + 2 * j)] = static_cast<std::uint8_t>(f[static_cast<std::size_t>(66 + j)]);
  }
  std::uint8_t n3[3];
  EncodeWireNumber(static_cast<float>(static_cast<int>(derived * 1000.0 + 0.5) * 0.001), n3);
  EXPECT_GT(derived, 300.0f);
  EXPECT_EQ(logical[70], n3[0]);
  EXPECT_EQ(logical[71], n3[1]);
  EXPECT_EQ(logical[72], n3[2]);
  EXPECT_EQ(logical[86] & 1, 1);
  auto floatAt = [&](std::size_t at) {
    const std::uint32_t u = (std::uint32_t{logical[at]} << 24) | (std::uint32_t{logical[at + 1]} << 16) |
                            (std::uint32_t{logical[at + 2]} << 8) | logical[at + 3];
    float v;
    std::memcpy(&v, &u, 4);
    return v;
  };
  EXPECT_FLOAT_EQ(floatAt(118), 114.505f);
  EXPECT_FLOAT_EQ(floatAt(122), 30.51f);

  // Without the alarm bit 0 stays clear.
  inst.runFor(0.2);
  ASSERT_TRUE(p.link.alarmText[LinkState::NoPressure].empty());
  const int again = p.readingCount;
  ASSERT_TRUE(inst.runUntil([&] { return p.readingCount > again; }, 1));
  const std::string g = queueSlots(inst.hostPath("\\Storage Card\\2026001-P1.gps")).back();
  EXPECT_EQ(static_cast<std::uint8_t>(g[static_cast<std::size_t>(66 + 40)]) & 1, 0);  // L86
}
